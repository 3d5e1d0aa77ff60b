#include "gui_renderer.h"

#include "text_layout.h"

#include <algorithm>
#include <cmath>

namespace cantorix::scene::render {

namespace {

// Room between an edit's border and its text.
constexpr int kEditPadding = 4;
// Title band of a form whose skin has no top edge: the caption's line plus this.
constexpr int kTitlePadding = 6;

float midX(const RectI& r) {
    return (static_cast<float>(r.left) + r.right) / 2.0f;
}
float midY(const RectI& r) {
    return (static_cast<float>(r.top) + r.bottom) / 2.0f;
}

const std::string& buttonSkinName(const TGLButton& button) {
    return button.pressed() && !button.guiLayoutNamePressed().empty()
               ? button.guiLayoutNamePressed()
               : button.guiLayoutName();
}

} // namespace

ScreenQuad buttonImageQuad(const TGLButton& button, int imageWidth, int imageHeight) {
    const RectI r = button.globalRect();
    if (imageWidth <= 0 || imageHeight <= 0 || button.logicWidth() <= 0 ||
        button.logicHeight() <= 0)
        return {toRectF(r), {0, 0, 1, 1}};
    const float left = static_cast<float>(r.left + button.xOffset());
    const float top = static_cast<float>(r.top + button.yOffset());
    const float w = static_cast<float>(button.logicWidth()),
                h = static_cast<float>(button.logicHeight());
    return {{left, top, left + w, top + h}, {0, 0, w / imageWidth, h / imageHeight}};
}

void GuiRenderer::drawSkinQuads(const TGLGuiLayout& layout, const std::vector<SkinQuad>& quads) {
    const TGLLibMaterial* material = layout.material().resolve();
    if (!material || quads.empty())
        return;
    const Image& image = material->texture().image();
    if (image.empty() || !m_painter.applyMaterial(material))
        return;
    const float w = static_cast<float>(image.width), h = static_cast<float>(image.height);
    std::vector<ScreenQuad> out;
    out.reserve(quads.size());
    for (const SkinQuad& q : quads)
        out.push_back(
            {q.screen,
             {q.source.left / w, q.source.top / h, q.source.right / w, q.source.bottom / h}});
    m_painter.drawScreenQuads(out);
}

void GuiRenderer::drawSkin(TGLBaseControl& control, const std::string& fallbackElement) {
    const TGLGuiLayout* layout = control.guiLayout();
    if (!layout)
        return;
    m_painter.useScreenSpace();
    if (!control.skinQuads().empty()) {
        drawSkinQuads(*layout, control.skinQuads());
        return;
    }
    if (const TGLGuiElement* element = layout->find(fallbackElement))
        drawSkinQuads(*layout, nineSlice(*element, toRectF(control.globalRect())));
}

void GuiRenderer::drawElement(const TGLBaseControl& control, const std::string& element,
                              RectI where) {
    const TGLGuiLayout* layout = control.guiLayout();
    const TGLGuiElement* found = layout ? layout->find(element) : nullptr;
    if (found && where.width() > 0 && where.height() > 0)
        drawSkinQuads(*layout, nineSlice(*found, toRectF(where)));
}

void GuiRenderer::drawCaption(const TGLBaseControl& control, TColor colour, float x, float y,
                              TAlignment alignment, TTextLayout layout) {
    TGLBitmapFont* font = control.bitmapFont();
    if (!font || control.caption().empty())
        return;
    m_painter.useScreenSpace();
    const ColorF f = toColorF(font->style().colour);
    const ColorF c = toColorF(colour);
    m_painter.drawText(*font, layoutText(*font, control.caption(), x, y, alignment, layout),
                       {f.r * c.r, f.g * c.g, f.b * c.b, 1.0f});
}

void GuiRenderer::draw(TGLBaseControl& control) {
    drawSkin(control);
}

void GuiRenderer::draw(TGLForm& form) {
    drawSkin(form);
    const RectI r = form.globalRect();
    const TGLGuiLayout* layout = form.guiLayout();
    const TGLGuiElement* skin = layout ? layout->find(form.guiLayoutName()) : nullptr;
    int band = skin ? skin->parts[spTop].height() : 0;
    int indent = skin ? skin->parts[spTopLeft].width() : 0;
    if (band <= 0 && form.bitmapFont())
        band = lineHeightOf(*form.bitmapFont()) + kTitlePadding;
    indent = std::max(indent, kTitlePadding);
    drawCaption(form, form.titleColor(), static_cast<float>(r.left + indent),
                static_cast<float>(r.top) + band / 2.0f, TAlignment::taLeftJustify,
                TTextLayout::tlCenter);
}

void GuiRenderer::draw(TGLLabel& label) {
    drawSkin(label);
    const RectI r = label.globalRect();
    float x = static_cast<float>(r.left);
    if (label.alignment() == TAlignment::taCenter)
        x = midX(r);
    else if (label.alignment() == TAlignment::taRightJustify)
        x = static_cast<float>(r.right);
    float y = static_cast<float>(r.top);
    if (label.textLayout() == TTextLayout::tlCenter)
        y = midY(r);
    else if (label.textLayout() == TTextLayout::tlBottom)
        y = static_cast<float>(r.bottom);
    drawCaption(label, label.defaultColor(), x, y, label.alignment(), label.textLayout());
}

void GuiRenderer::draw(TGLButton& button) {
    drawSkin(button, buttonSkinName(button));
    const RectI r = button.globalRect();
    if (const TGLLibMaterial* image = button.bitBtn().resolve()) {
        const Image& picture = image->texture().image();
        m_painter.useScreenSpace();
        m_painter.applyMaterial(image);
        m_painter.drawScreenQuads({buttonImageQuad(button, picture.width, picture.height)});
    }
    drawCaption(button, button.focused() ? button.focusedColor() : button.defaultColor(), midX(r),
                midY(r), TAlignment::taCenter, TTextLayout::tlCenter);
}

void GuiRenderer::draw(TGLEdit& edit) {
    drawSkin(edit);
    TGLBitmapFont* font = edit.bitmapFont();
    if (!font)
        return;
    const RectI r = edit.globalRect();
    const TColor colour = edit.focused() ? edit.focusedColor() : edit.defaultColor();
    const float textLeft = static_cast<float>(r.left + kEditPadding);
    m_painter.useScreenSpace();
    m_painter.setClip({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1});
    drawCaption(edit, colour, textLeft, midY(r), TAlignment::taLeftJustify, TTextLayout::tlCenter);
    if (edit.focused()) {
        const float caretX = textLeft + static_cast<float>(font->textWidth(edit.textBeforeCaret()));
        const float height = static_cast<float>(lineHeightOf(*font));
        const float top = std::floor(midY(r) - height / 2.0f + 0.5f);
        const ColorF f = toColorF(font->style().colour);
        const ColorF c = toColorF(colour);
        m_painter.applyColour({f.r * c.r, f.g * c.g, f.b * c.b, 1.0f});
        m_painter.drawScreenQuads({{{caretX, top, caretX + 1, top + height}}});
    }
    m_painter.clearClip();
}

void GuiRenderer::drawArrow(RectI box, bool horizontal, bool towardsEnd, ColorF colour) {
    const float cx = midX(box), cy = midY(box);
    const float s = static_cast<float>(std::min(box.width(), box.height())) / 4.0f;
    if (s < 1.0f)
        return;
    const float d = towardsEnd ? s : -s;
    std::vector<float> corners;
    if (horizontal)
        corners = {cx + d, cy, cx - d, cy - s, cx - d, cy + s};
    else
        corners = {cx, cy + d, cx - s, cy - d, cx + s, cy - d};
    m_painter.applyColour(colour);
    m_painter.drawScreenTriangles(corners);
}

void GuiRenderer::draw(TGLScrollbar& bar) {
    drawSkin(bar);
    static const std::string kArrowSkin = "button_up";
    const bool horizontal = bar.horizontal();
    const ColorF arrowColour = toColorF(bar.defaultColor());
    m_painter.useScreenSpace();
    drawElement(bar, kArrowSkin, bar.decArrowRect());
    drawArrow(bar.decArrowRect(), horizontal, false, arrowColour);
    drawElement(bar, kArrowSkin, bar.incArrowRect());
    drawArrow(bar.incArrowRect(), horizontal, true, arrowColour);
    const TGLGuiLayout* layout = bar.guiLayout();
    // The skin quads hold the knob only when its own skin element is defined.
    const bool ownKnob = layout && layout->find(bar.guiLayoutKnobName());
    if (!ownKnob || bar.skinQuads().empty())
        drawElement(bar, ownKnob ? bar.guiLayoutKnobName() : kArrowSkin, bar.knobRect());
}

} // namespace cantorix::scene::render
