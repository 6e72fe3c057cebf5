#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace convert {

// The content lines that vCard and iCalendar files share: "NAME;PARAM=value:value", text values
// escaped, lines folded at 75 octets without splitting a UTF-8 character, CRLF line ends.
class ContentLines
{
public:
    // Adds a line whose value is already in the property's syntax (escaped where needed).
    void add(const QString& nameAndParameters, const QString& value);
    // Adds a text value, escaped; nothing when the text is empty.
    void addText(const QString& nameAndParameters, const QString& text);
    // Adds a list of texts (CATEGORIES), each escaped, separated by commas; nothing when empty.
    void addList(const QString& nameAndParameters, const QStringList& texts);
    void append(const QByteArray& lines) { m_bytes += lines; }
    const QByteArray& bytes() const { return m_bytes; }

    // Backslash, comma, semicolon and line breaks escaped as text values need them.
    static QString escaped(const QString& text);
    // Structured values (N, ADR): each component escaped, joined by semicolons.
    static QString structured(const QStringList& components);
    // A parameter value: quoted when it holds ':', ';' or ','; double quotes and line breaks,
    // which a parameter cannot carry, are dropped.
    static QString parameter(const QString& value);
    static QByteArray folded(const QByteArray& line);

private:
    QByteArray m_bytes;
};

} // namespace convert
