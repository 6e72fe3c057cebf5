#include "FolderPaths.h"

namespace views {

namespace {

QString normalised(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

bool within(const QString& path, const QString& filter)
{
    return path.compare(filter, Qt::CaseInsensitive) == 0 ||
           path.startsWith(filter + QLatin1Char('/'), Qt::CaseInsensitive);
}

} // namespace

FolderPaths::FolderPaths(const catalog::Catalogs& catalogs)
{
    // Parents come before their children in the catalog.
    for (const auto& folder : catalogs.folders().records()) {
        const QString parent = m_paths.value(catalog::toInt(folder->parentNode));
        m_paths.insert(catalog::toInt(folder->node),
                       parent.isEmpty() ? folder->name : parent + QLatin1Char('/') + folder->name);
    }
}

QString FolderPaths::path(catalog::NodeId node) const
{
    return m_paths.value(catalog::toInt(node));
}

QSet<quint32> FolderPaths::nodesWithin(const QString& filter) const
{
    const QString wanted = normalised(filter);
    QSet<quint32> nodes;
    for (auto it = m_paths.cbegin(); it != m_paths.cend(); ++it) {
        const QString& path = it.value();
        const qsizetype slash = path.indexOf(QLatin1Char('/'));
        if (within(path, wanted) || (slash > 0 && within(path.mid(slash + 1), wanted)))
            nodes.insert(it.key());
    }
    return nodes;
}

} // namespace views
