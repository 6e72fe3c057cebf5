// The native reader on its own: the code page of 8-bit texts, damaged blocks and index pages,
// compressed RTF, runaway nesting. Agreement with libpff is ReaderAgreementTest's.
#include "CompoundFile.h"
#include "MessageBuilder.h"
#include "StoreDump.h"
#include "StoreWriter.h"
#include "store/Store.h"
#include "store/StoreError.h"
#include "store/native/BTreePage.h"
#include "store/native/Bytes.h"
#include "store/native/Checksum.h"
#include "store/native/CompressedRtf.h"
#include "store/native/Failure.h"
#include "store/native/Ndb.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace storegen;

namespace {

std::unique_ptr<store::Store> openNative(const QString& path, int codePage = 0)
{
    store::OpenOptions options;
    options.codePage = codePage;
    return store::openStore(path, options);
}

StoreDescription mailbox(std::vector<Message> messages, const StoreOptions& options = {})
{
    StoreDescription d;
    d.options = options;
    Folder top;
    top.name = QStringLiteral("Top of Personal Folders");
    top.role = FolderRole::IpmSubtree;
    Folder inbox;
    inbox.name = QStringLiteral("Inbox");
    inbox.messages = std::move(messages);
    top.folders.push_back(inbox);
    d.folders.push_back(top);
    return d;
}

std::unique_ptr<store::Item> inbox(const store::Store& s)
{
    return s.rootFolder()->subFolder(0)->subFolder(0);
}

// Changes bytes of the file in place.
void patch(const QString& path, std::uint64_t offset, const std::function<void(QByteArray&)>& change,
           qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(static_cast<qint64>(offset)));
    QByteArray bytes = file.read(size);
    change(bytes);
    ASSERT_TRUE(file.seek(static_cast<qint64>(offset)));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Rewrites the CRC of a 512-byte Unicode B-tree page after a change.
void resealPage(QByteArray& page)
{
    const std::uint32_t crc = store::native::formatCrc(page.constData(), 496);
    std::memcpy(page.data() + 496 + 4, &crc, 4);
}

class NativeReader : public ::testing::Test
{
protected:
    QString write(const StoreDescription& d)
    {
        const QString path = m_dir.filePath(QStringLiteral("store%1.ost").arg(++m_count));
        writeStore(d, path, true);
        return path;
    }
    QTemporaryDir m_dir;
    int m_count = 0;
};

TEST_F(NativeReader, AnAnsiStoreShowsItsTextsInTheCodePageItsMessagesName)
{
    StoreOptions options;
    options.format = FileFormat::Ansi;
    options.codePage = 932;
    StoreDescription d = mailbox({MessageBuilder()
                                      .subject(QStringLiteral("会議の議事録"))
                                      .to(QStringLiteral("山田 太郎"), QStringLiteral("yamada@example.jp"))
                                      .attach(QStringLiteral("資料.txt"), QStringLiteral("text/plain"), "abc")
                                      .build()},
                                 options);
    d.folders[0].folders[0].name = QStringLiteral("受信トレイ");
    const QString path = write(d);

    const auto found = openNative(path);
    EXPECT_EQ(found->codePage(), 932);
    const auto folder = inbox(*found);
    EXPECT_EQ(QString::fromUtf8(*folder->utf8String(0x3001)), QStringLiteral("受信トレイ"));
    const auto mail = folder->subMessage(0);
    EXPECT_EQ(QString::fromUtf8(*mail->messageUtf8String(0x0037)), QStringLiteral("会議の議事録"));
    EXPECT_EQ(QString::fromUtf8(*mail->recipients()->utf8String(0x3001, 0)), QStringLiteral("山田 太郎"));
    EXPECT_EQ(QString::fromUtf8(*mail->attachment(0)->utf8String(0x3707)), QStringLiteral("資料.txt"));

    // A code page given when opening wins over the one the store names.
    const auto forced = openNative(path, 1252);
    EXPECT_EQ(forced->codePage(), 1252);
    EXPECT_NE(QString::fromUtf8(*inbox(*forced)->utf8String(0x3001)), QStringLiteral("受信トレイ"));

    // libpff shows the same names when it is given the code page.
    store::OpenOptions libpff;
    libpff.reader = store::ReaderKind::Libpff;
    libpff.codePage = 932;
    EXPECT_EQ(QString::fromUtf8(*inbox(*store::openStore(path, libpff))->utf8String(0x3001)),
              QStringLiteral("受信トレイ"));
}

TEST_F(NativeReader, AnAttachedObjectIsAMessageOnlyWhereItsSubNodeHoldsOne)
{
    const QByteArray picture = staticDibObject(40, 30, 0x102030);
    const auto object = [&](std::uint32_t method) {
        Attachment a;
        a.method = AttachMethod::OleObject;
        a.data = picture;
        a.properties.push_back(Property::integer32(0x3705, method));
        return a;
    };
    Message mail =
        MessageBuilder()
            .subject(QStringLiteral("Objects"))
            .attachMessage(MessageBuilder().subject(QStringLiteral("Inner")).build(), QStringLiteral("Inner"))
            .build();
    mail.attachments.push_back(object(6));
    mail.attachments.push_back(object(5)); // says embedded message, holds a compound file
    mail.attachments.push_back(object(0));

    struct Case
    {
        int index;
        store::AttachmentType type;
    };
    const Case cases[] = {
        {0, store::AttachmentType::Item},
        {1, store::AttachmentType::Data},
        {2, store::AttachmentType::Data},
        {3, store::AttachmentType::Data},
    };
    for (FileFormat format : {FileFormat::Unicode, FileFormat::Ansi, FileFormat::Unicode4k}) {
        StoreOptions options;
        options.format = format;
        options.encryption = Encryption::High;
        const auto s = openNative(write(mailbox({mail}, options)));
        const auto message = inbox(*s)->subMessage(0);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "format " << static_cast<int>(format) << " attachment " << c.index);
            const auto attachment = message->attachment(c.index);
            EXPECT_EQ(attachment->attachmentType(), c.type);
            if (c.type == store::AttachmentType::Item) {
                EXPECT_EQ(*attachment->embeddedItem()->utf8String(0x0037), "Inner");
                EXPECT_EQ(attachment->attachmentDataSize(), 0u);
                continue;
            }
            EXPECT_EQ(attachment->embeddedItem(), nullptr);
            ASSERT_EQ(attachment->attachmentDataSize(), static_cast<std::uint64_t>(picture.size()));
            EXPECT_EQ(attachment->readAttachmentData(0, picture.size()), picture);
            EXPECT_EQ(attachment->readAttachmentData(9000, 100), picture.mid(9000, 100));
        }
    }
}

