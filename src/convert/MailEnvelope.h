#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace store {
class Item;
} // namespace store

namespace convert {

// What a destination needs to know of a mail besides its bytes: the state flags a mail program
// shows, when it arrived, who sent it, and the identity by which a re-run recognises it.
//
// The identity is the Message-ID the mail's bytes carry; a mail without one carries a key made
// from its place in the store and its times (X-Ost2eml-Key), which is the same on every run and
// in every copy of the store.
struct MailEnvelope
{
    bool seen = false;
    bool flagged = false;
    bool answered = false;
    bool draft = false;
    // When the mail arrived (delivery, else submit, else creation time); invalid when unknown.
    QDateTime delivered;
    // The date the mail is filtered by, as its Date header has it (submit, delivery, creation).
    QDateTime date;
    // The sender's address for an mbox "From " line; empty when unknown.
    QByteArray senderAddress;

    // Reads the envelope of a mail item. Values that cannot be read are left at their defaults.
    static MailEnvelope read(const store::Item& item);

    // The Message-ID the store records for the mail (the first identifier of PR_INTERNET_MESSAGE_ID,
    // with its angle brackets); empty when it has none or it cannot be read.
    static QByteArray storedMessageId(const store::Item& item);
    // The key written into a mail that has no Message-ID: hexadecimal, derived from the item's
    // identifier and its creation and delivery times.
    static QByteArray storeKey(const store::Item& item);

    // The identity of a message from its bytes: its Message-ID, else its X-Ost2eml-Key; empty when
    // it has neither. Only the header is read.
    static QByteArray identityOf(const QByteArray& message);
    // The header field that carries the store key.
    static constexpr const char* kKeyField = "X-Ost2eml-Key";
};

} // namespace convert
