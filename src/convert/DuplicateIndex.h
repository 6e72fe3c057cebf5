#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <mutex>
#include <optional>
#include <vector>

namespace convert {

// The mails of the stores converted in one run, by identity, so that a mail a store holds which
// a store converted before it held too (the same identity and the same content) is left out as a
// copy. Mails of one store are never copies of each other: a store that holds a mail twice has
// it written twice. Thread-safe.
class DuplicateIndex
{
public:
    // Takes note of a mail of store; returns the mail it is a copy of ("A.ost: mail 00012
    // \"Subject\"") when an earlier store holds it. content is a hash of the mail's bytes, or 0
    // when they were not made (a mail found in the destination already, which counts as the same
    // as any mail of its identity).
    std::optional<QString> copyOf(const QByteArray& identity, quint64 content, const QString& store,
                                  const QString& item);

private:
    struct Seen
    {
        quint64 content = 0;
        QString store;
        QString item;
    };
    std::mutex m_mutex;
    QHash<QByteArray, std::vector<Seen>> m_seen;
};

} // namespace convert
