#include "LayoutEngine.h"

#include <gtest/gtest.h>
#include <map>

using app::LayoutEngine;
using app::LayoutPlacement;
using app::LayoutRect;

namespace {

// A window made of plain rectangles that records what the engine places.
class FakeHost : public app::LayoutHost
{
public:
    LayoutRect window{100, 100, 1000, 800};
    LayoutRect client{0, 0, 900, 700};
    std::map<int, LayoutRect> children;
    std::vector<int> order;
    bool maximized = false;
    bool gripVisible = true;
    int gripVisibilityChanges = 0;
    std::vector<std::vector<LayoutPlacement>> batches;

    void addChild(int id, LayoutRect r)
    {
        children[id] = r;
        order.push_back(id);
    }

    LayoutRect windowRect() const override { return window; }
    LayoutRect clientRect() const override { return client; }
    std::optional<LayoutRect> childRect(int id) const override
    {
        const auto it = children.find(id);
        if (it == children.end())
            return std::nullopt;
        return it->second;
    }
    std::vector<int> childIds() const override { return order; }
    int createSizeGrip() override
    {
        addChild(9999, {client.right - 16, client.bottom - 16, client.right, client.bottom});
        return 9999;
    }
    bool isMaximized() const override { return maximized; }
    bool isSizeGripVisible() const override { return gripVisible; }
    void setSizeGripVisible(bool visible) override
    {
        gripVisible = visible;
        ++gripVisibilityChanges;
    }
    void placeControls(const std::vector<LayoutPlacement>& placements) override
    {
        batches.push_back(placements);
        for (const auto& p : placements)
            children[p.controlId] = {p.x, p.y, p.x + p.width, p.y + p.height};
    }

