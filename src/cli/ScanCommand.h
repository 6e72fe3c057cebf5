#pragma once

#include "catalog/Catalogs.h"
#include "scan/ScanJob.h"
#include "views/FolderTreeModel.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace cli {

// One scan of a store for a command: the catalogs and the folder tree it fills, the job with its
// report and outcome.
struct StoreScan
{
    catalog::Catalogs catalogs;
    views::FolderTreeModel tree;
    std::unique_ptr<scan::ScanJob> job;
    scan::ScanOutcome outcome = scan::ScanOutcome::CannotOpen;
    // Whether the scan added the items of the recovery pass.
    bool recovered = false;
};

// Scans `path` with the attachments directory `attachmentsDirectory` (the default one when
// empty), showing progress on a terminal. Returns an exit code when the scan could not be done
// (after printing why), else none.
// `prepare`, when given, is called just before the scan starts, to change what it reads.
std::optional<int> scanStore(const QString& path, const QString& attachmentsDirectory,
                             const store::OpenOptions& open, StoreScan& scan,
                             const std::function<void(StoreScan&, scan::ScanSettings&)>& prepare = {});

// The message for item texts that could not be kept in, or read back from, their file.
QString textFileMessage(const catalog::CatalogWriteError& error);

// `ost2eml scan [--json] STORE`: scans an offline store as the desktop program does and prints the
// folder tree as it labels it, the records of each folder and the per-folder report.
int runScanCommand(const QStringList& arguments);

} // namespace cli
