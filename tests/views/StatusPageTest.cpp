#include "views/StatusPage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using views::StatusPage;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct PathCase
{
    const char* program;
    const char* page;
};

// Names the case by its program path, with the separators test runners treat specially replaced.
void PrintTo(const PathCase& c, std::ostream* os)
{
    std::string name = c.program;
    for (char& ch : name) {
        if (ch == '\\')
            ch = '/';
    }
    *os << name;
}

class StatusPagePathCases : public ::testing::TestWithParam<PathCase>
{
};

TEST_P(StatusPagePathCases, EveryExeIsRemovedAndTempHtmlAppended)
{
    EXPECT_EQ(StatusPage::pagePathBesideProgram(s(GetParam().program)), s(GetParam().page));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, StatusPagePathCases,
    ::testing::Values(PathCase{"C:\\Tools\\Conv.exe", "C:\\Tools\\Convtemp.html"},
                      PathCase{"/opt/my.exe.tools/conv.exe", "/opt/my.tools/convtemp.html"},
                      PathCase{"/usr/bin/tarvolin-ost2eml", "/usr/bin/tarvolin-ost2emltemp.html"},
                      PathCase{"/x/Conv.EXE", "/x/Conv.EXEtemp.html"}));

TEST(StatusPage, FragmentsAreExact)
{
    EXPECT_EQ(StatusPage::loadingFragment(), s("<div align=\"center\"><p><img src=\"loading.gif\" "
                                               "width=\"100\" height=\"100\" /></p><h1 >Recovery "
                                               "Started! Please wait for completion...</h1></div>"));
    EXPECT_EQ(
        StatusPage::doneFragment(),
        s("<div align=\"center\"><p><img src=\"done.gif\" width=\"100\" height=\"100\" /></p><h2 >OST Repair "
          "Successfully Completed! Click on \"Convert OST to EML\" button to Export OST emails to EML "
          "files.</h2></div>"));
}

TEST(StatusPage, PageLiesInTheGivenFolderWithItsPicturesCopiedBesideIt)
{
    QTemporaryDir programDir;
    QTemporaryDir runFolder;
    for (const QString& name : StatusPage::pictureNames()) {
        QFile picture(programDir.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
        picture.write("GIF89a");
    }
    EXPECT_EQ(StatusPage::pagePath(s("C:\\Tools\\Conv.exe"), runFolder.path()),
              runFolder.path() + s("/Convtemp.html"));
    // Without a folder there is no page, rather than one in the working directory.
    EXPECT_TRUE(StatusPage::pagePath(s("/opt/tool"), QString()).isEmpty());
    EXPECT_FALSE(StatusPage::write(QString(), StatusPage::loadingFragment(), programDir.path()));
    const QString page = StatusPage::pagePath(programDir.path() + s("/tool"), runFolder.path() + s("/sub"));
    EXPECT_EQ(page, runFolder.path() + s("/sub/tooltemp.html"));

    ASSERT_TRUE(StatusPage::write(page, StatusPage::loadingFragment(), programDir.path()));
    QFile written(page);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().startsWith("\xFF\xFE<\x00"));
    for (const QString& name : StatusPage::pictureNames())
        EXPECT_TRUE(QFile::exists(runFolder.path() + s("/sub/") + name)) << name.toStdString();
    // Nothing is written beside the program.
    EXPECT_EQ(QDir(programDir.path()).entryList(QDir::Files).size(), StatusPage::pictureNames().size());
}

TEST(StatusPage, WritingBesideTheProgramCopiesNothing)
{
    QTemporaryDir dir;
    const QString page = StatusPage::pagePath(dir.path() + s("/tool"), dir.path());
    ASSERT_TRUE(StatusPage::write(page, StatusPage::doneFragment(), dir.path()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{s("tooltemp.html")});
}

} // namespace
