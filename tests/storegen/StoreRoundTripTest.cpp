// Stores written by storegen, read back through both readers (the native one and libpff): every
// value exactly as written, texts in the store's string type and code page, item kinds as
// intended, for each on-disk variant.
#include "Bytes.h"
#include "JsonLoader.h"
#include "LibpffOpening.h"
#include "MessageBuilder.h"
#include "StoreVariant.h"
#include "StoreWriter.h"
#include "store/StoreError.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace storegen;

namespace {

// A variant read back through one of the two readers.
struct ReadVariant
{
    std::string name;
    StoreOptions options;
    store::ReaderKind reader = store::ReaderKind::Native;
};

void PrintTo(const ReadVariant& v, std::ostream* os)
{
    *os << v.name;
}

std::vector<ReadVariant> readVariants()
{
    std::vector<ReadVariant> all;
    for (const store::ReaderKind reader : {store::ReaderKind::Native, store::ReaderKind::Libpff}) {
        for (const Variant& v : allVariants())
            all.push_back({v.name + (reader == store::ReaderKind::Libpff ? "ByLibpff" : "ByNative"), v.options, reader});
    }
    return all;
}

class RoundTrip : public ::testing::TestWithParam<ReadVariant>
{
protected:
    // Writes the folders below a "Top of Personal Folders" folder and opens the result.
    std::unique_ptr<store::Store> writeAndOpen(std::vector<Folder> folders)
    {
        StoreDescription d;
        d.options = GetParam().options;
        Folder top;
        top.name = QStringLiteral("Top of Personal Folders");
        top.role = FolderRole::IpmSubtree;
        top.folders = std::move(folders);
        d.folders.push_back(std::move(top));
        m_path = m_dir.filePath(QStringLiteral("store.ost"));
        writeStore(d, m_path, true);
        if (GetParam().reader == store::ReaderKind::Libpff)
            return openWithLibpff(m_path);
        return store::openStore(m_path);
    }

    static bool ansi() { return GetParam().options.format == FileFormat::Ansi; }

    // The folder at a path of names below the top folder.
    static std::unique_ptr<store::Item> folderAt(const store::Store& s, const QStringList& names)
    {
        std::unique_ptr<store::Item> current = s.rootFolder();
        current = current->subFolder(0);
        for (const QString& name : names) {
            std::unique_ptr<store::Item> next;
            for (int i = 0; i < current->subFolderCount(); ++i) {
                auto candidate = current->subFolder(i);
                if (candidate->utf8String(0x3001) == name.toUtf8()) {
                    next = std::move(candidate);
                    break;
                }
            }
            if (!next)
                return nullptr;
            current = std::move(next);
        }
        return current;
    }

    static Folder folderWith(const QString& name, std::vector<Message> messages)
    {
        Folder f;
        f.name = name;
        f.containerClass = QStringLiteral("IPF.Note");
        f.messages = std::move(messages);
        return f;
    }

