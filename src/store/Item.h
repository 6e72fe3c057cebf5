#pragma once

#include "StoreTypes.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace store {

// A named property known by a string name in a property set, such as "Keywords" in the
// public-strings set (a message's categories).
struct PropertyName
{
    QUuid propertySet;
    QString name;
};

// A property's value type and its bytes as stored; multiple values keep their stored layout (a
// count, one 32-bit offset per value, then the values).
struct StoredValue
{
    std::uint32_t type = 0;
    QByteArray bytes;
};

// The values of a multiple-value property in that stored layout; nothing when the layout does
// not hold together.
std::vector<QByteArray> multipleValues(const QByteArray& stored);

// One item of a store: a folder, a message of any kind, a recipients table, an attachment or an
// embedded message. The operations that do not apply to an item's kind fail like any read.
//
// Conventions for every operation: a failed read throws StoreError (with the store library's
// message); a value that is not there is an empty std::optional. Property reads name the MAPI
// property by its 16-bit id (0x0037) or full tag (0x0037001F; the type half is ignored) and a
// record set (0 for the item's own properties; one per row for recipient tables); the id matches
// a property of any value type.
//
// An Item belongs to the thread that opened its store.
class Item
{
public:
    virtual ~Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    virtual ItemType type() const = 0;
    virtual std::uint32_t identifier() const = 0;

    // Generic tree: every child the store lists under this item.
    virtual int subItemCount() const = 0;
    virtual std::unique_ptr<Item> subItem(int index) const = 0;

    // Properties.
    virtual int recordSetCount() const = 0;
    // Every property of a record set, in stored order: its id as the reads take it (named
    // properties under their numeric name where the store maps one, e.g. 0x8005) and its type.
    virtual std::vector<PropertyKey> properties(int recordSet = 0) const = 0;
    virtual std::optional<std::uint32_t> valueType(std::uint32_t tag, int recordSet = 0) const = 0;
    // UTF-8 text with its size in bytes including the terminating zero (the library's size).
    virtual std::optional<std::size_t> utf8StringSize(std::uint32_t tag, int recordSet = 0) const = 0;
    virtual std::optional<QByteArray> utf8String(std::uint32_t tag, int recordSet = 0) const = 0;
    virtual std::optional<std::uint64_t> fileTime(std::uint32_t tag, int recordSet = 0) const = 0;
    virtual std::optional<std::uint32_t> integer32(std::uint32_t tag, int recordSet = 0) const = 0;
    virtual std::optional<std::uint16_t> integer16(std::uint32_t tag, int recordSet = 0) const = 0;
    virtual std::optional<bool> boolean(std::uint32_t tag, int recordSet = 0) const = 0;
    // The value's bytes as stored, for a value of any type (texts in their stored encoding).
    virtual std::optional<QByteArray> binary(std::uint32_t tag, int recordSet = 0) const = 0;
    // A named property that has a string name rather than a numeric one.
    virtual std::optional<StoredValue> namedValue(const PropertyName& name, int recordSet = 0) const = 0;
    // A message's own text property, with 8-bit strings decoded in the message's code page
    // (PR_MESSAGE_CODEPAGE) rather than the store's.
    virtual std::optional<std::size_t> messageUtf8StringSize(std::uint32_t tag) const = 0;
    virtual std::optional<QByteArray> messageUtf8String(std::uint32_t tag) const = 0;

    // Folders.
    virtual int subFolderCount() const = 0;
    virtual std::unique_ptr<Item> subFolder(int index) const = 0;
    virtual int subMessageCount() const = 0;
    virtual std::unique_ptr<Item> subMessage(int index) const = 0;

    // Messages. Body sizes are the library's: they include a terminating zero where it adds one.
    // Bodies come as the raw bytes the library returns (HTML and plain text may be 8-bit text in a
    // code page, UTF-8 or UTF-16 as stored; RTF is decompressed).
    virtual std::optional<std::size_t> htmlBodySize() const = 0;
    virtual std::optional<QByteArray> htmlBody() const = 0;
    virtual std::optional<std::size_t> rtfBodySize() const = 0;
    virtual std::optional<QByteArray> rtfBody() const = 0;
    virtual std::optional<std::size_t> plainTextBodySize() const = 0;
    virtual std::optional<QByteArray> plainTextBody() const = 0;
    // The recipients table (one record set per recipient), or none when the message has none.
    virtual std::unique_ptr<Item> recipients() const = 0;
    virtual int attachmentCount() const = 0;
    virtual std::unique_ptr<Item> attachment(int index) const = 0;

    // Attachments.
    virtual AttachmentType attachmentType() const = 0;
    virtual std::uint64_t attachmentDataSize() const = 0;
    // Reads up to maxSize bytes of the attachment's data from offset; fewer at the end.
    virtual QByteArray readAttachmentData(std::uint64_t offset, std::size_t maxSize) const = 0;
    // The embedded message of an attachment of type Item.
    virtual std::unique_ptr<Item> embeddedItem() const = 0;

protected:
    Item() = default;
};

} // namespace store
