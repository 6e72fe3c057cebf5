#include "views/FolderTreeModel.h"

#include "catalog/Catalogs.h"
#include "views/FolderImage.h"

#include <gtest/gtest.h>

using catalog::NodeId;
using catalog::NoNode;
using views::FolderImage;
using views::FolderTreeModel;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct ImageCase
{
    const char* label;
    int image;
};

void PrintTo(const ImageCase& c, std::ostream* os)
{
    *os << (*c.label ? c.label : "(empty)");
}

class FolderImageCases : public ::testing::TestWithParam<ImageCase>
{
};

TEST_P(FolderImageCases, FolderGetsTheImageOfItsUpperCasedName)
{
    FolderTreeModel tree;
    const NodeId store = tree.InsertFolderNode(NoNode, s("/data/a.ost"));
    const NodeId parent = tree.InsertFolderNode(store, s("Top of Personal Folders"));
    const NodeId node = tree.InsertFolderNode(parent, s(GetParam().label));
    EXPECT_EQ(tree.image(node), GetParam().image) << GetParam().label;
    EXPECT_EQ(tree.node(node)->selectedImage, GetParam().image);
    EXPECT_EQ(tree.label(node), s(GetParam().label)); // shown as given, not upper-cased
}

INSTANTIATE_TEST_SUITE_P(
    WellKnownNames, FolderImageCases,
    ::testing::Values(ImageCase{"Calendar", 3}, ImageCase{"contacts", 4}, ImageCase{"Deleted Items", 5},
                      ImageCase{"Drafts", 6}, ImageCase{"Inbox", 7}, ImageCase{"iNbOx", 7},
                      ImageCase{"INBOX", 7}, ImageCase{"Journal", 8}, ImageCase{"Junk E-mails", 9},
                      ImageCase{"Notes", 10}, ImageCase{"Outbox", 11}, ImageCase{"Sent Items", 12},
                      ImageCase{"Tasks", 13}, ImageCase{"Sync Issues", 14}, ImageCase{"Inbox ", 0},
                      ImageCase{" Inbox", 0}, ImageCase{"Junk E-mail", 0}, ImageCase{"Deleted-Items", 0},
                      ImageCase{"Archive", 0}, ImageCase{"", 0}, ImageCase{"Posteingang", 0}));

TEST(FolderImageNames, EveryIndexHasADistinctNameAndOutOfRangeHasNone)
{
    QStringList names;
    for (int i = 0; i < FolderImage::Count; ++i) {
        EXPECT_FALSE(FolderImage::name(i).isEmpty()) << i;
        EXPECT_FALSE(names.contains(FolderImage::name(i))) << i;
        names.append(FolderImage::name(i));
    }
    EXPECT_TRUE(FolderImage::name(-1).isEmpty());
    EXPECT_TRUE(FolderImage::name(FolderImage::Count).isEmpty());
}

TEST(FolderTreeInsert, StoreNodeAlwaysHasImageZeroAndIsTheRootNode)
{
    FolderTreeModel tree;
    const NodeId store = tree.InsertFolderNode(NoNode, s("/home/x/Inbox"));
    EXPECT_EQ(tree.image(store), 0);
    EXPECT_EQ(tree.rootNode(), store);
    const NodeId calendar = tree.InsertFolderNode(NoNode, s("Calendar"));
    EXPECT_EQ(tree.image(calendar), 0);
    EXPECT_EQ(tree.rootNode(), calendar);
    EXPECT_EQ(tree.topLevelNodes(), (QList<NodeId>{store, calendar}));
}

TEST(FolderTreeInsert, ChildrenAreAppendedInOrderAndInsertionExpandsRootAndParent)
{
    FolderTreeModel tree;
    const NodeId store = tree.InsertFolderNode(NoNode, s("/a.ost"));
    EXPECT_TRUE(tree.isExpanded(store));
    const NodeId top = tree.InsertFolderNode(store, s("Top"));
    EXPECT_FALSE(tree.isExpanded(top));
    const NodeId a = tree.InsertFolderNode(top, s("A"));
    const NodeId b = tree.InsertFolderNode(top, s("B"));
    EXPECT_TRUE(tree.isExpanded(top));
    EXPECT_EQ(tree.children(top), (QList<NodeId>{a, b}));
    EXPECT_EQ(tree.parent(a), top);
    EXPECT_EQ(tree.InsertFolderNode(NodeId{999999}, s("Lost")), NoNode);
    const auto all = tree.nodes();
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(all[0].id, store);
    EXPECT_EQ(all[3].id, b);
    EXPECT_EQ(all[1].stateImage, FolderTreeModel::UncheckedStateImage);
}

TEST(FolderTreeInsert, LabelsKeepNonAsciiCharacters)
{
    FolderTreeModel tree;
    const NodeId store = tree.InsertFolderNode(NoNode, s("/d/Почта.ost"));
    const NodeId node = tree.InsertFolderNode(store, s("Входящие"));
    EXPECT_EQ(tree.label(store), s("/d/Почта.ost"));
    tree.setLabel(node, s("Входящие(3)"));
    EXPECT_EQ(tree.label(node), s("Входящие(3)"));
}

