#include "scan/ExportFileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scan;

namespace {

QString target(const QString& base, int baseSize, const QByteArray& name, int* size = nullptr)
{
    QString path;
    int pathSize = 0;
    EXPECT_EQ(export_handle_create_target_path(nullptr, base, baseSize, name,
                                               static_cast<int>(name.size()) + 1, &path, &pathSize, nullptr),
              1);
    if (size)
        *size = pathSize;
    return path;
}

} // namespace

TEST(TargetPath, JoinsBaseBackslashAndName)
{
    int size = 0;
    const QString path = target(QStringLiteral(".export"), 8, "Inbox", &size);
    EXPECT_EQ(path, QStringLiteral(".export\\Inbox"));
    EXPECT_EQ(path.size(), 13);
    EXPECT_EQ(size, 14);
}

TEST(TargetPath, BaseGivenByLengthLosesItsLastCharacter)
{
    EXPECT_EQ(target(QStringLiteral(".export"), 7, "Inbox"), QStringLiteral(".expor\\Inbox"));
    EXPECT_EQ(target(QStringLiteral("C:\\Temp\\"), 8, "Attachments"),
              QStringLiteral("C:\\Temp\\Attachments"));
}

TEST(TargetPath, CleansTheNameButNotTheBase)
{
    EXPECT_EQ(target(QStringLiteral(".export\\a:b"), 12, "Re: what?/now"),
              QStringLiteral(".export\\a:b\\Re_ what__now"));
    EXPECT_EQ(target(QStringLiteral(".export"), 8, "Bücher ✓"), QStringLiteral(".export\\Bücher ✓"));
}

TEST(TargetPath, RefusesBadArguments)
{
    QString path;
    int size = 0;
    EXPECT_EQ(
        export_handle_create_target_path(nullptr, QStringLiteral("a"), 2, "b", -1, &path, &size, nullptr),
        -1);
    EXPECT_EQ(
        export_handle_create_target_path(nullptr, QStringLiteral("a"), 2, "b", 2, nullptr, &size, nullptr),
        -1);
    QString taken = QStringLiteral("already");
    EXPECT_EQ(
        export_handle_create_target_path(nullptr, QStringLiteral("a"), 2, "b", 2, &taken, &size, nullptr),
        -1);
    EXPECT_EQ(taken, QStringLiteral("already"));
}

TEST(SanitizeFilename, ReplacesControlsAndTheEighteenCharacters)
{
    const QString replaced = QStringLiteral("!\"$%&'*+/:;<>?@\\`~\t\x01\x1f");
    EXPECT_EQ(sanitizedFileName(replaced), QString(replaced.size(), QLatin1Char('_')));
    const QString kept = QStringLiteral("#|()[]{}=,.-_ aZ09äß漢");
    EXPECT_EQ(sanitizedFileName(kept), kept);
}

TEST(SanitizeFilename, RefusesNegativeCountAndMissingText)
{
    EXPECT_EQ(export_handle_sanitize_filename(nullptr, nullptr, 3, nullptr), -1);
    QChar c(u'a');
    EXPECT_EQ(export_handle_sanitize_filename(nullptr, &c, -1, nullptr), -1);
    EXPECT_EQ(export_handle_sanitize_filename(nullptr, &c, 0, nullptr), 1);
}

TEST(ItemFile, CreatesNewFileAndNeverOverwrites)
{
    QTemporaryDir dir;
    const QString base = dir.path();
    std::unique_ptr<QFile> file;
    const QByteArray name("Message.rtf");
    ASSERT_EQ(export_handle_create_binary_item_file(nullptr, name, 12, base,
                                                    static_cast<int>(base.size()) + 1, &file, nullptr),
              1);
    ASSERT_TRUE(file);
    file->write("kept");
    file.reset();

    EXPECT_EQ(export_handle_create_text_item_file(nullptr, name, 12, base, static_cast<int>(base.size()) + 1,
                                                  &file, nullptr),
              0);
    EXPECT_FALSE(file);
    QFile existing(base + QStringLiteral("/Message.rtf"));
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("kept"));
}

TEST(ItemFile, FailsQuietlyWithoutItsDirectory)
{
    QTemporaryDir dir;
    const QString base = dir.path() + QStringLiteral("/missing");
    std::unique_ptr<QFile> file;
    EXPECT_EQ(export_handle_create_binary_item_file(nullptr, "Message.html", 13, base,
                                                    static_cast<int>(base.size()) + 1, &file, nullptr),
              -1);
    EXPECT_FALSE(QFileInfo::exists(base));
    // A path below the export root names a folder that is never made.
    const QString exportPath = QStringLiteral(".export\\Inbox");
    EXPECT_EQ(export_handle_create_binary_item_file(nullptr, "Message.html", 13, exportPath,
                                                    static_cast<int>(exportPath.size()) + 1, &file, nullptr),
              -1);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral(".export\\Inbox/Message.html")));
}

TEST(RemoveDirectoryTree, RemovesNestedDirectoriesButNotLinkTargets)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/Attachments");
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/Embedded00001/deeper")));
    QFile(root + QStringLiteral("/Embedded00001/deeper/file.txt")).open(QIODevice::WriteOnly);
    const QString outside = dir.path() + QStringLiteral("/outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    QFile(outside + QStringLiteral("/precious.txt")).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(outside, root + QStringLiteral("/link")));

    EXPECT_TRUE(removeDirectoryTree(root));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
    EXPECT_FALSE(removeDirectoryTree(root));
}
