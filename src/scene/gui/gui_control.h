#pragma once
// The in-scene GUI controls: a tree of rectangles in viewer pixels (Left/Top relative to the
// parent control) that hit-test mouse events, track hover, hold keyboard focus per root and draw
// themselves with skins. Main thread only.

#include "../colour.h"
#include "../scene_nodes.h"
#include "gui_layout.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::scene {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Key codes as the game names them (the values of the Windows virtual keys).
namespace keys {
inline constexpr int Backspace = 8, Tab = 9, Enter = 13, Escape = 27, Space = 32, End = 35,
                     Home = 36, Left = 37, Up = 38, Right = 39, Down = 40, Delete = 46;
}

class TGLBaseControl : public TGLBaseSceneObject {
public:
    using MouseEvent = std::function<void(TGLBaseControl& sender, TMouseButton, int x, int y)>;
    using MoveEvent = std::function<void(TGLBaseControl& sender, int x, int y)>;
    using NotifyEvent = std::function<void(TGLBaseControl& sender)>;
    using KeyEvent = std::function<void(TGLBaseControl& sender, int key)>;
    using CharEvent = std::function<void(TGLBaseControl& sender, char32_t ch)>;

    using TGLBaseSceneObject::TGLBaseSceneObject;
    ~TGLBaseControl() override;

    int left() const { return m_left; }
    void setLeft(int v) { assignChanged(*this, m_left, v); }
    int top() const { return m_top; }
    void setTop(int v) { assignChanged(*this, m_top, v); }
    int width() const { return m_width; }
    void setWidth(int v) { assignChanged(*this, m_width, v); }
    int height() const { return m_height; }
    void setHeight(int v) { assignChanged(*this, m_height, v); }
    void setBounds(int left, int top, int width, int height);
    // Position in viewer pixels: the sum of Left/Top up the chain of GUI parents.
    RectI globalRect() const;

    const std::string& caption() const { return m_caption; }
    void setCaption(const std::string& c) { assignChanged(*this, m_caption, c); }
    TGLBitmapFont* bitmapFont() const { return m_font; }
    void setBitmapFont(TGLBitmapFont* f) { assignChanged(*this, m_font, f); }
    TColor defaultColor() const { return m_defaultColor; }
    void setDefaultColor(TColor c) { assignChanged(*this, m_defaultColor, c); }
    TColor focusedColor() const { return m_focusedColor; }
    void setFocusedColor(TColor c) { assignChanged(*this, m_focusedColor, c); }

    TGLGuiLayout* guiLayout() const { return m_layout; }
    void setGuiLayout(TGLGuiLayout* l) { assignChanged(*this, m_layout, l); }
    const std::string& guiLayoutName() const { return m_layoutName; }
    void setGuiLayoutName(const std::string& n) { assignChanged(*this, m_layoutName, n); }

    // The nearest ancestor that is a control, or nullptr for a root.
    TGLBaseControl* guiParent() const;
    TGLBaseControl& root();
    const TGLBaseControl& root() const;
    // Visible here means this control and its GUI parents; groups above the root do not count.
    bool guiVisible() const;

    // Entry points for a root. Coordinates are viewer pixels; each returns whether this control
    // accepted the event. A mouse-down makes the control it reached hold the mouse capture: the
    // moves until the next mouse-up reach it as capturedMouseMove and that mouse-up goes to it
    // wherever the pointer is, so a knob drag or a button release can end off the control. A
    // mouse-up without a capture is hit-tested like a mouse-down.
    bool mouseDown(TMouseButton button, int x, int y);
    bool mouseMove(int x, int y);
    bool mouseUp(TMouseButton button, int x, int y);
    // Keys reach the root's focused control when it is GUI-visible and is this control or lies
    // below it; on a root that is every focused control.
    void keyDown(int key);
    void keyPress(char32_t ch);
    void keyUp(int key);

    // The innermost visible control at a point in viewer pixels, as a mouse-down there would
    // reach it: this control when no child lies there, nullptr when the point is outside.
    TGLBaseControl* controlAt(int x, int y);

    // Focus is kept per root. Edits take it on mouse-down; buttons do not, so a key typed on
    // another screen cannot click a button that was clicked there before.
    bool focused() const;
    void setFocus();
    TGLBaseControl* focusedControl() const; // meaningful on a root

    // Applies pending changes: recomputes the skin geometry of this control and its children. On
    // a root nothing is redone while no control below it has changed since the last call.
    void applyChanges();
    // Skin quads from the last applyChanges (screen rectangles in viewer pixels, drawing order).
    const std::vector<SkinQuad>& skinQuads() const { return m_skinQuads; }

