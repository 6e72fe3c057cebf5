#include "eml/Message.h"

#include <QTimeZone>

namespace eml {

Attachment Attachment::fromData(const QString& fileName, const QByteArray& data, const QString& mimeType)
{
    Attachment attachment;
    attachment.kind = Kind::Data;
    attachment.fileName = fileName;
    attachment.data = data;
    attachment.mimeType = mimeType;
    return attachment;
}

Attachment Attachment::fromMessage(const QString& fileName, Message message)
{
    Attachment attachment;
    attachment.kind = Kind::Embedded;
    attachment.fileName = fileName;
    attachment.message = std::make_shared<const Message>(std::move(message));
    return attachment;
}

Attachment Attachment::fromReference(const QString& fileName, const QString& target)
{
    Attachment attachment;
    attachment.kind = Kind::Reference;
    attachment.fileName = fileName;
    attachment.referenceTarget = target;
    return attachment;
}

QDateTime Message::dateFromFileTime(std::uint64_t fileTime)
{
    // Seconds between 1601-01-01 and 1970-01-01; whole seconds only, as a Date header carries.
    constexpr std::int64_t kEpochDifference = 11644473600;
    constexpr std::uint64_t kTicksPerSecond = 10000000;
    const auto seconds = static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kEpochDifference;
    QDateTime date = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    // A Date header has a four-digit year.
    if (!date.isValid() || date.date().year() > 9999)
        return {};
    return date;
}

} // namespace eml
