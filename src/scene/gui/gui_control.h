#pragma once
// The in-scene GUI controls: a tree of rectangles in viewer pixels (Left/Top relative to the
// parent control) that hit-test mouse events, track hover, hold keyboard focus per root and draw
// themselves with skins. Main thread only.

#include "../colour.h"
#include "../scene_nodes.h"
#include "gui_layout.h"

#include <functional>
#include <string>
#include <vector>

namespace cantorix::scene {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Key codes as the game names them (the values of the Windows virtual keys).
namespace keys {
inline constexpr int Backspace = 8, Tab = 9, Enter = 13, Escape = 27, Space = 32, End = 35, Home = 36,
                     Left = 37, Up = 38, Right = 39, Down = 40, Delete = 46;
}

class TGLBaseControl : public TGLBaseSceneObject {
public:
    using MouseEvent = std::function<void(TGLBaseControl& sender, TMouseButton, int x, int y)>;
    using MoveEvent = std::function<void(TGLBaseControl& sender, int x, int y)>;
    using NotifyEvent = std::function<void(TGLBaseControl& sender)>;
    using KeyEvent = std::function<void(TGLBaseControl& sender, int key)>;
    using CharEvent = std::function<void(TGLBaseControl& sender, char32_t ch)>;

    using TGLBaseSceneObject::TGLBaseSceneObject;

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
    void setCaption(std::string c) { assignChanged(*this, m_caption, c); }
    TGLBitmapFont* bitmapFont() const { return m_font; }
    void setBitmapFont(TGLBitmapFont* f) { assignChanged(*this, m_font, f); }
    TColor defaultColor() const { return m_defaultColor; }
    void setDefaultColor(TColor c) { assignChanged(*this, m_defaultColor, c); }
    TColor focusedColor() const { return m_focusedColor; }
    void setFocusedColor(TColor c) { assignChanged(*this, m_focusedColor, c); }

    TGLGuiLayout* guiLayout() const { return m_layout; }
    void setGuiLayout(TGLGuiLayout* l) { assignChanged(*this, m_layout, l); }
    const std::string& guiLayoutName() const { return m_layoutName; }
    void setGuiLayoutName(std::string n) { assignChanged(*this, m_layoutName, n); }

    // The nearest ancestor that is a control, or nullptr for a root.
    TGLBaseControl* guiParent() const;
    TGLBaseControl& root();
    // Visible here means this control and its GUI parents; groups above the root do not count.
    bool guiVisible() const;

    // Entry points for a root (or a container passing events down). Coordinates are viewer
    // pixels. Return whether this control accepted the event.
    bool mouseDown(TMouseButton button, int x, int y);
    bool mouseMove(int x, int y);
    bool mouseUp(TMouseButton button, int x, int y);
    void keyDown(int key);
    void keyPress(char32_t ch);
    void keyUp(int key);

    bool focused() const;
    void setFocus();
    TGLBaseControl* focusedControl() const { return m_focusedChild; } // meaningful on a root

    // Applies pending changes: recomputes the skin geometry of this control and its children.
    void applyChanges();
    // Skin quads from the last applyChanges (screen rectangles in viewer pixels).
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
    // The skin element drawn now; buttons switch to their pressed skin.
    virtual const std::string& currentLayoutName() const { return m_layoutName; }
    virtual void rebuildGeometry();
    std::vector<TGLBaseControl*> guiChildren() const;
    void leaveHoverChain();

    std::vector<SkinQuad> m_skinQuads;

private:
    int m_left = 0, m_top = 0, m_width = 100, m_height = 30;
    std::string m_caption;
    TGLBitmapFont* m_font = nullptr;
    TColor m_defaultColor = clBlack;
    TColor m_focusedColor = clBlack;
    TGLGuiLayout* m_layout = nullptr;
    std::string m_layoutName;
    TGLBaseControl* m_hovered = nullptr;     // child under the pointer
    TGLBaseControl* m_focusedChild = nullptr; // on a root: the control with keyboard focus
    TGLBaseControl* m_captured = nullptr;    // child that took the last mouse-down
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
    void setAllowUp(bool a) { m_allowUp = a; }
    // Buttons of one parent with the same group number ≥ 0 behave as radio buttons.
    int group() const { return m_group; }
    void setGroup(int g) { m_group = g; }
    const std::string& guiLayoutNamePressed() const { return m_layoutNamePressed; }
    void setGuiLayoutNamePressed(std::string n) { assignChanged(*this, m_layoutNamePressed, n); }

    // Image button: LogicWidth × LogicHeight pixels from the image's top-left, shifted by the offsets.
    const MaterialRef& bitBtn() const { return m_bitBtn; }
    void setBitBtn(MaterialRef ref) { assignChanged(*this, m_bitBtn, ref); }
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
    void press();
    bool m_pressed = false;
    bool m_allowUp = false;
    int m_group = -1;
    std::string m_layoutNamePressed;
    MaterialRef m_bitBtn;
    int m_logicWidth = 0, m_logicHeight = 0, m_xOffset = 0, m_yOffset = 0;
};

class TGLEdit : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    // 1-based caret: the next character goes before the character at this index.
    int selStart() const { return m_selStart; }
    void setSelStart(int caret);
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool r) { m_readOnly = r; }
    NotifyEvent onChange;
    void accept(NodeVisitor& visitor) override;

protected:
    void internalMouseDown(TMouseButton button, int x, int y) override;
    void internalKeyDown(int key) override;
    void internalKeyPress(char32_t ch) override;

private:
    int m_selStart = 1;
    bool m_readOnly = false;
};

class TGLScrollbar : public TGLBaseControl {
public:
    using TGLBaseControl::TGLBaseControl;
    int min() const { return m_min; }
    int max() const { return m_max; }
    int pos() const { return m_pos; }
    int step() const { return m_step; }
    int pageSize() const { return m_pageSize; }
    bool horizontal() const { return m_horizontal; }
    void setMin(int v);
    void setMax(int v);
    // Clamped into Min … Max − PageSize + 1; every change fires OnChange.
    void setPos(int v);
    void setStep(int v) { m_step = v; }
    void setPageSize(int v);
    void setHorizontal(bool h) { assignChanged(*this, m_horizontal, h); }
    const std::string& guiLayoutKnobName() const { return m_knobName; }
    void setGuiLayoutKnobName(std::string n) { assignChanged(*this, m_knobName, n); }

    // Geometry in viewer pixels, shared by hit handling and drawing.
    RectI decArrowRect() const;
    RectI incArrowRect() const;
    RectI trackRect() const;
    RectI knobRect() const;

    NotifyEvent onChange;
    void accept(NodeVisitor& visitor) override;

protected:
    void internalMouseDown(TMouseButton button, int x, int y) override;
    void internalMouseMove(int x, int y) override;
    void internalMouseUp(TMouseButton button, int x, int y) override;

private:
    int m_min = 0, m_max = 10, m_pos = 0, m_step = 1, m_pageSize = 1;
    bool m_horizontal = true;
    std::string m_knobName;
    bool m_dragging = false;
    float m_grabOffset = 0;
};

} // namespace cantorix::scene