    QTemporaryDir m_dir;
    QString m_path;
};

QByteArray pattern(qsizetype size)
{
    QByteArray b(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return b;
}

QString repeated(const QString& unit, qsizetype characters)
{
    QString s;
    s.reserve(characters);
    while (s.size() < characters)
        s += unit;
    s.truncate(characters);
    return s;
}

QString textOf(qsizetype characters)
{
    return repeated(QStringLiteral("Grüße ✓ 日本 "), characters);
}

// A text that takes this many bytes in the store's string type, with characters the default code
// page (1252) has.
QString textOfBytes(qsizetype bytes, bool ansi)
{
    return ansi ? repeated(QStringLiteral("Grüße à Genève "), bytes) : textOf(bytes / 2);
}

TEST_P(RoundTrip, PropertyValuesOfEveryTypeAndSizeReadBackExactly)
{
    struct Case
    {
        const char* name;
        Property property;
    };
    const std::vector<Case> cases = {
        {"int16 zero", Property::integer16(0x6601, 0)},
        {"int16 max", Property::integer16(0x6602, 0xFFFF)},
        {"int32 zero", Property::integer32(0x6603, 0)},
        {"int32 max", Property::integer32(0x6604, 0xFFFFFFFF)},
        {"bool true", Property::boolean(0x6605, true)},
        {"bool false", Property::boolean(0x6606, false)},
        {"time zero", Property::fileTime(0x6607, 0)},
        {"time max", Property::fileTime(0x6608, 0x7FFFFFFFFFFFFFFFull)},
        {"time 2024", Property::fileTime(0x6609, 133485408000000000ull)},
        {"binary empty", Property::binary(0x660A, QByteArray())},
        {"binary 1", Property::binary(0x660B, pattern(1))},
        {"binary heap max", Property::binary(0x660C, pattern(3580))},
        {"binary heap max + 1", Property::binary(0x660D, pattern(3581))},
        {"binary block - 1", Property::binary(0x660E, pattern(8175))},
        {"binary block", Property::binary(0x660F, pattern(8176))},
        {"binary block + 1", Property::binary(0x6610, pattern(8177))},
        {"binary two blocks + 1", Property::binary(0x6611, pattern(2 * 8176 + 1))},
        {"binary beyond 64 KB", Property::binary(0x6612, pattern(70000))},
        {"binary 1 MB", Property::binary(0x6613, pattern(1 << 20))},
        {"unicode empty", Property::unicode(0x6614, QString())},
        {"unicode short", Property::unicode(0x6615, QStringLiteral("Grüße aus München"))},
        {"unicode across a block", Property::unicode(0x6616, textOf(5000))},
        {"unicode beyond 64 KB", Property::unicode(0x6617, textOf(40000))},
        {"string8 empty", Property::string8(0x6618, QByteArray())},
        {"string8 ascii", Property::string8(0x6619, QByteArrayLiteral("plain ascii"))},
        {"string8 long", Property::string8(0x661A, QByteArray(9000, 'q'))},
    };
    Message m = MessageBuilder().subject(QStringLiteral("values")).build();
    for (const Case& c : cases)
        m.properties.push_back(c.property);
    auto s = writeAndOpen({folderWith(QStringLiteral("Inbox"), {m})});
    auto inbox = folderAt(*s, {QStringLiteral("Inbox")});
    ASSERT_TRUE(inbox);
    ASSERT_EQ(inbox->subMessageCount(), 1);
    auto item = inbox->subMessage(0);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Property& p = c.property;
        ASSERT_EQ(item->valueType(p.id), static_cast<std::uint32_t>(p.type));
        switch (p.type) {
        case PropertyType::Integer16:
            EXPECT_EQ(item->integer16(p.id), bytes::get16(p.value.constData()));
            break;
        case PropertyType::Integer32:
            EXPECT_EQ(item->integer32(p.id), bytes::get32(p.value.constData()));
            break;
        case PropertyType::Boolean:
            EXPECT_EQ(item->boolean(p.id), p.value.at(0) != 0);
            break;
        case PropertyType::Time:
            EXPECT_EQ(item->fileTime(p.id), bytes::get64(p.value.constData()));
            break;
        case PropertyType::Binary:
            EXPECT_EQ(item->binary(p.id).value_or(QByteArray("missing")), p.value);
            break;
        case PropertyType::Unicode:
            EXPECT_EQ(
                item->utf8String(p.id).value_or(QByteArray("missing")),
                QString::fromUtf16(reinterpret_cast<const char16_t*>(p.value.constData()), p.value.size() / 2)
                    .toUtf8());
            break;
        case PropertyType::String8:
            EXPECT_EQ(item->utf8String(p.id).value_or(QByteArray("missing")), p.value);
            break;
        default:
            FAIL() << "case without a check";
        }
    }
    EXPECT_FALSE(item->integer32(0x6700).has_value());
}

TEST_P(RoundTrip, BodiesAroundTheSixtyFiveThousandByteMark)
{
    const qsizetype sizes[] = {64999, 65000, 65001};
    std::vector<Message> messages;
    std::vector<QByteArray> htmls;
    for (qsizetype size : sizes) {
        QByteArray html = pattern(size);
        for (char& c : html)
            c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
        htmls.push_back(html);
        const QByteArray rtf = "{\\rtf1 " + QByteArray(size - 8, 'r') + "}";
        messages.push_back(MessageBuilder()
                               .subject(QString::number(size))
                               .plainBody(textOfBytes(size, ansi()))
                               .htmlBody(html)
                               .rtfBody(rtf)
                               .build());
    }
    auto s = writeAndOpen({folderWith(QStringLiteral("Inbox"), messages)});
    auto inbox = folderAt(*s, {QStringLiteral("Inbox")});
    ASSERT_EQ(inbox->subMessageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(sizes[i]);
        auto m = inbox->subMessage(i);
        ASSERT_EQ(m->utf8String(0x0037), QByteArray::number(sizes[i]));
        const QByteArray html = m->htmlBody().value_or(QByteArray());
        // The library may add a terminating zero to the bodies it returns.
        EXPECT_EQ(html.left(sizes[i]), htmls[i]);
        const QByteArray rtf = m->rtfBody().value_or(QByteArray());
        EXPECT_EQ(rtf.left(sizes[i]), "{\\rtf1 " + QByteArray(sizes[i] - 8, 'r') + "}");
        EXPECT_EQ(m->utf8String(0x1000).value_or(QByteArray()), textOfBytes(sizes[i], ansi()).toUtf8());
    }
}

TEST_P(RoundTrip, RecipientsAndAllThreeKindsOfAttachment)
{
    MessageBuilder inner;
    inner.subject(QStringLiteral("inner mail"))
        .plainBody(QStringLiteral("inside"))
        .to(QStringLiteral("Ivy"), QStringLiteral("ivy@example.com"));
    inner.attach(QStringLiteral("deep.txt"), QStringLiteral("text/plain"), QByteArrayLiteral("deep content"));

    MessageBuilder b;
    b.subject(QStringLiteral("with everything"));
    for (int i = 0; i < 40; ++i)
        b.recipient(1 + i % 3, QStringLiteral("Person %1").arg(i), QStringLiteral("p%1@example.com").arg(i));
    for (int i = 0; i < 60; ++i)
        b.attach(QStringLiteral("file%1.bin").arg(i), QStringLiteral("application/octet-stream"),
                 pattern(i * 997));
    b.attachMessage(inner.build(), QStringLiteral("inner mail"));
    b.attachReference(QStringLiteral("link.docx"), QStringLiteral("\\\\server\\share\\link.docx"));
    b.attach(QStringLiteral("large.bin"), QStringLiteral("application/octet-stream"),
             pattern(2 * 1024 * 1024 + 5));

    auto s = writeAndOpen({folderWith(QStringLiteral("Inbox"), {b.build()})});
    auto m = folderAt(*s, {QStringLiteral("Inbox")})->subMessage(0);

    auto recipients = m->recipients();
    ASSERT_TRUE(recipients);
    ASSERT_EQ(recipients->recordSetCount(), 40);
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(recipients->integer32(0x0C15, i), std::uint32_t(1 + i % 3));
        EXPECT_EQ(recipients->utf8String(0x3001, i), QStringLiteral("Person %1").arg(i).toUtf8());
        EXPECT_EQ(recipients->utf8String(0x39FE, i), QStringLiteral("p%1@example.com").arg(i).toUtf8());
        EXPECT_EQ(recipients->utf8String(0x3002, i), QByteArray("SMTP"));
    }

