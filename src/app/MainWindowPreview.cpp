// The main window's preview: the page of the selected item, its saved attachments, and the
// links clicked in it.
#include "MainWindow.h"

#include "Browser.h"
#include "ItemListModel.h"
#include "ScanSession.h"
#include "Texts.h"
#include "UserInteraction.h"
#include "views/AttachmentCopier.h"
#include "views/ListLayout.h"

#include <QAction>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

namespace app {

void MainWindow::showItemPreview()
{
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const int row =
        std::min_element(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) {
            return a.row() < b.row();
        })->row();
    const QString type = m_listModel->cell(row, views::ListLayout::TypeColumn);
    const QString serial = m_listModel->cell(row, views::ListLayout::SerialColumn);
    // A mail's attachments are saved when it is first shown: its pictures and links need them.
    const QList<catalog::MailAttachment> attachments =
        views::PreviewWriter::mailAttachments(m_catalogs, type, serial);
    if (m_scan && !attachments.isEmpty())
        m_scan->saveAttachmentFiles(attachments);
    const auto page = m_preview.ShowItemPreview(m_catalogs, type, serial);
    if (!page)
        return;
    m_browser->navigate(*page);
    setPreviewedAttachments(attachments);
}

void MainWindow::setPreviewedAttachments(const QList<catalog::MailAttachment>& attachments)
{
    m_previewedAttachments = views::AttachmentCopier::savedOnes(attachments);
    m_saveAttachmentsAction->setEnabled(!m_previewedAttachments.isEmpty());
}

void MainWindow::saveAttachments()
{
    if (m_previewedAttachments.isEmpty())
        return;
    const QString folder = m_interaction.chooseFolder(this, Texts::saveAttachmentsCaption());
    if (folder.isEmpty())
        return;
    const views::AttachmentCopier::Result result =
        views::AttachmentCopier::copyInto(m_previewedAttachments, folder);
    if (!result.failed.isEmpty())
        m_interaction.error(Texts::attachmentsNotSaved() + QStringLiteral("\n\n") +
                            result.failed.join(QLatin1Char('\n')));
}

void MainWindow::openLink(const QUrl& url)
{
    if (url.isLocalFile()) {
        // Only what the scan saved: a mail must not be able to start any program or document
        // of the user's by linking to it.
        const QString file = QFileInfo(url.toLocalFile()).canonicalFilePath();
        const QString attachments = QFileInfo(m_preview.attachmentsDirectory()).canonicalFilePath();
        if (file.isEmpty() || attachments.isEmpty() || !file.startsWith(attachments + QLatin1Char('/')))
            return;
        m_interaction.openUrl(QUrl::fromLocalFile(file));
        return;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto"))
        m_interaction.openUrl(url);
}

} // namespace app
