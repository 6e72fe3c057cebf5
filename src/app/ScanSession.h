#pragma once

#include "catalog/MailRecord.h"
#include "catalog/NodeId.h"

#include <QObject>
#include <QString>

namespace app {

// How a scan ended.
enum class ScanOutcome
{
    Completed,
    NotAnOfflineStore, // the header rule rejected the file
    OpenFailed,
    WalkFailed,
    Abandoned,   // stopped by the user; the scan's results were discarded
    OutOfMemory, // the catalogs could not take another record
    TextsNotKept, // the catalogs' text file could not take an item's texts (a full disk)
};

// What a running scan is busy with, for the progress display.
struct ScanActivity
{
    enum class Step
    {
        Opening,
        Counting,
        Walking,
    };
    Step step = Step::Walking;
    int itemsDone = 0;
    int itemsTotal = 0;
};

// One scan at a time, run off the GUI thread: it opens the store, walks it into the catalogs
// and the folder tree model, and reports how it ended. The main window drives it; tests use a
// fake. Created, driven and reporting on the GUI thread.
class ScanSession : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Scans the store at `storePath`; its folders go below `storeNode`, the store's node in the
    // folder tree model.
    virtual void start(const QString& storePath, catalog::NodeId storeNode) = 0;
    // Whether the scans from now on add the folder "Recovered Items" of what the reader's
    // recovery pass finds in the file.
    virtual void setIncludeRecovered(bool include) { Q_UNUSED(include) }
    virtual bool isRunning() const = 0;
    // Holds the walk at its next item boundary; returns false when no scan is running (the
    // scan may have ended just before).
    virtual bool pause() = 0;
    virtual void resume() = 0;
    // Makes the paused or running walk give up; it writes nothing more to the catalogs or the
    // tree model once this returns. `finished` follows with Abandoned.
    virtual void abandon() = 0;
    // The walk's progress, 0 to 100.
    virtual int progress() const = 0;
    // Why the last scan failed, in the words of the store reader ("no such file", ...); empty
    // when it did not fail or no reason is known.
    virtual QString failureReason() const { return {}; }
    // Saves the contents of the listed attachments of the last scan's store that have no file
    // yet (their mail is about to be shown); those that cannot be saved stay without one.
    virtual void saveAttachmentFiles(const QList<catalog::MailAttachment>& attachments)
    {
        Q_UNUSED(attachments)
    }
    // What the running scan does now; by default only its progress in percent.
    virtual ScanActivity activity() const { return {ScanActivity::Step::Walking, progress(), 100}; }

Q_SIGNALS:
    void finished(app::ScanOutcome outcome);
};

} // namespace app
