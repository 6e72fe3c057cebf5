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

#include <QtEndian>

namespace store {

std::vector<QByteArray> multipleValues(const QByteArray& data)
{
    std::vector<QByteArray> values;
    if (data.size() < 4)
        return values;
    const auto count = qFromLittleEndian<std::uint32_t>(data.constData());
    if (count == 0 || 4 + 4 * qsizetype(count) > data.size())
        return values;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto begin = qFromLittleEndian<std::uint32_t>(data.constData() + 4 + 4 * i);
        const auto end = i + 1 < count ? qFromLittleEndian<std::uint32_t>(data.constData() + 8 + 4 * i)
                                       : static_cast<std::uint32_t>(data.size());
        if (begin > end || end > static_cast<std::uint32_t>(data.size()))
            return {};
        values.push_back(data.mid(begin, end - begin));
    }
    return values;
}

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
