#pragma once

#include "Property.h"
#include "StoreOptions.h"

#include <QString>
#include <memory>
#include <vector>

namespace storegen {

struct Message;

// One row of a message's recipients table.
struct Recipient
{
    std::vector<Property> properties;
};

// How an attachment carries its content.
enum class AttachMethod : std::uint32_t
{
    ByValue = 1,
    ByReference = 2,
    ByReferenceOnly = 4,
    EmbeddedMessage = 5,
    OleObject = 6,
};

// An attachment: its own properties plus, by value, its data, embedded, a whole message or, as an
// OLE object, the object's compound file (data).
struct Attachment
{
    AttachMethod method = AttachMethod::ByValue;
    std::vector<Property> properties;
    QByteArray data;
    std::shared_ptr<Message> message;
};

// A message of any class (mail, contact, appointment, ...), with its message class among the
// properties (0x001A).
struct Message
{
    std::vector<Property> properties;
    std::vector<Recipient> recipients;
    std::vector<Attachment> attachments;
    // What the store went through before it was written, as Outlook leaves it: a deleted message
    // keeps its blocks (freed) and its index entry in a superseded index page only; an edited one
    // keeps its earlier version the same way, under the same node id.
    bool deleted = false;
    std::shared_ptr<Message> earlierVersion;
    // A moved message keeps its blocks; only a superseded index page still lists it under the
    // folder it was moved from (a folder's node id; 0: not moved).
    std::uint32_t movedFrom = 0;
};

// The special places the message store points to.
enum class FolderRole
{
    Normal,
    IpmSubtree,
    DeletedItems,
    SearchRoot,
    // Named by entry ids as Outlook names them: Sent Items in the message store, Drafts and
    // Junk E-mail in the root folder and the Inbox, which thereby is known as the Inbox.
    Inbox,
    SentItems,
    Drafts,
    JunkEmail,
};

struct Folder
{
    QString name;
    QString containerClass;
    FolderRole role = FolderRole::Normal;
    std::vector<Property> properties;
    // A deleted folder is left as a deleted message is; its messages stay in the index, in no
    // folder that can be reached.
    bool deleted = false;
    std::vector<Folder> folders;
    std::vector<Message> messages;
};

// A whole store: the folders below the root folder.
struct StoreDescription
{
    StoreOptions options;
    QString displayName = QStringLiteral("Personal Folders");
    std::vector<Folder> folders;
};

} // namespace storegen
