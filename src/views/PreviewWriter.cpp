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

std::optional<QString> PreviewWriter::writePage(const QString& page) const
{
    if (!PageFile::write(pageFilePath(), page))
        return std::nullopt;
    return pageFilePath();
}

std::optional<QString> PreviewWriter::writeContactPreview(const catalog::ContactRecord& record) const
{
    return writePage(PreviewPages::contactPage(record));
}

std::optional<QString> PreviewWriter::writeAppointmentPreview(const catalog::AppointmentRecord& record) const
{
    return writePage(PreviewPages::appointmentPage(record));
}

std::optional<QString> PreviewWriter::writeTaskPreview(const catalog::TaskRecord& record,
                                                       const QString& body) const
{
    return writePage(PreviewPages::taskPage(record, body));
}

std::optional<QString> PreviewWriter::writeNotePreview(const catalog::NoteRecord& record,
                                                       const QString& body) const
{
    return writePage(PreviewPages::notePage(record, body));
}

std::optional<QString> PreviewWriter::writeJournalPreview(const catalog::JournalRecord& record,
                                                          const QString& body) const
{
    return writePage(PreviewPages::journalPage(record, body));
}

std::optional<std::optional<QString>> PreviewWriter::writeItemPreview(const catalog::Catalogs& catalogs,
                                                                      int serial) const
{
    for (const ItemListFill::ItemType type :
         {ItemListFill::ItemType::Mail, ItemListFill::ItemType::Contact, ItemListFill::ItemType::Appointment,
          ItemListFill::ItemType::Task, ItemListFill::ItemType::Note, ItemListFill::ItemType::Journal}) {
        if (std::optional<std::optional<QString>> page = writeOfType(catalogs, type, serial))
            return page;
    }
    return std::nullopt;
}

std::optional<std::optional<QString>>
PreviewWriter::writeOfType(const catalog::Catalogs& catalogs, ItemListFill::ItemType type, int serial) const
{
    switch (type) {
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
    case ItemListFill::ItemType::Task:
        if (const auto record = catalogs.tasks().bySerial(serial))
            return writeTaskPreview(*record, catalogs.bodyText(record->body));
        break;
    case ItemListFill::ItemType::Note:
        if (const auto record = catalogs.notes().bySerial(serial))
            return writeNotePreview(*record, catalogs.bodyText(record->body));
        break;
    case ItemListFill::ItemType::Journal:
        if (const auto record = catalogs.journal().bySerial(serial))
            return writeJournalPreview(*record, catalogs.bodyText(record->body));
        break;
    }
    return std::nullopt;
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
    // A text file that cannot be read leaves the browser on its page, as for a missing record.
    try {
        return writeOfType(catalogs, *type, ItemListFill::serialFromText(serialText)).value_or(std::nullopt);
    } catch (const catalog::CatalogWriteError&) {
        return std::nullopt;
    }
}

} // namespace views
