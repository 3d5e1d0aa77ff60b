#include "scene/gui/gui_control.h"

#include <gtest/gtest.h>
#include <vector>

using namespace cantorix::scene;

namespace {

constexpr auto kLeft = TMouseButton::mbLeft;

class GuiTestBase : public ::testing::Test {
protected:
    GuiTestBase() { root.setBounds(0, 0, 1000, 1000); }
    void click(int x, int y, TMouseButton button = kLeft) {
        root.mouseDown(button, x, y);
        root.mouseUp(button, x, y);
    }
    void type(int key) {
        root.keyDown(key);
        root.keyUp(key);
    }
    TGLScene scene;
    TGLBaseControl& root = scene.addNewChild<TGLDummyCube>().addNewChild<TGLBaseControl>("root");
};

} // namespace

class ButtonTest : public GuiTestBase {
protected:
    TGLButton& make(TGLBaseSceneObject& parent, int group = -1) {
        auto& b = parent.addNewChild<TGLButton>();
        b.setBounds(10, 10, 100, 30);
        b.setGroup(group);
        b.onButtonClick = [this](TGLBaseControl&) { ++clicks; };
        return b;
    }
    TGLButton& button = make(root);
    int clicks = 0;
};

TEST_F(ButtonTest, LeftMouseDownClicksAndMouseUpReleasesEvenOffTheButton) {
    root.mouseDown(kLeft, 20, 20);
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(clicks, 1);
    root.mouseUp(kLeft, 600, 600);
    EXPECT_FALSE(button.pressed());
    click(20, 20, TMouseButton::mbRight);
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(clicks, 1);
}

TEST_F(ButtonTest, AllowUpTogglesAndClicksOnlyWhenPressed) {
    button.setAllowUp(true);
    click(20, 20);
    EXPECT_TRUE(button.pressed());
    click(20, 20);
    EXPECT_FALSE(button.pressed());
    click(20, 20);
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(clicks, 2);
}

TEST_F(ButtonTest, SpaceAndEnterPressItOnlyWhileFocused) {
    click(20, 20); // clicking does not take the focus
    type(keys::Space);
    EXPECT_EQ(clicks, 1);
    button.setFocus();
    root.keyDown(keys::Space);
    root.keyDown(keys::Space); // auto-repeat
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(clicks, 2);
    root.keyUp(keys::Space);
    EXPECT_FALSE(button.pressed());
    type(keys::Enter);
    type('A');
    EXPECT_EQ(clicks, 3);

    button.setAllowUp(true);
    root.keyDown(keys::Enter);
    root.keyDown(keys::Enter);
    root.keyUp(keys::Enter);
    EXPECT_TRUE(button.pressed());
    type(keys::Enter);
    EXPECT_FALSE(button.pressed());
}

TEST_F(ButtonTest, SameGroupOfOneParentActsAsRadioButtons) {
    button.setGroup(0);
    auto& b = make(root, 0);
    auto& other = make(root, 1);
    auto& loose = make(root);
    auto& elsewhere = make(root.addNewChild<TGLPanel>(), 0);
    for (TGLButton* x : {&button, &other, &loose, &elsewhere})
        x->setPressed(true);
    clicks = 0;
    b.setPressed(true);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(b.pressed());
    EXPECT_FALSE(button.pressed());
    EXPECT_TRUE(other.pressed());
    EXPECT_TRUE(loose.pressed());
    EXPECT_TRUE(elsewhere.pressed());
}

TEST_F(ButtonTest, PressedSkinAndImageNameChangesMoveTheRevision) {
    TGLGuiLayout layout("GLGuiLayout2", {});
    addDefaultSkinElements(layout);
    button.setGuiLayout(&layout);
    button.setGuiLayoutName("button_up");
    const RectI upCorner{41, 31, 44, 36}, downCorner{58, 31, 61, 36};
    const auto before = scene.revision();
    button.setPressed(true);
    EXPECT_GT(scene.revision(), before);
    root.applyChanges();
    EXPECT_EQ(button.skinQuads().back().source.top, 44) << "no pressed skin: stays up";
    button.setGuiLayoutNamePressed("button_down");
    root.applyChanges();
    EXPECT_EQ(button.skinQuads()[5].source, downCorner);
    button.setPressed(false);
    root.applyChanges();
    EXPECT_EQ(button.skinQuads()[5].source, upCorner);

    button.setBitBtn({nullptr, "Start"});
    const auto named = scene.revision();
    button.setLibMaterialName("Starth");
    EXPECT_EQ(button.bitBtn().name, "Starth");
    EXPECT_GT(scene.revision(), named);
}

