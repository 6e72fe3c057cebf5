#include "StoreTypes.h"

namespace store {

const char* itemTypeName(ItemType type)
{
    switch (type) {
    case ItemType::Undefined:
        return "undefined";
    case ItemType::Activity:
        return "activity";
    case ItemType::Appointment:
        return "appointment";
    case ItemType::Attachment:
        return "attachment";
    case ItemType::Attachments:
        return "attachments";
    case ItemType::Common:
        return "common";
    case ItemType::Configuration:
        return "configuration";
    case ItemType::ConflictMessage:
        return "conflict message";
    case ItemType::Contact:
        return "contact";
    case ItemType::DistributionList:
        return "distribution list";
    case ItemType::Document:
        return "document";
    case ItemType::Email:
        return "email";
    case ItemType::EmailSmime:
        return "email (S/MIME)";
    case ItemType::Fax:
        return "fax";
    case ItemType::Folder:
        return "folder";
    case ItemType::Meeting:
        return "meeting";
    case ItemType::Mms:
        return "MMS";
    case ItemType::Note:
        return "note";
    case ItemType::PostingNote:
        return "posting note";
    case ItemType::Recipients:
        return "recipients";
    case ItemType::RssFeed:
        return "RSS feed";
    case ItemType::Sharing:
        return "sharing";
    case ItemType::Sms:
        return "SMS";
    case ItemType::SubAssociatedContents:
        return "sub associated contents";
    case ItemType::SubFolders:
        return "sub folders";
    case ItemType::SubMessages:
        return "sub messages";
    case ItemType::Task:
        return "task";
    case ItemType::TaskRequest:
        return "task request";
    case ItemType::Voicemail:
        return "voicemail";
    case ItemType::Unknown:
        return "unknown";
    }
    return "unknown";
}

} // namespace store

#include "Store.h"

namespace store {

const char* recoveredStateName(RecoveredState state)
{
    switch (state) {
    case RecoveredState::Deleted:
        return "deleted";
    case RecoveredState::EarlierVersion:
        return "earlier-version";
    case RecoveredState::Orphan:
        break;
    }
    return "orphan";
}

} // namespace store
