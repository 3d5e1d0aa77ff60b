#include "singer_scores.h"

#include <algorithm>

namespace cantorix::stage {

using scene::TGLBaseSceneObject;
using scene::TGLHUDText;

namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";
constexpr int kGap = 6; // between a name and its points
constexpr float kColumnWidth = kScoreColumnRight - kScoreColumnLeft;
constexpr float kStaffHeight = kStaffLineSpacing * static_cast<float>(kStaffLines);

TGLHUDText* textAt(TGLBaseSceneObject& column, int index) {
    return index < column.count() ? dynamic_cast<TGLHUDText*>(&column.child(index)) : nullptr;
}

scene::TGLHUDSprite* pictureAt(TGLBaseSceneObject& column, int row) {
    const int index = 2 * kScoreRowsPerBand + row;
    return index < column.count() ? dynamic_cast<scene::TGLHUDSprite*>(&column.child(index))
                                  : nullptr;
}

void place(TGLHUDText& text, float x, float y, scene::TAlignment alignment, scene::TColor colour) {
    text.setPosition({x, y, 0});
    text.setAlignment(alignment);
    text.setLayout(scene::TTextLayout::tlCenter);
    text.setModulateColor(scene::toColorF(colour));
    text.setVisible(true);
}

// Drops the last UTF-8 character of a text.
void dropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
        text.pop_back();
    if (!text.empty())
        text.pop_back();
}

} // namespace

const std::string& SingerScoreLine::shownNotice() const {
    static const std::string microphoneLost = kMicrophoneLost;
    return lost ? microphoneLost : notice;
}

SingerScores::SingerScores(std::array<TGLBaseSceneObject*, kMaxBands> columns)
    : m_columns(columns) {}

std::string SingerScores::fitted(const std::string& name, scene::TGLBitmapFont& font, int width) {
    if (font.textWidth(name) <= width)
        return name;
    std::string cut = name;
    while (!cut.empty() && font.textWidth(cut + kEllipsis) > width)
        dropLastCharacter(cut);
    return cut.empty() ? std::string() : cut + kEllipsis;
}

void SingerScores::show(int band, const std::vector<SingerScoreLine>& lines) {
    if (band < 0 || band >= kMaxBands || !m_columns[static_cast<std::size_t>(band)])
        return;
    TGLBaseSceneObject& column = *m_columns[static_cast<std::size_t>(band)];
    const std::size_t shown = std::min<std::size_t>(lines.size(), kScoreRowsPerBand);
    int rows = 0;
    for (std::size_t i = 0; i < shown; ++i)
        rows += lines[i].shownNotice().empty() ? 1 : 2;
    // Singers with a notice take two rows each: the rows close up to stay beside the staff.
    const float pitch = rows > 0
                            ? std::min(kScoreRowHeight, kStaffHeight / static_cast<float>(rows))
                            : kScoreRowHeight;
    const scene::Vec3 corner = column.position();
    const float right = corner.x + kColumnWidth;
    float y = corner.y + pitch / 2;
    for (std::size_t i = 0; i < shown; ++i) {
        const SingerScoreLine& line = lines[i];
        TGLHUDText* name = textAt(column, 2 * static_cast<int>(i));
        TGLHUDText* points = textAt(column, 2 * static_cast<int>(i) + 1);
        if (!name || !points)
            break;
        const std::string& notice = line.shownNotice();
        const std::string pointsText = notice.empty() ? std::to_string(line.points) : notice;
        points->setText(pointsText);
        // The picture stands square before the name, as tall as a row leaves room for.
        float nameLeft = corner.x;
        if (scene::TGLHUDSprite* picture = pictureAt(column, static_cast<int>(i))) {
            const float side = std::min(kScoreRowHeight, pitch) - 2;
            const bool shownPicture = line.picture.library != nullptr && side >= 8;
            picture->setVisible(shownPicture);
            if (shownPicture) {
                picture->setMaterial(line.picture);
                picture->setWidth(side);
                picture->setHeight(side);
                picture->setPosition({corner.x + side / 2, y, 0});
                nameLeft += side + kGap / 2;
            }
        }
        int room = static_cast<int>(corner.x + kColumnWidth - nameLeft);
        if (notice.empty() && points->font())
            room -= points->font()->textWidth(pointsText) + kGap;
        const std::string& shownName = line.rating.empty() ? line.name : line.rating;
        name->setText(name->font() ? fitted(shownName, *name->font(), room) : shownName);
        place(*name, nameLeft, y, scene::TAlignment::taLeftJustify, line.colour);
        if (!notice.empty())
            y += pitch;
        place(*points, right, y, scene::TAlignment::taRightJustify, line.colour);
        y += pitch;
    }
    hideFrom(column, static_cast<int>(shown));
}

void SingerScores::hideFrom(TGLBaseSceneObject& column, int row) {
    for (int r = row; r < kScoreRowsPerBand; ++r) {
        for (const int index : {2 * r, 2 * r + 1})
            if (index < column.count())
                column.child(index).setVisible(false);
        if (scene::TGLHUDSprite* picture = pictureAt(column, r))
            picture->setVisible(false);
    }
}

void SingerScores::showNotScored() {
    clear();
    TGLBaseSceneObject* column = m_columns[0];
    TGLHUDText* text = column ? textAt(*column, 0) : nullptr;
    if (!text)
        return;
    // Wider than the column: it stands right-aligned at the column's edge, over the staff's end.
    text->setText(kNotScored);
    const scene::Vec3 corner = column->position();
    place(*text, corner.x + kColumnWidth, corner.y + kScoreRowHeight / 2,
          scene::TAlignment::taRightJustify, scene::clWhite);
}

void SingerScores::clear() {
    for (TGLBaseSceneObject* column : m_columns)
        if (column)
            hideFrom(*column, 0);
}

} // namespace cantorix::stage