class EditTest : public GuiTestBase {
protected:
    EditTest() {
        edit.setBounds(10, 10, 200, 20);
        edit.onChange = [this](TGLBaseControl&) { ++changes; };
    }
    TGLEdit& edit = root.addNewChild<TGLEdit>();
    int changes = 0;
};

TEST_F(EditTest, MouseDownFocusesAndTypingInsertsAtTheCaret) {
    root.keyPress(U'x');
    EXPECT_EQ(edit.caption(), "");
    click(20, 20);
    EXPECT_TRUE(edit.focused());
    root.keyPress(U'a');
    root.keyPress(U'b');
    EXPECT_EQ(edit.selStart(), 3);
    type(keys::Home);
    root.keyPress(U'x');
    EXPECT_EQ(edit.caption(), "xab");
    EXPECT_EQ(edit.selStart(), 2);
    for (char32_t control : {U'\b', U'\r', U'\x7f', U'\x1b'})
        root.keyPress(control);
    EXPECT_EQ(edit.caption(), "xab");
    EXPECT_EQ(changes, 3);

    auto& second = root.addNewChild<TGLEdit>();
    second.setBounds(10, 40, 200, 20);
    click(20, 50);
    root.keyPress(U'z');
    EXPECT_EQ(edit.caption(), "xab");
    EXPECT_EQ(second.caption(), "z");
}

TEST_F(EditTest, CaretCountsCharactersOfUtf8) {
    edit.setCaption("Grüße");
    edit.setFocus();
    type(keys::End);
    EXPECT_EQ(edit.selStart(), 6);
    type(keys::Left);
    type(keys::Backspace);
    EXPECT_EQ(edit.caption(), "Grüe");
    EXPECT_EQ(edit.selStart(), 4);
    root.keyPress(U'€');
    EXPECT_EQ(edit.caption(), "Grü€e");
    EXPECT_EQ(edit.selStart(), 5);
    EXPECT_EQ(edit.textBeforeCaret(), "Grü€");
    type(keys::Delete);
    EXPECT_EQ(edit.caption(), "Grü€");
    root.keyPress(U'\U0001F3A4');
    EXPECT_EQ(edit.caption(), "Grü€\U0001F3A4");
    EXPECT_EQ(changes, 4);

    type(keys::Delete); // at the end
    type(keys::Home);
    type(keys::Backspace); // at the start
    type(keys::Left);
    EXPECT_EQ(edit.selStart(), 1);
    EXPECT_EQ(changes, 4);
    for (int i = 0; i < 9; ++i)
        type(keys::Right);
    EXPECT_EQ(edit.selStart(), 6);
    type(keys::Left);
    type(keys::Left);
    type(keys::Delete);
    EXPECT_EQ(edit.caption(), "Grü\U0001F3A4");
}

TEST_F(EditTest, ReadOnlyAndShrunkCaptionsKeepTheCaretValid) {
    edit.setCaption("ab");
    edit.setFocus();
    edit.setReadOnly(true);
    root.keyPress(U'c');
    type(keys::End);
    type(keys::Backspace);
    EXPECT_EQ(edit.caption(), "ab");
    EXPECT_EQ(edit.selStart(), 3);
    EXPECT_EQ(changes, 0);
    edit.setCaption("");
    EXPECT_EQ(edit.selStart(), 1);
    edit.setSelStart(-4);
    EXPECT_EQ(edit.selStart(), 1);
}

class ScrollbarTest : public GuiTestBase {
protected:
    ScrollbarTest() {
        // Thickness 20: arrows of 20, a track of 200, a knob of 20 travelling 180 pixels over the
        // 90 positions 0 … 90, half a position per pixel.
        bar.setBounds(0, 0, 240, 20);
        bar.setMax(99);
        bar.setPageSize(10);
        bar.onChange = [this](TGLBaseControl&) { changes.push_back(bar.pos()); };
    }
    TGLScrollbar& bar = root.addNewChild<TGLScrollbar>();
    std::vector<int> changes;
};

