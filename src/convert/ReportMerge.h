#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace convert {

// One report for the runs of several stores (one run with several stores, or runs spread over
// machines, one store each): "stores" holds each run's JSON report as it was, "totals" the sums
// of their totals (the counts of each kind included), "stopped" whether any run was stopped and
// "destinationFailures" the failures of the destinations that ended a run. A store that could not
// be converted at all stands in "stores" with its "failure".
class ReportMerge
{
public:
    static QJsonObject merge(const QList<QJsonObject>& reports);
    // "All stores: mails 56, written 28, ...": the merged totals in one line.
    static QString totalsLine(const QJsonObject& merged);
    // The merged report as text: the totals, and a line for each store.
    static QByteArray toText(const QJsonObject& merged);
};

} // namespace convert
