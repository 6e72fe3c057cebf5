#include "OtherKindsExport.h"

#include "ExportHandle.h"
#include "store/MapiTags.h"
#include "MessageTexts.h"
#include "PropertyReads.h"
#include "catalog/Catalogs.h"
#include "store/FileTime.h"
#include "store/Item.h"

namespace scan {

using namespace store::mapi;

namespace {

// Fills what every kind's record has, counts the item in its folder's label and appends the
// record with `append`. The record is complete before the append links it.
template <typename R, typename Append>
int exportRecord(ExportHandle* handle, const store::Item& item, R record, int FolderFrame::*counter,
                 QString* error, Append append)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    record.subject = MessageTexts::subjectSlot(PropertyReads::messageText(item, PrSubject));
    const QString body = handle->readBodies ? PropertyReads::plainBody(item) : QString();
    // Reads give up once the scan is aborted; a record made of them would be hollow.
    if (handle->aborted())
        return -1;
    record.serial = handle->nextSerial();
    FolderFrame& frame = handle->currentFolder();
    record.node = frame.node;
    // An embedded item is attached to the folder of the item that holds it but is not one of the
    // folder's own. A folder with mail keeps the mail's label (all of its messages), which a task
    // request among them would otherwise replace with a count of one.
    std::optional<int> count;
    if (handle->isOwnItemOfCurrentFolder()) {
        ++(frame.*counter);
        if (!frame.mailLabelled)
            count = frame.*counter;
    }
    handle->markCurrentFolder(count);
    if (handle->catalogs)
        (handle->catalogs->*append)(std::move(record), body);
    return 1;
}

qint64 msecsOf(const std::optional<std::uint64_t>& fileTime)
{
    return fileTime ? store::fileTimeToMsecsSinceEpoch(*fileTime) : -1;
}

// PR_PRIORITY (-1 non-urgent, 0 normal, 1 urgent) in PR_IMPORTANCE's codes, for a task that has
// only a priority.
std::optional<std::uint32_t> importanceOfPriority(std::optional<std::uint32_t> priority)
{
    if (!priority)
        return std::nullopt;
    const auto value = static_cast<std::int32_t>(*priority);
    return value < 0 ? 0u : value > 0 ? 2u : 1u;
}

} // namespace

int export_handle_export_task(ExportHandle* handle, const store::Item& task, QString* error)
{
    catalog::TaskRecord record;
    record.dueDate = PropertyReads::fileTime(task, TaskDueDate);
    record.time = msecsOf(record.dueDate);
    record.status = PropertyReads::integer32(task, TaskStatus);
    record.percentComplete = PropertyReads::floating64(task, TaskPercentComplete);
    record.importance = PropertyReads::integer32(task, PrImportance);
    if (!record.importance)
        record.importance = importanceOfPriority(PropertyReads::integer32(task, PrPriority));
    return exportRecord(handle, task, std::move(record), &FolderFrame::tasks, error,
                        &catalog::Catalogs::AppendTaskRecord);
}

int export_handle_export_note(ExportHandle* handle, const store::Item& note, QString* error)
{
    catalog::NoteRecord record;
    record.color = PropertyReads::integer32(note, NoteColor);
    record.modificationTime = PropertyReads::fileTime(note, PrLastModificationTime);
    record.time = msecsOf(record.modificationTime);
    return exportRecord(handle, note, std::move(record), &FolderFrame::notes, error,
                        &catalog::Catalogs::AppendNoteRecord);
}

int export_handle_export_journal_entry(ExportHandle* handle, const store::Item& entry, QString* error)
{
    catalog::JournalRecord record;
    record.entryType = PropertyReads::messageText(entry, JournalType);
    if (!record.entryType || record.entryType->isEmpty())
        record.entryType = PropertyReads::messageText(entry, JournalTypeDescription);
    record.start = PropertyReads::fileTime(entry, JournalStart);
    record.time = msecsOf(record.start);
    return exportRecord(handle, entry, std::move(record), &FolderFrame::journalEntries, error,
                        &catalog::Catalogs::AppendJournalRecord);
}

} // namespace scan
