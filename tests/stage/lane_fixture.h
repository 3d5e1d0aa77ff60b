#pragma once
// The scene groups, font and materials the note lane view draws into, and a song read from text,
// for the lane and clock tests. Glyphs are 9 pixels wide, so a syllable of n letters is 9n wide.

#include "fakes/fake_glyph_rasterizer.h"
#include "stage/note_lane_view.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace cantorix::stage::testing {

class NoImages : public scene::ImageLoader {
public:
    scene::Image load(const std::filesystem::path&) override { return {}; }
};

class LaneFixture : public ::testing::Test {
protected:
    // Header of five tag lines; each body line is given without its line end.
    void loadSong(const std::string& gap, const std::string& bpm,
                  const std::vector<std::string>& body) {
        std::string text = "#TITLE:T\r\n#ARTIST:A\r\n#MP3:a.mp3\r\n#BPM:" + bpm + "\r\n#GAP:" + gap;
        for (const std::string& line : body)
            text += "\r\n" + line;
        song.load(text, "/songs/x", "x.txt");
    }

    scene::TGLHUDText& syllable(int line, int index) {
        return dynamic_cast<scene::TGLHUDText&>(singText.child(line).child(index));
    }
    scene::TGLHUDSprite& sprite(scene::TGLBaseSceneObject& group, int index) {
        return dynamic_cast<scene::TGLHUDSprite&>(group.child(index));
    }
    std::string lineText(int line) {
        std::string joined;
        for (int i = 0; i < singText.child(line).count(); ++i)
            joined += (i ? " " : "") + syllable(line, i).text();
        return joined;
    }

    scene::testing::FakeGlyphRasterizer glyphs;
    scene::TGLBitmapFont font{"SingingText", {"Arial", 27, true, scene::clWhite}, glyphs};
    NoImages images;
    scene::TGLMaterialLibrary materials{"GLMaterialLibrary1", images, "/"};
    scene::TGLDummyCube singText{"SingText"}, tabulature{"Tabulature"}, singTab{"SingTab"};
    scene::TGLHUDSprite hudSprite11{"GLHUDSprite11"};
    songs::SongFile song;
    NoteLaneView lane{LaneScene{singText, tabulature, singTab, hudSprite11, materials, font, 766},
                      song};
};

// Four lines: a b c | d e | f | g, the end-of-lyrics mark on the break before g. Beats are
// those of the notes; each break lies in the gap before the next line. `OctaveBand` is 2.
inline std::vector<std::string> fourLineSong() {
    return {": 0 2 20 la",  ": 2 2 21 lala", ": 4 4 22 x", "- 9",
            ": 10 2 23 do", ": 12 2 24 re",  "- 15",       ": 16 2 25 mi",
            "- 19",         ": 20 2 26 fa",  "E"};
}

} // namespace cantorix::stage::testing
