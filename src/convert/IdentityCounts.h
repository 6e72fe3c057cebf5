#pragma once

#include <QByteArray>
#include <QHash>
#include <mutex>

namespace convert {

// The identities of the mails a destination folder held before a run, each with how many mails
// carry it, so that a store holding a mail twice writes it twice and a re-run writes neither.
// Thread-safe.
class IdentityCounts
{
public:
    void add(const QByteArray& identity)
    {
        if (identity.isEmpty())
            return;
        std::lock_guard lock(m_mutex);
        ++m_counts[identity];
    }

    // Matches one mail of this identity with one the folder held; false when none is left.
    bool take(const QByteArray& identity)
    {
        if (identity.isEmpty())
            return false;
        std::lock_guard lock(m_mutex);
        const auto found = m_counts.find(identity);
        if (found == m_counts.end() || found.value() == 0)
            return false;
        --found.value();
        return true;
    }

private:
    std::mutex m_mutex;
    QHash<QByteArray, int> m_counts;
};

} // namespace convert
