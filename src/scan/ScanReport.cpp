#include "ScanReport.h"

namespace scan {

FolderReport& ScanReport::folder(catalog::NodeId node, const QString& name)
{
    const auto found = m_index.find(node);
    if (found != m_index.end())
        return m_folders[found->second];
    FolderReport report;
    report.node = node;
    report.name = name;
    m_index.emplace(node, m_folders.size());
    m_folders.append(report);
    return m_folders.last();
}

const FolderReport* ScanReport::find(catalog::NodeId node) const
{
    const auto found = m_index.find(node);
    return found == m_index.end() ? nullptr : &m_folders[found->second];
}

int ScanReport::totalFailures() const
{
    int total = 0;
    for (const FolderReport& folder : m_folders)
        total += static_cast<int>(folder.failures.size());
    return total;
}

int ScanReport::totalIncomplete() const
{
    int total = 0;
    for (const FolderReport& folder : m_folders)
        total += static_cast<int>(folder.incomplete.size());
    return total;
}

int ScanReport::totalExported(store::ItemType type) const
{
    int total = 0;
    for (const FolderReport& folder : m_folders) {
        const auto found = folder.exported.find(type);
        if (found != folder.exported.end())
            total += found->second;
    }
    return total;
}

void ScanReport::clear()
{
    m_folders.clear();
    m_index.clear();
    m_recovered.clear();
}

QString ScanReport::recoveredCountsText(const std::map<store::RecoveredState, int>& counts)
{
    QStringList parts;
    int total = 0;
    for (const auto& [state, count] : counts) {
        parts << QString::fromLatin1(store::recoveredStateName(state)) + QStringLiteral(": ") +
                     QString::number(count);
        total += count;
    }
    QString text = QStringLiteral("Recovered items: %1").arg(total);
    if (!parts.isEmpty())
        text += QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    return text;
}

} // namespace scan
