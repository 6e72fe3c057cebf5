#include "../support/MailView.h"
#include "views/PreviewWriter.h"

#include "views/PageFile.h"
#include "views/RunFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace catalog;
using views::PageFile;
using views::PreviewWriter;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString decode(const QByteArray& bytes)
{
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE' || bytes.size() % 2 != 0)
        return s("<not UTF-16LE with BOM>");
    QString text;
    for (qsizetype i = 2; i < bytes.size(); i += 2)
        text.append(QChar(
            static_cast<char16_t>(static_cast<uchar>(bytes[i]) | (static_cast<uchar>(bytes[i + 1]) << 8))));
    return text;
}

struct Previews
{
    QTemporaryDir dir;
    Catalogs catalogs;
    QString folder() const { return dir.path() + QLatin1Char('/'); }

    Previews()
    {
        support::MailView plain;
        plain.serial = 1;
        plain.subject = s("Plain");
        plain.body = s("Hello Ünïcödé\r\n");
        catalogs.AppendMailRecord(plain, plain);
        support::MailView html;
        html.serial = 2;
        html.bodyKind = 1;
        html.body = s("<html><body onload=\"x()\"><p>Hi</p></body></html>");
        catalogs.AppendMailRecord(html, html);
        ContactRecord::SlotValues values;
        values[12] = s("Ann");
        catalogs.AppendContactRecord(s("Contacts"), NodeId{1}, 7, values, 3);
        AppointmentRecord appointment;
        appointment.serial = 4;
        appointment.start = s("S");
        catalogs.AppendAppointmentRecord(appointment);
    }
};

TEST(PageFileEncoding, Utf16LittleEndianWithByteOrderMark)
{
    EXPECT_EQ(PageFile::encode(s("A€")), QByteArray("\xFF\xFE"
                                                    "A\x00\xAC\x20",
                                                    6));
    EXPECT_EQ(PageFile::encode(QString()), QByteArray("\xFF\xFE", 2));
}

TEST(PreviewWriter, PlainMailWritesBodyTxtAndThePageFramingIt)
{
    Previews p;
    PreviewWriter writer(p.folder());
    const auto page = writer.ShowItemPreview(p.catalogs, s("mail"), s("1"));
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(*page, p.folder() + s("temp.html"));
    EXPECT_EQ(decode(readAll(p.folder() + s("body.txt"))), s("Hello Ünïcödé\r\n"));
    const QString text = decode(readAll(*page));
    EXPECT_TRUE(text.contains(s("Plain")));
    EXPECT_TRUE(text.contains(s("SRC='") + p.folder() + s("body.txt'")));
}

TEST(PreviewWriter, HtmlMailKeepsTheHtmlAsItIsAndLeavesTheOtherBodyFile)
{
    Previews p;
    PreviewWriter writer(p.folder());
    ASSERT_TRUE(writer.ShowItemPreview(p.catalogs, s("mail"), s("1")));
    ASSERT_TRUE(writer.ShowItemPreview(p.catalogs, s("mail"), s("2")));
    EXPECT_EQ(decode(readAll(p.folder() + s("body.html"))),
              s("<html><body onload=\"x()\"><p>Hi</p></body></html>"));
    EXPECT_TRUE(QFile::exists(p.folder() + s("body.txt")));
    EXPECT_TRUE(decode(readAll(p.folder() + s("temp.html"))).contains(s("body.html'")));
}

TEST(PreviewWriter, ContactAndAppointmentPagesGoToTheSamePageFile)
{
    Previews p;
    PreviewWriter writer(p.folder());
    ASSERT_TRUE(writer.ShowItemPreview(p.catalogs, s("contact"), s("3")));
    EXPECT_EQ(decode(readAll(p.folder() + s("temp.html"))), s("<b>First Name :</b> Ann<br>"));
    ASSERT_TRUE(writer.ShowItemPreview(p.catalogs, s("appointment"), s("4")));
    EXPECT_EQ(decode(readAll(p.folder() + s("temp.html"))),
              s("<b>Start :</b>S<BR><b>End :</b><BR><b>Location :</b><BR>"));
}

TEST(PreviewWriter, RowsWithoutARecordOfTheirTypeWriteNothing)
{
    Previews p;
    PreviewWriter writer(p.folder());
    for (const auto& [type, serial] : {std::pair{"mail", "3"},
                                       {"contact", "1"},
                                       {"appointment", "99"},
                                       {"task", "1"},
                                       {"mail", ""},
                                       {"mail", "x"}})
        EXPECT_FALSE(writer.ShowItemPreview(p.catalogs, s(type), s(serial)).has_value()) << type << serial;
    EXPECT_FALSE(QFile::exists(p.folder() + s("temp.html")));
}

TEST(PreviewWriter, ReadOnlyPageFromAnEarlierRunIsReplaced)
{
    Previews p;
    const QString pagePath = p.folder() + s("temp.html");
    {
        QFile old(pagePath);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    QFile::setPermissions(pagePath, QFileDevice::ReadOwner);
    PreviewWriter writer(p.folder());
    ASSERT_TRUE(writer.ShowItemPreview(p.catalogs, s("contact"), s("3")));
    EXPECT_EQ(decode(readAll(pagePath)), s("<b>First Name :</b> Ann<br>"));
}

TEST(PreviewWriter, LinksPlantedAtThePageAndBodyNamesAreNotFollowed)
{
    Previews p;
    const QString victim = p.folder() + s("victim.txt");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    for (const char* name : {"temp.html", "body.html"})
        ASSERT_TRUE(QFile::link(victim, p.folder() + s(name)));
    PreviewWriter writer(p.folder());
    ASSERT_TRUE(writer.ShowItemPreview(p.catalogs, s("mail"), s("2")));
    EXPECT_EQ(readAll(victim), QByteArray("keep me"));
    for (const char* name : {"temp.html", "body.html"})
        EXPECT_FALSE(QFileInfo(p.folder() + s(name)).isSymLink()) << name;
}

TEST(PreviewWriter, UnwritableFolderGivesNoPageToNavigateTo)
{
    Previews p;
    PreviewWriter writer(p.folder() + s("missing/deeper/"));
    EXPECT_FALSE(writer.ShowItemPreview(p.catalogs, s("mail"), s("1")).has_value());
}

TEST(PreviewWriter, FolderWithoutTrailingSeparatorAndDefaultAttachmentsDirectory)
{
    PreviewWriter writer(s("/some/where"));
    EXPECT_EQ(writer.pageFilePath(), s("/some/where/temp.html"));
    EXPECT_EQ(writer.bodyFilePath(0), s("/some/where/body.txt"));
    EXPECT_EQ(writer.bodyFilePath(1), s("/some/where/body.html"));
    EXPECT_EQ(writer.attachmentsDirectory(), s("/some/where/Attachments"));
    // By default the pages go to the run's private folder, never straight into the shared one.
    EXPECT_EQ(PreviewWriter::defaultPreviewFolder(), views::RunFolder::current().path() + s("/"));
    EXPECT_NE(PreviewWriter::defaultPreviewFolder(), QDir::tempPath() + s("/"));
}

} // namespace
