#pragma once
// Skins of the in-scene controls: named nine-slice elements over one skin image. Corners are
// drawn at their size, edges and centre stretched to the control. Main thread only.

#include "../material.h"

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::scene {

struct RectI {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const RectI&, const RectI&) = default;
};

struct RectF {
    float left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const RectF&, const RectF&) = default;
};

inline RectF toRectF(const RectI& r) {
    return RectF{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                 static_cast<float>(r.bottom)};
}

enum SkinPart {
    spTopLeft,
    spTop,
    spTopRight,
    spLeft,
    spCenter,
    spRight,
    spBottomLeft,
    spBottom,
    spBottomRight
};

struct TGLGuiElement {
    std::array<RectI, 9> parts{}; // in skin-image pixels, indexed by SkinPart
};

// One textured quad of a skinned control: where it goes on screen and which skin pixels it shows.
struct SkinQuad {
    RectF screen;
    RectI source;
    friend bool operator==(const SkinQuad&, const SkinQuad&) = default;
};

// Lays the nine parts over the control's rectangle. Each corner is drawn at its own size in its
// corner. Each edge keeps its own thickness and is stretched between the two corners it joins
// (the top edge from the top-left corner's width to the top-right corner's, the left edge from
// the top-left corner's height to the bottom-left corner's, and so on). The centre fills what
// the four edges' thicknesses leave. The skins' corners may be larger than the edges beside
// them, so the quads come in drawing order, centre, edges, corners: corners cover the overlap.
// Parts of zero size are left out; when the control is smaller than its corners, the corners
// keep their size and the middles vanish.
std::vector<SkinQuad> nineSlice(const TGLGuiElement& element, RectF control);

class TGLGuiLayout {
public:
    TGLGuiLayout(std::string name, MaterialRef skinImage);
    const std::string& name() const { return m_name; }
    const MaterialRef& material() const { return m_material; }
    void add(std::string elementName, const TGLGuiElement& element);
    const TGLGuiElement* find(std::string_view elementName) const;

private:
    std::string m_name;
    MaterialRef m_material;
    std::map<std::string, TGLGuiElement, std::less<>> m_elements;
};

// The rectangles of the game's skin "GLGuiLayout2" (form, panel, buttons, check boxes, edit).
void addDefaultSkinElements(TGLGuiLayout& layout);

} // namespace cantorix::scene
