// Both readers over the same stores: the real sample stores and storegen stores of every format,
// encryption and content type. Everything each shows of a store (StoreDump: kinds, every property
// of every record set with its type and bytes, texts, bodies, recipients, attachment data,
// embedded messages) must agree, except for the differences listed below, each a fault of libpff
// 20180714 against the format's documentation.
#include "CompoundFile.h"
#include "MessageBuilder.h"
#include "StoreDump.h"
#include "StoreVariant.h"
#include "StoreWriter.h"
#include "TestDataPath.h"
#include "store/Store.h"
#include "store/RecoveredItemsStore.h"
#include "store/SpecialFolders.h"
#include "store/StoreError.h"
#include "store/native/Checksum.h"
#include "store/native/Ndb.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace storegen;

namespace {

// A difference between the readers that is libpff's fault. It explains a line that only one
// reader shows; where it needs the other reader's lines to decide, it gets both.
struct KnownDifference
{
    const char* name;
    const char* reason;
    // onlyLibpff: the line is libpff's; else the native reader's.
    std::function<bool(const QString& line, bool onlyLibpff, const QStringList& libpffLines)> explains;
};

bool matches(const QString& line, const char* pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern)).match(line).hasMatch();
}

// The path of a line: everything before its first space.
QString pathOf(const QString& line)
{
    return line.left(line.indexOf(QLatin1Char(' ')));
}

// libpff failed on the item at a path that is a prefix of this line's path, with a message that
// contains one of the texts.
bool libpffFailedAbove(const QString& line, const QStringList& libpffLines, const QStringList& texts)
{
    const QString path = pathOf(line);
    for (const QString& failure : libpffLines) {
        if (!failure.contains(QStringLiteral(" ! ")))
            continue;
        const QString failedPath = pathOf(failure);
        if (path != failedPath && !path.startsWith(failedPath + QLatin1Char('/')))
            continue;
        for (const QString& text : texts) {
            if (failure.contains(text))
                return true;
        }
    }
    return false;
}

