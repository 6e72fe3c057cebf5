#include "eml/HeaderBlock.h"

#include "eml/GMimeRuntime.h"

#include <gmime/gmime.h>

namespace eml {

namespace {

constexpr qsizetype kFoldWidth = 78;

GMimeFormatOptions* formatOptions()
{
    ensureGMimeInitialized();
    static GMimeFormatOptions* const options = [] {
        GMimeFormatOptions* created = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(created, GMIME_NEWLINE_FORMAT_DOS);
        return created;
    }();
    return options;
}

QByteArray takeGString(char* text)
{
    QByteArray result(text);
    g_free(text);
    return result;
}

} // namespace

void HeaderBlock::append(const QByteArray& name, const QByteArray& foldedField)
{
    m_bytes += foldedField;
    if (!foldedField.endsWith("\r\n"))
        m_bytes += "\r\n";
    m_names.append(name.toLower());
}

void HeaderBlock::addVerbatim(const QByteArray& name, const QByteArray& field)
{
    append(name, field);
}

void HeaderBlock::addStructured(const QByteArray& name, const QByteArray& value)
{
    append(name, fold(name + ": " + value));
}

void HeaderBlock::addText(const QByteArray& name, const QString& text)
{
    const QByteArray utf8 = cleaned(text).toUtf8();
    const QByteArray encoded =
        takeGString(g_mime_utils_header_encode_text(formatOptions(), utf8.constData(), "utf-8"));
    append(name, fold(name + ": " + encoded));
}

void HeaderBlock::addMailboxes(const QByteArray& name, const QList<Mailbox>& mailboxes)
{
    QByteArray value;
    for (const Mailbox& mailbox : mailboxes) {
        const QString displayName = cleaned(mailbox.name).trimmed();
        const QString address = mailbox.address.trimmed();
        InternetAddress* entry = nullptr;
        if (isInternetAddress(address)) {
            entry =
                internet_address_mailbox_new(displayName.toUtf8().constData(), address.toUtf8().constData());
        } else if (!displayName.isEmpty() || !address.isEmpty()) {
            // No Internet address: the name alone, as an empty group ("Name: ;"), so that the
            // field stays valid and no address is invented. A name-less mailbox keeps its stored
            // address text (an Exchange address) as the name.
            const QString groupName = displayName.isEmpty() ? cleaned(address) : displayName;
            entry = internet_address_group_new(groupName.toUtf8().constData());
        }
        if (!entry)
            continue;
        internet_address_set_charset(entry, "utf-8");
        const QByteArray text = takeGString(internet_address_to_string(entry, formatOptions(), TRUE));
        g_object_unref(entry);
        if (!value.isEmpty())
            value += ", ";
        value += text;
    }
    if (!value.isEmpty())
        append(name, fold(name + ": " + value));
}

bool HeaderBlock::contains(const QByteArray& name) const
{
    return m_names.contains(name.toLower());
}

bool HeaderBlock::isInternetAddress(const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1)
        return false;
    for (const QChar c : address) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || QStringView(u"<>()[],;:\"\\").contains(c))
            return false;
    }
    return true;
}

QString HeaderBlock::cleaned(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return result;
}

QByteArray HeaderBlock::fold(const QByteArray& field)
{
    // Split before every space that may carry a line break: outside quoted strings (where a
    // break would change the text) and outside <...> (addresses and message identifiers).
    QList<QByteArray> pieces;
    qsizetype start = 0;
    bool inQuotes = false;
    int angleDepth = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (inQuotes) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inQuotes = false;
            continue;
        }
        if (c == '"')
            inQuotes = true;
        else if (c == '<')
            ++angleDepth;
        else if (c == '>' && angleDepth > 0)
            --angleDepth;
        else if (c == ' ' && angleDepth == 0 && i > start) {
            pieces.append(field.mid(start, i - start));
            start = i;
        }
    }
    pieces.append(field.mid(start));

    QByteArray folded;
    QByteArray line = pieces.first();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QByteArray& piece = pieces.at(i);
        // Never break right after the field name, nor leave a line of whitespace only.
        if (line.size() + piece.size() > kFoldWidth && i > 1 && !line.trimmed().isEmpty()) {
            folded += line + "\r\n";
            line = piece;
        } else {
            line += piece;
        }
    }
    folded += line + "\r\n";
    return folded;
}

} // namespace eml
