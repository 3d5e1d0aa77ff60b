// The parts of the designed scene that a singing session draws into: the note lane with its
// staff, the lyric lines, the voice trails, the lead-in bar and the running scores, once per band
// (a duet's second voice has a band of its own), the oscilloscope and the labels of the score
// page.

#include "game_scene.h"
#include "singing_bands.h"

#include <algorithm>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kOscilloscopeBars = 62;
constexpr int kViewerWidth = 766;

TGLHUDSprite& addSprite(TGLBaseSceneObject& parent, const char* name, float x, float y, float width,
                        float height, const MaterialRef& material) {
    auto& s = parent.addNewChild<TGLHUDSprite>(name);
    s.setPosition({x, y, 0});
    s.setWidth(width);
    s.setHeight(height);
    s.setMaterial(material);
    return s;
}

struct BandNames {
    const char *staff, *noteBars, *voiceTrail, *lyrics, *leadIn, *singerScores;
};

TGLHUDText& addText(TGLBaseSceneObject& parent, TGLBitmapFont& font, TAlignment alignment) {
    auto& text = parent.addNewChild<TGLHUDText>();
    text.setFont(&font);
    text.setAlignment(alignment);
    text.setLayout(TTextLayout::tlCenter);
    text.setVisible(false);
    return text;
}

// The nodes of one band, in drawing order: the standard songs' strip, staff, bars, their fills,
// trail, markers, lyrics, lead-in bar and countdown, scores, caption.
void addBand(TGLBaseSceneObject& parent, SingingBand& band, const char* const* staffNames,
             const BandNames& names, TGLMaterialLibrary& lane, SceneFonts& fonts) {
    TGLBitmapFont& scoreFont = fonts.menuPlain;
    band.strip = &addSprite(parent, "", 0, 0, 0, 0, {});
    band.strip->setVisible(false);
    band.staff = &parent.addNewChild<TGLDummyCube>(names.staff);
    for (int line = 0; line < stage::kStaffLines; ++line)
        addSprite(*band.staff, staffNames ? staffNames[line] : "", 400,
                  stage::kStaffTop + stage::kStaffLineSpacing * static_cast<float>(line), 800, 3,
                  {&lane, "Strip"});
    band.noteBars = &parent.addNewChild<TGLDummyCube>(names.noteBars);
    band.noteFills = &parent.addNewChild<TGLDummyCube>();
    band.voiceTrail = &parent.addNewChild<TGLDummyCube>(names.voiceTrail);
    band.voiceMarkers = &parent.addNewChild<TGLDummyCube>();
    band.lyrics = &parent.addNewChild<TGLDummyCube>(names.lyrics);
    band.leadIn = &parent.addNewChild<TGLDummyCube>(names.leadIn);
    band.leadInBar =
        &addSprite(*band.leadIn, "Progress", 0, stage::BandPlace{}.lyricsY, 0, 20, {&lane, "Prog"});
    band.countdown = &addText(parent, fonts.lyrics, TAlignment::taRightJustify);
    band.singerScores = &parent.addNewChild<TGLDummyCube>(names.singerScores);
    band.singerScores->setPosition({stage::kScoreColumnLeft, stage::kStaffTop, 0});
    for (int row = 0; row < stage::kScoreRowsPerBand; ++row)
        for (const TAlignment alignment : {TAlignment::taLeftJustify, TAlignment::taRightJustify})
            addText(*band.singerScores, scoreFont, alignment);
    for (int row = 0; row < stage::kScoreRowsPerBand; ++row)
        addSprite(*band.singerScores, "", 0, 0, 0, 0, {}).setVisible(false);
    band.caption = &addText(parent, scoreFont, TAlignment::taLeftJustify);
}

} // namespace

