#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace eml {

// The Internet headers a message arrived with, split into fields. Lines before the first field
// (such as a "Microsoft Mail Internet Headers Version 2.0" banner) and everything after the first
// empty line are not header fields and are left out; a stray line inside the block is kept as a
// continuation of the field above it. Line ends become CRLF; text that is not ASCII is UTF-8.
class TransportHeaders
{
public:
    struct Field
    {
        QByteArray name;
        // The whole field as received: "Name: value", continuation lines joined by CRLF.
        QByteArray text;
    };

    static QList<Field> parse(const QString& headers);
    // The fields that describe the old MIME structure (MIME-Version, Content-Type, ...), which
    // must go when the structure is written anew.
    static bool isMimeStructureField(const QByteArray& name);
};

} // namespace eml
