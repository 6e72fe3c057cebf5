#include "AppointmentExport.h"

#include "AttachmentExport.h"
#include "ExportHandle.h"
#include "ExportWalk.h"
#include "store/MapiTags.h"
#include "MessageCollection.h"
#include "MessageTexts.h"
#include "PropertyReads.h"
#include "catalog/Catalogs.h"
#include "catalog/SanitizeDisplayText.h"
#include "store/FileTime.h"
#include "store/Item.h"
#include "views/FolderTreeModel.h"

namespace scan {

using namespace store::mapi;

namespace {

// The text cut to at most `limit` UTF-8 bytes, never inside a character.
QString limitedText(const std::optional<QString>& text, int limit)
{
    if (!text || text->isEmpty())
        return QStringLiteral(" ");
    QByteArray bytes = text->toUtf8();
    if (bytes.size() <= limit)
        return *text;
    qsizetype cut = limit;
    // Step back over continuation bytes to the start of the character that does not fit.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(bytes.left(cut));
}

} // namespace

int export_handle_export_appointment(ExportHandle* handle, const store::Item& appointment, int /*itemIndex*/,
                                     const QString& exportPath, char bodyFormat, LogHandle* log, int kindCode,
                                     QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    const QString folderName = lastPathComponent(exportPath);
    const QString itemPath = catalog::SanitizeDisplayText(pathBelowExportRoot(exportPath));

    catalog::AppointmentRecord record;
    record.name = folderName;
    record.kind = kindCode;
    // An absent or unreadable time shows the mail header's word for a missing date.
    record.start =
        PropertyReads::dateTimeText(appointment, AppointmentStartTime).value_or(QStringLiteral("None"));
    record.end =
        PropertyReads::dateTimeText(appointment, AppointmentEndTime).value_or(QStringLiteral("None"));
    record.location =
        limitedText(PropertyReads::messageText(appointment, AppointmentLocation), MaximumLocationBytes);
    record.recurrence = limitedText(PropertyReads::messageText(appointment, AppointmentRecurrencePattern),
                                    MaximumRecurrenceBytes);
    record.subject = MessageTexts::subjectSlot(PropertyReads::messageText(appointment, PrSubject));
    record.placeholder1 = QStringLiteral("None");
    record.placeholder2 = QStringLiteral("None");
    if (!itemPath.isEmpty() && itemPath != QStringLiteral(" "))
        record.folderPath = itemPath;

    // The appointment's attachments are walked for their embedded items; the list itself is
    // dropped with the appointment.
    MessageCollection collection;
    export_handle_export_attachments(handle, appointment, collection, bodyFormat, log, error);
    // Reads give up once the scan is aborted; a record made of them would be hollow.
    if (handle->aborted())
        return -1;

    record.serial = handle->nextSerial();
    FolderFrame& frame = handle->currentFolder();
    record.node = frame.node;
    // The label counts the appointments exported into this folder in this scan. An embedded item is
    // attached to the folder of the item that holds it but is not one of the folder's own.
    std::optional<int> count;
    if (handle->isOwnItemOfCurrentFolder())
        count = ++frame.appointments;
    handle->markCurrentFolder(count);
    if (!collection.problems.isEmpty())
        handle->currentReport().incomplete.append(
            ItemProblem{appointment.identifier(), store::ItemType::Appointment,
                        record.location.value_or(QString()), collection.problems.join(QStringLiteral("; "))});
    if (const std::optional<std::uint64_t> start = PropertyReads::fileTime(appointment, AppointmentStartTime))
        record.time = store::fileTimeToMsecsSinceEpoch(*start);
    // Attendees and the description are for a search only; they cost a read a plain scan skips.
    catalog::AppointmentTexts texts;
    if (handle->catalogs && handle->catalogs->searchIndex()) {
        texts.attendees = QStringList{PropertyReads::messageText(appointment, PrDisplayTo).value_or(QString()),
                                      PropertyReads::messageText(appointment, PrDisplayCc).value_or(QString())}
                              .join(QLatin1Char(' '));
        // A description that cannot be read is not searched.
        texts.description = PropertyReads::plainBody(appointment);
    }
    if (handle->catalogs)
        handle->catalogs->AppendAppointmentRecord(std::move(record), texts);
    return 1;
}

} // namespace scan