void GameScene::buildLane() {
    // Drawn in this order: staff, bars, trail, lyrics, then the lead-in bar and oscilloscope.
    static const char* const designedStaff[] = {"GLHUDSprite1",  "GLHUDSprite2",  "GLHUDSprite3",
                                                "GLHUDSprite4",  "GLHUDSprite5",  "GLHUDSprite6",
                                                "GLHUDSprite7",  "GLHUDSprite8",  "GLHUDSprite9",
                                                "GLHUDSprite10", "GLHUDSprite12", "GLHUDSprite13"};
    addBand(*singing.group, singing.bands[0], designedStaff,
            {"Stages", "Tabulature", "SingTab", "SingText", "LeadIn", "SingerScores"},
            materials.lane, fonts);
    SingingBand& first = singing.bands[0];
    singing.staff = first.staff;
    singing.noteBars = first.noteBars;
    singing.voiceTrail = first.voiceTrail;
    singing.lyrics = first.lyrics;
    singing.leadIn = first.leadIn;
    singing.leadInBar = first.leadInBar;
    // The second voice's band, shown by layOutBands only when two voices are sung.
    auto& secondBand = singing.group->addNewChild<TGLDummyCube>("SecondBand");
    secondBand.setVisible(false);
    addBand(secondBand, singing.bands[1], nullptr,
            {"Stages2", "Tabulature2", "SingTab2", "SingText2", "LeadIn2", "SingerScores2"},
            materials.lane, fonts);

    singing.oscilloscope = &singing.group->addNewChild<TGLDummyCube>("Oscillo");
    singing.oscilloscopeBars = &singing.oscilloscope->addNewChild<TGLDummyCube>("Sprites");
    // Outside the singing screen: only its width is ever touched.
    singing.lineWidthSprite = &addSprite(*background.group, "GLHUDSprite11", 0, 0, 16, 16, {});
    singing.lineWidthSprite->setVisible(false);
}

void layOutBands(GameScene& game, int bandCount) {
    const int bands = std::clamp(bandCount, 1, stage::kMaxBands);
    for (int b = 0; b < stage::kMaxBands; ++b) {
        const SingingBand& band = game.singing.bands[b];
        const stage::BandPlace place = stage::bandPlace(b, bands);
        for (int line = 0; line < band.staff->count(); ++line) {
            TGLBaseSceneObject& strip = band.staff->child(line);
            Vec3 p = strip.position();
            p.y = stage::kStaffTop + place.staffShift +
                  stage::kStaffLineSpacing * static_cast<float>(line);
            strip.setPosition(p);
        }
        Vec3 leadIn = band.leadInBar->position();
        leadIn.y = place.lyricsY;
        band.leadInBar->setPosition(leadIn);
        band.singerScores->setPosition(
            {stage::kScoreColumnLeft, stage::kStaffTop + place.staffShift, 0});
    }
    game.singing.bands[1].staff->parent()->setVisible(bands == 2);
}

stage::LaneScene bandLaneScene(GameScene& game, int band, int bandCount) {
    const SingingBand& nodes = game.singing.bands[std::clamp(band, 0, stage::kMaxBands - 1)];
    stage::LaneScene lane{
        *nodes.lyrics,       *nodes.noteBars,   *nodes.voiceTrail, *game.singing.lineWidthSprite,
        game.materials.lane, game.fonts.lyrics, kViewerWidth};
    lane.place = stage::bandPlace(band, std::clamp(bandCount, 1, stage::kMaxBands));
    lane.strip = nodes.strip;
    lane.fills = nodes.noteFills;
    lane.markers = nodes.voiceMarkers;
    lane.caption = nodes.caption;
    lane.countdown = nodes.countdown;
    lane.markerFont = &game.fonts.menuPlain;
    return lane;
}

stage::SingerScores bandSingerScores(GameScene& game) {
    return stage::SingerScores(
        {game.singing.bands[0].singerScores, game.singing.bands[1].singerScores});
}

std::vector<BackgroundSlice> backgroundSlices(float height,
                                              std::vector<std::pair<float, float>> strips) {
    std::sort(strips.begin(), strips.end());
    std::vector<BackgroundSlice> slices;
    float done = 0;
    for (auto [top, bottom] : strips) {
        top = std::clamp(top, done, height);
        bottom = std::clamp(bottom, top, height);
        if (bottom <= top)
            continue;
        if (top > done)
            slices.push_back({done, top, false});
        if (!slices.empty() && slices.back().darkened && slices.back().bottom >= top)
            slices.back().bottom = bottom;
        else
            slices.push_back({top, bottom, true});
        done = bottom;
    }
    if (done < height)
        slices.push_back({done, height, false});
    return slices;
}