    MouseEvent onMouseDown, onMouseUp;
    MoveEvent onMouseMove;
    NotifyEvent onMouseEnter, onMouseLeave;
    KeyEvent onKeyDown, onKeyUp;
    CharEvent onKeyPress;

    void accept(NodeVisitor& visitor) override;

protected:
    bool hitTest(int x, int y) const;
    // Handlers the control kinds override; the default raises the events above.
    virtual void internalMouseDown(TMouseButton button, int x, int y);
    virtual void internalMouseUp(TMouseButton button, int x, int y);
    virtual void internalMouseMove(int x, int y);
    virtual void internalKeyDown(int key);
    virtual void internalKeyPress(char32_t ch);
    virtual void internalKeyUp(int key);
    virtual void internalMouseEnter();
    virtual void internalMouseLeave();
    // Moves while this control holds the mouse capture, wherever the pointer is.
    virtual void capturedMouseMove(int, int) {}
    // The skin element drawn now; buttons switch to their pressed skin.
    virtual const std::string& currentLayoutName() const { return m_layoutName; }
    virtual void rebuildGeometry();
    std::vector<TGLBaseControl*> guiChildren() const;
    // The hovered child and its own hovered chain get mouse-leave, innermost first.
    void leaveHoverChain();
    void childAdded(TGLBaseSceneObject& node) override;

    // Set to false when the control is destroyed: lets code that raised an event find out
    // whether a handler deleted the control meanwhile.
    std::shared_ptr<const bool> lifeToken() const { return m_alive; }
    // Calls a copy of the handler, which survives a handler that deletes its own control.
    template <class Event, class... Args> static void raise(const Event& event, Args&&... args) {
        if (event) {
            Event copy = event;
            copy(std::forward<Args>(args)...);
        }
    }

    std::vector<SkinQuad> m_skinQuads;

private:
    void rebuildSubtree();
    std::optional<std::uint64_t> m_appliedRevision; // a root's revision at its last apply

    bool isGuiChild(const TGLBaseControl* control) const;
    bool isInSubtree(const TGLBaseControl* control) const;
    // The last visible child control under the pointer (children are offered last to first).
    TGLBaseControl* childAt(int x, int y) const;
    TGLBaseControl* hoveredChild() const { return isGuiChild(m_hovered) ? m_hovered : nullptr; }
    // Changes the hovered child; false when a handler deleted this control.
    bool setHoveredChild(TGLBaseControl* child);
    TGLBaseControl* captureTarget() const;
    TGLBaseControl* keyTarget() const;

    int m_left = 0, m_top = 0, m_width = 100, m_height = 30;
    std::string m_caption;
    TGLBitmapFont* m_font = nullptr;
    TColor m_defaultColor = clBlack;
    TColor m_focusedColor = clBlack;
    TGLGuiLayout* m_layout = nullptr;
    std::string m_layoutName;
    TGLBaseControl* m_hovered = nullptr;      // child under the pointer
    TGLBaseControl* m_focusedChild = nullptr; // on a root: the control with keyboard focus
    TGLBaseControl* m_captured = nullptr;     // child that took the last mouse-down
    bool m_capturing = false;                 // on a root: a mouse-down awaits its mouse-up
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

class TGLForm : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    TColor titleColor() const { return m_titleColor; }
    void setTitleColor(TColor c) { assignChanged(*this, m_titleColor, c); }
    void accept(NodeVisitor& visitor) override;

private:
    TColor m_titleColor = clWhite;
};

class TGLPanel : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    void accept(NodeVisitor& visitor) override;
};

class TGLLabel : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    TAlignment alignment() const { return m_alignment; }
    void setAlignment(TAlignment a) { assignChanged(*this, m_alignment, a); }
    TTextLayout textLayout() const { return m_layout; }
    void setTextLayout(TTextLayout l) { assignChanged(*this, m_layout, l); }
    void accept(NodeVisitor& visitor) override;

private:
    TAlignment m_alignment = TAlignment::taLeftJustify;
    TTextLayout m_layout = TTextLayout::tlTop;
};

