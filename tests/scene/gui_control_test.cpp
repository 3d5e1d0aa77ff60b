#include "scene/gui/gui_control.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <utility>

using namespace cantorix::scene;

namespace {

// Collects "name:event" words from the controls it watches, senders as the events report them.
struct EventLog {
    std::string text;
    void add(const TGLBaseControl& sender, const char* what) {
        text += (text.empty() ? "" : " ") + sender.name() + ":" + what;
    }
    void watch(TGLBaseControl& c) {
        c.onMouseDown = [this](TGLBaseControl& s, TMouseButton, int, int) { add(s, "down"); };
        c.onMouseUp = [this](TGLBaseControl& s, TMouseButton, int, int) { add(s, "up"); };
        c.onMouseMove = [this](TGLBaseControl& s, int, int) { add(s, "move"); };
        c.onMouseEnter = [this](TGLBaseControl& s) { add(s, "enter"); };
        c.onMouseLeave = [this](TGLBaseControl& s) { add(s, "leave"); };
        c.onKeyDown = [this](TGLBaseControl& s, int) { add(s, "key"); };
        c.onKeyPress = [this](TGLBaseControl& s, char32_t) { add(s, "char"); };
        c.onKeyUp = [this](TGLBaseControl& s, int) { add(s, "keyup"); };
    }
    std::string take() { return std::exchange(text, {}); }
};

} // namespace

class GuiControlTest : public ::testing::Test {
protected:
    template <class T = TGLPanel>
    T& add(TGLBaseSceneObject& parent, const char* name, int l, int t, int w, int h) {
        T& c = parent.addNewChild<T>(name);
        c.setBounds(l, t, w, h);
        log.watch(c);
        return c;
    }
    void SetUp() override {
        root.setBounds(0, 0, 1000, 1000);
        log.watch(root);
    }

    TGLScene scene;
    TGLDummyCube& group = scene.addNewChild<TGLDummyCube>("Hallofame");
    TGLBaseControl& root = group.addNewChild<TGLBaseControl>("Root4");
    EventLog log;
};

TEST_F(GuiControlTest, HitTestUsesTheGlobalRectWithExclusiveRightAndBottom) {
    auto& holder = add(root, "Holder", 82, 250, 600, 400);
    auto& back = add<TGLButton>(holder, "Back", 10, 20, 100, 30);
    EXPECT_EQ(back.globalRect(), (RectI{92, 270, 192, 300}));
    for (auto [x, y, expected] : {std::tuple{92, 270, "Back:down"},
                                  {191, 299, "Back:down"},
                                  {192, 270, "Holder:down"},
                                  {91, 270, "Holder:down"},
                                  {92, 300, "Holder:down"},
                                  {5, 5, "Root4:down"}}) {
        EXPECT_TRUE(root.mouseDown(TMouseButton::mbLeft, x, y));
        EXPECT_EQ(log.take(), expected) << x << "," << y;
    }
    EXPECT_FALSE(root.mouseDown(TMouseButton::mbLeft, 1000, 5));
    EXPECT_EQ(log.take(), "");
}

TEST_F(GuiControlTest, OnlyGuiVisibilityCountsNotHiddenGroupsAboveTheRoot) {
    auto& holder = add(root, "Holder", 82, 250, 600, 400);
    add<TGLButton>(holder, "Back", 10, 20, 100, 30);
    group.setVisible(false);
    EXPECT_TRUE(root.mouseDown(TMouseButton::mbLeft, 100, 280));
    EXPECT_EQ(log.take(), "Back:down");
    holder.setVisible(false);
    EXPECT_TRUE(root.mouseDown(TMouseButton::mbLeft, 100, 280));
    EXPECT_EQ(log.take(), "Root4:down");
    root.setVisible(false);
    EXPECT_FALSE(root.mouseDown(TMouseButton::mbLeft, 100, 280));
    EXPECT_EQ(log.take(), "");
}

TEST_F(GuiControlTest, ChildrenAreOfferedFromTheLastToTheFirst) {
    add(root, "a", 0, 0, 100, 100);
    auto& b = add(root, "b", 50, 50, 100, 100);
    root.addNewChild<TGLHUDText>("not a control");
    root.mouseDown(TMouseButton::mbLeft, 60, 60);
    EXPECT_EQ(log.take(), "b:down");
    b.setVisible(false);
    root.mouseDown(TMouseButton::mbLeft, 60, 60);
    EXPECT_EQ(log.take(), "a:down");
    root.mouseDown(TMouseButton::mbLeft, 500, 500);
    EXPECT_EQ(log.take(), "Root4:down");
}