void cutStripsFromBackground(GameScene& game, int bandCount) {
    TGLDummyCube& background = *game.singing.songBackground;
    auto& whole = dynamic_cast<TGLHUDSprite&>(background.child(0));
    const float height = whole.height(), top = whole.position().y - height / 2;
    // In the picture's pixels from its top.
    std::vector<std::pair<float, float>> strips;
    float shade = 1;
    for (int b = 0; b < std::clamp(bandCount, 1, stage::kMaxBands); ++b) {
        const TGLHUDSprite& strip = *game.singing.bands[b].strip;
        const TGLLibMaterial* material = strip.material().resolve();
        if (!strip.visible() || !material)
            continue;
        const float centre = strip.position().y - top, half = strip.height() / 2;
        strips.emplace_back(centre - half, centre + half);
        // A strip of alpha a leaves 1 − a of the picture (its own near-black colour is left out).
        shade = 1 - material->diffuse().a;
    }
    const std::vector<BackgroundSlice> slices = background.visible() && !strips.empty()
                                                    ? backgroundSlices(height, std::move(strips))
                                                    : std::vector<BackgroundSlice>{};
    whole.setVisible(slices.empty());
    for (int i = 1; i < background.count(); ++i) {
        auto& sprite = dynamic_cast<TGLHUDSprite&>(background.child(i));
        const auto index = static_cast<std::size_t>(i - 1);
        sprite.setVisible(index < slices.size());
        if (index >= slices.size())
            continue;
        const BackgroundSlice& slice = slices[index];
        sprite.setPosition({whole.position().x, top + (slice.top + slice.bottom) / 2, 0});
        sprite.setHeight(slice.bottom - slice.top);
        sprite.setPicturePart({0, slice.top / height, 1, slice.bottom / height});
        sprite.setModulateColor(slice.darkened ? ColorF{shade, shade, shade, 1} : ColorF{});
    }
    if (slices.empty())
        return;
    for (const SingingBand& band : game.singing.bands)
        band.strip->setVisible(false);
}

void GameScene::addOscilloscopeBars() {
    if (singing.oscilloscopeBars->count() > 0)
        return;
    for (int i = 0; i < kOscilloscopeBars; ++i)
        addSprite(*singing.oscilloscopeBars, "", 95 + 3.7f * static_cast<float>(i), 165, 3.7f, 2,
                  {&materials.lane, "Osci"});
}

void GameScene::buildScoreLabels() {
    struct Row {
        TGLLabel** value;
        const char* caption;
        const char* name;
        int top;
    };
    for (const Row& r : {Row{&scorePage.notesValue, "Notes", "Score1", 230},
                         Row{&scorePage.bonusValue, "Line Bonus", "score2", 280},
                         Row{&scorePage.totalValue, "Total Score", "Total", 330}}) {
        for (auto [left, name, caption] :
             {std::tuple{120, "", r.caption}, std::tuple{300, r.name, "0"}}) {
            auto& label = scorePage.guiRoot->addNewChild<TGLLabel>(name);
            label.setBounds(left, r.top, 170, 30);
            label.setBitmapFont(&fonts.score);
            label.setDefaultColor(clWhite);
            label.setCaption(caption);
            if (*name != '\0')
                *r.value = &label;
        }
    }
    // The share is of the note points, so it stands on their row, not beside the total, which
    // includes the bonus.
    scorePage.shareValue = &scorePage.guiRoot->addNewChild<TGLLabel>("Share");
    scorePage.shareValue->setBounds(400, 230, 90, 30);
    scorePage.shareValue->setBitmapFont(&fonts.score);
    scorePage.shareValue->setDefaultColor(clWhite);
    scorePage.scoreGauge = &scorePage.guiRoot->addNewChild<TGLPanel>("Gauge1");
    scorePage.scoreGauge->setBounds(490, 460, 80, 0);
    scorePage.scoreGauge->setGuiLayout(&guiLayout);
    scorePage.scoreGauge->setGuiLayoutName("panel");
    auto& nameLabel = scorePage.guiRoot->addNewChild<TGLLabel>("GLLabel15");
    nameLabel.setBounds(120, 375, 240, 30);
    nameLabel.setBitmapFont(&fonts.score);
    nameLabel.setDefaultColor(clWhite);
    nameLabel.setCaption("Player Name");
    scorePage.playerName = &scorePage.guiRoot->addNewChild<TGLEdit>("GLEdit2");
    scorePage.playerName->setBounds(120, 415, 240, 30);
    scorePage.playerName->setBitmapFont(&fonts.menuPlain);
    scorePage.playerName->setDefaultColor(clWhite);
    scorePage.playerName->setGuiLayout(&guiLayout);
    scorePage.playerName->setGuiLayoutName("button_down");
    scorePage.playerName->setCaption("Player");

    materials.lane.addMaterial("Colorific").setDiffuse(toColorF(clWhite));
    hallOfFamePage.rowColour = &addSprite(*hallOfFamePage.group, "Colorific", 0, 0, 16, 16,
                                          {&materials.lane, "Colorific"});
    hallOfFamePage.rowColour->setVisible(false);
}

} // namespace cantorix::app
