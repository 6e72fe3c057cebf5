#include "ContentLines.h"

namespace convert {

void ContentLines::add(const QString& nameAndParameters, const QString& value)
{
    m_bytes += folded((nameAndParameters + QLatin1Char(':') + value).toUtf8());
}

void ContentLines::addText(const QString& nameAndParameters, const QString& text)
{
    if (!text.isEmpty())
        add(nameAndParameters, escaped(text));
}

void ContentLines::addList(const QString& nameAndParameters, const QStringList& texts)
{
    QStringList values;
    for (const QString& text : texts)
        values << escaped(text);
    if (!values.isEmpty())
        add(nameAndParameters, values.join(QLatin1Char(',')));
}

QString ContentLines::escaped(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\\':
            result += QStringLiteral("\\\\");
            break;
        case ';':
            result += QStringLiteral("\\;");
            break;
        case ',':
            result += QStringLiteral("\\,");
            break;
        case '\r':
            // CRLF and lone CR are one line break each.
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            result += QStringLiteral("\\n");
            break;
        case '\n':
            result += QStringLiteral("\\n");
            break;
        default:
            // Other control characters are not allowed in a value.
            if (c.unicode() >= 0x20 || c.unicode() == '\t')
                result += c;
            break;
        }
    }
    return result;
}

QString ContentLines::structured(const QStringList& components)
{
    QStringList parts;
    for (const QString& component : components)
        parts << escaped(component);
    return parts.join(QLatin1Char(';'));
}

QString ContentLines::parameter(const QString& value)
{
    QString clean;
    for (const QChar c : value) {
        if (c != QLatin1Char('"') && c.unicode() >= 0x20)
            clean += c;
    }
    if (clean.contains(QLatin1Char(':')) || clean.contains(QLatin1Char(';')) ||
        clean.contains(QLatin1Char(',')))
        return QLatin1Char('"') + clean + QLatin1Char('"');
    return clean;
}

QByteArray ContentLines::folded(const QByteArray& line)
{
    QByteArray result;
    result.reserve(line.size() + line.size() / 70 * 3 + 2);
    qsizetype start = 0;
    int limit = 75; // octets of the first line; continuation lines start with a space
    while (line.size() - start > limit) {
        qsizetype cut = start + limit;
        while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        result += line.mid(start, cut - start);
        result += "\r\n ";
        start = cut;
        limit = 74;
    }
    result += line.mid(start);
    result += "\r\n";
    return result;
}

} // namespace convert
