#pragma once

#include "catalog/NodeId.h"
#include "store/Store.h"
#include "store/StoreTypes.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <map>
#include <unordered_map>

namespace scan {

// One item that was not exported (or only in part), and why.
struct ItemProblem
{
    std::uint32_t identifier = 0;
    store::ItemType type = store::ItemType::Unknown;
    // What identifies the item to a reader: its subject, display name or position.
    QString description;
    QString reason;
};

// What the scan did with the items of one folder node.
struct FolderReport
{
    catalog::NodeId node = catalog::NoNode;
    QString name;
    // Items met in the folder, those embedded in its items included.
    int itemsSeen = 0;
    int embeddedSeen = 0;
    std::map<store::ItemType, int> exported;
    std::map<store::ItemType, int> passedOver;
    // Items that got no record.
    QList<ItemProblem> failures;
    // Items that got their record, with something missing (attachments that could not be listed,
    // recipients that could not be read, ...).
    QList<ItemProblem> incomplete;
    // Bodies of 65000 bytes or more, which records do not keep.
    int bodiesNotKept = 0;
};

// The per-folder report of one scan, in the order the folders were first met. Written by the
// scan thread only; read after the scan.
class ScanReport
{
public:
    FolderReport& folder(catalog::NodeId node, const QString& name = QString());
    const QList<FolderReport>& folders() const { return m_folders; }
    const FolderReport* find(catalog::NodeId node) const;

    int totalFailures() const;
    int totalIncomplete() const;
    int totalExported(store::ItemType type) const;
    bool hasProblems() const { return totalFailures() + totalIncomplete() > 0; }
    // The recovered items the scan added, by state; empty when it added none.
    void setRecovered(std::map<store::RecoveredState, int> counts) { m_recovered = std::move(counts); }
    const std::map<store::RecoveredState, int>& recovered() const { return m_recovered; }
    // "Recovered items: 4 (deleted: 2, earlier-version: 1, orphan: 1)".
    static QString recoveredCountsText(const std::map<store::RecoveredState, int>& counts);

    void clear();

private:
    QList<FolderReport> m_folders;
    std::map<store::RecoveredState, int> m_recovered;
    std::unordered_map<catalog::NodeId, qsizetype> m_index;
};

} // namespace scan