TEST_F(GuiControlTest, HoverEntersAndLeavesWholeChains) {
    auto& formA = add<TGLForm>(root, "A", 0, 0, 200, 200);
    add<TGLButton>(formA, "a1", 10, 10, 50, 50);
    auto& formB = add<TGLForm>(root, "B", 300, 0, 200, 200);
    root.mouseMove(20, 20);
    EXPECT_EQ(log.take(), "A:enter a1:enter a1:move");
    root.mouseMove(30, 30);
    EXPECT_EQ(log.take(), "a1:move");
    root.mouseMove(100, 100);
    EXPECT_EQ(log.take(), "a1:leave A:move");
    root.mouseMove(20, 20);
    EXPECT_EQ(log.take(), "a1:enter a1:move");
    root.mouseMove(350, 50);
    EXPECT_EQ(log.take(), "a1:leave A:leave B:enter B:move");
    formB.setVisible(false);
    root.mouseMove(350, 60);
    EXPECT_EQ(log.take(), "B:leave Root4:move");
    root.mouseMove(20, 20);
    log.take();
    EXPECT_FALSE(root.mouseMove(2000, 20));
    EXPECT_EQ(log.take(), "a1:leave A:leave");
}

TEST_F(GuiControlTest, MouseUpGoesToTheControlThatTookTheMouseDown) {
    auto& form = add<TGLForm>(root, "A", 0, 0, 200, 200);
    add<TGLButton>(form, "a1", 10, 10, 50, 50);
    add(root, "B", 300, 0, 200, 200);
    root.mouseDown(TMouseButton::mbLeft, 20, 20);
    EXPECT_TRUE(root.mouseUp(TMouseButton::mbLeft, 2000, 2000));
    EXPECT_EQ(log.take(), "a1:down a1:up");
    // Without a pending mouse-down the mouse-up is hit-tested.
    EXPECT_TRUE(root.mouseUp(TMouseButton::mbLeft, 350, 50));
    EXPECT_FALSE(root.mouseUp(TMouseButton::mbLeft, 2000, 2000));
    EXPECT_EQ(log.take(), "B:up");
}

TEST_F(GuiControlTest, KeysGoToTheFocusedControlOfTheirRootOnly) {
    auto& other = scene.addNewChild<TGLDummyCube>().addNewChild<TGLBaseControl>("root2");
    auto& x = add(root, "x", 0, 0, 10, 10);
    auto& z = add(root, "z", 20, 0, 10, 10);
    auto& y = add(other, "y", 0, 0, 10, 10);
    root.keyDown(65);
    EXPECT_EQ(log.take(), "");
    x.setFocus();
    y.setFocus();
    EXPECT_EQ(root.focusedControl(), &x);
    EXPECT_TRUE(x.focused());
    root.keyDown(65);
    root.keyPress(U'a');
    root.keyUp(65);
    other.keyDown(65);
    z.keyDown(65); // x is not at or below z
    EXPECT_EQ(log.take(), "x:key x:char x:keyup y:key");
    z.setFocus();
    EXPECT_FALSE(x.focused());
    root.keyDown(65);
    EXPECT_EQ(log.take(), "z:key");
    z.setVisible(false);
    root.keyDown(65);
    EXPECT_EQ(log.take(), "");
}

TEST_F(GuiControlTest, HandlersMayDeleteTheControlsWhoseEventsRun) {
    auto& button = add<TGLButton>(add(root, "p", 0, 0, 200, 200), "b", 10, 10, 50, 50);
    button.setFocus();
    button.onButtonClick = [&](TGLBaseControl&) { root.deleteChildren(); };
    root.mouseMove(20, 20);
    EXPECT_TRUE(root.mouseDown(TMouseButton::mbLeft, 20, 20));
    EXPECT_EQ(root.count(), 0);
    EXPECT_EQ(root.focusedControl(), nullptr);
    EXPECT_TRUE(root.mouseUp(TMouseButton::mbLeft, 20, 20));
    log.take();

    auto& fresh = add<TGLButton>(add(root, "p2", 0, 0, 200, 200), "b2", 10, 10, 50, 50);
    root.mouseMove(20, 20);
    root.keyDown(keys::Space);
    EXPECT_EQ(log.take(), "p2:enter b2:enter b2:move");
    EXPECT_FALSE(fresh.pressed());

    fresh.onMouseLeave = [&](TGLBaseControl&) { root.deleteChildren(); };
    EXPECT_TRUE(root.mouseMove(500, 500));
    EXPECT_EQ(root.count(), 0);
    EXPECT_EQ(log.take(), "Root4:move");

    auto& last = add<TGLButton>(root, "b3", 10, 10, 50, 50);
    last.onMouseDown = [&](TGLBaseControl&, TMouseButton, int, int) { root.deleteChildren(); };
    EXPECT_TRUE(root.mouseDown(TMouseButton::mbLeft, 20, 20));
    EXPECT_EQ(root.count(), 0);
}

class GuiLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { addDefaultSkinElements(layout); }
    static const SkinQuad* bySource(const std::vector<SkinQuad>& quads, RectI source) {
        auto it = std::find_if(quads.begin(), quads.end(),
                               [&](const SkinQuad& q) { return q.source == source; });
        return it == quads.end() ? nullptr : &*it;
    }
    TGLGuiLayout layout{"GLGuiLayout2", {}};
};

TEST_F(GuiLayoutTest, PanelSkinOverTheHallOfFameHolder) {
    TGLBaseControl root("Root4");
    root.setBounds(0, 0, 1000, 1000);
    auto& holder = root.addNewChild<TGLPanel>("Holder");
    holder.setBounds(82, 250, 600, 400);
    holder.setGuiLayout(&layout);
    holder.setGuiLayoutName("panel");
    auto& edit = holder.addNewChild<TGLEdit>();
    edit.setBounds(10, 10, 100, 20);
    edit.setGuiLayout(&layout);
    edit.setGuiLayoutName("edit");
    root.applyChanges();

    const auto& quads = holder.skinQuads();
    ASSERT_EQ(quads.size(), 9u);
    const std::pair<RectI, RectF> expected[] = {
        {{11, 65, 40, 94}, {86, 254, 678, 646}},  {{11, 62, 40, 66}, {87, 250, 677, 254}},
        {{8, 65, 12, 94}, {82, 255, 86, 645}},    {{39, 65, 43, 94}, {678, 255, 682, 645}},
        {{11, 93, 40, 97}, {87, 646, 677, 650}},  {{8, 62, 13, 67}, {82, 250, 87, 255}},
        {{38, 62, 43, 67}, {677, 250, 682, 255}}, {{8, 92, 13, 97}, {82, 645, 87, 650}},
        {{38, 92, 43, 97}, {677, 645, 682, 650}}};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(quads[i].source, expected[i].first) << i; // centre, edges, corners
        EXPECT_EQ(quads[i].screen, expected[i].second) << i;
    }
    const SkinQuad* editCorner = bySource(edit.skinQuads(), {90, 47, 92, 49});
    ASSERT_NE(editCorner, nullptr);
    EXPECT_EQ(editCorner->screen, (RectF{92, 260, 94, 262}));
    // The edit itself is unchanged, but its place on screen moves with its panel.
    holder.setLeft(182);
    root.applyChanges();
    EXPECT_EQ(bySource(edit.skinQuads(), {90, 47, 92, 49})->screen, (RectF{192, 260, 194, 262}));
}

TEST_F(GuiLayoutTest, FormCornersKeepTheirOwnUnequalSizes) {
    const auto quads = nineSlice(*layout.find("form"), RectF{0, 0, 200, 150});
    ASSERT_EQ(quads.size(), 9u);
    EXPECT_EQ(bySource(quads, {112, 0, 128, 30})->screen, (RectF{184, 0, 200, 30}));
    EXPECT_EQ(bySource(quads, {17, 0, 112, 30})->screen, (RectF{17, 0, 184, 30}));
    EXPECT_EQ(bySource(quads, {0, 31, 8, 109})->screen, (RectF{0, 30, 8, 135}));
    EXPECT_EQ(bySource(quads, {15, 120, 113, 128})->screen, (RectF{15, 142, 185, 150}));
    EXPECT_EQ(bySource(quads, {11, 65, 40, 94})->screen, (RectF{8, 30, 192, 142}));
}

TEST_F(GuiLayoutTest, SmallControlsKeepCornersAndUnknownSkinsDrawNothing) {
    const auto quads = nineSlice(*layout.find("button_up"), RectF{10, 10, 14, 14});
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_EQ(quads[0].screen, (RectF{10, 10, 13, 15}));
    EXPECT_EQ(quads[3].screen, (RectF{11, 9, 14, 14}));

    TGLPanel panel;
    panel.setGuiLayoutName("panel");
    panel.applyChanges(); // no layout
    EXPECT_TRUE(panel.skinQuads().empty());
    panel.setGuiLayout(&layout);
    panel.applyChanges();
    EXPECT_EQ(panel.skinQuads().size(), 9u);
    panel.setGuiLayoutName("Start");
    panel.applyChanges();
    EXPECT_TRUE(panel.skinQuads().empty());
}
