#include "AttachmentCopier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace views {

namespace {

// "name.ext", then "name (2).ext", "name (3).ext", ...
QString numberedName(const QString& fileName, int number)
{
    if (number == 1)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    // A leading dot starts the name, not a suffix.
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    const QString suffix = dot > 0 ? fileName.mid(dot + 1) : QString();
    QString name = QStringLiteral("%1 (%2)").arg(base).arg(number);
    if (!suffix.isEmpty())
        name += QLatin1Char('.') + suffix;
    return name;
}

// Copies `source` to a new file in `folder`, numbering the name until a free one is found. The
// target is created exclusively, so a file (or a link) that appears meanwhile is never written.
QString copyToFreeName(const QString& source, const QDir& folder, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return {};
    }
    const QString fileName = QFileInfo(source).fileName();
    constexpr int MaximumNumber = 10000;
    for (int number = 1; number <= MaximumNumber; ++number) {
        QFile out(folder.filePath(numberedName(fileName, number)));
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (out.exists() || QFileInfo(out.fileName()).isSymLink())
                continue;
            *error = out.errorString();
            return {};
        }
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(1 << 20);
            if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
                *error = in.errorString();
                out.remove();
                return {};
            }
            if (out.write(chunk) != chunk.size()) {
                *error = out.errorString();
                out.remove();
                return {};
            }
        }
        if (!out.flush()) {
            *error = out.errorString();
            out.remove();
            return {};
        }
        return out.fileName();
    }
    *error = QStringLiteral("every name up to \"%1\" is taken").arg(numberedName(fileName, MaximumNumber));
    return {};
}

} // namespace

QList<catalog::MailAttachment> AttachmentCopier::savedOnes(const QList<catalog::MailAttachment>& attachments)
{
    QList<catalog::MailAttachment> saved;
    for (const catalog::MailAttachment& entry : attachments) {
        if (!entry.filePath.isEmpty())
            saved.append(entry);
    }
    return saved;
}

AttachmentCopier::Result AttachmentCopier::copyInto(const QList<catalog::MailAttachment>& attachments,
                                                    const QString& folder)
{
    Result result;
    const QDir target(folder);
    for (const catalog::MailAttachment& entry : savedOnes(attachments)) {
        QString error;
        const QString written = copyToFreeName(entry.filePath, target, &error);
        if (written.isEmpty())
            result.failed.append(QStringLiteral("%1: %2").arg(QFileInfo(entry.filePath).fileName(), error));
        else
            result.written.append(written);
    }
    return result;
}

} // namespace views