TEST_F(ScrollbarTest, PosIsClampedAndOnlyRealChangesAreReported) {
    bar.setPos(50);
    bar.setPos(50);
    bar.setPos(1000);
    bar.setPos(-5);
    bar.setPos(-5);
    bar.setPos(90);
    bar.setPageSize(20); // last position 80
    bar.setMax(50);      // last position 31
    bar.setMin(40);
    bar.setMin(60); // above Max: only Min remains
    EXPECT_EQ(changes, (std::vector<int>{50, 90, 0, 90, 80, 31, 40, 60}));
    bar.setPageSize(0);
    EXPECT_EQ(bar.pageSize(), 1);
}

TEST_F(ScrollbarTest, GeometryFollowsThicknessPageAndPos) {
    EXPECT_EQ(bar.decArrowRect(), (RectI{0, 0, 20, 20}));
    EXPECT_EQ(bar.incArrowRect(), (RectI{220, 0, 240, 20}));
    EXPECT_EQ(bar.trackRect(), (RectI{20, 0, 220, 20}));
    EXPECT_EQ(bar.knobRect(), (RectI{20, 0, 40, 20}));
    bar.setPos(45);
    EXPECT_EQ(bar.knobRect(), (RectI{110, 0, 130, 20}));
    bar.setPageSize(50); // knob 100 pixels, travelling 100 over the positions 0 … 50
    EXPECT_EQ(bar.knobRect(), (RectI{110, 0, 210, 20}));

    auto& holder = root.addNewChild<TGLPanel>();
    holder.setBounds(100, 50, 300, 300);
    auto& vertical = holder.addNewChild<TGLScrollbar>();
    vertical.setHorizontal(false);
    vertical.setBounds(5, 5, 16, 30); // too short for two full arrows
    EXPECT_EQ(vertical.decArrowRect(), (RectI{105, 55, 121, 70}));
    EXPECT_EQ(vertical.incArrowRect(), (RectI{105, 70, 121, 85}));
    EXPECT_EQ(vertical.knobRect().height(), 0);
}

TEST_F(ScrollbarTest, ArrowsStepAndTheTrackPages) {
    bar.setStep(3);
    click(5, 10);
    click(235, 10);
    click(235, 10);
    click(150, 10); // knob at 32 … 52
    click(25, 10);  // knob at 52 … 72
    click(150, 10, TMouseButton::mbRight);
    EXPECT_EQ(changes, (std::vector<int>{3, 6, 16, 6}));
}

TEST_F(ScrollbarTest, DraggingTheKnobRoundsHalvesToEvenAndWorksOffTheBar) {
    root.mouseDown(kLeft, 20, 10);
    root.mouseMove(25, 10); // 2.5
    root.mouseMove(27, 10); // 3.5
    root.mouseMove(2000, 500);
    root.mouseUp(kLeft, 2000, 500);
    root.mouseMove(30, 10);
    EXPECT_EQ(changes, (std::vector<int>{2, 4, 90}));

    changes.clear();
    bar.setPos(10); // knob at 40 … 60
    root.mouseDown(kLeft, 50, 10);
    root.mouseMove(50, 15); // the same track value: no change
    root.mouseMove(70, 15);
    root.mouseUp(kLeft, 70, 15);
    EXPECT_EQ(changes, (std::vector<int>{10, 20}));
}

TEST_F(ScrollbarTest, KnobSkinIsDrawnOverTheKnob) {
    TGLGuiLayout layout("GLGuiLayout2", {});
    addDefaultSkinElements(layout);
    bar.setGuiLayout(&layout);
    bar.setGuiLayoutName("panel");
    bar.setGuiLayoutKnobName("button_up");
    bar.setPos(45);
    bar.applyChanges();
    ASSERT_EQ(bar.skinQuads().size(), 18u);
    EXPECT_EQ(bar.skinQuads().back().screen, (RectF{127, 15, 130, 20}));
}
