#pragma once

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

private:
    QString m_previewFolder;
    QString m_attachmentsDirectory;
};

} // namespace views
