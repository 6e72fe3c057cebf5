#pragma once

#include "eml/Message.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace eml {

// The top-level header fields of one message, formatted for the wire: non-ASCII text as RFC 2047
// encoded words, addresses as RFC 5322 mailboxes, every field folded at 78 columns where it has
// room to fold, lines ending in CRLF. Values are cleaned of line breaks and control characters,
// so that no value can start a header of its own.
class HeaderBlock
{
public:
    // A field as it was received, already formatted (continuation lines included, no final CRLF).
    void addVerbatim(const QByteArray& name, const QByteArray& field);
    // A structured value in plain ASCII (a date, message identifiers, a keyword).
    void addStructured(const QByteArray& name, const QByteArray& value);
    // Free text, encoded when it is not ASCII.
    void addText(const QByteArray& name, const QString& text);
    // Mailboxes; one without a usable address is written as an empty group with its name.
    void addMailboxes(const QByteArray& name, const QList<Mailbox>& mailboxes);

    bool contains(const QByteArray& name) const;
    bool isEmpty() const { return m_bytes.isEmpty(); }
    const QByteArray& bytes() const { return m_bytes; }

    // Whether text is a usable Internet address (local@domain, no spaces or specials).
    static bool isInternetAddress(const QString& address);
    // Folds one unfolded field ("Name: value") at whitespace outside quotes and angle brackets.
    static QByteArray fold(const QByteArray& field);
    // The text with every control character (line breaks included) turned into a space.
    static QString cleaned(const QString& text);

private:
    void append(const QByteArray& name, const QByteArray& foldedField);

    QByteArray m_bytes;
    QList<QByteArray> m_names;
};

} // namespace eml
