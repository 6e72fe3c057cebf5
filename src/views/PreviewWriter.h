#pragma once

#include "ItemListFill.h"
#include "catalog/AppointmentRecord.h"
#include "catalog/Catalogs.h"
#include "catalog/ContactRecord.h"
#include "catalog/MailRecord.h"

#include <QString>
#include <optional>

namespace views {

// Writes the preview files of one item into the preview folder: the page "temp.html" and, for a
// mail, its body file "body.txt" or "body.html" (the mail's HTML kept as it is). Files are
// UTF-16LE with a byte-order mark. ShowItemPreview finds the record of a list row and writes its
// page; the caller navigates the browser to the returned page path. Any thread.
class PreviewWriter
{
public:
    // `previewFolder` ends with a separator (default: the program run's private folder, see
    // RunFolder). The attachments directory defaults to the preview folder + "Attachments".
    explicit PreviewWriter(QString previewFolder = defaultPreviewFolder(), QString attachmentsDirectory = {});

    static QString defaultPreviewFolder();

    QString previewFolder() const { return m_previewFolder; }
    QString attachmentsDirectory() const { return m_attachmentsDirectory; }
    QString pageFilePath() const;
    QString bodyFilePath(int bodyKind) const;

    // For a list row (type word in column 1, serial text in column 0): finds the record and
    // writes its page. Returns the page path to navigate to, or nullopt when there is no such
    // record or the page could not be written (the browser keeps its page).
    std::optional<QString> ShowItemPreview(const catalog::Catalogs& catalogs, const QString& typeWord,
                                           const QString& serialText) const;

    // The attachments of the mail a list row stands for; none for any other row.
    static QList<catalog::MailAttachment> mailAttachments(const catalog::Catalogs& catalogs,
                                                          const QString& typeWord, const QString& serialText);

    std::optional<QString> writeMailPreview(const catalog::Mail& mail) const;
    std::optional<QString> writeContactPreview(const catalog::ContactRecord& record) const;
    std::optional<QString> writeAppointmentPreview(const catalog::AppointmentRecord& record) const;
    // The page of a task, note or journal entry with its text (Catalogs::bodyText).
    std::optional<QString> writeTaskPreview(const catalog::TaskRecord& record, const QString& body) const;
    std::optional<QString> writeNotePreview(const catalog::NoteRecord& record, const QString& body) const;
    std::optional<QString> writeJournalPreview(const catalog::JournalRecord& record,
                                               const QString& body) const;
    // Writes the page of the item with serial `serial`, of whatever kind: nullopt when there is no
    // such item, else the page path or (nullopt) that the page could not be written. Throws
    // CatalogWriteError when the item's texts cannot be read.
    std::optional<std::optional<QString>> writeItemPreview(const catalog::Catalogs& catalogs,
                                                           int serial) const;

private:
    std::optional<QString> writePage(const QString& page) const;
    // nullopt when there is no item of `type` with `serial`; else what writing its page gave.
    std::optional<std::optional<QString>> writeOfType(const catalog::Catalogs& catalogs,
                                                      ItemListFill::ItemType type, int serial) const;

    QString m_previewFolder;
    QString m_attachmentsDirectory;
};

} // namespace views
