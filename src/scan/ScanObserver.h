#pragma once

#include "catalog/MailRecord.h"

#include <QList>
#include <memory>

namespace scan {

// One batch of a running scan: how far the walk is and the mail records appended since the
// previous batch (the rows the list shows on top during the scan). Contact, appointment and
// folder records and tree changes are read from the catalogs and the tree model's change list.
struct ScanProgress
{
    int messagesDone = 0;
    int messagesTotal = 0;
    QList<std::shared_ptr<const catalog::MailRecord>> newMails;
};

// What a scan is busy with before and while it walks.
enum class ScanStep
{
    Opening,  // reading the store's header and indexes
    Counting, // counting the folders' items, for the progress
    Walking,  // reading the items
};

// Receives a scan's notifications. Every call comes on the thread that runs the scan; a GUI
// forwards them to its own thread (queued). Batches come at most every ~50 ms or 200 items and
// once more when the walk ends.
class ScanObserver
{
public:
    virtual ~ScanObserver() = default;
    // Opening and counting begin (Walking comes with scanStarted).
    virtual void scanStepped(ScanStep step) { Q_UNUSED(step) }
    // The store is open and the walk begins.
    virtual void scanStarted(int messagesTotal) { Q_UNUSED(messagesTotal) }
    virtual void scanProgressed(const ScanProgress& progress) = 0;
};

} // namespace scan