TEST(FolderTreeInsert, ClearRemovesEveryNodeAndNeverReusesIds)
{
    FolderTreeModel tree;
    const NodeId first = tree.InsertFolderNode(NoNode, s("/a.ost"));
    tree.clear();
    EXPECT_FALSE(tree.contains(first));
    EXPECT_EQ(tree.rootNode(), NoNode);
    EXPECT_TRUE(tree.nodes().isEmpty());
    const NodeId second = tree.InsertFolderNode(NoNode, s("/a.ost"));
    EXPECT_NE(first, second);
}

// A store with two levels of folders, known to the folder catalog as the scan would record them.
struct Fixture
{
    catalog::Catalogs catalogs;
    FolderTreeModel tree;
    NodeId store, top, inbox, sub1, sub2, sent;
    FolderTreeModel::FolderNodePredicate isFolder = [this](NodeId n) {
        return catalogs.IsCatalogFolderNode(n);
    };

    Fixture()
    {
        store = tree.InsertFolderNode(NoNode, s("/a.ost"));
        top = add(store, "Top", 1);
        inbox = add(top, "Inbox", 2);
        sub1 = add(inbox, "Sub1", 3);
        sub2 = add(inbox, "Sub2", 3);
        sent = add(top, "Sent Items", 2);
    }

    NodeId add(NodeId parent, const char* name, int depth)
    {
        const NodeId node = tree.InsertFolderNode(parent, s(name));
        catalogs.AppendFolderRecord(s(name), tree.label(parent), depth, QString(), parent, node);
        return node;
    }
};

TEST(FolderTreeChecks, CheckingAFolderChecksAndBoldsItsSubtreeAndItsAncestorsWhenAllChildrenAre)
{
    Fixture f;
    f.tree.clickCheckBox(f.inbox, f.isFolder);
    for (const NodeId n : {f.inbox, f.sub1, f.sub2}) {
        EXPECT_EQ(f.tree.checkValue(n), 1);
        EXPECT_TRUE(f.tree.isBold(n));
    }
    // Top still has an unchecked child (Sent Items): unchecked, but bold because a child is.
    EXPECT_EQ(f.tree.checkValue(f.top), 0);
    EXPECT_TRUE(f.tree.isBold(f.top));
    EXPECT_TRUE(f.tree.isBold(f.store));
    EXPECT_FALSE(f.tree.isBold(f.sent));

    f.tree.clickCheckBox(f.sent, f.isFolder);
    EXPECT_EQ(f.tree.checkValue(f.top), 1);
    EXPECT_EQ(f.tree.checkValue(f.store), 1);
}

TEST(FolderTreeChecks, UncheckingOneDescendantUnchecksEachAncestor)
{
    Fixture f;
    f.tree.clickCheckBox(f.store, f.isFolder);
    for (const NodeId n : {f.store, f.top, f.inbox, f.sub1, f.sub2, f.sent})
        EXPECT_EQ(f.tree.checkValue(n), 1);
    f.tree.clickCheckBox(f.sub2, f.isFolder);
    EXPECT_EQ(f.tree.checkValue(f.sub2), 0);
    EXPECT_FALSE(f.tree.isBold(f.sub2));
    for (const NodeId n : {f.inbox, f.top, f.store})
        EXPECT_EQ(f.tree.checkValue(n), 0) << catalog::toInt(n);
    // Sub1 is still bold, so its ancestors stay bold.
    for (const NodeId n : {f.inbox, f.top, f.store})
        EXPECT_TRUE(f.tree.isBold(n));
    EXPECT_EQ(f.tree.checkValue(f.sub1), 1);
}

TEST(FolderTreeChecks, UnknownStoreNodeIsNeverChecked)
{
    catalog::Catalogs catalogs;
    FolderTreeModel tree;
    const auto isFolder = [&](NodeId n) {
        return catalogs.IsCatalogFolderNode(n);
    };
    const NodeId store = tree.InsertFolderNode(NoNode, s("/a.ost"));
    const NodeId child = tree.InsertFolderNode(store, s("Not yet recorded"));
    tree.setBold(store, true);
    tree.setBold(child, true);

    tree.clickCheckBox(store, isFolder); // from unchecked: only the bold bits go
    EXPECT_EQ(tree.checkValue(store), 0);
    EXPECT_FALSE(tree.isBold(store));
    EXPECT_FALSE(tree.isBold(child));
    EXPECT_EQ(tree.checkValue(child), 0);

    tree.setStateImage(store, FolderTreeModel::CheckedStateImage);
    tree.clickCheckBox(store, isFolder); // from checked: unchecked with the subtree
    EXPECT_EQ(tree.checkValue(store), 0);

    tree.setStateImage(store, FolderTreeModel::NoStateImage);
    EXPECT_EQ(tree.checkValue(store), -1);
    tree.setStateImage(child, FolderTreeModel::CheckedStateImage);
    tree.clickCheckBox(store, isFolder); // without state image: unchecked with the subtree
    EXPECT_EQ(tree.checkValue(store), 0);
    EXPECT_EQ(tree.checkValue(child), 0);
}

