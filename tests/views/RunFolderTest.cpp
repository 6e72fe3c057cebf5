#include "views/RunFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using views::RunFolder;

TEST(RunFolder, OwnerOnlyFolderOfItsOwnRemovedWithEverythingInIt)
{
    QTemporaryDir parent;
    QString path;
    {
        RunFolder folder(parent.path());
        RunFolder other(parent.path());
        ASSERT_TRUE(folder.isValid());
        path = folder.path();
        EXPECT_EQ(QFileInfo(path).absolutePath(), parent.path());
        EXPECT_NE(path, other.path());
        EXPECT_EQ(QFileInfo(path).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                     QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        ASSERT_TRUE(QDir(path).mkpath(QStringLiteral("Attachments/.files/1")));
        QFile file(path + QStringLiteral("/Attachments/.files/1/a.pdf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QDir(parent.path()).isEmpty());
}

TEST(RunFolder, UnusableParentGivesNoFolder)
{
    QTemporaryDir parent;
    const RunFolder folder(parent.path() + QStringLiteral("/missing"));
    EXPECT_FALSE(folder.isValid());
    EXPECT_TRUE(folder.path().isEmpty());
}
