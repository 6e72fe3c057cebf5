#pragma once

#include <QStringList>

namespace cli {

// `ost2eml convert STORE DEST [--folder PATH] [--since DATE] [--until DATE]`: writes every mail of
// an offline store as an .eml file below DEST, with a report of what was written and what failed.
int runConvertCommand(const QStringList& arguments);

// `ost2eml merge-reports [--json FILE] REPORT.json...`: prints the sums of conversion reports (each
// run's conversion-report*.json, or merged ones) and, with --json, writes them as one report.
int runMergeReportsCommand(const QStringList& arguments);

} // namespace cli