    ASSERT_EQ(m->attachmentCount(), 63);
    for (int i = 0; i < 60; ++i) {
        SCOPED_TRACE(i);
        auto a = m->attachment(i);
        EXPECT_EQ(a->attachmentType(), store::AttachmentType::Data);
        EXPECT_EQ(a->utf8String(0x3707), QStringLiteral("file%1.bin").arg(i).toUtf8());
        EXPECT_EQ(a->attachmentDataSize(), std::uint64_t(i * 997));
        EXPECT_EQ(a->readAttachmentData(0, std::size_t(i) * 997), pattern(i * 997));
    }
    auto embedded = m->attachment(60);
    ASSERT_EQ(embedded->attachmentType(), store::AttachmentType::Item);
    auto innerItem = embedded->embeddedItem();
    ASSERT_TRUE(innerItem);
    EXPECT_EQ(innerItem->utf8String(0x0037), QByteArray("inner mail"));
    EXPECT_EQ(innerItem->utf8String(0x1000), QByteArray("inside"));
    ASSERT_EQ(innerItem->attachmentCount(), 1);
    EXPECT_EQ(innerItem->attachment(0)->readAttachmentData(0, 100), QByteArray("deep content"));
    ASSERT_TRUE(innerItem->recipients());
    EXPECT_EQ(innerItem->recipients()->utf8String(0x3003, 0), QByteArray("ivy@example.com"));

