#pragma once
// Draws the in-scene GUI controls: skin quads with their layout's skin picture, image-button
// pictures, captions, the edit caret and the scrollbar's arrows and knob. Used by the scene
// renderer in tree order; needs the viewer's GL context current. Main thread only.

#include "gl_painter.h"
#include "scene/gui/gui_control.h"

namespace cantorix::scene::render {

class GuiRenderer {
public:
    explicit GuiRenderer(GlPainter& painter) : m_painter(painter) {}

    void draw(TGLBaseControl& control);
    void draw(TGLForm& form);
    void draw(TGLPanel& panel) { drawSkin(panel); }
    void draw(TGLLabel& label);
    void draw(TGLButton& button);
    void draw(TGLEdit& edit);
    void draw(TGLScrollbar& scrollbar);

private:
    // The control's skin quads, or the nine-slice of `fallbackElement` over its rectangle when
    // skin geometry has not been built yet.
    void drawSkin(TGLBaseControl& control, const std::string& fallbackElement);
    void drawSkin(TGLBaseControl& control) { drawSkin(control, control.guiLayoutName()); }
    void drawSkinQuads(const TGLGuiLayout& layout, const std::vector<SkinQuad>& quads);
    void drawElement(const TGLBaseControl& control, const std::string& element, RectI where);
    void drawCaption(const TGLBaseControl& control, TColor colour, float x, float y,
                     TAlignment alignment, TTextLayout layout);
    void drawArrow(RectI box, bool horizontal, bool towardsEnd, ColorF colour);

    GlPainter& m_painter;
};

// Where a button's picture goes: the LogicWidth × LogicHeight pixels from the picture's top-left
// corner, drawn one to one at the button's corner shifted by XOffset and YOffset. Without a
// logic size the whole picture is stretched over the button.
ScreenQuad buttonImageQuad(const TGLButton& button, int imageWidth, int imageHeight);

} // namespace cantorix::scene::render