const std::vector<KnownDifference>& knownDifferences()
{
    static const std::vector<KnownDifference> differences = {
        {"absent cells",
         "libpff ignores the cell existence bitmap of table rows ([MS-PST] 2.3.4.4.1) and lists cells "
         "that do not exist as empty or zero values",
         [](const QString& line, bool onlyLibpff, const QStringList&) {
             return onlyLibpff &&
                    matches(line,
                            R"(/r set \d+ [0-9a-f]{4}/[0-9a-f]{4}( text)? = (size 0 )?\[\d+\] ?(00)*$)");
         }},
        {"attachment methods",
         "libpff does not know attachment methods 3, 4 and 7 ([MS-OXCMSG] 2.2.2.9, by reference); the "
         "native reader reads them as references",
         [](const QString& line, bool onlyLibpff, const QStringList&) {
             return onlyLibpff ? matches(line, R"( method ! .*unsupported attachment method: 0x0000000[347])")
                               : matches(line, R"( method = r$)");
         }},
        {"object that is no message",
         "libpff takes the object of an attachment of method 5 for an attached message even where its "
         "sub-node holds a compound file and no property context (which every message is), and shows an "
         "item without properties; the native reader reads the object's bytes",
         [](const QString& line, bool onlyLibpff, const QStringList& libpffLines) {
             const qsizetype item = line.indexOf(QStringLiteral("/e "));
             const QString attachment = item >= 0 ? line.left(item) : pathOf(line);
             if (!libpffLines.contains(attachment + QStringLiteral(" method = i")))
                 return false;
             // An attached message that libpff reads has properties; this one has none.
             for (const QString& l : libpffLines) {
                 if (l.startsWith(attachment + QStringLiteral("/e ")) && l.contains(QStringLiteral(" set ")))
                     return false;
             }
             return onlyLibpff ? line == attachment + QStringLiteral(" method = i") ||
                                     line.startsWith(attachment + QStringLiteral("/e "))
                               : matches(line, R"(/a\d+ (method = d|data = size ))");
         }},
        {"empty HTML", "libpff fails on an empty HTML body ([MS-PST] 2.3.3.2: a value may be empty)",
         [](const QString& line, bool onlyLibpff, const QStringList&) {
             return onlyLibpff ? matches(line, R"( body html ! .*missing value data)")
                               : matches(line, R"( body html = size 0 \[0\] $)");
         }},
        {"internet code page",
         "libpff decodes a message's 8-bit texts in the store's code page when the message names its "
         "code page only in PR_INTERNET_CPID (0x3FDE)",
         [](const QString& line, bool, const QStringList& libpffLines) {
             if (!line.contains(QStringLiteral(" message text = ")) &&
                 !line.contains(QStringLiteral(" body plain =")))
                 return false;
             const QString path = pathOf(line);
             bool messageCodePage = false;
             bool internetCodePage = false;
             for (const QString& l : libpffLines) {
                 if (pathOf(l) != path)
                     continue;
                 messageCodePage = messageCodePage || l.contains(QStringLiteral(" set 0 3ffd/0003 = "));
                 internetCodePage = internetCodePage || l.contains(QStringLiteral(" set 0 3fde/0003 = "));
             }
             return internetCodePage && !messageCodePage;
         }},
        {"all-zero record",
         "libpff refuses a whole item when one property record is all zeros (type 0); the native reader "
         "skips that record ([MS-PST] 2.3.3.3: a record of type 0 carries nothing)",
         [](const QString& line, bool onlyLibpff, const QStringList& libpffLines) {
             const QString refused = QStringLiteral("unsupported value type: 0x00000000");
             if (line.contains(QStringLiteral(" sub-items = "))) {
                 // The folder's list of sub-items shows the refused item's kind as "!".
                 const QString below = pathOf(line) + QLatin1Char('/');
                 for (const QString& l : libpffLines) {
                     if (l.startsWith(below) && l.contains(refused))
                         return true;
                 }
                 return false;
             }
             return libpffFailedAbove(line, libpffLines, {refused}) &&
                    (onlyLibpff ? line.contains(QStringLiteral(" ! ")) : true);
         }},
        {"reserved bit",
         "libpff does not ignore the reserved low bit of block ids ([MS-PST] 2.2.2.2: readers MUST "
         "ignore it) and loses what such a reference points to",
         [](const QString& line, bool onlyLibpff, const QStringList& libpffLines) {
             const QStringList texts = {QStringLiteral("unsupported table signature"),
                                        QStringLiteral("attachments"), QStringLiteral("attachment")};
             if (onlyLibpff)
                 return line.contains(QStringLiteral(" ! ")) ||
                        line.contains(QStringLiteral(" attachments = 0"));
             return libpffFailedAbove(line, libpffLines, texts) ||
                    (line.contains(QStringLiteral(" attachments = ")) &&
                     libpffLines.contains(pathOf(line) + QStringLiteral(" attachments = 0")));
         }},
    };
    return differences;
}

// Compares the two dumps; returns the lines no known difference explains, and counts what each
// difference explained. Failures compare up to their "!", but the differences see the whole line.
QStringList unexplained(const QStringList& native, const QStringList& libpff,
                        std::map<std::string, int>& used)
{
    std::map<QString, std::pair<int, QString>> balance;
    for (const QString& line : native) {
        auto& [count, example] = balance[support::comparablePart(line)];
        ++count;
        example = line;
    }
    for (const QString& line : libpff) {
        auto& [count, example] = balance[support::comparablePart(line)];
        if (--count < 0)
            example = line;
    }
    QStringList left;
    for (const auto& [key, entry] : balance) {
        const auto& [count, line] = entry;
        if (count == 0)
            continue;
        const bool onlyLibpff = count < 0;
        bool explained = false;
        for (const KnownDifference& d : knownDifferences()) {
            if (d.explains(line, onlyLibpff, libpff)) {
                ++used[d.name];
                explained = true;
                break;
            }
        }
        if (!explained)
            left << (onlyLibpff ? QStringLiteral("libpff only: ") : QStringLiteral("native only: ")) + line;
    }
    return left;
}