    auto reference = m->attachment(61);
    EXPECT_EQ(reference->attachmentType(), store::AttachmentType::Reference);
    EXPECT_EQ(reference->utf8String(0x370D), QByteArray("\\\\server\\share\\link.docx"));

    auto large = m->attachment(62);
    ASSERT_EQ(large->attachmentDataSize(), std::uint64_t(2 * 1024 * 1024 + 5));
    EXPECT_EQ(large->readAttachmentData(0, 3 * 1024 * 1024), pattern(2 * 1024 * 1024 + 5));
    EXPECT_EQ(large->readAttachmentData(2 * 1024 * 1024, 100),
              pattern(2 * 1024 * 1024 + 5).mid(2 * 1024 * 1024));
}

TEST_P(RoundTrip, TwoLevelSubnodeAndDataTrees)
{
    // 400 attachments need more sub-nodes than one sub-node block holds; 9 MB need more blocks
    // than one data-tree block lists in the 512-byte format.
    MessageBuilder b;
    b.subject(QStringLiteral("wide and deep"));
    for (int i = 0; i < 400; ++i)
        b.attach(QStringLiteral("n%1.txt").arg(i), QStringLiteral("text/plain"), QByteArray::number(i));
    const QByteArray huge = pattern(9 * 1024 * 1024 + 3);
    b.attach(QStringLiteral("huge.bin"), QStringLiteral("application/octet-stream"), huge);
    auto s = writeAndOpen({folderWith(QStringLiteral("Inbox"), {b.build()})});
    auto m = folderAt(*s, {QStringLiteral("Inbox")})->subMessage(0);
    ASSERT_EQ(m->attachmentCount(), 401);
    for (int i : {0, 1, 199, 339, 340, 341, 399}) {
        SCOPED_TRACE(i);
        auto a = m->attachment(i);
        EXPECT_EQ(a->utf8String(0x3707), QStringLiteral("n%1.txt").arg(i).toUtf8());
        EXPECT_EQ(a->readAttachmentData(0, 100), QByteArray::number(i));
    }
    auto last = m->attachment(400);
    ASSERT_EQ(last->attachmentDataSize(), std::uint64_t(huge.size()));
    EXPECT_EQ(last->readAttachmentData(0, std::size_t(huge.size())), huge);
}

TEST_P(RoundTrip, ThirtyNestedFoldersKeepTheirNamesAndMessages)
{
    Folder chain;
    for (int depth = 30; depth >= 1; --depth) {
        Folder f = folderWith(QStringLiteral("Level %1").arg(depth),
                              {MessageBuilder().subject(QStringLiteral("at %1").arg(depth)).build()});
        if (depth < 30)
            f.folders.push_back(std::move(chain));
        chain = std::move(f);
    }
    auto s = writeAndOpen({chain});
    QStringList path;
    for (int depth = 1; depth <= 30; ++depth) {
        path << QStringLiteral("Level %1").arg(depth);
        auto f = folderAt(*s, path);
        ASSERT_TRUE(f) << depth;
        EXPECT_EQ(f->subFolderCount(), depth < 30 ? 1 : 0);
        ASSERT_EQ(f->subMessageCount(), 1);
        EXPECT_EQ(f->subMessage(0)->utf8String(0x0037), QStringLiteral("at %1").arg(depth).toUtf8());
        EXPECT_EQ(f->integer32(0x3602), 1u);
    }
}

TEST_P(RoundTrip, ItemKindsFollowTheMessageClass)
{
    struct Case
    {
        const char* messageClass;
        store::ItemType expected;
    };
    const Case cases[] = {
        {"IPM.Note", store::ItemType::Email},
        {"IPM.Appointment", store::ItemType::Appointment},
        {"IPM.Contact", store::ItemType::Contact},
        {"IPM.Task", store::ItemType::Task},
        {"IPM.StickyNote", store::ItemType::Note},
        {"IPM.DistList", store::ItemType::DistributionList},
        {"REPORT.IPM.Note.NDR", store::ItemType::Email},
    };
    std::vector<Message> messages;
    for (const Case& c : cases)
        messages.push_back(MessageBuilder(QString::fromLatin1(c.messageClass))
                               .subject(QString::fromLatin1(c.messageClass))
                               .build());
    auto s = writeAndOpen({folderWith(QStringLiteral("Mixed"), messages)});
    auto folder = folderAt(*s, {QStringLiteral("Mixed")});
    EXPECT_EQ(folder->type(), store::ItemType::Folder);
    ASSERT_EQ(folder->subMessageCount(), int(std::size(cases)));
    for (int i = 0; i < folder->subMessageCount(); ++i) {
        SCOPED_TRACE(cases[i].messageClass);
        EXPECT_EQ(folder->subMessage(i)->type(), cases[i].expected);
    }
}

