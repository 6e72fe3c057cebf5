#include "views/AttachmentCopier.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using catalog::MailAttachment;
using views::AttachmentCopier;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(AttachmentCopier, TakenNamesGetANumberAndNothingIsReplaced)
{
    QTemporaryDir saved;
    QTemporaryDir target;
    const QString report = saved.filePath(s("1/report.pdf"));
    const QString archive = saved.filePath(s("2/data.tar.gz"));
    const QString dotted = saved.filePath(s("3/.profile"));
    writeFile(report, "new report");
    writeFile(archive, "archive");
    writeFile(dotted, "dot");
    writeFile(target.filePath(s("report.pdf")), "mine");
    writeFile(target.filePath(s("report (2).pdf")), "mine too");
    // A link at a free-looking name is a taken name; what it points at stays as it is.
    writeFile(target.filePath(s("elsewhere")), "keep");
    ASSERT_TRUE(QFile::link(target.filePath(s("elsewhere")), target.filePath(s("data.tar.gz"))));

    const QList<MailAttachment> attachments = {
        {s("a"), report, {}}, {s("Embedded00001"), {}, {}}, {s("b"), archive, {}}, {s("c"), dotted, {}}};
    const AttachmentCopier::Result first = AttachmentCopier::copyInto(attachments, target.path());
    EXPECT_TRUE(first.failed.isEmpty()) << first.failed.join(s("\n")).toStdString();
    EXPECT_EQ(first.written,
              (QStringList{target.filePath(s("report (3).pdf")), target.filePath(s("data.tar (2).gz")),
                           target.filePath(s(".profile"))}));
    EXPECT_EQ(readFile(target.filePath(s("report.pdf"))), "mine");
    EXPECT_EQ(readFile(target.filePath(s("report (2).pdf"))), "mine too");
    EXPECT_EQ(readFile(target.filePath(s("report (3).pdf"))), "new report");
    EXPECT_EQ(readFile(target.filePath(s("elsewhere"))), "keep");

    // Saving again adds copies beside the first ones.
    const AttachmentCopier::Result second = AttachmentCopier::copyInto(attachments, target.path());
    EXPECT_EQ(second.written.value(2), target.filePath(s(".profile (2)")));
}

TEST(AttachmentCopier, FailuresNameTheAttachment)
{
    QTemporaryDir saved;
    writeFile(saved.filePath(s("ok.txt")), "ok");
    const QList<MailAttachment> attachments = {{s("a"), saved.filePath(s("gone.txt")), {}},
                                               {s("b"), saved.filePath(s("ok.txt")), {}}};
    const AttachmentCopier::Result missingSource = AttachmentCopier::copyInto(attachments, saved.path());
    ASSERT_EQ(missingSource.failed.size(), 1);
    EXPECT_TRUE(missingSource.failed[0].startsWith(s("gone.txt: "))) << missingSource.failed[0].toStdString();
    EXPECT_EQ(missingSource.written, QStringList{saved.filePath(s("ok (2).txt"))});

    const AttachmentCopier::Result noFolder =
        AttachmentCopier::copyInto(attachments.mid(1), saved.filePath(s("missing")));
    EXPECT_TRUE(noFolder.written.isEmpty());
    EXPECT_EQ(noFolder.failed.size(), 1);
}
