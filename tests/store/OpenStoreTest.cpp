#include "TestDataPath.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Reason = store::OpenError::Reason;

std::optional<Reason> openFailure(const QString& path)
{
    try {
        store::openOfflineStore(path);
    } catch (const store::OpenError& error) {
        return error.reason();
    }
    return std::nullopt;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

TEST(OpenOfflineStore, NamesTheReasonForFilesThatAreNoStore)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(openFailure(dir.filePath(QStringLiteral("missing.ost"))), Reason::NotFound);
    EXPECT_EQ(openFailure(dir.path()), Reason::IsDirectory);
    EXPECT_EQ(openFailure(writeFile(dir, QStringLiteral("empty.ost"), {})), Reason::Empty);
    EXPECT_EQ(openFailure(writeFile(dir, QStringLiteral("text.ost"), "From someone\n")), Reason::Unreadable);
    EXPECT_EQ(openFailure(writeFile(dir, QStringLiteral("short.ost"), "!BDN")), Reason::Unreadable);
    // The right signature with a personal store's content type is refused before anything else.
    EXPECT_EQ(openFailure(writeFile(dir, QStringLiteral("personal.ost"),
                                    QByteArray("!BDN\0\0\0\0SM", 10) + QByteArray(512, 'x'))),
              Reason::NotOfflineStore);
    // An offline store's header over random bytes: the store library refuses it.
    EXPECT_EQ(openFailure(writeFile(dir, QStringLiteral("garbage.ost"),
                                    QByteArray("!BDN\0\0\0\0SO", 10) + QByteArray(4096, '\x5a'))),
              Reason::Unreadable);
}

TEST(OpenOfflineStore, NamesAFileThatCannotBeRead)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("locked.ost"), QByteArray("!BDN\0\0\0\0SO", 10));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    EXPECT_EQ(openFailure(path), Reason::PermissionDenied);
}

TEST(OpenOfflineStore, RefusesTheBrokenSamples)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    const struct
    {
        const char* file;
        Reason reason;
    } cases[] = {
        {"broken/empty.ost", Reason::Empty},
        {"broken/garbage-with-signature.ost", Reason::Unreadable},
        {"broken/mbox-named.pst", Reason::Unreadable},
        {"broken/bad-header-crc.pst", Reason::NotOfflineStore},
        {"stores/aspose-personal-store-named.ost", Reason::NotOfflineStore},
        {"stores/tika-testPST.pst", Reason::NotOfflineStore},
    };
    for (const auto& c : cases)
        EXPECT_EQ(openFailure(sharedTestData(QString::fromLatin1(c.file))), c.reason) << c.file;
}

TEST(OpenOfflineStore, ReadsTheHeaderOfAnOfflineSample)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    const auto opened =
        store::openOfflineStore(sharedTestData(QStringLiteral("stores/groupdocs-sample.ost")));
    EXPECT_EQ(opened->contentType(), store::ContentType::Offline);
    EXPECT_EQ(opened->formatType(), 64);
    const auto root = opened->rootFolder();
    EXPECT_EQ(root->type(), store::ItemType::Folder);
    EXPECT_GT(root->subFolderCount(), 0);
}

TEST(OpenOfflineStore, ATruncatedStoreIsRefusedOrHasNoRootFolder)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    // The native reader finds the index beyond the end of the file when opening; libpff opens the
    // file and fails when asked for the root folder.
    const QString path = sharedTestData(QStringLiteral("broken/truncated-100k.ost"));
    try {
        store::openOfflineStore(path);
        ADD_FAILURE() << "the native reader opened a store whose index lies beyond its end";
    } catch (const store::OpenError& e) {
        EXPECT_EQ(e.reason(), store::OpenError::Reason::Unreadable);
        EXPECT_NE(e.message().indexOf(QStringLiteral("beyond the end of the file")), -1) << e.what();
    }
    store::OpenOptions libpff;
    libpff.reader = store::ReaderKind::Libpff;
    const auto opened = store::openOfflineStore(path, libpff);
    EXPECT_THROW(opened->rootFolder(), store::StoreError);
}

TEST(OpenStore, OpensPersonalStoresToo)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    const auto opened = store::openStore(sharedTestData(QStringLiteral("stores/tika-testPST.pst")));
    EXPECT_EQ(opened->contentType(), store::ContentType::Personal);
}

} // namespace
