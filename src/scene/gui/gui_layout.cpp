#include "gui_layout.h"

#include <utility>

namespace cantorix::scene {

namespace {

void addQuad(std::vector<SkinQuad>& quads, const RectI& source, float left, float top, float right,
             float bottom) {
    if (source.width() <= 0 || source.height() <= 0 || right <= left || bottom <= top)
        return;
    quads.push_back(SkinQuad{RectF{left, top, right, bottom}, source});
}

} // namespace

std::vector<SkinQuad> nineSlice(const TGLGuiElement& element, RectF control) {
    const auto& p = element.parts;
    const auto w = [&](SkinPart part) { return static_cast<float>(p[part].width()); };
    const auto h = [&](SkinPart part) { return static_cast<float>(p[part].height()); };
    const float l = control.left, t = control.top, r = control.right, b = control.bottom;

    std::vector<SkinQuad> quads;
    quads.reserve(9);
    addQuad(quads, p[spCenter], l + w(spLeft), t + h(spTop), r - w(spRight), b - h(spBottom));

    addQuad(quads, p[spTop], l + w(spTopLeft), t, r - w(spTopRight), t + h(spTop));
    addQuad(quads, p[spLeft], l, t + h(spTopLeft), l + w(spLeft), b - h(spBottomLeft));
    addQuad(quads, p[spRight], r - w(spRight), t + h(spTopRight), r, b - h(spBottomRight));
    addQuad(quads, p[spBottom], l + w(spBottomLeft), b - h(spBottom), r - w(spBottomRight), b);

    addQuad(quads, p[spTopLeft], l, t, l + w(spTopLeft), t + h(spTopLeft));
    addQuad(quads, p[spTopRight], r - w(spTopRight), t, r, t + h(spTopRight));
    addQuad(quads, p[spBottomLeft], l, b - h(spBottomLeft), l + w(spBottomLeft), b);
    addQuad(quads, p[spBottomRight], r - w(spBottomRight), b - h(spBottomRight), r, b);
    return quads;
}

TGLGuiLayout::TGLGuiLayout(std::string name, MaterialRef skinImage)
    : m_name(std::move(name)), m_material(std::move(skinImage)) {}

void TGLGuiLayout::add(std::string elementName, const TGLGuiElement& element) {
    m_elements.insert_or_assign(std::move(elementName), element);
}

const TGLGuiElement* TGLGuiLayout::find(std::string_view elementName) const {
    const auto it = m_elements.find(elementName);
    return it == m_elements.end() ? nullptr : &it->second;
}

void addDefaultSkinElements(TGLGuiLayout& layout) {
    // (left, top, right, bottom) in skin-image pixels; rows of three parts in SkinPart order.
    struct Entry {
        const char* name;
        TGLGuiElement element;
    };
    // clang-format off
    static const Entry kEntries[] = {
        {"form", {{{
            {0, 0, 17, 30}, {17, 0, 112, 30}, {112, 0, 128, 30},
            {0, 31, 8, 109}, {11, 65, 40, 94}, {120, 30, 128, 111},
            {0, 113, 15, 128}, {15, 120, 113, 128}, {113, 113, 128, 128}
        }}}},
        {"panel", {{{
            {8, 62, 13, 67}, {11, 62, 40, 66}, {38, 62, 43, 67},
            {8, 65, 12, 94}, {11, 65, 40, 94}, {39, 65, 43, 94},
            {8, 92, 13, 97}, {11, 93, 40, 97}, {38, 92, 43, 97}
        }}}},
        {"button_up", {{{
            {41, 31, 44, 36}, {44, 31, 54, 36}, {54, 31, 57, 36},
            {41, 36, 44, 45}, {44, 36, 54, 44}, {54, 36, 57, 44},
            {41, 44, 44, 49}, {44, 44, 54, 49}, {54, 44, 57, 49}
        }}}},
        {"button_down", {{{
            {58, 31, 61, 36}, {61, 31, 71, 36}, {71, 31, 74, 36},
            {58, 36, 61, 45}, {61, 36, 71, 45}, {71, 36, 74, 45},
            {58, 45, 61, 49}, {61, 45, 71, 49}, {71, 45, 74, 49}
        }}}},
        {"checkbox_checked", {{{
            {75, 31, 77, 33}, {77, 31, 87, 33}, {87, 31, 89, 33},
            {75, 33, 77, 43}, {77, 33, 87, 43}, {87, 33, 89, 43},
            {75, 43, 77, 45}, {77, 43, 87, 45}, {87, 43, 89, 45}
        }}}},
        {"checkbox_unchecked", {{{
            {75, 47, 77, 49}, {77, 47, 87, 49}, {87, 47, 89, 49},
            {75, 49, 77, 59}, {77, 49, 87, 59}, {87, 49, 89, 59},
            {75, 59, 77, 61}, {77, 59, 87, 61}, {87, 59, 89, 61}
        }}}},
        {"edit", {{{
            {90, 47, 92, 49}, {92, 47, 102, 49}, {102, 47, 104, 49},
            {90, 49, 92, 59}, {92, 49, 102, 59}, {102, 49, 104, 59},
            {90, 59, 92, 61}, {92, 59, 102, 61}, {102, 59, 104, 61}
        }}}},
    };
    // clang-format on
    for (const Entry& entry : kEntries)
        layout.add(entry.name, entry.element);
}

} // namespace cantorix::scene
