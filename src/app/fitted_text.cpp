#include "fitted_text.h"

#include "songs/text_encoding.h"

namespace cantorix::app {

namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";

std::string toUtf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text)
        songs::appendUtf8(out, c);
    return out;
}

} // namespace

std::string fitToWidth(scene::TGLBitmapFont& font, const std::string& line, int width,
                       TextCut cut) {
    if (font.textWidth(line) <= width)
        return line;
    const std::u32string text = scene::utf8CodePoints(line);
    // Fewer characters kept is never wider, so the most that fits is found by halving.
    std::size_t fits = 0, tooMany = text.size();
    std::string best = kEllipsis;
    while (tooMany - fits > 1) {
        const std::size_t keep = (fits + tooMany) / 2;
        const std::string candidate =
            cut == TextCut::End ? toUtf8(text.substr(0, keep)) + kEllipsis
                                : toUtf8(text.substr(0, keep / 2)) + kEllipsis +
                                      toUtf8(text.substr(text.size() - (keep - keep / 2)));
        if (font.textWidth(candidate) <= width) {
            fits = keep;
            best = candidate;
        } else {
            tooMany = keep;
        }
    }
    return best;
}

} // namespace cantorix::app
