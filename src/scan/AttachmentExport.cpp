#include "AttachmentExport.h"

#include "ExportFileSystem.h"
#include "ExportHandle.h"
#include "ExportWalk.h"
#include "store/MapiTags.h"
#include "MessageCollection.h"
#include "PropertyReads.h"
#include "catalog/MailRecord.h"
#include "store/Item.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace scan {

using namespace store::mapi;

namespace {

const QString Separator = QStringLiteral(" ;");

// A data attachment's name: its long file name, else its short one, else its display name.
std::optional<QString> attachmentName(const store::Item& attachment)
{
    for (std::uint32_t tag : {PrAttachLongFileName, PrAttachFileName, PrDisplayName}) {
        const std::optional<QString> name = PropertyReads::text(attachment, tag);
        if (name && !name->isEmpty())
            return name;
    }
    return std::nullopt;
}

QString contentId(const store::Item& attachment)
{
    QString id = PropertyReads::text(attachment, PrAttachContentId).value_or(QString()).trimmed();
    if (id.startsWith(QLatin1Char('<')) && id.endsWith(QLatin1Char('>')))
        id = id.mid(1, id.size() - 2);
    return id;
}

// Writes a data attachment's content into `filePath`, a new file. Returns false with `error` set;
// a file that could not be written completely is removed.
bool writeAttachmentContent(const store::Item& attachment, const QString& filePath, QString* error)
{
    QFile file(filePath);
    // A new file only: nothing that is already there (a planted link included) is written through.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = file.errorString();
        return false;
    }
    constexpr std::size_t Chunk = 1 << 20;
    try {
        const std::uint64_t size = attachment.attachmentDataSize();
        for (std::uint64_t offset = 0; offset < size;) {
            const QByteArray data = attachment.readAttachmentData(offset, Chunk);
            if (data.isEmpty() || file.write(data) != data.size()) {
                *error = data.isEmpty() ? QStringLiteral("its content ends early") : file.errorString();
                break;
            }
            offset += static_cast<std::uint64_t>(data.size());
        }
    } catch (const store::StoreError& e) {
        *error = e.message();
    }
    if (!error->isEmpty()) {
        file.remove();
        return false;
    }
    return true;
}

} // namespace

int export_handle_export_recipients(ExportHandle* handle, const store::Item& message,
                                    MessageCollection& collection, LogHandle* log, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    std::unique_ptr<store::Item> recipients;
    int count = 0;
    try {
        recipients = message.recipients();
        if (!recipients)
            return 1;
        count = recipients->recordSetCount();
    } catch (const store::StoreError& e) {
        collection.problems.append(QStringLiteral("the recipients cannot be read: %1").arg(e.message()));
        if (error)
            *error = e.message();
        return -1;
    }
    if (count > 0)
        return export_handle_export_recipients_to_stream(handle, *recipients, count, collection, log, error);
    return 1;
}

int export_handle_export_recipients_to_stream(ExportHandle* /*handle*/, const store::Item& recipients,
                                              int numberOfRecipients, MessageCollection& collection,
                                              LogHandle* /*log*/, QString* /*error*/)
{
    for (int index = 0; index < numberOfRecipients; ++index) {
        // A recipient without any of its texts is an empty row: it adds nothing, and the ones
        // after it still add their names.
        bool anyText = false;
        for (std::uint32_t tag : {PrDisplayName, PrRecipientDisplayName, PrAddressType, PrEmailAddress}) {
            if (PropertyReads::textSize(recipients, tag, index)) {
                anyText = true;
                break;
            }
        }
        if (!anyText)
            continue;
        const std::optional<QString> name = PropertyReads::text(recipients, PrDisplayName, index);
        if (name)
            collection.recipients += *name + Separator;
        catalog::MailRecipient recipient;
        recipient.name = name.value_or(QString());
        // The Internet address: the SMTP address where the store has one, else the address when
        // its type is SMTP (an Exchange address is no mail address to show or search).
        std::optional<QString> address = PropertyReads::text(recipients, PrSmtpAddress, index);
        if (!address || address->isEmpty()) {
            const std::optional<QString> type = PropertyReads::text(recipients, PrAddressType, index);
            if (type && type->compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0)
                address = PropertyReads::text(recipients, PrEmailAddress, index);
            else
                address.reset();
        }
        recipient.address = address.value_or(QString()).trimmed();
        std::optional<std::uint32_t> kind;
        try {
            kind = recipients.integer32(PrRecipientType, index);
        } catch (const store::StoreError&) {
        }
        // The high bits mark resent and responded recipients; the low ones say To, Cc or Bcc.
        const std::uint32_t low = kind ? (*kind & 0x0F) : 1;
        recipient.type = low == 2 ? catalog::MailRecipient::Cc : low == 3 ? catalog::MailRecipient::Bcc
                                                                          : catalog::MailRecipient::To;
        collection.recipientList.append(std::move(recipient));
    }
    return 1;
}