TEST_P(RoundTrip, NamedPropertiesAreReportedUnderTheirNames)
{
    const QUuid appointment = propertyset::appointment();
    const QUuid address = propertyset::address();
    Message appt =
        MessageBuilder(QStringLiteral("IPM.Appointment"))
            .subject(QStringLiteral("appointment"))
            .property(Property::namedAs(appointment, 0x820D, Property::fileTime(0, 133485408000000000ull)))
            .property(Property::namedAs(appointment, 0x820E, Property::fileTime(0, 133485444000000000ull)))
            .property(Property::namedAs(appointment, 0x8208, Property::unicode(0, QStringLiteral("Raum 1"))))
            .property(
                Property::namedAs(appointment, 0x8232, Property::unicode(0, QStringLiteral("every Monday"))))
            .property(Property::namedAs(appointment, 0x8235, Property::fileTime(0, 1)))
            .property(Property::namedAs(appointment, 0x8236, Property::fileTime(0, 2)))
            .property(Property::namedAs(appointment, 0x8213, Property::integer32(0, 60)))
            .property(Property::namedAs(appointment, 0x8205, Property::integer32(0, 2)))
            .build();
    Message contact =
        MessageBuilder(QStringLiteral("IPM.Contact"))
            .subject(QStringLiteral("contact"))
            .property(Property::namedAs(address, 0x8005, Property::unicode(0, QStringLiteral("Doe, Jane"))))
            .build();
    auto s = writeAndOpen({folderWith(QStringLiteral("Calendar"), {appt, contact})});
    auto folder = folderAt(*s, {QStringLiteral("Calendar")});
    auto a = folder->subMessage(0);
    EXPECT_EQ(a->fileTime(0x820D), 133485408000000000ull);
    EXPECT_EQ(a->fileTime(0x820E), 133485444000000000ull);
    EXPECT_EQ(a->utf8String(0x8208), QByteArray("Raum 1"));
    EXPECT_EQ(a->utf8String(0x8232), QByteArray("every Monday"));
    EXPECT_EQ(a->fileTime(0x8235), 1u);
    EXPECT_EQ(a->fileTime(0x8236), 2u);
    EXPECT_EQ(a->integer32(0x8213), 60u);
    EXPECT_EQ(a->integer32(0x8205), 2u);
    EXPECT_EQ(folder->subMessage(1)->utf8String(0x8005), QByteArray("Doe, Jane"));
}

TEST_P(RoundTrip, ManyMessagesInOneFolderNeedDeepIndexTrees)
{
    std::vector<Message> messages;
    for (int i = 0; i < 3000; ++i)
        messages.push_back(MessageBuilder().subject(QStringLiteral("m%1").arg(i)).flags(i % 2).build());
    auto s = writeAndOpen({folderWith(QStringLiteral("Bulk"), messages)});
    auto folder = folderAt(*s, {QStringLiteral("Bulk")});
    ASSERT_EQ(folder->subMessageCount(), 3000);
    EXPECT_EQ(folder->integer32(0x3602), 3000u);
    EXPECT_EQ(folder->integer32(0x3603), 1500u);
    for (int i : {0, 1, 1499, 2999})
        EXPECT_EQ(folder->subMessage(i)->utf8String(0x0037), QStringLiteral("m%1").arg(i).toUtf8());
}

