#include "FolderExport.h"

#include "ExportFileSystem.h"
#include "ExportHandle.h"
#include "ExportWalk.h"
#include "store/MapiTags.h"
#include "PropertyReads.h"
#include "catalog/Catalogs.h"
#include "store/Item.h"
#include "store/StoreError.h"
#include "views/FolderTreeModel.h"

namespace scan {

using namespace store::mapi;

namespace {

void reportFolderProblem(ExportHandle* handle, const QString& description, const QString& reason)
{
    handle->currentReport().failures.append(ItemProblem{0, store::ItemType::Folder, description, reason});
}

// Keeps the folder stack balanced on every way out of a folder, exceptions included.
class FrameScope
{
public:
    FrameScope(ExportHandle* handle, FolderFrame frame) : m_handle(handle)
    {
        m_handle->folders.push_back(std::move(frame));
    }
    ~FrameScope() { m_handle->folders.pop_back(); }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    ExportHandle* m_handle;
};

} // namespace

QString fallbackFolderName(int folderIndex)
{
    return QStringLiteral("Folder%1").arg(static_cast<qint64>(folderIndex) + 1, 5, 10, QLatin1Char('0'));
}

int export_handle_export_folder(ExportHandle* handle, const store::Item& folder, int folderIndex,
                                const QString& exportPath, char bodyFormat, LogHandle* log, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    // A damaged store can nest folders without end; past this depth the rest is reported, not
    // walked, so that the stack holds.
    if (static_cast<int>(handle->folders.size()) > MaximumFolderDepth) {
        if (error)
            *error = QStringLiteral("folders nested more than %1 deep").arg(MaximumFolderDepth);
        return -1;
    }

    std::optional<QString> displayName = PropertyReads::text(folder, PrDisplayName);
    const QString name =
        displayName && !displayName->isEmpty() ? *displayName : fallbackFolderName(folderIndex);
    const QByteArray nameUtf8 = name.toUtf8();

    // Target paths below the export root only name folders: they are never created, so there
    // is no directory of the same name to test for.
    QString targetPath;
    int targetSize = 0;
    if (export_handle_create_target_path(handle, exportPath, static_cast<int>(exportPath.size()) + 1,
                                         nameUtf8, static_cast<int>(nameUtf8.size()) + 1, &targetPath,
                                         &targetSize, error) != 1)
        return -1;
    const QString directoryName = lastPathComponent(targetPath);

    // The depth is the folder's nesting below the export root, and the parent is the folder the
    // walk came from, whatever the folders are called.
    const FolderFrame& parent = handle->currentFolder();
    const int depth = parent.depth + 1;
    const catalog::NodeId parentNode = parent.node;
    catalog::NodeId node = catalog::NoNode;
    QString parentLabel;
    if (handle->tree) {
        node = handle->tree->InsertFolderNode(parentNode, directoryName);
        parentLabel = handle->tree->label(parentNode);
    }
    if (handle->catalogs) {
        // The identifier lets a later conversion find the folder again; a folder without one is
        // still listed.
        std::optional<std::uint32_t> identifier;
        try {
            identifier = folder.identifier();
        } catch (const store::StoreError&) {
        }
        handle->catalogs->AppendFolderRecord(directoryName, parentLabel, depth,
                                             pathBelowExportRoot(exportPath), parentNode, node, identifier);
    }

    FolderFrame frame;
    frame.node = node;
    frame.depth = depth;
    frame.name = directoryName;
    frame.index = folderIndex;
    FrameScope scope(handle, frame);
    handle->currentReport();

    const int subFolders =
        export_handle_export_sub_folders(handle, folder, targetPath, bodyFormat, log, error);
    if (handle->aborted())
        return -1;
    // Unlike a failed sub-folder walk's usual fate, the folder's own messages are still
    // exported: one unreadable sub folder must not hide the mail beside it.
    const int messages =
        export_handle_export_sub_messages(handle, folder, targetPath, bodyFormat, log, error);
    if (handle->aborted())
        return -1;
    Q_UNUSED(subFolders)
    Q_UNUSED(messages)
    return 1;
}

int export_handle_export_sub_folders(ExportHandle* handle, const store::Item& folder,
                                     const QString& exportPath, char bodyFormat, LogHandle* log,
                                     QString* error)
{
    int count = 0;
    try {
        count = folder.subFolderCount();
    } catch (const store::StoreError& e) {
        reportFolderProblem(handle, handle->currentFolder().name,
                            QStringLiteral("the sub folders cannot be counted: %1").arg(e.message()));
        if (error)
            *error = e.message();
        return -1;
    }
    int result = 1;
    for (int index = 0; index < count; ++index) {
        if (handle->atItemBoundary())
            return -1;
        std::unique_ptr<store::Item> subFolder;
        try {
            subFolder = folder.subFolder(index);
        } catch (const store::StoreError& e) {
            if (handle->aborted())
                return -1;
            reportFolderProblem(
                handle, fallbackFolderName(index),
                QStringLiteral("sub folder %1 cannot be read: %2").arg(index + 1).arg(e.message()));
            result = -1;
            continue;
        }
        if (!subFolder)
            continue;
        QString folderError;
        int exported = -1;
        try {
            exported = export_handle_export_folder(handle, *subFolder, index, exportPath, bodyFormat, log,
                                                   &folderError);
        } catch (const store::StoreError& e) {
            folderError = e.message();
        }
        if (exported != 1 && !handle->aborted()) {
            reportFolderProblem(handle, PropertyReads::description(*subFolder), folderError);
            result = -1;
        }
    }
    return result;
}

int export_handle_export_sub_messages(ExportHandle* handle, const store::Item& folder,
                                      const QString& exportPath, char bodyFormat, LogHandle* log,
                                      QString* error)
{
    int count = 0;
    try {
        count = folder.subMessageCount();
    } catch (const store::StoreError& e) {
        reportFolderProblem(handle, handle->currentFolder().name,
                            QStringLiteral("the messages cannot be counted: %1").arg(e.message()));
        if (error)
            *error = e.message();
        return -1;
    }
    handle->currentFolder().messageCount = count;
    int result = 1;
    for (int index = 0; index < count; ++index) {
        if (handle->atItemBoundary())
            return -1;
        std::unique_ptr<store::Item> message;
        try {
            message = folder.subMessage(index);
        } catch (const store::StoreError& e) {
            if (handle->aborted())
                return -1;
            ++handle->messagesDone;
            ++handle->currentReport().itemsSeen;
            handle->currentReport().failures.append(
                ItemProblem{0, store::ItemType::Unknown, QStringLiteral("message %1").arg(index + 1),
                            QStringLiteral("the message cannot be read: %1").arg(e.message())});
            result = -1;
            continue;
        }
        if (message) {
            handle->messageIndex = index;
            export_handle_export_item(handle, *message, index, count, exportPath, bodyFormat, log, nullptr);
            handle->messageIndex = -1;
        }
        ++handle->messagesDone;
    }
    return result;
}

} // namespace scan
