// The demo and random mailboxes as the converter will see them through the store layer: every
// item readable, and the variety the demo promises actually present.
#include "DemoMailbox.h"

#include "LibpffOpening.h"
#include "RandomMailbox.h"
#include "StoreWriter.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <set>

using namespace storegen;

namespace {

struct Census
{
    std::set<QByteArray> folders;
    std::set<store::ItemType> kinds;
    std::set<std::uint32_t> importances;
    std::set<std::uint32_t> priorities;
    std::set<store::AttachmentType> attachmentKinds;
    int messages = 0;
    int unread = 0;
    int rtfOnly = 0;
    int html = 0;
    int inlineImages = 0;
    int nonAsciiSubjects = 0;
    int recurring = 0;
    int contactsWithCompany = 0;
};

void visitMessage(const store::Item& m, Census& c)
{
    ++c.messages;
    c.kinds.insert(m.type());
    const QByteArray subject = m.utf8String(0x0037).value_or(QByteArray());
    for (char ch : subject) {
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ++c.nonAsciiSubjects;
            break;
        }
    }
    if (auto flags = m.integer32(0x0E07); flags && !(*flags & 1))
        ++c.unread;
    if (auto v = m.integer32(0x0017))
        c.importances.insert(*v);
    if (auto v = m.integer32(0x0026))
        c.priorities.insert(*v);
    const bool hasRtf = m.rtfBodySize().has_value();
    const bool hasHtml = m.htmlBodySize().has_value();
    const bool hasPlain = m.plainTextBodySize().has_value();
    if (hasRtf && !hasHtml && !hasPlain) {
        ++c.rtfOnly;
        EXPECT_TRUE(m.rtfBody()->startsWith("{\\rtf1"));
    }
    if (hasHtml) {
        ++c.html;
        EXPECT_TRUE(m.htmlBody()->contains("<html>"));
    }
    if (m.boolean(0x8223).value_or(false) && m.utf8String(0x8232))
        ++c.recurring;
    if (m.type() == store::ItemType::Contact && m.utf8String(0x3A16) && m.utf8String(0x8005))
        ++c.contactsWithCompany;
    if (auto recipients = m.recipients()) {
        for (int r = 0; r < recipients->recordSetCount(); ++r)
            EXPECT_TRUE(recipients->utf8String(0x3001, r).has_value());
    }
    for (int i = 0; i < m.attachmentCount(); ++i) {
        auto a = m.attachment(i);
        c.attachmentKinds.insert(a->attachmentType());
        if (a->attachmentType() == store::AttachmentType::Data) {
            EXPECT_EQ(static_cast<std::uint64_t>(a->readAttachmentData(0, 4 << 20).size()),
                      a->attachmentDataSize());
            if (a->utf8String(0x3712))
                ++c.inlineImages;
        } else if (a->attachmentType() == store::AttachmentType::Item) {
            auto inner = a->embeddedItem();
            ASSERT_TRUE(inner);
            EXPECT_TRUE(inner->utf8String(0x0037).has_value());
        }
    }
}

void visitFolder(const store::Item& folder, Census& c)
{
    c.folders.insert(folder.utf8String(0x3001).value_or(QByteArray()));
    for (int i = 0; i < folder.subMessageCount(); ++i)
        visitMessage(*folder.subMessage(i), c);
    for (int i = 0; i < folder.subFolderCount(); ++i)
        visitFolder(*folder.subFolder(i), c);
}

Census census(const std::function<void(StoreWriter&)>& fill, const StoreOptions& options)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.ost"));
    StoreWriter writer(path, options);
    fill(writer);
    writer.finish();
    auto s = store::openOfflineStore(path, libpffOptions(static_cast<int>(options.codePage)));
    Census c;
    visitFolder(*s->rootFolder(), c);
    return c;
}

StoreOptions optionsOf(FileFormat format, Encryption encryption, std::uint32_t codePage = 1252)
{
    StoreOptions options;
    options.format = format;
    options.encryption = encryption;
    options.codePage = codePage;
    return options;
}

TEST(DemoMailbox, ShowsEveryKindOfContent)
{
    // In an ANSI store the texts are in a code page; Shift-JIS has the demo's Japanese and
    // Cyrillic subjects.
    const std::pair<const char*, StoreOptions> variants[] = {
        {"unicode", optionsOf(FileFormat::Unicode, Encryption::None)},
        {"4k high", optionsOf(FileFormat::Unicode4k, Encryption::High)},
        {"ansi 932 high", optionsOf(FileFormat::Ansi, Encryption::High, 932)},
    };
    for (const auto& [variant, options] : variants) {
        SCOPED_TRACE(variant);
        const Census c = census([](StoreWriter& w) { DemoMailbox().write(w); }, options);
        for (const char* name : {"Inbox", "Sent Items", "Drafts", "Deleted Items", "Junk E-mail", "Outbox",
                                 "Sync Issues", "Calendar", "Contacts", "Tasks", "Notes", "Journal"})
            EXPECT_EQ(c.folders.count(QByteArray(name)), 1u) << name;
        EXPECT_GE(c.folders.size(), 16u); // with the Inbox's sub-folders
        EXPECT_GE(c.messages, 40);
        for (store::ItemType kind :
             {store::ItemType::Email, store::ItemType::Contact, store::ItemType::Appointment,
              store::ItemType::Task, store::ItemType::Note})
            EXPECT_EQ(c.kinds.count(kind), 1u) << static_cast<int>(kind);
        EXPECT_EQ(c.importances, (std::set<std::uint32_t>{0, 1, 2}));
        EXPECT_EQ(c.priorities, (std::set<std::uint32_t>{0xFFFFFFFFu, 0, 1}));
        EXPECT_EQ(c.attachmentKinds,
                  (std::set<store::AttachmentType>{store::AttachmentType::Data, store::AttachmentType::Item,
                                                   store::AttachmentType::Reference}));
        EXPECT_GT(c.unread, 3);
        EXPECT_GT(c.rtfOnly, 2);
        EXPECT_GT(c.html, 5);
        EXPECT_EQ(c.inlineImages, 1);
        EXPECT_GE(c.nonAsciiSubjects, 3);
        EXPECT_GE(c.recurring, 2);
        EXPECT_EQ(c.contactsWithCompany, 6);
    }
}

TEST(RandomMailbox, HasTheAnnouncedShape)
{
    for (const StoreOptions& options :
         {optionsOf(FileFormat::Unicode, Encryption::None), optionsOf(FileFormat::Ansi, Encryption::High)}) {
        SCOPED_TRACE(options.format == FileFormat::Ansi ? "ansi" : "unicode");
        const Census c = census([](StoreWriter& w) { RandomMailbox(600, 3).write(w); }, options);
        EXPECT_EQ(c.messages, 600 + 30 + 30 + 12);
        for (const char* name : {"Inbox", "Projects", "Alpha", "Archive 2023", "Sent Items", "Deleted Items",
                                 "Calendar", "Contacts", "Tasks"})
            EXPECT_EQ(c.folders.count(QByteArray(name)), 1u) << name;
        EXPECT_EQ(c.attachmentKinds.count(store::AttachmentType::Data), 1u);
        EXPECT_EQ(c.attachmentKinds.count(store::AttachmentType::Item), 1u);
        EXPECT_GT(c.nonAsciiSubjects, 5);
        EXPECT_GT(c.rtfOnly + c.html, 100);
    }
}

} // namespace
