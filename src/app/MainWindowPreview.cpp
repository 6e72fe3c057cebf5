// The main window's preview: the page of the selected item, its saved attachments, and the
// links clicked in it.
#include "MainWindow.h"

#include "Browser.h"
#include "ItemListModel.h"
#include "ScanSession.h"
#include "Texts.h"
#include "UserInteraction.h"
#include "catalog/Catalogs.h"
#include "views/AttachmentCopier.h"
#include "views/ItemListFill.h"
#include "views/PreviewPages.h"
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
    previewItem(m_listModel->cell(row, views::ListLayout::TypeColumn),
                m_listModel->cell(row, views::ListLayout::SerialColumn));
}

void MainWindow::previewItem(const QString& type, const QString& serial)
{
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
    const QString scheme = url.scheme().toLower();
    if (scheme == views::PreviewPages::ItemScheme) {
        // An attached item: its own preview, from its record.
        const int serial = views::ItemListFill::serialFromText(url.path());
        if (const auto type = views::ItemListFill::itemTypeOfSerial(m_catalogs, serial))
            previewItem(views::ItemListFill::typeWord(*type), views::ItemListFill::serialText(serial));
        return;
    }
    if (url.isLocalFile()) {
        // Only what the scan saved: a mail must not be able to start any program or document
        // of the user's by linking to it.
        const QString file = QFileInfo(url.toLocalFile()).canonicalFilePath();
        const QString attachments = QFileInfo(m_preview.attachmentsDirectory()).canonicalFilePath();
        if (file.isEmpty() || attachments.isEmpty() || !file.startsWith(attachments + QLatin1Char('/')))
            return;
        m_interaction.openUrl(QUrl::fromLocalFile(file), [this, file] { offerToSave(file); });
        return;
    }
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto"))
        m_interaction.openUrl(url, {});
}

void MainWindow::offerToSave(const QString& file)
{
    if (!QFileInfo::exists(file))
        return;
    if (!m_interaction.askYesNo(this, Texts::attachmentNotOpened(QFileInfo(file).fileName())))
        return;
    const QString folder = m_interaction.chooseFolder(this, Texts::saveAttachmentsCaption());
    if (folder.isEmpty())
        return;
    catalog::MailAttachment attachment;
    attachment.filePath = file;
    const views::AttachmentCopier::Result result = views::AttachmentCopier::copyInto({attachment}, folder);
    if (!result.failed.isEmpty())
        m_interaction.error(Texts::attachmentsNotSaved() + QStringLiteral("\n\n") +
                            result.failed.join(QLatin1Char('\n')));
}

} // namespace app
