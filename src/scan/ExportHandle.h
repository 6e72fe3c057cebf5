#pragma once

#include "ScanReport.h"
#include "catalog/NodeId.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace catalog {
class Catalogs;
class ItemSerialCounter;
} // namespace catalog

namespace views {
class FolderTreeModel;
} // namespace views

namespace scan {

class ExportCounters;

// The folder whose items the walk is exporting, and what its items have done to its node so far.
// The top of ExportHandle::folders is the current folder node: the node the records of the
// following items attach to.
struct FolderFrame
{
    catalog::NodeId node = catalog::NoNode;
    int depth = 0;        // 0 for the store itself, 1 for a folder directly in the export root
    QString name;         // the folder's directory name, as its node was first labelled
    int index = -1;       // among its parent's sub-folders (the root's items for a top-level folder)
    int messageCount = 0; // the folder's number of messages of every kind
    bool mailLabelled = false;
    int contacts = 0;     // contacts exported into this folder in this scan
    int appointments = 0; // appointments exported into this folder in this scan
    int tasks = 0;        // and tasks, notes and journal entries
    int notes = 0;
    int journalEntries = 0;
};

// The export handle: one per scan, taken first by every export operation. Besides the export
// mode and the abort flag it carries the scan's context: the catalogs and the tree model the
// exports write, the counters, the attachments directory, the folder stack and the report.
// Owned by the scan thread; pause() / resume() / requestAbort() may be called from any thread.
struct ExportHandle
{
    explicit ExportHandle(char mode);

    char exportMode = 'i';
    std::atomic<int> abortFlag{0};

    catalog::Catalogs* catalogs = nullptr;
    views::FolderTreeModel* tree = nullptr;
    catalog::ItemSerialCounter* serials = nullptr;
    ExportCounters* counters = nullptr;
    // Where attachment paths are composed and embedded items get their directories (on disk).
    QString attachmentsDirectory;
    // The directories the walk has made or looked for, and whether they are there: each is
    // looked up on disk once per scan, not once per mail. Only this walk makes them.
    QHash<QString, bool> directories;
    // Whether data attachments get a file path (below attachmentsDirectory) and the route to them
    // in the store, so that the preview can save and show them when it shows their mail.
    bool saveAttachmentFiles = false;
    // Which parts of a mail the scan reads (all by default).
    bool readBodies = true;
    bool readRecipients = true;
    bool readAttachments = true;
    // The index of the message being exported in its folder, and the attachment indices down
    // through attached messages to the item being exported.
    int messageIndex = -1;
    std::vector<int> attachmentRoute;
    // The node that stands for the store; the parent of the top-level folders' nodes.
    catalog::NodeId storeNode = catalog::NoNode;

    std::vector<FolderFrame> folders;
    // Above 0 while the items of an attachment are being exported.
    int embeddingDepth = 0;
    int unnamedAttachments = 0;
    int embeddedItems = 0;
    int savedAttachments = 0;
    // The serial given to the record made last; an attached item's link names it.
    int lastSerial = 0;
    ScanReport report;
    int messagesDone = 0;
    // Called at every item boundary on the scan thread (batched notifications).
    std::function<void()> boundaryHook;

    // The serial of the next record (0 without a counter); remembered as the last one.
    int nextSerial();

    // Waits while paused, runs the boundary hook and tells whether the walk must stop.
    bool atItemBoundary();
    bool aborted() const { return abortFlag.load() != 0; }

    void pause();
    void resume();
    bool isPaused() const { return m_paused.load(); }
    // True while the walk waits at an item boundary for resume() or requestAbort().
    bool isWaiting() const { return m_waiting.load(); }
    // Sets the abort flag and wakes a paused walk so that it can unwind.
    void requestAbort();

    const FolderFrame& currentFolder() const;
    FolderFrame& currentFolder();
    // Whether the item being exported is one of the current folder's own (not the store's, not
    // embedded in another item).
    bool isOwnItemOfCurrentFolder() const;
    // Marks the current folder's node for an item attached to it: bold, and with a count the
    // label "name(count)".
    void markCurrentFolder(std::optional<int> count);
    // The report entry of the current folder node.
    FolderReport& currentReport();

private:
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_waiting{false};
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseCondition;
};

// Creates a handle with the given export mode. -1 when the out-pointer is missing; 1 at once
// when *handle already holds one.
int export_handle_initialize(ExportHandle** handle, char exportMode, QString* error);
// Releases the handle and sets *handle to none. -1 when the pointer is missing.
int export_handle_free(ExportHandle** handle, QString* error);

// Nesting limits that keep a damaged, cyclic store from exhausting the stack.
inline constexpr int MaximumFolderDepth = 512;
inline constexpr int MaximumEmbeddingDepth = 32;

} // namespace scan
