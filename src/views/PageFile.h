#pragma once

#include <QString>

namespace views {

// Writes a page or body file as UTF-16LE with a byte-order mark, replacing any earlier file
// (also a read-only one) without following a link planted at its name. Any thread.
class PageFile
{
public:
    // Returns false when the file could not be written; an earlier file then stays as it was.
    static bool write(const QString& path, const QString& text);
    // The bytes written for `text`: the mark FF FE and the text's UTF-16LE code units.
    static QByteArray encode(const QString& text);
};

} // namespace views
