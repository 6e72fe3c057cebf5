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

std::optional<QString> PreviewWriter::writeMailPreview(const catalog::MailRecord& saved) const
{
    // Attachments whose content could not be saved are listed by name only.
    catalog::MailRecord record = saved;
    for (catalog::MailAttachment& entry : record.attachmentFiles)
        if (!entry.filePath.isEmpty() && !QFileInfo::exists(entry.filePath))
            entry.filePath.clear();
    const QString bodyPath = bodyFilePath(record.bodyKind);
    // The body file is written before the page that frames it. A body file that cannot be
    // written leaves the frame showing a missing or stale file; the page is still shown.
    const QString body = record.body.value_or(QString());
    PageFile::write(bodyPath, record.bodyKind == 1
                                  ? PreviewPages::withInlinePictures(body, record.attachmentFiles)
                                  : body);
    const QString page = PreviewPages::mailPage(record, m_attachmentsDirectory, bodyPath);
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
    return record ? record->attachmentFiles : QList<catalog::MailAttachment>();
}

std::optional<QString> PreviewWriter::ShowItemPreview(const catalog::Catalogs& catalogs,
                                                      const QString& typeWord,
                                                      const QString& serialText) const
{
    const auto type = ItemListFill::itemTypeFromWord(typeWord);
    if (!type)
        return std::nullopt;
    const int serial = ItemListFill::serialFromText(serialText);
    switch (*type) {
    case ItemListFill::ItemType::Mail:
        if (const auto record = catalogs.mails().bySerial(serial))
            return writeMailPreview(*record);
        break;
    case ItemListFill::ItemType::Contact:
        if (const auto record = catalogs.contacts().bySerial(serial))
            return writeContactPreview(*record);
        break;
    case ItemListFill::ItemType::Appointment:
        if (const auto record = catalogs.appointments().bySerial(serial))
            return writeAppointmentPreview(*record);
        break;
    }
    return std::nullopt;
}

} // namespace views