TEST_P(RoundTrip, ContentTypeDecidesWhetherTheOfflineRuleAccepts)
{
    auto s = writeAndOpen({folderWith(QStringLiteral("Inbox"), {})});
    const bool offline = GetParam().options.kind == StoreKind::Offline;
    EXPECT_EQ(s->contentType(), offline ? store::ContentType::Offline : store::ContentType::Personal);
    const FileFormat format = GetParam().options.format;
    EXPECT_EQ(s->formatType(), format == FileFormat::Unicode4k ? 65 : format == FileFormat::Ansi ? 32 : 64);
    const Encryption encryption = GetParam().options.encryption;
    EXPECT_EQ(s->encryptionType(), encryption == Encryption::Compressible
                                       ? store::EncryptionType::Compressible
                                   : encryption == Encryption::High ? store::EncryptionType::High
                                                                    : store::EncryptionType::None);
    if (offline) {
        EXPECT_NO_THROW(store::openOfflineStore(m_path, libpffOptions()));
    } else {
        try {
            store::openOfflineStore(m_path, libpffOptions());
            FAIL() << "a personal store passed the offline rule";
        } catch (const store::OpenError& e) {
            EXPECT_EQ(e.reason(), store::OpenError::Reason::NotOfflineStore);
        }
    }
}

TEST_P(RoundTrip, TextsTakeTheStoresStringTypeAndMessagesNameTheCodePage)
{
    // Shorthand texts follow the store (8-bit in ANSI stores); explicit types are kept; ANSI
    // messages name the code page unless the description does.
    const std::uint32_t string = ansi() ? 0x001E : 0x001F;
    MessageBuilder plain;
    plain.subject(QStringLiteral("Grüße"))
        .plainBody(QStringLiteral("body"))
        .to(QStringLiteral("Bob"), QStringLiteral("bob@example.com"))
        .attach(QStringLiteral("a.txt"), QStringLiteral("text/plain"), QByteArrayLiteral("a"))
        .property(Property::unicode(0x6601, QStringLiteral("explicit")))
        .property(Property::string8(0x6602, QStringLiteral("Grüße")));
    MessageBuilder ownCodePage;
    ownCodePage.subject(QStringLiteral("own")).codePage(65001);
    auto s = writeAndOpen({folderWith(QStringLiteral("Postfächer"), {plain.build(), ownCodePage.build()})});
    auto folder = folderAt(*s, {QStringLiteral("Postfächer")});
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->valueType(0x3001), string);
    EXPECT_EQ(folder->valueType(0x3613), string);

    auto m = folder->subMessage(0);
    for (std::uint32_t tag : {0x001A, 0x0037, 0x1000})
        EXPECT_EQ(m->valueType(tag), string) << std::hex << tag;
    EXPECT_EQ(m->utf8String(0x0037), QStringLiteral("Grüße").toUtf8());
    EXPECT_EQ(m->valueType(0x6601), 0x001Fu);
    EXPECT_EQ(m->valueType(0x6602), 0x001Eu);
    EXPECT_EQ(m->binary(0x6602), QByteArray("Gr\xFC\xDF"
                                            "e"));
    EXPECT_EQ(m->recipients()->valueType(0x3001, 0), string);
    EXPECT_EQ(m->attachment(0)->valueType(0x3707), string);
    EXPECT_EQ(m->attachment(0)->utf8String(0x3707), QByteArray("a.txt"));

    auto own = folder->subMessage(1);
    if (ansi()) {
        EXPECT_EQ(m->integer32(0x3FFD), 1252u);
        EXPECT_EQ(m->integer32(0x3FDE), 1252u);
        EXPECT_EQ(own->integer32(0x3FFD), 1252u);
    } else {
        EXPECT_FALSE(m->integer32(0x3FFD).has_value());
        EXPECT_FALSE(m->integer32(0x3FDE).has_value());
    }
    EXPECT_EQ(own->integer32(0x3FDE), 65001u);
}

INSTANTIATE_TEST_SUITE_P(Variants, RoundTrip, ::testing::ValuesIn(readVariants()), nameOf<ReadVariant>);

