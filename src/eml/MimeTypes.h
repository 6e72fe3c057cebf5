#pragma once

#include <QString>

namespace eml {

// The MIME type of an attachment from its file name's extension, from a fixed table so that the
// output never depends on the machine it runs on.
class MimeTypes
{
public:
    // "application/octet-stream" when the extension is missing or not in the table.
    static QString forFileName(const QString& fileName);
    // Whether a stored MIME type is usable as a Content-Type ("type/subtype", token characters).
    static bool isValid(const QString& mimeType);
};

} // namespace eml
