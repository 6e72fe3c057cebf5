#include "DuplicateIndex.h"

namespace convert {

std::optional<QString> DuplicateIndex::copyOf(const QByteArray& identity, quint64 content, const QString& store,
                                              const QString& item)
{
    if (identity.isEmpty())
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    std::vector<Seen>& seen = m_seen[identity];
    for (const Seen& earlier : seen) {
        if (earlier.store != store && (earlier.content == content || earlier.content == 0 || content == 0))
            return earlier.store + QStringLiteral(": ") + earlier.item;
    }
    for (const Seen& earlier : seen) {
        if (earlier.content == content)
            return std::nullopt; // the same store's second copy
    }
    seen.push_back({content, store, item});
    return std::nullopt;
}

} // namespace convert