TEST_F(NativeReader, AnInternetCodePageCountsAsTheWindowsCodePageOfItsScript)
{
    struct Case
    {
        int storeCodePage;    // the code page the store's texts are written in
        int internetCodePage; // the only one the messages name
        QString folder;
    };
    const Case cases[] = {
        {932, 50220, QStringLiteral("受信トレイ")},       {932, 50221, QStringLiteral("受信トレイ")},
        {932, 51932, QStringLiteral("送信済みアイテム")}, {949, 50225, QStringLiteral("받은 편지함")},
        {949, 51949, QStringLiteral("보낸 편지함")},      {936, 52936, QStringLiteral("收件箱")},
        {936, 20936, QStringLiteral("已发送邮件")},       {950, 51950, QStringLiteral("收件匣")},
        {1251, 20866, QStringLiteral("Входящие")},        {1251, 28595, QStringLiteral("Отправленные")},
        {1250, 28592, QStringLiteral("Doručená pošta")},  {1252, 28591, QStringLiteral("Boîte de réception")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.internetCodePage);
        StoreOptions options;
        options.format = FileFormat::Ansi;
        options.codePage = c.storeCodePage;
        Message m = MessageBuilder().subject(c.folder).build();
        // Named as the message's Internet form only: no PR_MESSAGE_CODEPAGE at all.
        m.properties.push_back(Property::integer32(0x3FDE, static_cast<std::uint32_t>(c.internetCodePage)));
        m.properties.push_back(Property::absentAs(0x3FFD));
        StoreDescription d = mailbox({m, m}, options);
        d.folders[0].folders[0].name = c.folder;
        const auto s = openNative(write(d));
        const store::CodePageChoice choice = s->codePageChoice();
        EXPECT_EQ(choice.codePage, c.storeCodePage);
        EXPECT_EQ(choice.origin, store::CodePageChoice::Origin::InternetCodePage);
        EXPECT_EQ(choice.named, c.internetCodePage);
        EXPECT_EQ(choice.messages, 2);
        EXPECT_EQ(QString::fromUtf8(*inbox(*s)->utf8String(0x3001)), c.folder);
        EXPECT_EQ(QString::fromUtf8(*inbox(*s)->subMessage(0)->messageUtf8String(0x0037)), c.folder);
    }
}