// ANSI stores in several code pages: the bytes stored, and the text libpff makes of them with the
// code page the store is opened with or the one the message names.
TEST(CodePages, TextsAreStoredInTheStoresCodePage)
{
    struct Case
    {
        std::uint32_t codePage;
        const char* text;
        QByteArray stored;
        bool readable;
    };
    const Case cases[] = {
        {1252, "Grüße à Genève",
         QByteArray("Gr\xFC\xDF"
                    "e \xE0 Gen\xE8ve"),
         true},
        {1251, "Привет, мир", QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0"), true},
        {932, "日本語の件名", QByteArray("\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x8C\x8F\x96\xBC"), true},
        {1250, "Zażółć", QByteArray("Za\xBF\xF3\xB3\xE6"), true},
        // What the code page lacks becomes '?', one for each character, also outside the BMP.
        {1252, "日本 \xF0\x9F\x98\x80!", QByteArray("?? ?!"), false},
        {1251, "Ωmega", QByteArray("?mega"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cp.ost"));
        const QString text = QString::fromUtf8(c.text);
        StoreDescription d;
        d.options.format = FileFormat::Ansi;
        d.options.encryption = Encryption::High;
        d.options.codePage = c.codePage;
        Folder folder;
        folder.name = text;
        folder.messages.push_back(MessageBuilder().subject(text).plainBody(text).build());
        d.folders.push_back(folder);
        writeStore(d, path);

        auto s = openWithLibpff(path, static_cast<int>(c.codePage));
        auto f = s->rootFolder()->subFolder(0);
        auto m = f->subMessage(0);
        EXPECT_EQ(f->binary(0x3001), c.stored);
        EXPECT_EQ(m->binary(0x0037), c.stored);
        EXPECT_EQ(m->integer32(0x3FFD), c.codePage);
        if (c.readable) {
            EXPECT_EQ(f->utf8String(0x3001), text.toUtf8());
            EXPECT_EQ(m->utf8String(0x0037), text.toUtf8());
            EXPECT_EQ(m->plainTextBody().value_or(QByteArray()).left(text.toUtf8().size()), text.toUtf8());
            // Opened with the default code page, the message still names its own.
            EXPECT_EQ(
                openWithLibpff(path)->rootFolder()->subFolder(0)->subMessage(0)->messageUtf8String(0x0037),
                text.toUtf8());
        }
    }
}

TEST(CodePages, ShiftJisOfflineStoreFromJson)
{
    const QByteArray json = R"({
        "format": "ansi", "encryption": "high", "codePage": 932,
        "folders": [{"name": "個人用フォルダー", "role": "ipmSubtree", "folders": [
            {"name": "受信トレイ", "containerClass": "IPF.Note", "messages": [
                {"subject": "会議の議事録", "plainBody": "本文です。",
                 "recipients": [{"type": "to", "name": "山田 太郎", "email": "yamada@example.jp"}],
                 "attachments": [{"filename": "資料.txt", "data": "abc"}],
                 "properties": [{"tag": "0x0E1D", "type": "string8", "value": "議事録"}]}]}]}]})";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sjis.ost"));
    writeStore(JsonLoader::parse(json), path);

    auto s = openWithLibpff(path, 932);
    EXPECT_EQ(s->formatType(), 32);
    EXPECT_EQ(s->contentType(), store::ContentType::Offline);
    EXPECT_EQ(s->encryptionType(), store::EncryptionType::High);
    auto top = s->rootFolder()->subFolder(0);
    EXPECT_EQ(top->utf8String(0x3001), QStringLiteral("個人用フォルダー").toUtf8());
    auto inbox = top->subFolder(0);
    EXPECT_EQ(inbox->utf8String(0x3001), QStringLiteral("受信トレイ").toUtf8());
    auto m = inbox->subMessage(0);
    EXPECT_EQ(m->messageUtf8String(0x0037), QStringLiteral("会議の議事録").toUtf8());
    EXPECT_EQ(m->binary(0x0037), QByteArray("\x89\xEF\x8B\x63\x82\xCC\x8B\x63\x8E\x96\x98\x5E"));
    EXPECT_EQ(m->messageUtf8String(0x0E1D), QStringLiteral("議事録").toUtf8());
    EXPECT_EQ(m->integer32(0x3FFD), 932u);
    EXPECT_EQ(m->integer32(0x3FDE), 932u);
    EXPECT_EQ(m->recipients()->utf8String(0x3001, 0), QStringLiteral("山田 太郎").toUtf8());
    EXPECT_EQ(m->attachment(0)->utf8String(0x3707), QStringLiteral("資料.txt").toUtf8());
    EXPECT_EQ(m->attachment(0)->readAttachmentData(0, 10), QByteArray("abc"));
}

} // namespace
