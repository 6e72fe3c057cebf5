#include "SearchQuery.h"

#include "JournalRecord.h"
#include "NoteRecord.h"
#include "TaskRecord.h"
#include "TextFolding.h"

#include <cstring>
#include <string_view>

namespace catalog {

namespace {

constexpr quint8 bit(SearchField field)
{
    return static_cast<quint8>(1u << static_cast<unsigned>(field));
}

constexpr quint8 AllFields = (1u << SearchFieldCount) - 1;

const char* findBytes(const char* haystack, qsizetype size, const char* needle, qsizetype length)
{
#if defined(__GLIBC__)
    return static_cast<const char*>(memmem(haystack, static_cast<size_t>(size), needle, static_cast<size_t>(length)));
#else
    const std::string_view text(haystack, static_cast<size_t>(size));
    const size_t at = text.find(std::string_view(needle, static_cast<size_t>(length)));
    return at == std::string_view::npos ? nullptr : haystack + at;
#endif
}

bool hasUnspacedScript(const QByteArray& folded)
{
    for (qsizetype i = 0; i < folded.size();) {
        const char32_t c = TextFolding::codePointAt(folded.constData(), folded.size(), i);
        if (TextFolding::isUnspacedScript(c))
            return true;
        const auto lead = static_cast<unsigned char>(folded[i]);
        i += lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    }
    return false;
}

} // namespace

bool SearchQuery::contains(QByteArrayView text, QByteArrayView needle, bool anywhere)
{
    if (needle.isEmpty())
        return true;
    const char* data = text.data();
    const qsizetype size = text.size();
    qsizetype from = 0;
    while (from + needle.size() <= size) {
        const char* hit = findBytes(data + from, size - from, needle.data(), needle.size());
        if (!hit)
            return false;
        const qsizetype at = hit - data;
        if (anywhere)
            return true;
        const qsizetype end = at + needle.size();
        // A boundary on each side: the needle's own first and last characters may be word
        // characters only where the text's neighbours are not.
        const bool startOk = !TextFolding::isWordCharacter(TextFolding::codePointAt(needle.data(), needle.size(), 0)) ||
                             !TextFolding::isWordCharacter(TextFolding::codePointBefore(data, at));
        const bool endOk =
            !TextFolding::isWordCharacter(TextFolding::codePointBefore(needle.data(), needle.size())) ||
            !TextFolding::isWordCharacter(TextFolding::codePointAt(data, size, end));
        if (startOk && endOk)
            return true;
        from = at + 1;
    }
    return false;
}

std::optional<SearchQuery> SearchQuery::parse(const QString& text, QString* error)
{
    const auto fail = [error](const QString& message) -> std::optional<SearchQuery> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    SearchQuery query;
    bool anyCondition = false;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        // A prefix is letters up to a colon, with something after the colon.
        QString prefix;
        qsizetype j = i;
        while (j < size && text[j].isLetter() && text[j].unicode() < 0x80)
            ++j;
        if (j > i && j < size && text[j] == QLatin1Char(':') && j + 1 < size && !text[j + 1].isSpace()) {
            prefix = text.mid(i, j - i).toLower();
            i = j + 1;
        } else if (j > i && j < size && text[j] == QLatin1Char(':') && (j + 1 == size || text[j + 1].isSpace())) {
            const QString name = text.mid(i, j - i).toLower();
            static const QStringList Known{QStringLiteral("from"), QStringLiteral("to"),
                                           QStringLiteral("subject"), QStringLiteral("body"),
                                           QStringLiteral("attachment"), QStringLiteral("has"),
                                           QStringLiteral("kind")};
            if (Known.contains(name))
                return fail(QStringLiteral("\"%1:\" needs a word or a quoted phrase right after the colon.").arg(name));
        }
        QString value;
        if (i < size && text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                return fail(QStringLiteral("The quote at character %1 is not closed.").arg(i + 1));
            value = text.mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const qsizetype valueStart = i;
            while (i < size && !text[i].isSpace())
                ++i;
            value = text.mid(valueStart, i - valueStart);
        }
        if (prefix == QLatin1String("has")) {
            const QString what = value.toLower();
            if (what != QLatin1String("attachment") && what != QLatin1String("attachments"))
                return fail(QStringLiteral("\"has:%1\" is not known; the only one is has:attachment.").arg(value));
            query.m_hasAttachments = true;
            anyCondition = true;
            continue;
        }
        if (prefix == QLatin1String("kind")) {
            const QString what = value.toLower();
            if (what == QLatin1String("mail") || what == QLatin1String("email"))
                query.m_kind = 0;
            else if (what == QLatin1String("contact"))
                query.m_kind = 7;
            else if (what == QLatin1String("appointment") || what == QLatin1String("calendar"))
                query.m_kind = 2;
            else if (what == QLatin1String("task"))
                query.m_kind = TaskRecord::Kind;
            else if (what == QLatin1String("note"))
                query.m_kind = NoteRecord::Kind;
            else if (what == QLatin1String("journal"))
                query.m_kind = JournalRecord::Kind;
            else
                return fail(
                    QStringLiteral("\"kind:%1\" is not known; use kind:mail, kind:contact, kind:appointment, "
                                   "kind:task, kind:note or kind:journal.")
                        .arg(value));
            anyCondition = true;
            continue;
        }
        quint8 fields = AllFields;
        if (!prefix.isEmpty()) {
            if (prefix == QLatin1String("from"))
                fields = bit(SearchField::From);
            else if (prefix == QLatin1String("to"))
                fields = bit(SearchField::To);
            else if (prefix == QLatin1String("subject"))
                fields = bit(SearchField::Subject);
            else if (prefix == QLatin1String("body"))
                fields = bit(SearchField::Body);
            else if (prefix == QLatin1String("attachment"))
                fields = bit(SearchField::Attachment);
            else
                return fail(QStringLiteral("\"%1:\" is not a field to search; use from:, to:, subject:, body:, "
                                           "attachment:, has:attachment or kind:.")
                                .arg(text.mid(start, j - start)));
        }
        const QByteArray folded = TextFolding::fold(value);
        // "" and a word that folds to nothing (a lone combining mark) ask for nothing.
        if (folded.isEmpty())
            continue;
        query.m_terms.append(Term{folded, fields, hasUnspacedScript(folded)});
        anyCondition = true;
    }
    if (!anyCondition)
        return fail(QStringLiteral("There is nothing to search for."));
    return query;
}

bool SearchQuery::usesField(SearchField field) const
{
    for (const Term& term : m_terms)
        if (term.fields & bit(field))
            return true;
    return false;
}

bool SearchQuery::matches(const SearchEntryView& entry) const
{
    if (m_kind && entry.kind != *m_kind)
        return false;
    if (m_hasAttachments && !entry.hasAttachments)
        return false;
    for (const Term& term : m_terms) {
        bool found = false;
        for (int field = 0; field < SearchFieldCount && !found; ++field) {
            if (term.fields & (1u << field))
                found = contains(entry.fields[static_cast<std::size_t>(field)], term.folded, term.anywhere);
        }
        if (!found)
            return false;
    }
    return true;
}

} // namespace catalog