TEST_F(NativeReader, MessagesThatDisagreeGiveTheCodePageTheStoresTextsDecodeIn)
{
    // Two messages name Windows-1252 as their Internet form, one ISO-2022-JP; the folder names and
    // subjects are Shift-JIS, which 1252 does not decode cleanly.
    StoreOptions options;
    options.format = FileFormat::Ansi;
    options.codePage = 932;
    const auto store = [&](const QString& text) {
        std::vector<Message> messages;
        for (std::uint32_t cpid : {1252u, 1252u, 50220u}) {
            Message m = MessageBuilder().subject(text).build();
            m.properties.push_back(Property::integer32(0x3FDE, cpid));
            m.properties.push_back(Property::absentAs(0x3FFD));
            messages.push_back(m);
        }
        StoreDescription d = mailbox(messages, options);
        d.folders[0].name = text;
        return write(d);
    };
    const auto s = openNative(store(QStringLiteral("Outlook データ ファイルのトップ")));
    EXPECT_EQ(s->codePage(), 932);
    EXPECT_EQ(QString::fromUtf8(*s->rootFolder()->subFolder(0)->utf8String(0x3001)),
              QStringLiteral("Outlook データ ファイルのトップ"));

    // Where the texts decode in both, the majority decides.
    EXPECT_EQ(openNative(store(QStringLiteral("Top of Personal Folders")))->codePage(), 1252);
}

TEST_F(NativeReader, ABlockWithAWrongChecksumFailsOnlyItsItem)
{
    std::vector<Message> messages;
    for (int i = 0; i < 3; ++i)
        messages.push_back(MessageBuilder().subject(QStringLiteral("Mail %1").arg(i)).build());
    const QString path = write(mailbox(messages));
    std::uint64_t offset = 0;
    {
        const store::native::Ndb ndb(path);
        std::vector<const store::native::NodeEntry*> mails;
        for (const store::native::NodeEntry& node : ndb.nodes().nodes()) {
            if ((node.nid & 0x1F) == 0x04)
                mails.push_back(&node);
        }
        ASSERT_EQ(mails.size(), 3u);
        offset = ndb.blocks().get(mails[1]->bidData).ib;
    }
    patch(
        path, offset + 20, [](QByteArray& b) { b[0] = static_cast<char>(b[0] ^ 0x40); }, 1);

    const auto s = openNative(path);
    const auto folder = inbox(*s);
    ASSERT_EQ(folder->subMessageCount(), 3);
    EXPECT_EQ(*folder->subMessage(0)->utf8String(0x0037), QByteArray("Mail 0"));
    EXPECT_EQ(*folder->subMessage(2)->utf8String(0x0037), QByteArray("Mail 2"));
    try {
        folder->subMessage(1);
        ADD_FAILURE() << "a damaged block was read";
    } catch (const store::StoreError& e) {
        EXPECT_NE(e.message().indexOf(QStringLiteral("checksum mismatch")), -1) << e.what();
        EXPECT_NE(e.message().indexOf(QString::fromStdString(store::native::hex(offset))), -1) << e.what();
    }
}

// A store whose node index has more than one level: 200 mails.
QString storeWithALargeIndex(const std::function<QString(const StoreDescription&)>& write)
{
    std::vector<Message> messages;
    for (int i = 0; i < 200; ++i)
        messages.push_back(MessageBuilder().subject(QStringLiteral("Mail %1").arg(i)).build());
    return write(mailbox(messages));
}

TEST_F(NativeReader, ADamagedIndexPageLosesOnlyItsNodesAndSaysSo)
{
    const QString path = storeWithALargeIndex([this](const StoreDescription& d) { return write(d); });
    std::uint64_t leaf = 0;
    {
        const store::native::Ndb ndb(path);
        const auto& header = ndb.header();
        const store::native::FileSource& file = ndb.file();
        const auto root = store::native::BTreePage::read(file, ndb.layout(), header.nodeRoot,
                                                         store::native::PageType::NodeBTree);
        ASSERT_GE(root.level(), 1);
        ASSERT_GE(root.count(), 4);
        leaf = store::native::readChildRef(ndb.layout(), root.entry(root.count() - 2)).page.ib;
    }
    patch(
        path, leaf + 40, [](QByteArray& b) { b[0] = static_cast<char>(b[0] ^ 1); }, 1);

    const auto s = openNative(path);
    ASSERT_EQ(s->damage().size(), 1);
    EXPECT_NE(s->damage().first().indexOf(QStringLiteral("checksum mismatch")), -1)
        << s->damage().first().toStdString();
    EXPECT_NE(s->damage().first().indexOf(QStringLiteral("are lost")), -1);
    const int left = inbox(*s)->subMessageCount();
    EXPECT_LT(left, 200);
    EXPECT_GT(left, 170) << "one leaf page lists at most 15 nodes";
}

TEST_F(NativeReader, AnIndexPageReferencedTwiceIsReadOnce)
{
    const QString path = storeWithALargeIndex([this](const StoreDescription& d) { return write(d); });
    store::native::BlockRef rootRef;
    {
        const store::native::Ndb ndb(path);
        rootRef = ndb.header().nodeRoot;
    }
    // The root's last entry points at its first child page as well.
    patch(
        path, rootRef.ib,
        [](QByteArray& page) {
            const int count = static_cast<unsigned char>(page[488]);
            std::memcpy(page.data() + (count - 1) * 24 + 8, page.constData() + 8, 16);
            resealPage(page);
        },
        512);
    const auto s = openNative(path);
    ASSERT_EQ(s->damage().size(), 1);
    EXPECT_NE(s->damage().first().indexOf(QStringLiteral("referenced twice")), -1)
        << s->damage().first().toStdString();
    EXPECT_GT(inbox(*s)->subMessageCount(), 170);
}

