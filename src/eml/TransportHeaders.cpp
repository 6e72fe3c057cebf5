#include "eml/TransportHeaders.h"

#include <array>

namespace eml {

namespace {

// A field name is printable ASCII without the colon, followed by a colon.
qsizetype fieldNameLength(const QByteArray& line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == ':')
            return i;
        if (c <= 32 || c >= 127)
            return -1;
    }
    return -1;
}

} // namespace

QList<TransportHeaders::Field> TransportHeaders::parse(const QString& headers)
{
    QString text = headers;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QList<QByteArray> lines = text.toUtf8().split('\n');

    QList<Field> fields;
    for (const QByteArray& rawLine : lines) {
        QByteArray line = rawLine;
        // Other control characters cannot be part of a header line.
        for (char& c : line) {
            if ((c >= 0 && c < 32 && c != '\t') || c == 127)
                c = ' ';
        }
        if (line.trimmed().isEmpty()) {
            if (fields.isEmpty())
                continue;
            break;
        }
        const bool continuation = line.startsWith(' ') || line.startsWith('\t');
        const qsizetype nameLength = continuation ? -1 : fieldNameLength(line);
        if (nameLength > 0) {
            fields.append(Field{line.left(nameLength), line});
        } else if (!fields.isEmpty()) {
            fields.last().text += "\r\n" + (continuation ? line : " " + line);
        }
    }
    return fields;
}

bool TransportHeaders::isMimeStructureField(const QByteArray& name)
{
    static constexpr std::array kNames{
        "mime-version", "content-type",        "content-transfer-encoding", "content-disposition",
        "content-id",   "content-description", "content-location",          "content-base",
        "content-md5",  "content-length",
    };
    const QByteArray lower = name.trimmed().toLower();
    for (const char* structureName : kNames) {
        if (lower == structureName)
            return true;
    }
    return false;
}

} // namespace eml
