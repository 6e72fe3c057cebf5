// The main window's scan flow: choosing the store (Browse, a drop, the path field, the command
// line), the scan and the catch-up with it, and Stop.
#include "MainWindow.h"

#include "FolderTreeWidget.h"
#include "ItemListModel.h"
#include "ItemSearch.h"
#include "Browser.h"
#include "Texts.h"
#include "UserInteraction.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"
#include "views/StatusPage.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <cstdlib>

namespace app {

void MainWindow::removeAttachmentsDirectory()
{
    setPreviewedAttachments({});
    // A part that cannot be removed stays; the next removal tries again.
    QDir(m_preview.attachmentsDirectory()).removeRecursively();
}

void MainWindow::clearScanResults()
{
    // A search of the catalogs being emptied ends with them.
    m_search->cancel();
    if (m_search->isActive())
        m_search->clear();
    m_shownFolder = catalog::NoNode;
    m_treeModel.clear();
    m_tree->sync();
    m_listModel->clearRows();
    m_catalogs.ClearCatalogs();
    m_liveMails = 0;
}

void MainWindow::browse()
{
    removeAttachmentsDirectory();
    const QString path = m_interaction.chooseStoreFile(this);
    if (path.isEmpty()) {
        applyCommands(CommandEvent::FileDialogCancelled);
        return;
    }
    chooseStore(path);
}

QString MainWindow::draggedStore(const QMimeData* mime) const
{
    if (!mime || !mime->hasUrls() || !m_browseButton->isEnabled())
        return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    const QString path = urls.front().toLocalFile();
    if (!path.endsWith(QStringLiteral(".ost"), Qt::CaseInsensitive))
        return {};
    return QFileInfo(path).absoluteFilePath();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!draggedStore(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = draggedStore(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    chooseStore(path);
}

void MainWindow::openStore(const QString& path)
{
    chooseStore(QFileInfo(path).absoluteFilePath());
}

void MainWindow::chooseStore(const QString& path)
{
    removeAttachmentsDirectory();
    clearScanResults();
    m_storePath = path;
    m_pathField->setText(QDir::toNativeSeparators(path));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_storeNode = m_treeModel.InsertFolderNode(catalog::NoNode, QDir::toNativeSeparators(path));
    m_tree->sync();
    applyCommands(CommandEvent::FileChosen);
}

void MainWindow::storePathEdited(const QString& text)
{
    const QString path = text.trimmed();
    if (path.isEmpty()) {
        removeAttachmentsDirectory();
        clearScanResults();
        m_storePath.clear();
        m_storeNode = catalog::NoNode;
        for (const Command command :
             {Command::ScanButton, Command::ConvertButton, Command::FileScan, Command::FileConvert})
            m_commands.setEnabled(command, false);
        applyCommandState();
        return;
    }
    const int cursor = m_pathField->cursorPosition();
    chooseStore(QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath());
    // Typing goes on where it was: the field keeps the user's text, not the absolute path.
    m_pathField->setText(text);
    m_pathField->setCursorPosition(cursor);
}

void MainWindow::writeStatusPage(const QString& fragment)
{
    // A page that cannot be written is skipped; the scan does not depend on it.
    if (!views::StatusPage::write(m_statusPagePath, fragment, QFileInfo(m_programPath).absolutePath()))
        return;
    // The page names its pictures by relative path. Where neither the program's folder nor the
    // page's has them (a program copied without its pictures), the built-in ones are put there.
    const QDir pageFolder = QFileInfo(m_statusPagePath).absoluteDir();
    for (const QString& picture : views::StatusPage::pictureNames()) {
        const QString target = pageFolder.filePath(picture);
        if (!QFileInfo::exists(target) && QFile::copy(QStringLiteral(":/") + picture, target))
            QFile::setPermissions(target,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    m_browser->navigate(m_statusPagePath);
}

void MainWindow::scan()
{
    if (m_scanRunning || m_storePath.isEmpty() || !m_commands.isEnabled(Command::ScanButton))
        return;
    applyCommands(CommandEvent::ScanStarted);
    // The scan empties the attachments directory.
    setPreviewedAttachments({});
    m_search->cancel();
    if (m_search->isActive())
        m_search->clear();
    m_shownFolder = catalog::NoNode;
    m_catalogs.ClearCatalogs();
    m_listModel->clearRows();
    m_liveMails = 0;
    writeStatusPage(views::StatusPage::loadingFragment());
    if (!m_scan) {
        handleScanOutcome(ScanOutcome::OpenFailed);
        return;
    }
    m_scanRunning = true;
    m_catchUpTimer.start();
    m_scannedWithRecovered = m_includeRecoveredAction && m_includeRecoveredAction->isChecked();
    m_scan->setIncludeRecovered(m_scannedWithRecovered);
    m_scan->start(m_storePath, m_storeNode);
    // Something moves from the first moment: opening a large store takes a while.
    showScanActivity();
}

void MainWindow::catchUpWithScan(bool all)
{
    // The progress moves at every turn; the rows, once some are shown, a few times a second.
    constexpr qint64 LiveRowsIntervalMs = 250;
    m_tree->sync();
    const bool rowsDue = all || m_liveMails == 0 || !m_sinceLiveRows.isValid() ||
                         m_sinceLiveRows.elapsed() >= LiveRowsIntervalMs;
    const QList<catalog::Catalog<catalog::MailRecord>::Pointer> mails =
        m_search->isActive() || !rowsDue ? QList<catalog::Catalog<catalog::MailRecord>::Pointer>()
                                         : m_catalogs.mails().recordsFrom(m_liveMails);
    if (!mails.isEmpty()) {
        m_sinceLiveRows.start();
        // The newest mail goes on top.
        QList<catalog::Catalog<catalog::MailRecord>::Pointer> newestFirst(mails.crbegin(), mails.crend());
        m_liveMails += mails.size();
        // The newest mails go on top, whatever order the list was put in.
        m_list->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        m_listModel->prependMails(newestFirst);
        // The list takes the focus, unless the user is typing a search: the keys would go astray.
        if (!m_search->field()->hasFocus())
            m_list->setFocus(Qt::OtherFocusReason);
    }
    if (m_converting && m_conversion)
        m_progress->setValue(m_conversion->progress());
    else if (m_scanRunning)
        showScanActivity();
}

void MainWindow::onScanFinished(ScanOutcome outcome)
{
    m_scanRunning = false;
    m_catchUpTimer.stop();
    if (m_askingToStop) {
        // The scan ended between the pause and the answer; the answer decides.
        m_deferredOutcome = outcome;
        return;
    }
    handleScanOutcome(outcome);
}

void MainWindow::handleScanOutcome(ScanOutcome outcome)
{
    m_scanRunning = false;
    if (outcome == ScanOutcome::Abandoned)
        return;
    catchUpWithScan();
    switch (outcome) {
    case ScanOutcome::OutOfMemory:
        m_interaction.error(Texts::notEnoughMemory());
        m_interaction.terminateProcess(EXIT_FAILURE);
        return;
    case ScanOutcome::Completed:
        showScanActivity();
        writeStatusPage(views::StatusPage::doneFragment());
        applyCommands(CommandEvent::ScanCompleted);
        m_interaction.inform(Texts::scanCompleted());
        return;
    case ScanOutcome::TextsNotKept:
        // Records whose texts are lost are not shown: the tree and the list start again from
        // the store node, as after choosing the file.
        setPreviewedAttachments({});
        clearScanResults();
        m_storeNode = m_treeModel.InsertFolderNode(catalog::NoNode, QDir::toNativeSeparators(m_storePath));
        m_tree->sync();
        break;
    case ScanOutcome::NotAnOfflineStore:
    case ScanOutcome::OpenFailed:
    case ScanOutcome::WalkFailed:
        break;
    case ScanOutcome::Abandoned:
        return;
    }
    const QString message = outcome == ScanOutcome::NotAnOfflineStore ? Texts::notAnOstFile()
                            : outcome == ScanOutcome::OpenFailed      ? Texts::openFailed()
                            : outcome == ScanOutcome::TextsNotKept    ? Texts::textsNotKept()
                                                                      : Texts::scanFailed();
    const QString reason = m_scan ? m_scan->failureReason() : QString();
    resetProgress();
    writeStatusPage(views::StatusPage::failedFragment(message, reason));
    // The user chooses what to do next (another file, the same one again); no dialog opens
    // unasked.
    applyCommands(CommandEvent::ScanFailed);
    m_interaction.error(reason.isEmpty() ? message : message + QStringLiteral("\n\n") + reason);
}

void MainWindow::resetProgress()
{
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
    m_progress->setTextVisible(false);
}

void MainWindow::showScanActivity()
{
    if (!m_scan)
        return;
    const ScanActivity activity = m_scan->activity();
    m_progress->setTextVisible(true);
    switch (activity.step) {
    case ScanActivity::Step::Opening:
    case ScanActivity::Step::Counting:
        // No total yet: the bar says what is going on.
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_progress->setFormat(activity.step == ScanActivity::Step::Opening ? Texts::openingStore()
                                                                           : Texts::countingItems());
        break;
    case ScanActivity::Step::Walking:
        m_progress->setRange(0, std::max(1, activity.itemsTotal));
        m_progress->setValue(activity.itemsDone);
        m_progress->setFormat(Texts::itemsRead(activity.itemsDone, activity.itemsTotal));
        break;
    }
    // The text is what assistive technology reads for the bar.
    m_progress->setAccessibleDescription(m_progress->format());
}

void MainWindow::stop()
{
    if (m_converting) {
        stopConversion();
        return;
    }
    if (!m_scanRunning || !m_scan || !m_scan->pause()) {
        applyCommands(CommandEvent::StopWithoutScan);
        return;
    }
    m_askingToStop = true;
    const bool confirmed = m_interaction.askYesNo(this, Texts::stopScanQuestion());
    m_askingToStop = false;
    const std::optional<ScanOutcome> deferred = std::exchange(m_deferredOutcome, std::nullopt);
    if (confirmed) {
        m_catchUpTimer.stop();
        m_scanRunning = false;
        if (!deferred)
            m_scan->abandon();
        removeAttachmentsDirectory();
        clearScanResults();
        resetProgress();
        writeStatusPage(views::StatusPage::stoppedFragment());
        applyCommands(CommandEvent::StopConfirmed);
        return;
    }
    applyCommands(CommandEvent::StopDeclined);
    if (deferred) {
        handleScanOutcome(*deferred);
        return;
    }
    m_scan->resume();
}

} // namespace app
