#pragma once

#include "StoreModel.h"

#include <QDateTime>

namespace storegen {

// Builds realistic messages: mail header properties, bodies, recipients and attachments under
// the property ids the converter reads. Used by the random and demo mailboxes and by tests.
class MessageBuilder
{
public:
    explicit MessageBuilder(const QString& messageClass = QStringLiteral("IPM.Note"));

    MessageBuilder& subject(const QString& text);
    MessageBuilder& sender(const QString& name, const QString& email);
    MessageBuilder& recipient(std::uint32_t type, const QString& name, const QString& email);
    MessageBuilder& to(const QString& name, const QString& email) { return recipient(1, name, email); }
    MessageBuilder& cc(const QString& name, const QString& email) { return recipient(2, name, email); }
    MessageBuilder& bcc(const QString& name, const QString& email) { return recipient(3, name, email); }
    MessageBuilder& plainBody(const QString& text);
    MessageBuilder& htmlBody(const QByteArray& html);
    MessageBuilder& rtfBody(const QByteArray& rtf);
    // Sent, received, created and modified times.
    MessageBuilder& times(std::uint64_t sent, std::uint64_t received);
    MessageBuilder& flags(std::uint32_t messageFlags);
    MessageBuilder& importance(std::uint32_t value);
    MessageBuilder& priority(std::int32_t value);
    MessageBuilder& sensitivity(std::uint32_t value);
    MessageBuilder& messageId(const QString& id);
    MessageBuilder& inReplyTo(const QString& id);
    MessageBuilder& references(const QString& ids);
    MessageBuilder& transportHeaders(const QString& headers);
    MessageBuilder& codePage(std::uint32_t cpid);
    MessageBuilder& attach(const QString& filename, const QString& mimeType, const QByteArray& data,
                           const QString& contentId = QString());
    MessageBuilder& attachMessage(const Message& message, const QString& displayName);
    // An OLE object (method 6) with its display name, the compound file that holds it and, where
    // given, the file names Outlook records for it.
    MessageBuilder& attachObject(const QString& displayName, const QByteArray& compoundFile,
                                 const QString& filename = QString());
    MessageBuilder& attachReference(const QString& filename, const QString& path);
    MessageBuilder& property(const Property& p);
    // An appointment's times (start and end, also as 0x0060/0x0061), location, duration and
    // busy status as the named properties of the appointment property set.
    MessageBuilder& appointment(std::uint64_t start, std::uint64_t end, const QString& location,
                                std::uint32_t busyStatus = 2);
    // Marks an appointment recurring, with its pattern text and the range it recurs in.
    MessageBuilder& recurrence(const QString& pattern, std::uint64_t from, std::uint64_t until);
    // The series' recurrence blob (deleted and modified instances included), and its start
    // and end as the recurrence's own times.
    MessageBuilder& recurrenceBlob(const QByteArray& blob);
    // A modified instance as Outlook keeps it: a hidden attached message with the instance's own
    // times, subject, location and text, the start it replaces among them.
    MessageBuilder& attachException(const Message& instance, std::uint64_t start, std::uint64_t end);
    // A contact's names and first e-mail address (display name, given name, surname, file-as).
    MessageBuilder& contact(const QString& first, const QString& last, const QString& email);
    // The categories the item is filed under ("Keywords" of the public strings).
    MessageBuilder& categories(const QStringList& names);

    // The message; its size property is computed unless one was given.
    Message build() const;

    // FILETIME of a UTC time.
    static std::uint64_t fileTime(const QDateTime& utc);

private:
    Message m_message;
    bool m_hasSize = false;
};

} // namespace storegen
