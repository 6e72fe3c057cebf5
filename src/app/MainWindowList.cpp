// The main window's item list: a folder's rows, filled off the GUI thread, and the matches of a
// search in their place.
#include "MainWindow.h"

#include "Browser.h"
#include "ItemListModel.h"
#include "ItemSearch.h"
#include "catalog/Catalogs.h"
#include "views/ListLayout.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableView>
#include <QtConcurrent/QtConcurrentRun>

namespace app {

void MainWindow::showFolder(catalog::NodeId node)
{
    m_shownFolder = node;
    m_search->setSelectedFolder(node);
    if (m_search->isActive()) {
        // A search of the selected folder follows the click; one of the whole store gives way to
        // the folder clicked.
        if (m_search->scopeChoice()->currentIndex() == 1) {
            m_search->runNow();
            return;
        }
        m_search->clear();
    }
    // The rows are built off the GUI thread; a later click replaces an earlier fill that has
    // not finished, so the list always shows the folder clicked last.
    m_fillGeneration = m_catalogs.generation();
    m_fillPending = true;
    const catalog::Catalogs* catalogs = &m_catalogs;
    m_fillWatcher.setFuture(
        QtConcurrent::run([catalogs, node] { return views::ItemListFill::FillItemList(*catalogs, node); }));
}

void MainWindow::applyListFill()
{
    m_fillPending = false;
    // Rows of catalogs that were emptied meanwhile (a new file, a stop) are not shown.
    if (m_catalogs.generation() != m_fillGeneration)
        return;
    // A search started meanwhile keeps the list.
    if (m_search->isActive())
        return;
    views::ItemListFill::Result result = m_fillWatcher.result();
    if (!result.layout) {
        // Nothing to list: neither the previous folder's columns nor its last preview stay.
        m_listModel->setContents(views::ListLayout::columns(views::ListLayout::Kind::Initial), {});
        m_browser->navigate(QStringLiteral("about:blank"));
        setPreviewedAttachments({});
        return;
    }
    if (!result.mails.isEmpty())
        m_listModel->setMails(views::ListLayout::columns(*result.layout), result.mails);
    else
        m_listModel->setContents(views::ListLayout::columns(*result.layout), std::move(result.rows));
}

void MainWindow::showSearchMatches(const QList<QStringList>& rows, bool first)
{
    if (first) {
        m_listModel->setContents(views::ListLayout::columns(views::ListLayout::Kind::SearchResults), rows);
        return;
    }
    m_listModel->appendRows(rows);
}

void MainWindow::endSearch()
{
    // Back to what the list showed before the search: the folder, or the scan's own rows.
    if (catalog::isValid(m_shownFolder) && m_catalogs.IsCatalogFolderNode(m_shownFolder)) {
        showFolder(m_shownFolder);
        return;
    }
    m_listModel->setContents(views::ListLayout::columns(views::ListLayout::Kind::Initial), {});
    m_liveMails = 0;
    catchUpWithScan();
}

void MainWindow::applyColumnWidths()
{
    m_list->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    const auto& columns = m_listModel->columns();
    for (int i = 0; i < columns.size(); ++i) {
        m_list->setColumnHidden(i, columns[i].width == 0);
        if (columns[i].width > 0)
            m_list->setColumnWidth(i, columns[i].width);
    }
}

} // namespace app
