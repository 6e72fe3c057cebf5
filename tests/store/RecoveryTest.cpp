// The recovery pass of the native reader: stores written the way Outlook leaves them after
// deleting and editing items (storegen), read back for every state; libpff's recovery as the
// reference on those and on the real sample stores; and what the pass must not do to the live
// items.
#include "MessageBuilder.h"
#include "StoreVariant.h"
#include "StoreWriter.h"
#include "TestDataPath.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace storegen;

namespace {

Message mail(const QString& subject, const QString& body = QString())
{
    Message m;
    m.properties.push_back(Property::text(0x001A, QStringLiteral("IPM.Note")));
    m.properties.push_back(Property::text(0x0037, subject));
    if (!body.isEmpty())
        m.properties.push_back(Property::text(0x1000, body));
    return m;
}

// A store that went through each kind of change, and what the pass must find in it.
struct Expected
{
    const char* subject;
    store::RecoveredState state;
    const char* folder;
    const char* body;
};

const Expected kStates[] = {
    {"gone", store::RecoveredState::Deleted, "Top/Inbox", "deleted body"},
    {"first draft", store::RecoveredState::EarlierVersion, "Top/Inbox", "v1"},
    {"left behind", store::RecoveredState::Orphan, "Top/Inbox/Old", "still live"},
    {"gone too", store::RecoveredState::Deleted, "Top/Inbox/Old", ""},
};

void writeChangedStore(const QString& path, const StoreOptions& options)
{
    StoreWriter writer(path, options);
    const std::uint32_t top =
        writer.addFolder(StoreWriter::kRootFolder, QStringLiteral("Top"), QString(), FolderRole::IpmSubtree);
    const std::uint32_t inbox = writer.addFolder(top, QStringLiteral("Inbox"), QStringLiteral("IPF.Note"));
    Folder old;
    old.name = QStringLiteral("Old");
    old.deleted = true;
    const std::uint32_t oldNid = writer.addFolder(inbox, old);
    writer.addMessage(inbox, mail(QStringLiteral("kept")));
    // Moved from Old: the same content under another folder is no state of its own.
    Message moved = mail(QStringLiteral("moved"), QString(9000, QLatin1Char('m')));
    moved.movedFrom = oldNid;
    writer.addMessage(inbox, moved);
    Message gone = mail(QStringLiteral("gone"), QStringLiteral("deleted body"));
    gone.deleted = true;
    writer.addMessage(inbox, gone);
    Message edited = mail(QStringLiteral("second draft"), QStringLiteral("v2"));
    edited.earlierVersion =
        std::make_shared<Message>(mail(QStringLiteral("first draft"), QStringLiteral("v1")));
    writer.addMessage(inbox, edited);
    writer.addMessage(oldNid, mail(QStringLiteral("left behind"), QStringLiteral("still live")));
    Message goneToo = mail(QStringLiteral("gone too"));
    goneToo.deleted = true;
    writer.addMessage(oldNid, goneToo);
    writer.finish();
}

QString folderOf(const store::RecoveredItem& item)
{
    return item.folder ? item.folder->join(QLatin1Char('/')) : QStringLiteral("(none)");
}

// The live tree as text: each folder with its messages' subjects.
void dumpTree(const store::Item& folder, const QString& path, QStringList& lines)
{
    for (int i = 0; i < folder.subMessageCount(); ++i) {
        const std::optional<QByteArray> subject = folder.subMessage(i)->utf8String(0x0037);
        lines << path + QLatin1Char(':') + QString::fromUtf8(subject.value_or(QByteArray()));
    }
    for (int i = 0; i < folder.subFolderCount(); ++i) {
        const std::unique_ptr<store::Item> sub = folder.subFolder(i);
        dumpTree(*sub, path + QLatin1Char('/') + QString::fromUtf8(sub->utf8String(0x3001).value_or("")),
                 lines);
    }
}

class RecoveryStates : public ::testing::TestWithParam<Variant>
{
};

TEST_P(RecoveryStates, EveryStateIsFoundWithItsFolderAndContent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changed.ost"));
    writeChangedStore(path, GetParam().options);
    const std::unique_ptr<store::Store> opened = store::openStore(path);
    QStringList before;
    dumpTree(*opened->rootFolder(), QString(), before);

    std::uint64_t lastDone = 0;
    const std::vector<store::RecoveredItem> items =
        opened->recoverItems([&](std::uint64_t done, std::uint64_t total) {
            EXPECT_GE(done, lastDone);
            EXPECT_EQ(total, opened->fileSize());
            lastDone = done;
        });
    EXPECT_EQ(lastDone, opened->fileSize());

    std::map<QString, const store::RecoveredItem*> bySubject;
    for (const store::RecoveredItem& item : items)
        EXPECT_TRUE(bySubject.emplace(item.subject, &item).second) << item.subject.toStdString();
    EXPECT_EQ(items.size(), std::size(kStates));
    for (const Expected& e : kStates) {
        SCOPED_TRACE(e.subject);
        const auto it = bySubject.find(QString::fromUtf8(e.subject));
        ASSERT_NE(it, bySubject.end());
        const store::RecoveredItem& item = *it->second;
        EXPECT_EQ(item.state, e.state);
        EXPECT_EQ(item.messageClass, QStringLiteral("IPM.Note"));
        EXPECT_EQ(folderOf(item), QString::fromUtf8(e.folder));
        EXPECT_FALSE(item.found.isEmpty());
        const std::unique_ptr<store::Item> message = opened->recoveredItem(item);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->identifier(), item.identifier);
        EXPECT_EQ(QString::fromUtf8(message->utf8String(0x1000).value_or(QByteArray())).remove(QChar(0)),
                  QString::fromUtf8(e.body));
    }
    // The live items read the same after the pass.
    QStringList after;
    dumpTree(*opened->rootFolder(), QString(), after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(after,
              (QStringList{QStringLiteral("/Top/Inbox:kept"), QStringLiteral("/Top/Inbox:moved"),
                                  QStringLiteral("/Top/Inbox:second draft")}));
}

INSTANTIATE_TEST_SUITE_P(Variants, RecoveryStates, ::testing::ValuesIn(allVariants()), nameOf<Variant>);

TEST(Recovery, StoresWithNothingToRecover)
{
    struct Case
    {
        const char* name;
        std::function<void(StoreWriter&, std::uint32_t folder)> write;
    };
    const Case cases[] = {
        {"no history",
         [](StoreWriter& writer, std::uint32_t folder) {
             for (int i = 0; i < 300; ++i)
                 writer.addMessage(folder,
                                   mail(QStringLiteral("m%1").arg(i), QString(i * 50, QLatin1Char('b'))));
         }},
        // libpff's recovery lists such a copy; it holds nothing that the live item does not.
        {"a rewrite of the same content",
         [](StoreWriter& writer, std::uint32_t folder) {
             Message same = mail(QStringLiteral("unchanged"), QString(20000, QLatin1Char('x')));
             same.earlierVersion = std::make_shared<Message>(same);
             writer.addMessage(folder, same);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.ost"));
        {
            StoreWriter writer(path, StoreOptions());
            c.write(writer, writer.addFolder(StoreWriter::kRootFolder, QStringLiteral("Inbox"), QString()));
            writer.finish();
        }
        EXPECT_TRUE(store::openStore(path)->recoverItems().empty());
    }
}

TEST(Recovery, ADamagedIndexPageIsPassedOverAndTheLiveItemsStayAsTheyAre)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changed.ost"));
    writeChangedStore(path, StoreOptions());
    std::uint64_t pageOffset = 0;
    QStringList before;
    {
        const std::unique_ptr<store::Store> opened = store::openStore(path);
        dumpTree(*opened->rootFolder(), QString(), before);
        for (const store::RecoveredItem& item : opened->recoverItems()) {
            if (item.subject == QStringLiteral("gone"))
                pageOffset = item.found.section(QLatin1Char(' '), 5, 5)
                                 .remove(QLatin1Char(','))
                                 .toULongLong(nullptr, 0);
        }
    }
    ASSERT_GT(pageOffset, 0u);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(static_cast<qint64>(pageOffset) + 40));
    ASSERT_EQ(file.write("\xA5", 1), 1);
    file.close();

    const std::unique_ptr<store::Store> opened = store::openStore(path);
    QStringList subjects;
    for (const store::RecoveredItem& item : opened->recoverItems())
        subjects << item.subject;
    subjects.sort();
    EXPECT_EQ(subjects, (QStringList{QStringLiteral("first draft"), QStringLiteral("gone too"),
                                     QStringLiteral("left behind")}));
    QStringList after;
    dumpTree(*opened->rootFolder(), QString(), after);
    EXPECT_EQ(after, before);
}

TEST(Recovery, AnAbortedPassThrows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changed.ost"));
    writeChangedStore(path, StoreOptions());
    const std::unique_ptr<store::Store> opened = store::openStore(path);
    opened->signalAbort();
    EXPECT_THROW(opened->recoverItems(), store::StoreError);
}

// Whatever libpff recovers with a message class must be among the native reader's items, with the
// same identifier, class and subject, except for old versions of tables: libpff recovers a
// folder's superseded contents table as an item, whose first row then gives it a message class
// and subject; a table is not an item.
//
// The native reader finds more, each for a reason the caller allows by state:
// - an orphan: a live item, which libpff lists apart from what it recovers;
// - an earlier version of a node that libpff does not look at;
// - a deleted item in the sample stores: written by other programs, whose allocation maps call
//   space in use that libpff therefore does not scan (it reads only free space); in 4k stores,
//   libpff 20180714 misses one of the two deleted messages of the generated store although both
//   lie in free space.
bool isTable(std::uint32_t nid)
{
    return (nid & 0x1F) >= 0x0D;
}

void expectLibpffItemsAmongOurs(const QString& path, std::set<store::RecoveredState> beyondAllowed)
{
    SCOPED_TRACE(path.toStdString());
    std::vector<store::RecoveredItem> reference;
    try {
        store::OpenOptions options;
        options.reader = store::ReaderKind::Libpff;
        reference = store::openStore(path, options)->recoverItems();
    } catch (const store::StoreError& e) {
        GTEST_SKIP() << "libpff cannot recover from it: " << e.what();
    }
    const std::vector<store::RecoveredItem> ours = store::openStore(path)->recoverItems();
    std::set<std::uint32_t> matched;
    for (const store::RecoveredItem& theirs : reference) {
        if (theirs.messageClass.isEmpty() || isTable(theirs.identifier))
            continue;
        bool found = false;
        for (const store::RecoveredItem& item : ours) {
            if (item.identifier == theirs.identifier && item.messageClass == theirs.messageClass &&
                item.subject == theirs.subject) {
                found = true;
                matched.insert(item.identifier);
            }
        }
        EXPECT_TRUE(found) << "libpff recovers " << theirs.identifier << " "
                           << theirs.messageClass.toStdString() << " \"" << theirs.subject.toStdString()
                           << "\"";
    }
    for (const store::RecoveredItem& item : ours) {
        if (!matched.count(item.identifier)) {
            EXPECT_TRUE(beyondAllowed.count(item.state))
                << "only ours: " << item.identifier << " " << store::recoveredStateName(item.state) << " \""
                << item.subject.toStdString() << "\" " << item.found.toStdString();
        }
    }
}

TEST_P(RecoveryStates, LibpffRecoversNothingWeDoNot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changed.ost"));
    writeChangedStore(path, GetParam().options);
    std::set<store::RecoveredState> beyond{store::RecoveredState::Orphan};
    if (GetParam().options.format == FileFormat::Unicode4k)
        beyond.insert(store::RecoveredState::Deleted);
    expectLibpffItemsAmongOurs(path, beyond);
}

TEST(Recovery, LibpffRecoversNothingWeDoNotInTheSampleStores)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no sample stores";
    const QDir stores(sharedTestData(QStringLiteral("stores")));
    for (const QString& name : stores.entryList(QDir::Files))
        expectLibpffItemsAmongOurs(stores.filePath(name),
                                   {store::RecoveredState::EarlierVersion, store::RecoveredState::Orphan,
                                    store::RecoveredState::Deleted});
}

} // namespace
