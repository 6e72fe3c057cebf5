#include "PreviewWriter.h"

#include "ItemListFill.h"
#include "PageFile.h"
#include "PreviewPages.h"
#include "RunFolder.h"

#include <QDir>
#include <QFileInfo>

namespace views {

PreviewWriter::PreviewWriter(QString previewFolder, QString attachmentsDirectory)
    : m_previewFolder(std::move(previewFolder)), m_attachmentsDirectory(std::move(attachmentsDirectory))
{
    if (!m_previewFolder.isEmpty() && !m_previewFolder.endsWith(QLatin1Char('/')) &&
        !m_previewFolder.endsWith(QDir::separator()))
        m_previewFolder += QLatin1Char('/');
    if (m_attachmentsDirectory.isEmpty() && !m_previewFolder.isEmpty())
        m_attachmentsDirectory = m_previewFolder + QStringLiteral("Attachments");
}

QString PreviewWriter::defaultPreviewFolder()
{
    // Without a private folder there is no preview folder (nothing is written), rather than a
    // shared one.
    const QString folder = RunFolder::current().path();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/');
}

QString PreviewWriter::pageFilePath() const
{
    if (m_previewFolder.isEmpty())
        return {};
    return m_previewFolder + QStringLiteral("temp.html");
}

QString PreviewWriter::bodyFilePath(int bodyKind) const
{
    if (m_previewFolder.isEmpty())
        return {};
    return m_previewFolder + PreviewPages::bodyFileName(bodyKind);
}

std::optional<QString> PreviewWriter::writeMailPreview(const catalog::Mail& saved) const
{
    // Attachments whose content could not be saved are listed by name only.
    catalog::Mail mail = saved;
    for (catalog::MailAttachment& entry : mail.texts.attachmentFiles)
        if (!entry.filePath.isEmpty() && !QFileInfo::exists(entry.filePath))
            entry.filePath.clear();
    const QString bodyPath = bodyFilePath(mail.record.bodyKind);
    // The body file is written before the page that frames it. A body file that cannot be
    // written leaves the frame showing a missing or stale file; the page is still shown.
    const QString body = mail.texts.body.value_or(QString());
    PageFile::write(bodyPath, mail.record.bodyKind == 1
                                  ? PreviewPages::withInlinePictures(body, mail.texts.attachmentFiles)
                                  : body);
    const QString page = PreviewPages::mailPage(mail, m_attachmentsDirectory, bodyPath);
    if (!PageFile::write(pageFilePath(), page))
        return std::nullopt;
    return pageFilePath();
}

std::optional<QString> PreviewWriter::writeContactPreview(const catalog::ContactRecord& record) const
{
    if (!PageFile::write(pageFilePath(), PreviewPages::contactPage(record)))
        return std::nullopt;
    return pageFilePath();
}

std::optional<QString> PreviewWriter::writeAppointmentPreview(const catalog::AppointmentRecord& record) const
{
    if (!PageFile::write(pageFilePath(), PreviewPages::appointmentPage(record)))
        return std::nullopt;
    return pageFilePath();
}

QList<catalog::MailAttachment> PreviewWriter::mailAttachments(const catalog::Catalogs& catalogs,
                                                              const QString& typeWord,
                                                              const QString& serialText)
{
    if (ItemListFill::itemTypeFromWord(typeWord) != ItemListFill::ItemType::Mail)
        return {};
    const auto record = catalogs.mails().bySerial(ItemListFill::serialFromText(serialText));
    if (!record)
        return {};
    try {
        if (const std::optional<catalog::MailTexts> texts = catalogs.mailTexts(*record))
            return texts->attachmentFiles;
    } catch (const catalog::CatalogWriteError&) {
        // Nothing to save when the texts cannot be read; the preview says so.
    }
    return {};
}

std::optional<QString> PreviewWriter::ShowItemPreview(const catalog::Catalogs& catalogs,
                                                      const QString& typeWord,
                                                      const QString& serialText) const
{
    const auto type = ItemListFill::itemTypeFromWord(typeWord);
    if (!type)
        return std::nullopt;
    const int serial = ItemListFill::serialFromText(serialText);
    // A text file that cannot be read leaves the browser on its page, as for a missing record.
    try {
        switch (*type) {
        case ItemListFill::ItemType::Mail:
            if (const std::optional<catalog::Mail> mail = catalogs.mail(serial))
                return writeMailPreview(*mail);
            break;
        case ItemListFill::ItemType::Contact:
            if (const auto record = catalogs.contacts().bySerial(serial))
                return writeContactPreview(catalogs.fullContact(*record));
            break;
        case ItemListFill::ItemType::Appointment:
            if (const auto record = catalogs.appointments().bySerial(serial))
                return writeAppointmentPreview(*record);
            break;
        }
    } catch (const catalog::CatalogWriteError&) {
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace views
