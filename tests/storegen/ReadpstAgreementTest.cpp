// An independent reader (readpst from pst-utils) must find every message libpff finds in the
// random and demo stores of every format and encryption, and the 8-bit texts of ANSI stores as
// written. Skips where readpst is not installed.
#include "DemoMailbox.h"
#include "LibpffOpening.h"
#include "RandomMailbox.h"
#include "StoreVariant.h"
#include "StoreWriter.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace storegen;

namespace {

struct ReadpstVariant
{
    const char* name;
    StoreOptions options;
    bool demo;
};

void PrintTo(const ReadpstVariant& v, std::ostream* os)
{
    *os << v.name;
}

// The items readpst writes one file each for: mail, appointments, contacts and journal entries
// (it skips tasks and notes), counted through libpff.
int exportableItems(const store::Item& folder)
{
    int count = 0;
    for (int i = 0; i < folder.subMessageCount(); ++i) {
        const store::ItemType type = folder.subMessage(i)->type();
        if (type == store::ItemType::Email || type == store::ItemType::Appointment ||
            type == store::ItemType::Contact || type == store::ItemType::Activity)
            ++count;
    }
    for (int i = 0; i < folder.subFolderCount(); ++i)
        count += exportableItems(*folder.subFolder(i));
    return count;
}

// Runs readpst on a store (which it wants named .pst, whatever the content type) and returns the
// files it wrote, one per item, with their contents.
std::vector<QByteArray> readpstItems(const QString& readpst, const QString& path, const QString& out)
{
    EXPECT_TRUE(QDir().mkpath(out));
    QProcess process;
    // -j 0: readpst's parallel mode loses items now and then; one process is exact.
    process.start(readpst, {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("0"),
                            QStringLiteral("-D"), QStringLiteral("-S"), QStringLiteral("-o"), out, path});
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    std::vector<QByteArray> items;
    const QRegularExpression numbered(QStringLiteral("^[0-9]+$"));
    QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (!numbered.match(it.fileName()).hasMatch())
            continue;
        QFile file(it.filePath());
        items.push_back(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return items;
}

class ReadpstAgreement : public ::testing::TestWithParam<ReadpstVariant>
{
};

TEST_P(ReadpstAgreement, FindsEveryMessage)
{
    const QString readpst = QStandardPaths::findExecutable(QStringLiteral("readpst"));
    if (readpst.isEmpty())
        GTEST_SKIP() << "readpst is not installed";

    QTemporaryDir dir;
    // readpst wants the personal-store extension, whatever the content type.
    const QString path = dir.filePath(QStringLiteral("mailbox.pst"));
    {
        StoreWriter writer(path, GetParam().options);
        if (GetParam().demo)
            DemoMailbox().write(writer);
        else
            RandomMailbox(400, 7).write(writer);
        writer.finish();
    }
    const int expected = exportableItems(*openWithLibpff(path)->rootFolder());
    ASSERT_GT(expected, GetParam().demo ? 30 : 400);
    const std::vector<QByteArray> items = readpstItems(readpst, path, dir.filePath(QStringLiteral("out")));
    EXPECT_EQ(static_cast<int>(items.size()), expected);
}

TEST(ReadpstAnsi, SeesTheShiftJisBytesOfSubjects)
{
    const QString readpst = QStandardPaths::findExecutable(QStringLiteral("readpst"));
    if (readpst.isEmpty())
        GTEST_SKIP() << "readpst is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sjis.pst"));
    StoreOptions options;
    options.format = FileFormat::Ansi;
    options.encryption = Encryption::High;
    options.codePage = 932;
    {
        StoreWriter writer(path, options);
        DemoMailbox().write(writer);
        writer.finish();
    }
    // readpst copies 8-bit subjects as they are stored; the demo has one in Japanese.
    const QByteArray subject = "Subject: \x89\xEF\x8B\x63\x82\xCC\x8B\x63\x8E\x96\x98\x5E";
    int found = 0;
    for (const QByteArray& item : readpstItems(readpst, path, dir.filePath(QStringLiteral("out"))))
        found += item.contains(subject) ? 1 : 0;
    EXPECT_EQ(found, 1);
}

const ReadpstVariant kVariants[] = {
    {"RandomUnicodeOffline", {FileFormat::Unicode, StoreKind::Offline, Encryption::None}, false},
    {"RandomUnicodePersonal", {FileFormat::Unicode, StoreKind::Personal, Encryption::None}, false},
    {"RandomUnicodeCompressible",
     {FileFormat::Unicode, StoreKind::Personal, Encryption::Compressible},
     false},
    {"RandomUnicodeHigh", {FileFormat::Unicode, StoreKind::Offline, Encryption::High}, false},
    {"RandomFourKOffline", {FileFormat::Unicode4k, StoreKind::Offline, Encryption::None}, false},
    {"RandomFourKCompressible",
     {FileFormat::Unicode4k, StoreKind::Personal, Encryption::Compressible},
     false},
    {"RandomFourKHigh", {FileFormat::Unicode4k, StoreKind::Offline, Encryption::High}, false},
    {"RandomAnsiOffline", {FileFormat::Ansi, StoreKind::Offline, Encryption::None}, false},
    {"RandomAnsiCompressible", {FileFormat::Ansi, StoreKind::Personal, Encryption::Compressible}, false},
    {"RandomAnsiHigh", {FileFormat::Ansi, StoreKind::Offline, Encryption::High}, false},
    {"DemoUnicodeOffline", {FileFormat::Unicode, StoreKind::Offline, Encryption::None}, true},
    {"DemoFourKOffline", {FileFormat::Unicode4k, StoreKind::Offline, Encryption::None}, true},
    {"DemoAnsiPersonalHigh", {FileFormat::Ansi, StoreKind::Personal, Encryption::High}, true},
};

INSTANTIATE_TEST_SUITE_P(Variants, ReadpstAgreement, ::testing::ValuesIn(kVariants), nameOf<ReadpstVariant>);

} // namespace