int export_handle_export_attachments(ExportHandle* handle, const store::Item& message,
                                     MessageCollection& collection, char bodyFormat, LogHandle* log,
                                     QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    int count = 0;
    try {
        count = message.attachmentCount();
    } catch (const store::StoreError& e) {
        // The message keeps its record; only its attachment list is missing.
        collection.problems.append(QStringLiteral("the attachments cannot be listed: %1").arg(e.message()));
        return 1;
    }
    if (count <= 0)
        return 1;
    export_handle_make_directory(handle, handle->attachmentsDirectory, log, nullptr);
    for (int index = 0; index < count; ++index) {
        if (handle->atItemBoundary()) {
            if (error)
                *error = QStringLiteral("aborted");
            return -1;
        }
        std::unique_ptr<store::Item> attachment;
        try {
            attachment = message.attachment(index);
        } catch (const store::StoreError& e) {
            if (handle->aborted())
                return -1;
            collection.problems.append(
                QStringLiteral("attachment %1 cannot be read: %2").arg(index + 1).arg(e.message()));
            continue;
        }
        if (!attachment)
            continue;
        QString attachmentError;
        int result = -1;
        try {
            result = export_handle_export_attachment(handle, *attachment, index, handle->attachmentsDirectory,
                                                     collection, bodyFormat, log, &attachmentError);
        } catch (const store::StoreError& e) {
            attachmentError = e.message();
        }
        if (handle->aborted())
            return -1;
        if (result != 1 && !attachmentError.isEmpty())
            collection.problems.append(
                QStringLiteral("attachment %1: %2").arg(index + 1).arg(attachmentError));
    }
    return 1;
}

