#pragma once

#include "eml/Message.h"

#include <QStringList>

namespace store {
class Item;
} // namespace store

namespace convert {

// Reads one mail item of the store into an eml::Message: headers, bodies, recipients and
// attachments, embedded messages recursively.
//
// A value that cannot be read does not stop the mail: what could be read is kept and every part
// that was lost is named in problems(), so that the conversion report can say so. Only a failure
// to read the item at all (its kind) throws store::StoreError.
class MailMapper
{
public:
    // Embedded messages nested deeper than this are attached as a note instead.
    static constexpr int kMaxNesting = 16;

    eml::Message map(const store::Item& item);
    const QStringList& problems() const { return m_problems; }

private:
    eml::Message mapMessage(const store::Item& item, int depth);
    void readHeaders(const store::Item& item, eml::Message& message);
    void readRecipients(const store::Item& item, eml::Message& message);
    void readBodies(const store::Item& item, eml::Message& message);
    void readAttachments(const store::Item& item, eml::Message& message, int depth);
    eml::Attachment readAttachment(const store::Item& attachment, int index, int depth);

    // Runs one read; a StoreError becomes a problem "<what>: <reason>" and the default value.
    template <typename Read> auto tryRead(const QString& what, Read read) -> decltype(read());

    QStringList m_problems;
};

} // namespace convert