TEST(FolderTreeChecks, SpaceOnAnUncheckedFolderAsksForAnotherSpaceAndChangesNothing)
{
    Fixture f;
    EXPECT_TRUE(f.tree.spaceKeyPressed(f.inbox, f.isFolder));
    EXPECT_EQ(f.tree.checkValue(f.inbox), 0);
    EXPECT_FALSE(f.tree.isBold(f.inbox));
    f.tree.toggleCheckBox(f.inbox);
    EXPECT_EQ(f.tree.checkValue(f.inbox), 1);
    EXPECT_FALSE(f.tree.spaceKeyPressed(f.inbox, f.isFolder));
}

TEST(FolderTreeChecks, SpaceOnANonFolderNodeBoldsAndChecksItsSubtree)
{
    catalog::Catalogs catalogs;
    FolderTreeModel tree;
    const NodeId store = tree.InsertFolderNode(NoNode, s("/a.ost"));
    const NodeId top = tree.InsertFolderNode(store, s("Top"));
    catalogs.AppendFolderRecord(s("Top"), s("/a.ost"), 1, QString(), NodeId{424242}, top);
    const auto isFolder = [&](NodeId n) {
        return catalogs.IsCatalogFolderNode(n);
    };

    EXPECT_FALSE(tree.spaceKeyPressed(store, isFolder)); // unchecked: bold + check subtree
    EXPECT_TRUE(tree.isBold(store));
    EXPECT_EQ(tree.checkValue(top), 1);
    EXPECT_TRUE(tree.isBold(top));

    tree.toggleCheckBox(store);                          // the tree's own toggle
    EXPECT_FALSE(tree.spaceKeyPressed(store, isFolder)); // checked: bold off, subtree unchecked
    EXPECT_FALSE(tree.isBold(store));
    EXPECT_EQ(tree.checkValue(top), 0);
}

TEST(FolderTreeChecks, VeryDeepChainIsCheckedWithoutRecursion)
{
    FolderTreeModel tree;
    const auto always = [](NodeId) {
        return true;
    };
    const NodeId store = tree.InsertFolderNode(NoNode, s("/deep.ost"));
    NodeId last = store;
    for (int depth = 0; depth < 100000; ++depth)
        last = tree.InsertFolderNode(last, s("d"));
    tree.clickCheckBox(store, always);
    EXPECT_EQ(tree.checkValue(last), 1);
    EXPECT_TRUE(tree.isBold(last));
    tree.clickCheckBox(last, always);
    EXPECT_EQ(tree.checkValue(store), 0);
    const auto all = tree.nodes();
    ASSERT_EQ(all.size(), 100001);
    EXPECT_EQ(all.last().id, last);
}

TEST(FolderTreeChanges, ConsumerGetsBatchesInOrderAndOnlyRealChanges)
{
    FolderTreeModel tree;
    const quint64 start = tree.changeSequence();
    const NodeId store = tree.InsertFolderNode(NoNode, s("/a.ost"));
    const NodeId inbox = tree.InsertFolderNode(store, s("Inbox"));
    auto batch = tree.changesSince(start);
    ASSERT_FALSE(batch.isEmpty());
    EXPECT_EQ(batch.first().kind, FolderTreeModel::Change::Kind::Inserted);
    EXPECT_EQ(batch.first().node, store);
    for (qsizetype i = 1; i < batch.size(); ++i)
        EXPECT_GT(batch[i].sequence, batch[i - 1].sequence);
    const quint64 seen = batch.last().sequence;
    EXPECT_EQ(seen, tree.changeSequence());

    tree.setBold(inbox, true);
    tree.setBold(inbox, true); // once per mail: no further change
    tree.setLabel(inbox, s("Inbox(2)"));
    tree.setLabel(inbox, s("Inbox(2)"));
    batch = tree.changesSince(seen);
    ASSERT_EQ(batch.size(), 2);
    EXPECT_EQ(batch[0].kind, FolderTreeModel::Change::Kind::Bold);
    EXPECT_EQ(batch[1].kind, FolderTreeModel::Change::Kind::Label);
    EXPECT_TRUE(tree.changesSince(tree.changeSequence()).isEmpty());

    tree.clear();
    tree.InsertFolderNode(NoNode, s("/b.ost"));
    batch = tree.changesSince(seen);
    ASSERT_EQ(batch.size(), 3); // cleared, inserted, expanded
    EXPECT_EQ(batch[0].kind, FolderTreeModel::Change::Kind::Cleared);
    EXPECT_EQ(batch[1].kind, FolderTreeModel::Change::Kind::Inserted);
}

} // namespace
