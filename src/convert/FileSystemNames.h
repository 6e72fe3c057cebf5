#pragma once

#include <QString>

namespace convert {

// Names of the files and directories that a conversion creates: safe on Linux, macOS and Windows
// file systems, readable, and never empty.
class FileSystemNames
{
public:
    // A folder or file name part: control characters and / \ : * ? " < > | become "_", leading
    // and trailing spaces and dots go, Windows' reserved device names get a "_" prefix, and the
    // result is cut to at most maxLength characters (never inside a surrogate pair). An empty
    // result becomes the fallback.
    static QString clean(const QString& name, int maxLength, const QString& fallback);
};

} // namespace convert
