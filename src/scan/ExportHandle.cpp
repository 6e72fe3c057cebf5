#include "ExportHandle.h"

#include "ExportCounters.h"
#include "HandleLifecycle.h"
#include "catalog/Catalogs.h"
#include "catalog/ItemSerialCounter.h"
#include "views/FolderTreeModel.h"

namespace scan {

ExportHandle::ExportHandle(char mode)
    : exportMode(mode), catalogs(&catalog::Catalogs::processCatalogs()),
      serials(&catalog::ItemSerialCounter::processCounter()), counters(&ExportCounters::processCounters())
{
    // The store itself is the outermost frame, so that items found directly below the root
    // folder have a node to attach to.
    folders.push_back(FolderFrame{});
}

int ExportHandle::nextSerial()
{
    lastSerial = serials ? serials->next() : 0;
    return lastSerial;
}

bool ExportHandle::atItemBoundary()
{
    if (m_paused.load()) {
        std::unique_lock lock(m_pauseMutex);
        m_waiting.store(true);
        m_pauseCondition.wait(lock, [this] { return !m_paused.load() || aborted(); });
        m_waiting.store(false);
    }
    if (boundaryHook)
        boundaryHook();
    return aborted();
}

void ExportHandle::pause()
{
    std::lock_guard lock(m_pauseMutex);
    m_paused.store(true);
}

void ExportHandle::resume()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_paused.store(false);
    }
    m_pauseCondition.notify_all();
}

void ExportHandle::requestAbort()
{
    {
        std::lock_guard lock(m_pauseMutex);
        abortFlag.store(1);
    }
    m_pauseCondition.notify_all();
}

const FolderFrame& ExportHandle::currentFolder() const
{
    return folders.back();
}

FolderFrame& ExportHandle::currentFolder()
{
    return folders.back();
}

bool ExportHandle::isOwnItemOfCurrentFolder() const
{
    return embeddingDepth == 0 && currentFolder().depth > 0;
}

void ExportHandle::markCurrentFolder(std::optional<int> count)
{
    const FolderFrame& frame = currentFolder();
    if (!tree || !catalog::isValid(frame.node))
        return;
    if (count)
        tree->setLabel(frame.node,
                       frame.name + QLatin1Char('(') + QString::number(*count) + QLatin1Char(')'));
    tree->setBold(frame.node, true);
}

FolderReport& ExportHandle::currentReport()
{
    return report.folder(currentFolder().node, currentFolder().name);
}

int export_handle_initialize(ExportHandle** handle, char exportMode, QString* error)
{
    return initializeHandle(handle, error, "export handle", exportMode);
}

int export_handle_free(ExportHandle** handle, QString* error)
{
    return freeHandle(handle, error, "export handle");
}

} // namespace scan
