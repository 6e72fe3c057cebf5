#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace convert {

// Writes files that must never overwrite anything: a file is written under a temporary name in
// its directory and then linked to its name, which fails rather than replace a file that exists.
// A file killed half-way is never seen under its name. When the name is taken, a file of the
// same bytes counts as already there; otherwise "name (2).ext", "name (3).ext", ... are tried.
class NewFile
{
public:
    enum class Outcome
    {
        Written,
        AlreadyThere,
        Failed,
    };

    // What a taken name that holds the same bytes means.
    enum class Same
    {
        AlreadyThere, // the content is there: nothing is written
        WriteAnew,    // the content gets a new name all the same (a report of each run)
    };

    // Writes the content through a device; false when that fails.
    using ContentWriter = std::function<bool(QIODevice&)>;

    // path: where the content is now (written or found). The content writer may run more than
    // once (to compare the content with files that hold the name).
    static Outcome write(const QString& directory, const QString& base, const QString& extension,
                         const ContentWriter& content, QString* failure, QString* path = nullptr,
                         Same same = Same::AlreadyThere);
    static Outcome write(const QString& directory, const QString& base, const QString& extension,
                         const QByteArray& content, QString* failure, QString* path = nullptr,
                         Same same = Same::AlreadyThere);

    // Removes what writes that were killed left behind in directory.
    static void removeLeftovers(const QString& directory);

    // Whether the file at path holds exactly what content writes.
    static bool holds(const QString& path, const ContentWriter& content);
};

} // namespace convert
