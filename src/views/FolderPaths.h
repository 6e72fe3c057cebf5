#pragma once

#include "catalog/Catalogs.h"
#include "catalog/NodeId.h"

#include <QHash>
#include <QSet>
#include <QString>

namespace views {

// The folder path of each folder node of a scan ("Top of Outlook data file/Inbox/Projects"), from
// the folder catalog: what a search shows as a match's folder and what --folder names. Built once
// from the folders appended so far; any thread.
class FolderPaths
{
public:
    explicit FolderPaths(const catalog::Catalogs& catalogs);

    // The path of `node`; empty for the store node or a node that is no folder.
    QString path(catalog::NodeId node) const;
    // The nodes of the folder `filter` names and of every folder below it. The path compares
    // without regard to case, separators may be / or \, and the top folder may be left out.
    QSet<quint32> nodesWithin(const QString& filter) const;

private:
    QHash<quint32, QString> m_paths;
};

} // namespace views