class TGLButton : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    bool pressed() const { return m_pressed; }
    // Setting Pressed to true fires OnButtonClick and releases the other buttons of its group.
    void setPressed(bool p);
    bool allowUp() const { return m_allowUp; }
    void setAllowUp(bool a) { assignChanged(*this, m_allowUp, a); }
    // Buttons of one parent with the same group number ≥ 0 behave as radio buttons.
    int group() const { return m_group; }
    void setGroup(int g) { assignChanged(*this, m_group, g); }
    const std::string& guiLayoutNamePressed() const { return m_layoutNamePressed; }
    void setGuiLayoutNamePressed(const std::string& n) {
        assignChanged(*this, m_layoutNamePressed, n);
    }

    // Image button: LogicWidth × LogicHeight pixels from the image's top-left, shifted by the
    // offsets.
    const MaterialRef& bitBtn() const { return m_bitBtn; }
    void setBitBtn(const MaterialRef& ref) { assignChanged(*this, m_bitBtn, ref); }
    void setLibMaterialName(std::string name);
    int logicWidth() const { return m_logicWidth; }
    int logicHeight() const { return m_logicHeight; }
    void setLogicSize(int w, int h);
    int xOffset() const { return m_xOffset; }
    int yOffset() const { return m_yOffset; }
    void setOffsets(int x, int y);

    NotifyEvent onButtonClick;
    void accept(NodeVisitor& visitor) override;

protected:
    void internalMouseDown(TMouseButton button, int x, int y) override;
    void internalMouseUp(TMouseButton button, int x, int y) override;
    void internalKeyDown(int key) override;
    void internalKeyUp(int key) override;
    const std::string& currentLayoutName() const override;

private:
    // Presses, or toggles when AllowUp is set.
    void press();
    bool m_pressed = false;
    bool m_pressKeyHeld = false;
    bool m_allowUp = false;
    int m_group = -1;
    std::string m_layoutNamePressed;
    MaterialRef m_bitBtn;
    int m_logicWidth = 0, m_logicHeight = 0, m_xOffset = 0, m_yOffset = 0;
};

class TGLEdit : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    // 1-based caret counted in characters (code points) of the UTF-8 caption: the next character
    // goes before the character at this index. Always within 1 … length + 1.
    int selStart() const;
    void setSelStart(int caret);
    // The caption up to the caret, for placing the caret when drawn.
    std::string_view textBeforeCaret() const;
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool r) { assignChanged(*this, m_readOnly, r); }
    // Raised when typing changes the caption.
    NotifyEvent onChange;
    void accept(NodeVisitor& visitor) override;

protected:
    void internalMouseDown(TMouseButton button, int x, int y) override;
    void internalKeyDown(int key) override;
    void internalKeyPress(char32_t ch) override;

private:
    void edit(const std::string& caption, int caret);
    int m_selStart = 1;
    bool m_readOnly = false;
};

class TGLScrollbar : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    // Single-precision values: a page of 1.5 on a bar of 1 … 4 ends at 3.5.
    float min() const { return m_min; }
    float max() const { return m_max; }
    float pos() const { return m_pos; }
    float step() const { return m_step; }
    float pageSize() const { return m_pageSize; }
    bool horizontal() const { return m_horizontal; }
    void setMin(float v);
    void setMax(float v);
    // Clamped into Min … Max − PageSize + 1; every change fires OnChange.
    void setPos(float v);
    void setStep(float v) { assignChanged(*this, m_step, v); }
    // At least 1.
    void setPageSize(float v);
    void setHorizontal(bool h) { assignChanged(*this, m_horizontal, h); }
    const std::string& guiLayoutKnobName() const { return m_knobName; }
    void setGuiLayoutKnobName(const std::string& n) { assignChanged(*this, m_knobName, n); }

    // Geometry in viewer pixels, shared by hit handling and drawing. The arrows are squares of
    // the bar's thickness at its ends (halved when the bar is too short); the knob's length is
    // PageSize / (Max − Min + 1) of the track but at least the thickness, and it travels the
    // rest of the track as Pos goes from Min to Max − PageSize + 1.
    RectI decArrowRect() const;
    RectI incArrowRect() const;
    RectI trackRect() const;
    RectI knobRect() const;

    NotifyEvent onChange;
    void accept(NodeVisitor& visitor) override;

protected:
    void internalMouseDown(TMouseButton button, int x, int y) override;
    void capturedMouseMove(int x, int y) override;
    void internalMouseUp(TMouseButton button, int x, int y) override;
    // The bar's skin, then the knob's skin over knobRect.
    void rebuildGeometry() override;

private:
    // The bar's extent along its axis and its thickness across it.
    struct Axis {
        int start = 0, length = 0, thickness = 0;
    };
    struct Track {
        int start = 0, length = 0, knobStart = 0, knobLength = 0;
    };
    Axis axis() const;
    Track track() const;
    RectI spanRect(int from, int to) const;
    double lastPos() const;
    // Value of Pos whose knob would start at this coordinate along the axis.
    double valueAt(int coordinate) const;
    void movePos(double target);

    float m_min = 0, m_max = 10, m_pos = 0, m_step = 1, m_pageSize = 1;
    bool m_horizontal = true;
    std::string m_knobName;
    bool m_dragging = false;
    double m_grabOffset = 0;
};

} // namespace cantorix::scene