TEST_F(NativeReader, ARootPageThatIsNotOneRefusesTheStore)
{
    const QString path = storeWithALargeIndex([this](const StoreDescription& d) { return write(d); });
    store::native::BlockRef rootRef;
    {
        const store::native::Ndb ndb(path);
        rootRef = ndb.header().nodeRoot;
    }
    patch(
        path, rootRef.ib + 510, [](QByteArray& b) { b[0] = static_cast<char>(0x80); }, 1);
    try {
        openNative(path);
        ADD_FAILURE() << "opened a store without a node index";
    } catch (const store::OpenError& e) {
        EXPECT_EQ(e.reason(), store::OpenError::Reason::Unreadable);
        EXPECT_NE(e.message().indexOf(QStringLiteral("node index page")), -1) << e.what();
    }
}

// One open store read by several threads at once shows each of them the same, as the conversion's
// workers read it.
TEST_F(NativeReader, ThreadsReadingOneStoreSeeTheSame)
{
    std::vector<Message> messages;
    for (int i = 0; i < 60; ++i) {
        messages.push_back(MessageBuilder()
                               .subject(QStringLiteral("Mail %1").arg(i))
                               .to(QStringLiteral("T"), QStringLiteral("t@example.com"))
                               .plainBody(QString(2000 + i, QLatin1Char('x')))
                               .attach(QStringLiteral("a.bin"), QStringLiteral("application/octet-stream"),
                                       QByteArray(20000 + i * 100, static_cast<char>(i)))
                               .build());
    }
    StoreOptions options;
    options.encryption = Encryption::High;
    const auto s = openNative(write(mailbox(messages, options)));
    ASSERT_TRUE(s->allowsConcurrentReads());
    const QStringList expected = support::dumpStore(*s);
    std::vector<QStringList> seen(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
        threads.emplace_back([&, t] { seen[t] = support::dumpStore(*s); });
    for (std::thread& thread : threads)
        thread.join();
    for (const QStringList& lines : seen)
        EXPECT_EQ(lines, expected);
}

Message nested(int depth)
{
    MessageBuilder b;
    b.subject(QStringLiteral("Depth %1").arg(depth));
    if (depth < 70)
        b.attachMessage(nested(depth + 1), QStringLiteral("inner"));
    return b.build();
}

TEST_F(NativeReader, MessagesEmbeddedTooDeeplyEndInAnError)
{
    const QString path = write(mailbox({nested(0)}));
    const auto s = openNative(path);
    std::unique_ptr<store::Item> message = inbox(*s)->subMessage(0);
    int depth = 0;
    try {
        for (;; ++depth) {
            ASSERT_EQ(message->attachmentCount(), 1) << depth;
            message = message->attachment(0)->embeddedItem();
            ASSERT_NE(message, nullptr);
        }
    } catch (const store::StoreError& e) {
        EXPECT_NE(e.message().indexOf(QStringLiteral("embedded deeper")), -1) << e.what();
    }
    EXPECT_EQ(depth, 64);
}

// [MS-OXRTFCP]'s own example of a compressed body.
TEST(CompressedRtf, DecompressesTheFormatsExample)
{
    const QByteArray stored = QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a703000a00726370673132354232"
                                                  "0af32068656c09002062770"
                                                  "5b06c647d0a800fa0");
    EXPECT_EQ(store::native::decompressRtf(stored),
              QByteArray("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"));
}

TEST(CompressedRtf, RefusesDamageAndTakesUncompressedData)
{
    const QByteArray stored = QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a703000a00726370673132354232"
                                                  "0af32068656c090020627705b06c647d0a800fa0");
    QByteArray flipped = stored;
    flipped[30] = static_cast<char>(flipped[30] ^ 1);
    EXPECT_THROW(store::native::decompressRtf(flipped), store::StoreError) << "CRC mismatch";
    EXPECT_THROW(store::native::decompressRtf(stored.left(40)), store::StoreError) << "cut short";
    EXPECT_THROW(store::native::decompressRtf(QByteArray(8, '\0')), store::StoreError) << "no header";

    QByteArray plain = QByteArray::fromHex("0f00000003000000"
                                           "4d454c41"
                                           "00000000") +
                       "{x}";
    EXPECT_EQ(store::native::decompressRtf(plain), QByteArray("{x}"));
}

} // namespace