    void grow(int dw, int dh)
    {
        window.right += dw;
        window.bottom += dh;
    }
};

LayoutRect moved(LayoutRect r, int dx, int dy)
{
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

} // namespace

// The main window's anchoring: each control of the window follows the edges its flags name.
TEST(LayoutEngine, MainWindowControlsFollowTheirEdges)
{
    struct Case
    {
        int id;
        quint32 flags;
        LayoutRect before;
        LayoutRect after; // window grown by 100 x 50
    };
    const Case cases[] = {
        {1005, 0xD0, {243, 154, 876, 320}, {243, 154, 976, 320}},
        {1009, 0xE0, {9, 593, 876, 616}, {9, 643, 976, 666}},
        {1001, 0xD0, {144, 115, 510, 146}, {144, 115, 610, 146}},
        {1014, 0xD0, {591, 0, 884, 102}, {591, 0, 984, 102}},
        {1002, 0x90, {513, 114, 596, 145}, {613, 114, 696, 145}},
        {1000, 0x70, {9, 154, 239, 580}, {9, 154, 239, 630}},
        {1008, 0x90, {674, 114, 750, 145}, {774, 114, 850, 145}},
    };
    FakeHost host;
    LayoutEngine engine;
    for (const auto& c : cases) {
        host.addChild(c.id, c.before);
        ASSERT_TRUE(engine.addControl(c.id, c.flags));
    }
    engine.initialLayout(&host, 0);
    host.grow(100, 50);
    engine.resize();
    ASSERT_EQ(host.batches.size(), 1u);
    for (const auto& c : cases)
        EXPECT_EQ(host.children[c.id], c.after) << "control " << c.id;
    EXPECT_EQ(engine.clientRect(), (LayoutRect{0, 0, 1000, 750}));
    EXPECT_EQ(engine.changeFlags(), LayoutEngine::FollowRight | LayoutEngine::FollowBottom);
}

TEST(LayoutEngine, MovingTheWindowChangesNoControl)
{
    FakeHost host;
    host.addChild(1, {10, 10, 50, 50});
    host.addChild(2, {60, 60, 90, 90});
    LayoutEngine engine;
    engine.addControl(1, 0xF0);
    engine.addControl(2, 0);
    engine.initialLayout(&host, 0);
    host.window = moved(host.window, 37, -20);
    engine.resize();
    EXPECT_TRUE(host.batches.empty());
    EXPECT_EQ(engine.widthChange(), 0);
    EXPECT_EQ(engine.heightChange(), 0);
    EXPECT_EQ(host.children[1], (LayoutRect{10, 10, 50, 50}));
    // The moved rectangle becomes the reference: a later growth is measured from it.
    host.grow(10, 0);
    engine.resize();
    EXPECT_EQ(host.children[2], (LayoutRect{65, 60, 95, 90}));
}

TEST(LayoutEngine, HalfMovesDoNotDrift)
{
    FakeHost host;
    host.addChild(7, {100, 100, 200, 130});
    LayoutEngine engine;
    engine.addControl(7, LayoutEngine::FollowTop);
    engine.initialLayout(&host, 0);
    host.grow(101, 0);
    engine.resize();
    EXPECT_DOUBLE_EQ(engine.entry(0).left, 150.5);
    EXPECT_EQ(host.children[7], (LayoutRect{150, 100, 250, 130}));
    host.grow(101, 0);
    engine.resize();
    EXPECT_EQ(host.children[7], (LayoutRect{201, 100, 301, 130}));
    host.grow(-202, 0);
    engine.resize();
    EXPECT_EQ(host.children[7], (LayoutRect{100, 100, 200, 130}));
}

TEST(LayoutEngine, TableHoldsAtMost256Controls)
{
    LayoutEngine engine;
    for (int id = 1; id <= LayoutEngine::MaxEntries; ++id)
        ASSERT_TRUE(engine.addControl(id, 0x40u + static_cast<quint32>(id)));
    EXPECT_FALSE(engine.addControl(1000, 0x90));
    ASSERT_EQ(engine.entryCount(), LayoutEngine::MaxEntries);
    EXPECT_EQ(engine.entry(0).controlId, 1);
    EXPECT_EQ(engine.entry(255).controlId, 256);
    EXPECT_EQ(engine.entry(255).flags, 0x40u + 256u);
    // Id 0 is an option, not an entry: it still works with a full table.
    EXPECT_TRUE(engine.addControl(0, 0x50));
    EXPECT_EQ(engine.entryCount(), LayoutEngine::MaxEntries);
}

TEST(LayoutEngine, MissingControlIsNeverMoved)
{
    FakeHost host;
    host.addChild(1, {0, 0, 10, 10});
    LayoutEngine engine;
    engine.addControl(4242, 0x90);
    engine.addControl(1, 0x90);
    engine.initialLayout(&host, 0);
    EXPECT_FALSE(engine.entry(0).hasWindow);
    host.grow(30, 30);
    engine.resize();
    ASSERT_EQ(host.batches.size(), 1u);
    ASSERT_EQ(host.batches[0].size(), 1u);
    EXPECT_EQ(host.batches[0][0].controlId, 1);
}

TEST(LayoutEngine, SizeGripHidesWhileMaximised)
{
    FakeHost host;
    LayoutEngine engine;
    engine.initialLayout(&host, LayoutEngine::CreateSizeGrip);
    ASSERT_TRUE(engine.sizeGripId().has_value());
    ASSERT_EQ(engine.entryCount(), 1);
    EXPECT_EQ(engine.entry(0).flags, 0xA0u);

    host.maximized = true;
    host.grow(200, 100);
    engine.resize();
    EXPECT_FALSE(host.gripVisible);
    EXPECT_EQ(host.children[9999], (LayoutRect{1084, 784, 1100, 800}));
    // Further resizes while maximised leave it hidden instead of toggling it.
    host.grow(0, 10);
    engine.resize();
    EXPECT_FALSE(host.gripVisible);
    EXPECT_EQ(host.gripVisibilityChanges, 1);

    host.maximized = false;
    host.grow(-200, -110);
    engine.resize();
    EXPECT_TRUE(host.gripVisible);
    EXPECT_EQ(host.children[9999], (LayoutRect{884, 684, 900, 700}));
}

TEST(LayoutEngine, AutoAnchorsFromInitialPosition)
{
    struct Case
    {
        LayoutRect rect; // client is 900 x 700: half width 450, half height 350
        quint32 expected;
    };
    const Case cases[] = {
        {{10, 10, 100, 100}, 0x50},   // upper left quarter: stays
        {{10, 10, 800, 100}, 0xD0},   // spans the vertical centre line in the upper half
        {{500, 400, 600, 500}, 0xA0}, // lower right quarter
        {{10, 10, 100, 690}, 0x70},   // spans the horizontal centre line on the left
        {{10, 10, 450, 349}, 0xD0},   // right edge on the centre line counts as beyond it
        {{450, 350, 460, 360}, 0xA0}, // starting on the centre lines counts as beyond them
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.addChild(5, c.rect);
        LayoutEngine engine;
        engine.addControl(5, LayoutEngine::AutoAnchor);
        engine.initialLayout(&host, 0);
        EXPECT_EQ(engine.entry(0).flags, c.expected)
            << c.rect.left << "," << c.rect.top << "," << c.rect.right << "," << c.rect.bottom;
    }
    // Only flags that are exactly 0x100 are decided.
    FakeHost host;
    host.addChild(5, {10, 10, 100, 100});
    LayoutEngine engine;
    engine.addControl(5, LayoutEngine::AutoAnchor | LayoutEngine::FollowRight);
    engine.initialLayout(&host, 0);
    EXPECT_EQ(engine.entry(0).flags, 0x180u);
}

TEST(LayoutEngine, DocksTakeTheirPlaceFromTheClientArea)
{
    struct Case
    {
        quint32 flags;
        LayoutRect expected; // control 100,200 - 300,260 in a client grown to 1000 x 800
    };
    const Case cases[] = {
        {0xF, {0, 0, 1000, 800}},        {0x1, {0, 0, 1000, 60}},     {0x2, {0, 740, 1000, 800}},
        {0x4, {0, 0, 200, 800}},         {0x8, {800, 0, 1000, 800}},  {0x800, {0, 200, 200, 260}},
        {0x1000, {100, 200, 1000, 260}}, {0x200, {100, 0, 300, 260}}, {0x400, {100, 200, 300, 800}},
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.addChild(3, {100, 200, 300, 260});
        LayoutEngine engine;
        engine.addControl(3, c.flags);
        engine.initialLayout(&host, 0);
        host.grow(100, 100);
        engine.resize();
        EXPECT_EQ(host.children[3], c.expected) << std::hex << c.flags;
    }
}

TEST(LayoutEngine, EnumerationRegistersTheOtherChildren)
{
    FakeHost host;
    host.addChild(1, {0, 0, 10, 10});
    host.addChild(2, {20, 20, 30, 30});
    host.addChild(3, {40, 40, 50, 50});
    LayoutEngine engine;
    engine.addControl(2, 0x90);
    engine.addControl(0, 0x50);
    engine.initialLayout(&host, LayoutEngine::CreateSizeGrip);
    ASSERT_EQ(engine.entryCount(), 4);
    EXPECT_EQ(engine.entry(0).controlId, 2);
    EXPECT_EQ(engine.entry(0).flags, 0x90u);
    EXPECT_EQ(engine.entry(1).controlId, 1);
    EXPECT_EQ(engine.entry(1).flags, 0x50u);
    EXPECT_EQ(engine.entry(2).controlId, 3);
    // The grip gets its own flags, whatever the default says.
    EXPECT_EQ(engine.entry(3).controlId, 9999);
    EXPECT_EQ(engine.entry(3).flags, 0xA0u);
}

TEST(LayoutEngine, InitialLayoutWithoutWindowEmptiesTheTable)
{
    LayoutEngine engine;
    engine.addControl(1, 0x90);
    engine.addControl(2, 0x90);
    engine.initialLayout(nullptr, 0);
    EXPECT_EQ(engine.entryCount(), 0);
    engine.resize(LayoutRect{0, 0, 10, 10});
    EXPECT_FALSE(engine.isInitialised());
}

TEST(LayoutEngine, ShrinkingBelowTheOriginalSizeKeepsAnchors)
{
    FakeHost host;
    host.addChild(1, {700, 10, 800, 40});
    host.addChild(2, {10, 600, 880, 620});
    LayoutEngine engine;
    engine.addControl(1, 0x90);
    engine.addControl(2, 0xE0);
    engine.initialLayout(&host, 0);
    host.grow(-300, -200);
    engine.resize(host.window);
    EXPECT_EQ(host.children[1], (LayoutRect{400, 10, 500, 40}));
    EXPECT_EQ(host.children[2], (LayoutRect{10, 400, 580, 420}));
}