int export_handle_export_attachment(ExportHandle* handle, const store::Item& attachment, int attachmentIndex,
                                    const QString& attachmentsDirectory, MessageCollection& collection,
                                    char bodyFormat, LogHandle* log, QString* error)
{
    if (!handle || attachmentsDirectory.isEmpty()) {
        if (error)
            *error = QStringLiteral("invalid attachment arguments");
        return -1;
    }
    const store::AttachmentType type = attachment.attachmentType();
    if (type == store::AttachmentType::Undefined)
        return 1;

    // Embedded items and nameless attachments get names unique within the scan, so that two of
    // them never meet in the attachments directory.
    QString name;
    if (type != store::AttachmentType::Item) {
        const std::optional<QString> stored = attachmentName(attachment);
        name =
            stored
                ? *stored
                : QStringLiteral("Attachment%1").arg(++handle->unnamedAttachments, 5, 10, QLatin1Char('0'));
    } else {
        name = QStringLiteral("Embedded%1").arg(++handle->embeddedItems, 5, 10, QLatin1Char('0'));
    }
    const QByteArray nameUtf8 = name.toUtf8();
    QString targetPath;
    int targetSize = 0;
    if (export_handle_create_target_path(
            handle, attachmentsDirectory, static_cast<int>(attachmentsDirectory.size()) + 1, nameUtf8,
            static_cast<int>(nameUtf8.size()) + 1, &targetPath, &targetSize, error, DiskPathSeparator) != 1)
        return -1;
    if (!targetPath.isEmpty()) {
        collection.attachments += targetPath + QStringLiteral(" ;");
        catalog::MailAttachment entry{targetPath, {}, {}};
        if (type == store::AttachmentType::Data && handle->saveAttachmentFiles && handle->messageIndex >= 0) {
            // Only the path and the way back to the attachment: its content is saved when its
            // mail is first shown, so that a scan does not copy a store's attachments.
            entry.contentId = contentId(attachment);
            const QString fileName = targetPath.mid(targetPath.lastIndexOf(DiskPathSeparator) + 1);
            entry.filePath = handle->attachmentsDirectory + QStringLiteral("/.files/") +
                             QString::number(++handle->savedAttachments) + QLatin1Char('/') + fileName;
            for (std::size_t frame = 1; frame < handle->folders.size(); ++frame)
                entry.folderRoute.append(handle->folders[frame].index);
            entry.messageIndex = handle->messageIndex;
            entry.attachmentRoute =
                QList<int>(handle->attachmentRoute.begin(), handle->attachmentRoute.end());
            entry.attachmentRoute.append(attachmentIndex);
        }
        if (type == store::AttachmentType::Reference) {
            // The file stays where it is; the list names that place.
            for (std::uint32_t tag : {PrAttachLongPathName, PrAttachPathName}) {
                entry.target = PropertyReads::text(attachment, tag).value_or(QString()).trimmed();
                if (!entry.target.isEmpty())
                    break;
            }
        }
        collection.attachmentFiles.append(entry);
    }
    // A data attachment is only listed here: its file is made when its mail is shown. A
    // by-reference one has no content in the store.
    if (type != store::AttachmentType::Item)
        return 1;
    if (pathExists(targetPath)) {
        // Listed, but a file or directory of that name is there already: nothing more is made.
        if (error)
            *error = QStringLiteral("%1 exists already").arg(targetPath);
        return -1;
    }

    if (handle->embeddingDepth >= MaximumEmbeddingDepth) {
        if (error)
            *error = QStringLiteral("items embedded more than %1 deep").arg(MaximumEmbeddingDepth);
        return -1;
    }
    export_handle_make_directory(handle, targetPath, log, nullptr);
    std::unique_ptr<store::Item> embedded = attachment.embeddedItem();
    if (!embedded)
        return 1;
    ++handle->embeddingDepth;
    handle->attachmentRoute.push_back(attachmentIndex);
    const int serialBefore = handle->lastSerial;
    const qsizetype listed = collection.attachmentFiles.size() - 1;
    try {
        export_handle_export_item(handle, *embedded, 0, 1, targetPath, bodyFormat, log, nullptr);
    } catch (...) {
        handle->attachmentRoute.pop_back();
        --handle->embeddingDepth;
        throw;
    }
    handle->attachmentRoute.pop_back();
    --handle->embeddingDepth;
    // The attached item's own record is the last one made (its attachments come before it).
    if (handle->lastSerial != serialBefore && listed >= 0 && !targetPath.isEmpty())
        collection.attachmentFiles[listed].itemSerial = handle->lastSerial;
    return 1;
}

bool saveAttachmentFile(const store::Store& store, const catalog::MailAttachment& attachment, QString* error)
{
    QString problem;
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (attachment.filePath.isEmpty() || attachment.messageIndex < 0 ||
        attachment.attachmentRoute.isEmpty() || attachment.folderRoute.isEmpty())
        return fail(QStringLiteral("the attachment cannot be found in the store"));
    if (QFileInfo::exists(attachment.filePath))
        return true;
    try {
        // Down the way the scan came: the root's items, sub-folders, the message, attachments and
        // the messages attached to them.
        std::unique_ptr<store::Item> item = store.rootFolder();
        for (qsizetype level = 0; item && level < attachment.folderRoute.size(); ++level)
            item = level == 0 ? item->subItem(attachment.folderRoute[level])
                              : item->subFolder(attachment.folderRoute[level]);
        if (item)
            item = item->subMessage(attachment.messageIndex);
        for (qsizetype level = 0; item && level < attachment.attachmentRoute.size(); ++level) {
            item = item->attachment(attachment.attachmentRoute[level]);
            if (item && level + 1 < attachment.attachmentRoute.size())
                item = item->embeddedItem();
        }
        if (!item || item->attachmentType() != store::AttachmentType::Data)
            return fail(QStringLiteral("the attachment cannot be found in the store"));
        if (!QDir().mkpath(QFileInfo(attachment.filePath).absolutePath()))
            return fail(
                QStringLiteral("cannot create %1").arg(QFileInfo(attachment.filePath).absolutePath()));
        if (!writeAttachmentContent(*item, attachment.filePath, &problem))
            return fail(problem);
    } catch (const store::StoreError& e) {
        return fail(e.message());
    }
    return true;
}

} // namespace scan