void expectAgreement(const QString& path, std::map<std::string, int>& used)
{
    store::OpenOptions native;
    std::unique_ptr<store::Store> nativeStore;
    ASSERT_NO_THROW(nativeStore = store::openStore(path, native)) << path.toStdString();
    // libpff reads 8-bit texts in the code page the native reader found the store to use, where
    // libpff knows it; else both read them in Windows-1252.
    store::OpenOptions libpff;
    libpff.reader = store::ReaderKind::Libpff;
    libpff.codePage = nativeStore->codePage();
    std::unique_ptr<store::Store> libpffStore;
    try {
        libpffStore = store::openStore(path, libpff);
    } catch (const store::OpenError&) {
        native.codePage = libpff.codePage = 1252;
        ASSERT_NO_THROW(nativeStore = store::openStore(path, native)) << path.toStdString();
        ASSERT_NO_THROW(libpffStore = store::openStore(path, libpff)) << path.toStdString();
    }

    EXPECT_EQ(nativeStore->contentType(), libpffStore->contentType());
    EXPECT_EQ(nativeStore->encryptionType(), libpffStore->encryptionType());
    EXPECT_EQ(nativeStore->formatType(), libpffStore->formatType());
    EXPECT_EQ(nativeStore->fileSize(), libpffStore->fileSize());

    const QStringList nativeLines = support::dumpStore(*nativeStore);
    const QStringList libpffLines = support::dumpStore(*libpffStore);
    EXPECT_GT(nativeLines.size(), 10);
    const QStringList left = unexplained(nativeLines, libpffLines, used);
    EXPECT_TRUE(left.isEmpty()) << path.toStdString() << ": " << left.size() << " differences, the first:\n"
                                << left.mid(0, 25).join(QLatin1Char('\n')).toStdString();
}

Property raw(std::uint16_t id, PropertyType type, const QByteArray& value)
{
    Property p;
    p.id = id;
    p.type = type;
    p.value = value;
    return p;
}

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed + i / 257) & 0xFF);
    return bytes;
}

Message embeddedChain(int depth)
{
    MessageBuilder b;
    b.subject(QStringLiteral("Embedded level %1").arg(depth))
        .sender(QStringLiteral("Level %1").arg(depth), QStringLiteral("level%1@example.com").arg(depth))
        .to(QStringLiteral("Ann"), QStringLiteral("ann@example.com"))
        .plainBody(QStringLiteral("Level %1 of a chain of attached mails.").arg(depth))
        .attach(QStringLiteral("level%1.bin").arg(depth), QStringLiteral("application/octet-stream"),
                pattern(3000 + depth, depth));
    if (depth < 4)
        b.attachMessage(embeddedChain(depth + 1), QStringLiteral("Level %1").arg(depth + 1));
    else
        b.property(Property::binary(0x1013, QByteArray())); // an empty HTML body
    return b.build();
}

