#include "ExportHandle.h"

#include "ExportCounters.h"
#include "catalog/Catalogs.h"
#include "catalog/ItemSerialCounter.h"

#include <new>

namespace engine {

ExportHandle::ExportHandle(char mode)
    : exportMode(mode), catalogs(&catalog::Catalogs::processCatalogs()),
      serials(&catalog::ItemSerialCounter::processCounter()), counters(&ExportCounters::processCounters())
{
    // The store itself is the outermost frame, so that items found directly below the root
    // folder have a node to attach to.
    folders.push_back(FolderFrame{});
}

bool ExportHandle::atItemBoundary()
{
    if (m_paused.load()) {
        std::unique_lock lock(m_pauseMutex);
        m_pauseCondition.wait(lock, [this] { return !m_paused.load() || aborted(); });
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

FolderReport& ExportHandle::currentReport()
{
    return report.folder(currentFolder().node, currentFolder().name);
}

int export_handle_initialize(ExportHandle** handle, char exportMode, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    if (*handle)
        return 1;
    *handle = new (std::nothrow) ExportHandle(exportMode);
    if (!*handle) {
        if (error)
            *error = QStringLiteral("unable to create export handle");
        return -1;
    }
    return 1;
}

int export_handle_free(ExportHandle** handle, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    delete *handle;
    *handle = nullptr;
    return 1;
}

} // namespace engine
