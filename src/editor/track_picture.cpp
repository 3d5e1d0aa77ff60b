#include "editor/track_picture.h"

#include <charconv>

namespace cantorix::editor {

namespace {

int pitchOf(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void mark(scene::Image& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
        return;
    std::uint8_t* p = image.pixel(x, y);
    p[0] = 255;
    p[1] = 0;
    p[2] = 0;
    p[3] = 255;
}

} // namespace

scene::Image drawTrackPicture(const TrackTables& tables) {
    scene::Image image(kPictureWidth, kPictureHeight);
    for (int i = 0; i < kPictureWidth * kPictureHeight; ++i) {
        std::uint8_t* p = &image.rgba[static_cast<std::size_t>(i) * 4];
        p[0] = p[1] = p[2] = 255;
    }
    if (tables.lastEventUnit == 0)
        return image;
    for (std::int32_t n = 0; n < tables.noteCount; ++n) {
        const NoteRow& row = tables.notes[static_cast<std::size_t>(n)];
        const std::int64_t unit = std::int64_t{row.start} + tables.firstNoteUnit;
        const int x = static_cast<int>(unit * kPictureSpan / tables.lastEventUnit);
        const int y = 8 - pitchOf(row.pitch) / 4;
        // The rectangle from (x, y) to (x + 2, y − 2) covers columns x, x + 1 and rows y − 2, y
        // − 1.
        for (int dx = 0; dx < 2; ++dx)
            for (int dy = 1; dy <= 2; ++dy)
                mark(image, x + dx, y - dy);
    }
    return image;
}

} // namespace cantorix::editor