// Every kind of content both readers must read alike.
StoreDescription richStore(const StoreOptions& options)
{
    const std::uint64_t day = MessageBuilder::fileTime(QDateTime(QDate(2024, 3, 1), QTime(9, 30), Qt::UTC));
    StoreDescription d;
    d.options = options;
    Folder top;
    top.name = QStringLiteral("Top of Personal Folders");
    top.role = FolderRole::IpmSubtree;

    Folder inbox;
    inbox.name = QStringLiteral("Inbox");
    inbox.containerClass = QStringLiteral("IPF.Note");
    {
        MessageBuilder b;
        b.subject(QStringLiteral("Every value type — ümlaut"))
            .sender(QStringLiteral("Sender"), QStringLiteral("sender@example.com"))
            .times(day, day + 600)
            .plainBody(QStringLiteral("Plain body\r\n"))
            .htmlBody("<html><body><p>HTML body</p></body></html>")
            .rtfBody("{\\rtf1\\ansi\\deff0 {\\fonttbl{\\f0 Arial;}} RTF body\\par}")
            .property(Property::integer16(0x6601, 0x1234))
            .property(Property::integer32(0x6602, 0xDEADBEEF))
            .property(Property::integer64(0x6603, 0x0123456789ABCDEFull))
            .property(Property::floating64(0x6604, 3.25))
            .property(Property::boolean(0x6605, true))
            .property(Property::fileTime(0x6606, day))
            .property(Property::guid(0x6607, QUuid(0x12345678, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10)))
            .property(Property::string8(0x6608, QByteArray("eight-bit text")))
            .property(Property::unicode(0x6609, QStringLiteral("UTF-16 text €")))
            .property(Property::binary(0x660A, pattern(5000, 1)))
            .property(Property::binary(0x660B, QByteArray()))
            .property(Property::unicode(0x660C, QString()))
            .property(raw(0x660D, PropertyType::Floating32, QByteArray("\x00\x00\x80\x3f", 4)))
            .property(raw(0x660E, PropertyType::Currency, pattern(8, 2)))
            .property(raw(0x660F, PropertyType::FloatingTime, pattern(8, 3)))
            .property(raw(0x6610, PropertyType::ErrorCode, QByteArray("\x05\x40\x07\x80", 4)))
            .property(Property::namedAs(propertyset::common(), 0x8580,
                                        Property::unicode(0, QStringLiteral("named"))))
            .property(Property::namedAs(propertyset::address(), 0x8005,
                                        Property::unicode(0, QStringLiteral("File under"))));
        for (int i = 0; i < 25; ++i)
            b.recipient(1 + i % 3, QStringLiteral("Recipient %1").arg(i),
                        QStringLiteral("r%1@example.com").arg(i));
        b.attach(QStringLiteral("small.txt"), QStringLiteral("text/plain"), QByteArray("small"))
            .attach(QStringLiteral("medium.bin"), QStringLiteral("application/octet-stream"),
                    pattern(10000, 4))
            .attach(QStringLiteral("large.bin"), QStringLiteral("application/octet-stream"),
                    pattern(300000, 5))
            .attachReference(QStringLiteral("linked.doc"), QStringLiteral("\\\\server\\share\\linked.doc"))
            .attachMessage(embeddedChain(1), QStringLiteral("Level 1"))
            .attachObject(QStringLiteral("Picture (Device Independent Bitmap)"),
                          staticDibObject(2, 2, 0x3366CC))
            // An object over many blocks, as large as the pictures Outlook stores.
            .attachObject(QStringLiteral("Picture (Device Independent Bitmap)"),
                          staticDibObject(300, 300, 0xFF8000), QStringLiteral("picture.dib"));
        Message m = b.build();
        Attachment referenceOnly;
        referenceOnly.method = AttachMethod::ByReferenceOnly;
        referenceOnly.properties.push_back(Property::text(0x3707, QStringLiteral("only.doc")));
        m.attachments.push_back(referenceOnly);
        // Says it is an attached message, holds a compound file.
        Attachment mislabelled;
        mislabelled.method = AttachMethod::OleObject;
        mislabelled.data = staticDibObject(2, 2, 0x00FF00);
        mislabelled.properties.push_back(Property::integer32(0x3705, 5));
        mislabelled.properties.push_back(Property::text(0x3707, QStringLiteral("object.bin")));
        m.attachments.push_back(mislabelled);
        inbox.messages.push_back(m);
    }
    {
        MessageBuilder b;
        b.subject(QStringLiteral("Four hundred attachments")).plainBody(QStringLiteral("Many."));
        for (int i = 0; i < 400; ++i)
            b.attach(QStringLiteral("part%1.txt").arg(i), QStringLiteral("text/plain"), pattern(100 + i, i));
        inbox.messages.push_back(b.build());
    }
    {
        QString big;
        for (int i = 0; big.size() < 100000; ++i)
            big += QStringLiteral("Line %1 of a long body, with ümlauts and €.\r\n").arg(i);
        QByteArray html = "<html><body>";
        while (html.size() < 300000)
            html += "<p>A paragraph of a long HTML body.</p>\n";
        html += "</body></html>";
        inbox.messages.push_back(
            MessageBuilder().subject(QStringLiteral("Big bodies")).plainBody(big).htmlBody(html).build());
    }
    {
        // 8-bit texts whose code page only PR_INTERNET_CPID names.
        Message m = MessageBuilder().subject(QStringLiteral("cpid")).build();
        m.properties.push_back(Property::string8(0x0E1D, QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2")));
        m.properties.push_back(Property::integer32(0x3FDE, 1251));
        inbox.messages.push_back(m);
    }
    inbox.messages.push_back(
        MessageBuilder(QStringLiteral("IPM.Contact"))
            .contact(QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("ann@example.com"))
            .property(Property::namedAs(
                propertyset::publicStrings(), QStringLiteral("Keywords"),
                Property::unicodes(0, {QStringLiteral("Red"), QStringLiteral("Käse, 🧀")})))
            .build());
    inbox.messages.push_back(MessageBuilder(QStringLiteral("IPM.Appointment"))
                                 .subject(QStringLiteral("Meeting"))
                                 .appointment(day, day + 36000000000ull, QStringLiteral("Room 1"))
                                 .build());
    for (int i = 0; i < 300; ++i)
        inbox.messages.push_back(
            MessageBuilder()
                .subject(QStringLiteral("Mail %1").arg(i))
                .sender(QStringLiteral("S%1").arg(i), QStringLiteral("s%1@example.com").arg(i))
                .to(QStringLiteral("T"), QStringLiteral("t@example.com"))
                .plainBody(QStringLiteral("Body %1").arg(i))
                .property(Property::integer32(0x3FFD, 1252))
                .build());
    top.folders.push_back(inbox);

    Folder deep;
    deep.name = QStringLiteral("Level 0");
    Folder* at = &deep;
    for (int level = 1; level < 30; ++level) {
        Folder next;
        next.name = QStringLiteral("Level %1").arg(level);
        at->folders.push_back(next);
        at = &at->folders.back();
    }
    at->messages.push_back(MessageBuilder().subject(QStringLiteral("At the bottom")).build());
    top.folders.push_back(deep);
    d.folders.push_back(top);
    return d;
}

class ReaderAgreement : public ::testing::TestWithParam<Variant>
{
};

TEST_P(ReaderAgreement, GeneratedStoresReadAlike)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rich.ost"));
    writeStore(richStore(GetParam().options), path, true);
    std::map<std::string, int> used;
    expectAgreement(path, used);
    // The store holds each case of these differences (storegen gives every message of an ANSI
    // store its code page).
    for (const char* name :
         {"attachment methods", "empty HTML", "internet code page", "object that is no message"}) {
        if (GetParam().options.format != FileFormat::Ansi || std::string(name) != "internet code page") {
            EXPECT_GT(used[name], 0) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, ReaderAgreement, ::testing::ValuesIn(allVariants()), nameOf<Variant>);

TEST(ReaderAgreementSamples, RealStoresReadAlike)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    std::map<std::string, int> used;
    const QDir stores(sharedTestData(QStringLiteral("stores")));
    int compared = 0;
    for (const QString& name :
         stores.entryList({QStringLiteral("*.pst"), QStringLiteral("*.ost")}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        expectAgreement(stores.filePath(name), used);
        ++compared;
    }
    EXPECT_GE(compared, 10);
}

TEST(ReaderAgreementSamples, DemoStoreReadsAlike)
{
    const QString demo = QStringLiteral(OST2EML_BINARY_DIR "/demo/demo.ost");
    if (!QFile::exists(demo))
        GTEST_SKIP() << "no demo store built";
    std::map<std::string, int> used;
    expectAgreement(demo, used);
}

// The special folders, by name, as a reader finds them.
std::map<QString, store::SpecialFolder> specialFoldersByName(const QString& path, store::ReaderKind reader,
                                                             bool withRecovered = false)
{
    store::OpenOptions options;
    options.reader = reader;
    std::unique_ptr<store::Store> opened = store::openStore(path, options);
    if (withRecovered)
        opened = std::make_unique<store::RecoveredItemsStore>(std::move(opened));
    const std::map<std::uint32_t, store::SpecialFolder> special = store::specialFolders(*opened);
    std::map<QString, store::SpecialFolder> byName;
    const std::function<void(const store::Item&)> walk = [&](const store::Item& folder) {
        for (int i = 0; i < folder.subFolderCount(); ++i) {
            const std::unique_ptr<store::Item> sub = folder.subFolder(i);
            if (const auto found = special.find(sub->identifier()); found != special.end())
                byName.emplace(QString::fromUtf8(sub->utf8String(0x3001).value_or(QByteArray())), found->second);
            walk(*sub);
        }
    };
    walk(*opened->rootFolder());
    return byName;
}

// Special folders are known by the entry ids that name them, whatever the store's language; a
// store without such ids has them by their English names, only below the top folder.
TEST(SpecialFolders, AreKnownByTheStoresEntryIdsElseByTheirEnglishNames)
{
    using store::SpecialFolder;
    struct Named
    {
        const char* name;
        FolderRole role;
    };
    struct Case
    {
        const char* what;
        std::vector<Named> folders;
        std::map<QString, SpecialFolder> expected;
    };
    const Case cases[] = {
        {"German, with entry ids",
         {{"Posteingang", FolderRole::Inbox},
          {"Gesendete Elemente", FolderRole::SentItems},
          {"Entwürfe", FolderRole::Drafts},
          {"Gelöschte Elemente", FolderRole::DeletedItems},
          {"Junk-E-Mail", FolderRole::JunkEmail},
          {"Sent Items", FolderRole::Normal}},
         {{QStringLiteral("Posteingang"), SpecialFolder::Inbox},
          {QStringLiteral("Gesendete Elemente"), SpecialFolder::SentItems},
          {QStringLiteral("Entwürfe"), SpecialFolder::Drafts},
          {QStringLiteral("Gelöschte Elemente"), SpecialFolder::DeletedItems},
          {QStringLiteral("Junk-E-Mail"), SpecialFolder::JunkEmail}}},
        {"English, without entry ids",
         {{"inbox", FolderRole::Normal},
          {"Sent Items", FolderRole::Normal},
          {"Junk E-mail", FolderRole::Normal},
          {"Archive", FolderRole::Normal}},
         {{QStringLiteral("inbox"), SpecialFolder::Inbox},
          {QStringLiteral("Sent Items"), SpecialFolder::SentItems},
          {QStringLiteral("Junk E-mail"), SpecialFolder::JunkEmail}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StoreDescription d;
        Folder top;
        top.name = QStringLiteral("Top of Personal Folders");
        top.role = FolderRole::IpmSubtree;
        for (const Named& named : c.folders) {
            Folder folder;
            folder.name = QString::fromUtf8(named.name);
            folder.containerClass = QStringLiteral("IPF.Note");
            folder.role = named.role;
            top.folders.push_back(folder);
        }
        // Deeper down, an English name is just a name.
        Folder drafts;
        drafts.name = QStringLiteral("Drafts");
        top.folders.back().folders.push_back(drafts);
        Folder calendar;
        calendar.name = QStringLiteral("Calendar");
        calendar.containerClass = QStringLiteral("IPF.Appointment");
        top.folders.push_back(calendar);
        d.folders.push_back(top);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("special.ost"));
        writeStore(d, path, true);
        for (const store::ReaderKind reader : {store::ReaderKind::Native, store::ReaderKind::Libpff}) {
            EXPECT_EQ(specialFoldersByName(path, reader), c.expected) << (reader == store::ReaderKind::Native);
            // The same when the recovered items are asked for.
            EXPECT_EQ(specialFoldersByName(path, reader, true), c.expected) << (reader == store::ReaderKind::Native);
        }
    }
}

TEST(SpecialFolders, RealStoresNameThemAlikeInBothReaders)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    const QDir stores(sharedTestData(QStringLiteral("stores")));
    for (const QString& name : stores.entryList({QStringLiteral("*.ost")}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        std::map<QString, store::SpecialFolder> native;
        try {
            native = specialFoldersByName(stores.filePath(name), store::ReaderKind::Native);
        } catch (const store::StoreError&) {
            continue; // refused as a store
        }
        EXPECT_EQ(specialFoldersByName(stores.filePath(name), store::ReaderKind::Libpff), native);
        // A French store: its Deleted Items is known by the message store's entry id.
        if (name == QLatin1String("tika-testPST.SO.ost")) {
            EXPECT_EQ(native[QStringLiteral("Éléments supprimés")], store::SpecialFolder::DeletedItems);
        }
    }
}

// The store's last message node (the only one in these tests).
const store::native::NodeEntry* lastMessage(const store::native::Ndb& ndb)
{
    const store::native::NodeEntry* message = nullptr;
    for (const store::native::NodeEntry& node : ndb.nodes().nodes()) {
        if (store::native::nidType(node.nid) == store::native::NidType::NormalMessage)
            message = &node;
    }
    return message;
}

// Rewrites one block of a store in place, keeping its trailer's checksum right.
void patchBlock(const QString& path, const store::native::Ndb& ndb, std::uint64_t bid,
                const std::function<void(QByteArray&)>& change)
{
    const store::native::BlockEntry entry = ndb.blocks().get(bid);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(static_cast<qint64>(entry.ib)));
    const auto onDisk = static_cast<qint64>(ndb.layout().alignedBlockSize(entry.size));
    QByteArray block = file.read(onDisk);
    QByteArray data = block.left(entry.size);
    change(data);
    block.replace(0, data.size(), data);
    const std::uint32_t crc = store::native::formatCrc(data.constData(), entry.size);
    char* trailer = block.data() + onDisk - ndb.layout().blockTrailerSize;
    std::memcpy(trailer + 4, &crc, 4);
    ASSERT_TRUE(file.seek(static_cast<qint64>(entry.ib)));
    ASSERT_EQ(file.write(block), onDisk);
}

// The reserved low bit of a block id names the same block ([MS-PST] 2.2.2.2). libpff loses what
// such a reference points to; the native reader must read it in full.
TEST(ReaderAgreementDamage, AReferenceWithTheReservedBitSetIsFollowed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reserved.ost"));
    StoreOptions options;
    options.encryption = Encryption::High;
    StoreDescription d;
    d.options = options;
    Folder top;
    top.name = QStringLiteral("Top of Personal Folders");
    top.role = FolderRole::IpmSubtree;
    MessageBuilder b;
    b.subject(QStringLiteral("Nine attachments"));
    for (int i = 0; i < 9; ++i)
        b.attach(QStringLiteral("file%1.txt").arg(i), QStringLiteral("text/plain"), pattern(2000 + i, i));
    top.messages.push_back(b.build());
    d.folders.push_back(top);
    writeStore(d, path, true);

    {
        const store::native::Ndb ndb(path);
        const store::native::NodeEntry* message = lastMessage(ndb);
        ASSERT_NE(message, nullptr);
        // The sub-node tree's entry of the attachment table (nid 0x671): its data block id.
        patchBlock(path, ndb, message->bidSub, [](QByteArray& block) {
            const int count =
                static_cast<unsigned char>(block[2]) | (static_cast<unsigned char>(block[3]) << 8);
            for (int i = 0; i < count; ++i) {
                char* entry = block.data() + 8 + i * 24;
                if (static_cast<unsigned char>(entry[0]) == 0x71 && entry[1] == 0x06)
                    entry[8] = static_cast<char>(entry[8] | 1);
            }
        });
    }

    const auto native = store::openStore(path);
    const auto mail = native->rootFolder()->subFolder(0)->subMessage(0);
    ASSERT_EQ(mail->attachmentCount(), 9);
    EXPECT_EQ(mail->attachment(8)->readAttachmentData(0, 10000), pattern(2008, 8));
    std::map<std::string, int> used;
    expectAgreement(path, used);
    EXPECT_GT(used["reserved bit"], 0) << "libpff read the reference after all";
}

// A property record of all zeros carries nothing; libpff refuses the whole item for it.
TEST(ReaderAgreementDamage, AnAllZeroPropertyRecordIsSkipped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zero.ost"));
    StoreDescription d;
    Folder top;
    top.name = QStringLiteral("Top of Personal Folders");
    top.role = FolderRole::IpmSubtree;
    Folder contacts;
    contacts.name = QStringLiteral("Contacts");
    contacts.containerClass = QStringLiteral("IPF.Contact");
    Message contact =
        MessageBuilder(QStringLiteral("IPM.Contact"))
            .contact(QStringLiteral("Zoe"), QStringLiteral("Zero"), QStringLiteral("zoe@example.com"))
            .build();
    // Written as a record of id 0x0001 and an unused type, then zeroed below.
    contact.properties.push_back(raw(0x0001, PropertyType::Integer32, QByteArray(4, '\x5a')));
    contacts.messages.push_back(contact);
    top.folders.push_back(contacts);
    d.folders.push_back(top);
    writeStore(d, path, true);
    {
        const store::native::Ndb ndb(path);
        const store::native::NodeEntry* message = lastMessage(ndb);
        ASSERT_NE(message, nullptr);
        patchBlock(path, ndb, message->bidData, [](QByteArray& heap) {
            // The record 01 00 | 03 00 | 5a 5a 5a 5a of the property B-tree.
            const QByteArray record("\x01\x00\x03\x00\x5a\x5a\x5a\x5a", 8);
            const qsizetype at = heap.indexOf(record);
            ASSERT_GE(at, 0);
            heap.replace(at, 8, QByteArray(8, '\0'));
        });
    }
    const auto native = store::openStore(path);
    const auto read = native->rootFolder()->subFolder(0)->subFolder(0)->subMessage(0);
    EXPECT_EQ(read->type(), store::ItemType::Contact);
    EXPECT_EQ(read->utf8String(0x3A06), QByteArray("Zoe"));
    std::map<std::string, int> used;
    expectAgreement(path, used);
    EXPECT_GT(used["all-zero record"], 0) << "libpff read the item after all";
}

} // namespace
