#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace catalog {

// The texts of an item that a search looks into, each folded (TextFolding).
enum class SearchField : quint8
{
    From,       // sender name and address; a contact's names and addresses
    To,         // every recipient, To, Cc and Bcc; an appointment's attendees
    Subject,    // a contact's full name
    Body,       // a mail's, appointment's, task's, note's or journal entry's text; a contact's notes
    Attachment, // attachment names
    Other,      // a contact's company and title, an appointment's location, a journal entry's type
};
inline constexpr int SearchFieldCount = 6;

// One item as a search sees it: its identity, kind, folder, time and folded texts.
struct SearchEntryView
{
    int serial = 0;
    int kind = 0; // the record kind: 0 mail, 1 journal entry, 2 appointment, 7 contact, 17 note, 26 task
    quint32 node = 0;
    qint64 time = -1; // ms since 1970 (UTC); -1 when the item has no date
    bool hasAttachments = false;
    std::array<QByteArrayView, SearchFieldCount> fields{};
};

// A parsed query of the search language, the same in both programs:
//   words             every word must match (AND), as a whole word, ignoring case and diacritics;
//                     a word of a script without spaces (Chinese, Japanese) matches anywhere
//   "a phrase"        its words in this order, with any white space between them
//   from: to: subject: body: attachment:   the word or phrase after it in that field only
//   has:attachment    items with attachments
//   kind:mail kind:contact kind:appointment kind:task kind:note kind:journal   items of that kind
// A bare word matches any field.
class SearchQuery
{
public:
    struct Term
    {
        QByteArray folded;
        // Bit (1 << field) for each field the term may match in.
        quint8 fields = 0;
        // No word boundaries: the term is of a script without spaces.
        bool anywhere = false;
    };

    // The query, or nullopt with `error` set to what is wrong with it (an unclosed quote, an
    // unknown prefix, nothing to search for).
    static std::optional<SearchQuery> parse(const QString& text, QString* error);

    bool matches(const SearchEntryView& entry) const;

    const QList<Term>& terms() const { return m_terms; }
    std::optional<int> kind() const { return m_kind; }
    bool requiresAttachments() const { return m_hasAttachments; }
    // Whether the query looks into `field` at all (a reader may leave out what no term needs).
    bool usesField(SearchField field) const;

    // True when `needle` occurs in `text` as a whole word (or anywhere when `anywhere`).
    static bool contains(QByteArrayView text, QByteArrayView needle, bool anywhere);

private:
    QList<Term> m_terms;
    std::optional<int> m_kind;
    bool m_hasAttachments = false;
};

} // namespace catalog
