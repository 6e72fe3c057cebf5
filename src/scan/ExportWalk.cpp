#include "ExportWalk.h"

#include "AppointmentExport.h"
#include "ContactExport.h"
#include "ExportCounters.h"
#include "ExportHandle.h"
#include "FolderExport.h"
#include "MessageExport.h"
#include "OtherKindsExport.h"
#include "PropertyReads.h"
#include "catalog/CatalogOutOfMemory.h"
#include "catalog/CatalogWriteError.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <new>

namespace scan {

namespace {

void reportFailure(ExportHandle* handle, std::uint32_t identifier, store::ItemType type,
                   const QString& description, const QString& reason)
{
    handle->currentReport().failures.append(ItemProblem{identifier, type, description, reason});
}

QString describe(const store::Item& item, int itemIndex)
{
    const QString description = PropertyReads::description(item);
    return description.isEmpty() ? QStringLiteral("item %1").arg(itemIndex + 1) : description;
}

// Runs one kind export and books its outcome. Anything the store throws while the item is
// exported stays with that item; only running out of catalog memory ends the walk.
template <typename Export>
void exportGuarded(ExportHandle* handle, const store::Item& item, int itemIndex, store::ItemType type,
                   Export exportItem)
{
    QString error;
    int result = -1;
    try {
        result = exportItem(&error);
    } catch (const catalog::CatalogOutOfMemory&) {
        throw;
    } catch (const catalog::CatalogWriteError&) {
        throw;
    } catch (const store::StoreError& e) {
        error = e.message();
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("not enough memory to read the item");
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (result == 1) {
        if (type != store::ItemType::Folder)
            ++handle->currentReport().exported[type];
        return;
    }
    // An item cut short by the abort flag is abandoned, not failed.
    if (handle->aborted())
        return;
    reportFailure(handle, item.identifier(), type, describe(item, itemIndex),
                  error.isEmpty() ? QStringLiteral("not exported") : error);
}

} // namespace

QString exportRoot()
{
    return QStringLiteral(".export");
}

QString pathBelowExportRoot(const QString& exportPath)
{
    const QString root = exportRoot();
    return exportPath.startsWith(root) ? exportPath.mid(root.size()) : exportPath;
}

QString lastPathComponent(const QString& exportPath)
{
    const qsizetype cut =
        std::max(exportPath.lastIndexOf(QLatin1Char('\\')), exportPath.lastIndexOf(QLatin1Char('/')));
    return exportPath.mid(cut + 1);
}

int export_handle_export_file(ExportHandle* handle, const store::Store& store, const QString& exportPath,
                              int exportPathSize, char bodyFormat, LogHandle* log, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    if (handle->abortFlag.load() != 0) {
        handle->abortFlag.store(0);
        return -1;
    }
    const QString path = exportPath.left(std::max(0, exportPathSize - 1));
    if (export_handle_export_items(handle, store, path, bodyFormat, log, error) != 1)
        return -1;
    handle->abortFlag.store(0);
    return 1;
}

int export_handle_export_items(ExportHandle* handle, const store::Store& store, const QString& exportPath,
                               char bodyFormat, LogHandle* log, QString* error)
{
    std::unique_ptr<store::Item> root;
    int count = 0;
    try {
        root = store.rootFolder();
        if (!root)
            throw store::StoreError("the store has no root folder");
        count = root->subItemCount();
    } catch (const store::StoreError& e) {
        if (error)
            *error = e.message();
        return -1;
    }
    if (count <= 0)
        return 1;
    return export_handle_export_sub_items(handle, *root, exportPath, bodyFormat, log, error);
}

int export_handle_export_sub_items(ExportHandle* handle, const store::Item& parent, const QString& exportPath,
                                   char bodyFormat, LogHandle* log, QString* error)
{
    int count = 0;
    try {
        count = parent.subItemCount();
    } catch (const store::StoreError& e) {
        if (error)
            *error = e.message();
        return -1;
    }
    for (int index = 0; index < count; ++index) {
        if (handle->atItemBoundary())
            return -1;
        std::unique_ptr<store::Item> item;
        try {
            item = parent.subItem(index);
        } catch (const store::StoreError& e) {
            if (handle->aborted())
                return -1;
            // One unreadable entry of the store's top level does not lose the others.
            reportFailure(handle, 0, store::ItemType::Unknown, QStringLiteral("item %1").arg(index + 1),
                          e.message());
            continue;
        }
        if (item)
            export_handle_export_item(handle, *item, index, count, exportPath, bodyFormat, log, nullptr);
    }
    return 1;
}

int export_handle_export_item(ExportHandle* handle, const store::Item& item, int itemIndex, int numberOfItems,
                              const QString& exportPath, char bodyFormat, LogHandle* log, QString* /*error*/)
{
    Q_UNUSED(numberOfItems)
    store::ItemType type = store::ItemType::Unknown;
    try {
        type = item.type();
    } catch (const store::StoreError& e) {
        if (handle->aborted())
            return 1;
        ++handle->currentReport().itemsSeen;
        reportFailure(handle, item.identifier(), type, describe(item, itemIndex),
                      QStringLiteral("the item's kind cannot be read: %1").arg(e.message()));
        return 1;
    }
    if (type != store::ItemType::Folder) {
        ++handle->currentReport().itemsSeen;
        if (handle->embeddingDepth > 0)
            ++handle->currentReport().embeddedSeen;
    }

    switch (type) {
    case store::ItemType::Appointment:
        handle->counters->nextAppointment();
        exportGuarded(handle, item, itemIndex, type, [&](QString* error) {
            return export_handle_export_appointment(handle, item, itemIndex, exportPath, bodyFormat, log, 2,
                                                    error);
        });
        break;
    case store::ItemType::Contact:
        handle->counters->nextContact();
        exportGuarded(handle, item, itemIndex, type, [&](QString* error) {
            return export_handle_export_contact(handle, item, itemIndex, exportPath, bodyFormat, log, 7,
                                                error);
        });
        break;
    case store::ItemType::Email:
    case store::ItemType::EmailSmime:
        exportGuarded(handle, item, itemIndex, type, [&](QString* error) {
            return export_handle_export_email(handle, item, itemIndex, exportPath, bodyFormat, log, error);
        });
        break;
    case store::ItemType::Task:
        exportGuarded(handle, item, itemIndex, type,
                      [&](QString* error) { return export_handle_export_task(handle, item, error); });
        break;
    case store::ItemType::Note:
        exportGuarded(handle, item, itemIndex, type,
                      [&](QString* error) { return export_handle_export_note(handle, item, error); });
        break;
    case store::ItemType::Activity:
        exportGuarded(handle, item, itemIndex, type, [&](QString* error) {
            return export_handle_export_journal_entry(handle, item, error);
        });
        break;
    case store::ItemType::Folder:
        exportGuarded(handle, item, itemIndex, type, [&](QString* error) {
            return export_handle_export_folder(handle, item, itemIndex, exportPath, bodyFormat, log, error);
        });
        break;
    default:
        // Kinds without an export leave nothing behind but their count in the report.
        ++handle->currentReport().passedOver[type];
        break;
    }
    return 1;
}

} // namespace scan
