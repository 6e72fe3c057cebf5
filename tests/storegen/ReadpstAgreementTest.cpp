// An independent reader (readpst from pst-utils) must find every message libpff finds in the
// random and demo stores. Skips where readpst is not installed.
#include "DemoMailbox.h"
#include "RandomMailbox.h"
#include "StoreVariant.h"
#include "StoreWriter.h"
#include "store/Store.h"

#include <QDirIterator>
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

// The items readpst writes one file each for: mail, appointments and contacts (it skips tasks
// and notes), counted through libpff.
int exportableItems(const store::Item& folder)
{
    int count = 0;
    for (int i = 0; i < folder.subMessageCount(); ++i) {
        const store::ItemType type = folder.subMessage(i)->type();
        if (type == store::ItemType::Email || type == store::ItemType::Appointment ||
            type == store::ItemType::Contact)
            ++count;
    }
    for (int i = 0; i < folder.subFolderCount(); ++i)
        count += exportableItems(*folder.subFolder(i));
    return count;
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
    const int expected = exportableItems(*store::openStore(path)->rootFolder());
    ASSERT_GT(expected, GetParam().demo ? 30 : 400);

    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    QProcess process;
    // -j 0: readpst's parallel mode loses items now and then; one process is exact.
    process.start(readpst, {QStringLiteral("-q"), QStringLiteral("-j"), QStringLiteral("0"),
                            QStringLiteral("-D"), QStringLiteral("-S"), QStringLiteral("-o"), out, path});
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    int found = 0;
    const QRegularExpression numbered(QStringLiteral("^[0-9]+$"));
    QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (numbered.match(it.fileName()).hasMatch())
            ++found;
    }
    EXPECT_EQ(found, expected);
}

const ReadpstVariant kVariants[] = {
    {"RandomUnicodeOffline", {FileFormat::Unicode, StoreKind::Offline, Encryption::None}, false},
    {"RandomUnicodePersonal", {FileFormat::Unicode, StoreKind::Personal, Encryption::None}, false},
    {"RandomUnicodeCompressible",
     {FileFormat::Unicode, StoreKind::Personal, Encryption::Compressible},
     false},
    {"RandomFourKOffline", {FileFormat::Unicode4k, StoreKind::Offline, Encryption::None}, false},
    {"DemoUnicodeOffline", {FileFormat::Unicode, StoreKind::Offline, Encryption::None}, true},
    {"DemoFourKOffline", {FileFormat::Unicode4k, StoreKind::Offline, Encryption::None}, true},
};

INSTANTIATE_TEST_SUITE_P(Variants, ReadpstAgreement, ::testing::ValuesIn(kVariants), nameOf<ReadpstVariant>);

} // namespace
