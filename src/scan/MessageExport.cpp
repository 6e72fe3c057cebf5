#include "MessageExport.h"

#include "AttachmentExport.h"
#include "ExportFileSystem.h"
#include "ExportHandle.h"
#include "ExportWalk.h"
#include "store/MapiTags.h"
#include "MessageCollection.h"
#include "MessageTexts.h"
#include "PropertyReads.h"
#include "catalog/Catalogs.h"
#include "catalog/SanitizeDisplayText.h"
#include "eml/RtfDeEncapsulator.h"
#include "store/CodePage.h"
#include "store/FileTime.h"
#include "store/Item.h"
#include "store/StoreError.h"
#include "views/FolderTreeModel.h"

#include <QFile>

namespace scan {

using namespace store::mapi;

namespace {

template <typename Query> std::optional<std::size_t> bodySize(Query query)
{
    try {
        return query();
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

// Keeps a body of `size` bytes as the message's body, unless it is empty or too large.
template <typename Read, typename Decode>
void storeBody(MessageCollection& collection, std::size_t size, int kind, Read read, Decode decode)
{
    if (size == 0)
        return;
    // Checked before reading, so that a damaged size never makes us allocate it.
    if (size >= MaximumBodySize) {
        collection.bodyNotKept = true;
        if (!collection.readLargeBodyForSearch || size > MaximumSearchBodySize)
            return;
        try {
            if (const std::optional<QByteArray> large = read()) {
                collection.searchBody = decode(*large);
                collection.searchBodyKind = kind;
            }
        } catch (const store::StoreError&) {
            // Only a search would have used it; the record says the body was not kept.
        }
        return;
    }
    std::optional<QByteArray> bytes;
    try {
        bytes = read();
    } catch (const store::StoreError& e) {
        collection.problems.append(QStringLiteral("the body cannot be read: %1").arg(e.message()));
        return;
    }
    if (!bytes)
        return;
    collection.body = decode(*bytes);
    collection.bodyKind = kind;
}

QString decodeHtml(const store::Item& message, const QByteArray& bytes)
{
    std::optional<std::uint32_t> valueType;
    try {
        valueType = message.valueType(PrHtml, 0);
    } catch (const store::StoreError&) {
    }
    if (valueType == store::valuetype::Unicode) {
        QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
        while (!text.isEmpty() && text.back() == QChar(0))
            text.chop(1);
        return text;
    }
    const std::optional<std::uint32_t> codePage = PropertyReads::integer32(message, PrInternetCodePage);
    const int cp = codePage && *codePage != 0 && *codePage <= 0xFFFF ? static_cast<int>(*codePage)
                                                                     : store::kDefaultCodePage;
    return store::decodeCodePage(PropertyReads::withoutTerminator(bytes), cp);
}

// An RTF body is kept as what it holds, never as RTF source: the HTML or the text it
// encapsulates, or the text of ordinary RTF. The conversion reads it the same way.
void storeRtfBody(const store::Item& message, std::size_t size, MessageCollection& collection)
{
    int kind = 0;
    storeBody(
        collection, size, 0, [&] { return message.rtfBody(); },
        [&kind](const QByteArray& bytes) {
            const eml::RtfDeEncapsulator::Result readable =
                eml::RtfDeEncapsulator::convert(PropertyReads::withoutTerminator(bytes));
            kind = readable.origin == eml::RtfDeEncapsulator::Origin::Html ? 1 : 0;
            return readable.origin == eml::RtfDeEncapsulator::Origin::NotRtf ? QString() : readable.text;
        });
    collection.bodyKind = kind;
}

// The time a search's date range looks at: delivery, else submit, else creation.
qint64 receivedTime(const store::Item& message)
{
    for (const std::uint32_t tag : {PrMessageDeliveryTime, PrClientSubmitTime, PrCreationTime}) {
        if (const std::optional<std::uint64_t> time = PropertyReads::fileTime(message, tag); time && *time != 0)
            return store::fileTimeToMsecsSinceEpoch(*time);
    }
    return -1;
}

std::optional<QString> present(const QString& text)
{
    // A single space and an empty text both stand for "no value".
    if (text.isEmpty() || text == QStringLiteral(" "))
        return std::nullopt;
    return text;
}

std::optional<QString> present(const std::optional<QString>& text)
{
    return text ? present(*text) : std::nullopt;
}

} // namespace

int export_handle_export_email(ExportHandle* handle, const store::Item& message, int /*itemIndex*/,
                               const QString& exportPath, char bodyFormat, LogHandle* log, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    MessageCollection collection;
    collection.readLargeBodyForSearch = handle->catalogs && handle->catalogs->searchIndex();
    if (handle->readBodies)
        export_handle_export_message_body(handle, message, exportPath, collection, error);
    if (handle->readAttachments &&
        export_handle_export_attachments(handle, message, collection, bodyFormat, log, error) != 1) {
        if (handle->aborted())
            return -1;
    }
    if (handle->readRecipients)
        export_handle_export_recipients(handle, message, collection, log, nullptr);
    // Reads give up once the scan is aborted; a record made of them would be hollow.
    if (handle->aborted())
        return -1;
    return export_handle_export_message_header(handle, message, exportPath, collection, error);
}

int export_handle_export_message_body(ExportHandle* handle, const store::Item& message,
                                      const QString& exportPath, MessageCollection& collection,
                                      QString* error)
{
    const std::optional<std::size_t> html = bodySize([&] { return message.htmlBodySize(); });
    if (html) {
        export_handle_export_message_body_html(handle, message, exportPath, *html, collection, error);
        return 1;
    }
    const std::optional<std::size_t> rtf = bodySize([&] { return message.rtfBodySize(); });
    if (rtf &&
        export_handle_export_message_body_rtf(handle, message, exportPath, *rtf, collection, error) == 1 &&
        (!collection.body.isEmpty() || collection.bodyNotKept))
        return 1;
    const std::optional<std::size_t> plain = bodySize([&] { return message.plainTextBodySize(); });
    if (plain)
        export_handle_export_message_body_plain_text(handle, message, *plain, collection, error);
    // The RTF step above runs only where its reservation file can be made (an embedded
    // message's directory); a mail whose only body is RTF still shows what the RTF holds.
    if (rtf && collection.body.isEmpty() && !collection.bodyNotKept)
        storeRtfBody(message, *rtf, collection);
    return 1;
}

int export_handle_export_message_body_html(ExportHandle* handle, const store::Item& message,
                                           const QString& exportPath, std::size_t size,
                                           MessageCollection& collection, QString* /*error*/)
{
    // The reservation file exists only where the export path does: an embedded message's own
    // directory. Whether it could be made does not matter for the body.
    std::unique_ptr<QFile> file;
    const QByteArray name("Message.html");
    export_handle_create_binary_item_file(handle, name, static_cast<int>(name.size()) + 1, exportPath,
                                          static_cast<int>(exportPath.size()) + 1, &file, nullptr);
    file.reset();
    storeBody(
        collection, size, 1, [&] { return message.htmlBody(); },
        [&](const QByteArray& bytes) { return decodeHtml(message, bytes); });
    return 1;
}

int export_handle_export_message_body_rtf(ExportHandle* handle, const store::Item& message,
                                          const QString& exportPath, std::size_t size,
                                          MessageCollection& collection, QString* /*error*/)
{
    std::unique_ptr<QFile> file;
    const QByteArray name("Message.rtf");
    if (export_handle_create_binary_item_file(handle, name, static_cast<int>(name.size()) + 1, exportPath,
                                              static_cast<int>(exportPath.size()) + 1, &file, nullptr) != 1)
        return -1;
    file.reset();
    storeRtfBody(message, size, collection);
    return 1;
}

int export_handle_export_message_body_plain_text(ExportHandle* /*handle*/, const store::Item& message,
                                                 std::size_t size, MessageCollection& collection,
                                                 QString* /*error*/)
{
    storeBody(
        collection, size, 0, [&] { return message.plainTextBody(); },
        [](const QByteArray& bytes) { return PropertyReads::fromUtf8(bytes); });
    return 1;
}

int export_handle_export_message_header(ExportHandle* handle, const store::Item& message,
                                        const QString& exportPath, MessageCollection& collection,
                                        QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    const QString itemPath = catalog::SanitizeDisplayText(pathBelowExportRoot(exportPath));
    const QString folderName = lastPathComponent(exportPath);

    std::optional<QString> date = PropertyReads::dateTimeText(message, PrClientSubmitTime);
    if (const std::optional<QString> created = PropertyReads::dateTimeText(message, PrCreationTime))
        date = created;

    const std::optional<QString> subject = PropertyReads::messageText(message, PrSubject);
    const std::optional<QString> senderName = PropertyReads::messageText(message, PrSenderName);
    const std::optional<QString> senderAddress = PropertyReads::messageText(message, PrSenderEmailAddress);

    catalog::MailRecord record;
    catalog::MailTexts texts;
    record.name = folderName;
    // An absent sender is "Unknown"; a sender given as a lone space stands for no value.
    texts.senderAddress = senderAddress ? present(*senderAddress) : QStringLiteral("Unknown");
    record.from = senderName ? present(*senderName) : QStringLiteral("Unknown");
    texts.to = present(collection.recipients);
    record.subject = MessageTexts::subjectSlot(subject);
    record.deliveryTime = PropertyReads::fileTime(message, PrMessageDeliveryTime);
    texts.date = date ? *date : QStringLiteral("None");
    texts.modificationTime = present(PropertyReads::dateTimeText(message, PrLastModificationTime));
    record.size = PropertyReads::integer32(message, PrMessageSize);
    record.flags = MessageTexts::flags(PropertyReads::integer32(message, PrMessageFlags));
    record.priority = MessageTexts::priority(PropertyReads::integer32(message, PrPriority));
    texts.sensitivity = MessageTexts::sensitivity(PropertyReads::integer32(message, PrSensitivity));
    texts.importance = MessageTexts::importance(PropertyReads::integer32(message, PrImportance));
    texts.body = present(collection.body);
    texts.attachments = present(collection.attachments);
    texts.attachmentFiles = collection.attachmentFiles;
    record.bodyKind = collection.body.isEmpty() ? 0 : collection.bodyKind;
    texts.folderPath = present(itemPath);
    texts.recipients = collection.recipientList;
    QStringList toNames;
    for (const catalog::MailRecipient& recipient : collection.recipientList) {
        if (recipient.type == catalog::MailRecipient::To && !recipient.name.isEmpty())
            toNames.append(recipient.name);
    }
    if (!toNames.isEmpty())
        record.toNames = toNames.join(QStringLiteral("; "));
    record.time = receivedTime(message);
    record.serial = handle->nextSerial();

    // The folder's node shows the folder's message count from its first mail on; an embedded
    // mail only marks the node it is attached to.
    FolderFrame& frame = handle->currentFolder();
    record.node = frame.node;
    std::optional<int> count;
    if (handle->isOwnItemOfCurrentFolder() && !frame.mailLabelled) {
        count = frame.messageCount;
        frame.mailLabelled = true;
    }
    handle->markCurrentFolder(count);

    FolderReport& report = handle->currentReport();
    if (collection.bodyNotKept)
        ++report.bodiesNotKept;
    if (!collection.problems.isEmpty())
        report.incomplete.append(ItemProblem{message.identifier(), store::ItemType::Email,
                                             record.subject.value_or(QString()),
                                             collection.problems.join(QStringLiteral("; "))});
    if (handle->catalogs)
        handle->catalogs->AppendMailRecord(std::move(record), std::move(texts),
                                           catalog::SearchExtras{collection.searchBody, collection.searchBodyKind == 1});
    return 1;
}

} // namespace scan
