#pragma once
// Where the scene's designed canvas goes in a window of any size: scaled uniformly to the
// largest size that fits, centred, with margins around it; and the mapping of window points
// (mouse positions) back to design points. Pure arithmetic; any thread.

#include "scene/colour.h"
#include "scene/image.h"

namespace cantorix::scene::render {

struct PointF {
    double x = 0, y = 0;
};

struct Letterbox {
    // The canvas rectangle in the window's device pixels (integral, so drawing stays sharp).
    int left = 0, top = 0, width = 0, height = 0;
    // The whole window in device pixels.
    int deviceWidth = 0, deviceHeight = 0;
    // Device pixels per design pixel.
    double scale = 1;
    // Device pixels per window (logical) pixel.
    double devicePixelRatio = 1;

    // A window point (logical pixels, as mouse events report them) in design pixels. Points in
    // the margins map outside the design canvas, so no control there accepts them.
    PointF toDesign(PointF window) const;
    // A design point in window (logical) pixels.
    PointF toWindow(PointF design) const;
};

// The canvas of designWidth × designHeight in a window of windowWidth × windowHeight logical
// pixels shown at devicePixelRatio device pixels each. A degenerate size gives scale 0 and an
// empty canvas.
Letterbox fitLetterbox(int designWidth, int designHeight, int windowWidth, int windowHeight,
                       double devicePixelRatio);

// The mean colour of a picture's outermost rows and columns: margins in it continue the
// background the canvas is drawn on. Opaque black for an empty picture.
ColorF edgeColour(const Image& picture);

} // namespace cantorix::scene::render
