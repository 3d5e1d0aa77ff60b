#pragma once
// The main window's scene as designed: material libraries, bitmap fonts, the skin, the camera
// and every screen with its group node, GUI root and controls, one struct per screen. Owns all
// of it for the program's life; the named pointers let screens and handlers reach their objects.
// The node names given to the scene stay as designed: Score.ini keys derive from them. Main
// thread only.

#include "editor/editor_controls.h"
#include "queue_nodes.h"
#include "scene/bitmap_font.h"
#include "scene/gui/gui_control.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"
#include "singers_nodes.h"
#include "statistics_nodes.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <vector>

namespace cantorix::app {

struct SceneMaterials {
    SceneMaterials(scene::ImageLoader& loader, const std::filesystem::path& programDir);
    std::vector<scene::TGLMaterialLibrary*> all();

    // The song cover, the staff strip, the note bars ("Knob1" … "Knob3"), the oscilloscope
    // and progress pictures.
    scene::TGLMaterialLibrary lane;
    scene::TGLMaterialLibrary buttons; // the pictures of the image buttons and their hover forms
    scene::TGLMaterialLibrary covers;
    scene::TGLMaterialLibrary stuff;
    scene::TGLMaterialLibrary skin; // the GUI skin, the track pictures, the backgrounds
};

struct SceneFonts {
    explicit SceneFonts(scene::GlyphRasterizer& glyphs);
    std::vector<scene::TGLBitmapFont*> all();

    scene::TGLBitmapFont songInfo;   // artist, title, library line, points
    scene::TGLBitmapFont clock;      // the seven-segment song time
    scene::TGLBitmapFont hallOfFame; // the hall of fame's rows
    scene::TGLBitmapFont small;      // the editor's lists
    scene::TGLBitmapFont lyrics;
    scene::TGLBitmapFont menu;      // bold: buttons and option labels
    scene::TGLBitmapFont menuPlain; // edit fields and notes
    scene::TGLBitmapFont score;     // the score page's labels
};

struct BackgroundNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLHUDSprite* picture = nullptr;
};

// The cover ring with the selected song's texts, and the first page's buttons.
struct SelectionNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr; // also holds the options form
    scene::TGLDummyCube* ring = nullptr;
    scene::TGLCube *cover = nullptr, *coverFrame = nullptr;
    scene::TGLHUDText *artist = nullptr, *title = nullptr;
    // A duet's voice names, and the label that chooses the voice to sing (also the V key).
    scene::TGLHUDText* voices = nullptr;
    scene::TGLLabel* voiceChoice = nullptr;
    // The search typed over the ring (hidden while none is open), and the number of songs, of
    // matches and the scan's progress.
    scene::TGLHUDText *searchText = nullptr, *libraryStatus = nullptr;
    // Why the selected song cannot be played (hidden when it can); a click on the library line
    // (libraryStatusLink lies over it) opens the song problems.
    scene::TGLHUDText* songProblem = nullptr;
    // Where songs are looked for, shown when songs were found but none can be played.
    scene::TGLHUDText* addSongsText = nullptr;
    scene::TGLLabel* libraryStatusLink = nullptr;
    // While phones may join: the song book's code and "Scan to choose songs" beneath it.
    scene::TGLHUDSprite* songBookCode = nullptr;
    scene::TGLHUDText* songBookCaption = nullptr;
    // The selected song's records (song_records_panel.h places and fills them): a heading, its
    // best results and each bound singer's best, a text per line for each singer's colour.
    scene::TGLDummyCube* records = nullptr;
    std::vector<scene::TGLHUDText*> recordLines;
    scene::TGLForm* form = nullptr;
    scene::TGLButton *startButton = nullptr, *editorButton = nullptr, *scoresButton = nullptr,
                     *optionsButton = nullptr, *previousButton = nullptr, *nextButton = nullptr;
    // Asks for a medley (also F8).
    scene::TGLButton* medleyButton = nullptr;
};

// The options form's pages (options_form.cpp builds their controls). A toggle is on while its
// caption is "X".
struct GameplayOptions {
    scene::TGLPanel* page = nullptr;
    scene::TGLLabel *tabsLabel = nullptr, *lyricsLabel = nullptr, *oscilloscopeLabel = nullptr,
                    *timeLabel = nullptr;
    scene::TGLButton *tabsToggle = nullptr, *lyricsToggle = nullptr, *oscilloscopeToggle = nullptr,
                     *timeToggle = nullptr;
    scene::TGLLabel *videoSpeedLabel = nullptr, *videoQualityLabel = nullptr;
    scene::TGLScrollbar *videoSpeed = nullptr, *videoQuality = nullptr;
    // How closely standard songs are judged.
    scene::TGLScrollbar* difficulty = nullptr;
    scene::TGLLabel* difficultyLabel = nullptr;
    // The order of the song list: its caption names it ("Artist", "Title", "Folder", "Most sung",
    // "Recently sung").
    scene::TGLButton* songOrder = nullptr;
    scene::TGLLabel* songOrderLabel = nullptr;
};

struct SoundOptions {
    scene::TGLPanel* page = nullptr;
    scene::TGLLabel *recordLabel = nullptr, *exportNameLabel = nullptr;
    scene::TGLButton* recordToggle = nullptr;
    scene::TGLEdit* exportName = nullptr;
    // The microphone's delay and the button measuring it.
    scene::TGLScrollbar* micDelay = nullptr;
    scene::TGLLabel* micDelayLabel = nullptr;
    scene::TGLButton* calibrateButton = nullptr;
    // Phones may join as microphones (read at start: the server listens from then on).
    scene::TGLLabel* phonesLabel = nullptr;
    scene::TGLButton* phonesToggle = nullptr;
};

struct AppearanceOptions {
    scene::TGLPanel* page = nullptr;
    scene::TGLLabel *tabColourLabel = nullptr, *actualTabColourLabel = nullptr,
                    *voiceTabColourLabel = nullptr, *textColourLabel = nullptr;
    scene::TGLButton *tabColourButton = nullptr, *actualTabColourButton = nullptr,
                     *voiceTabColourButton = nullptr, *textColourButton = nullptr;
    scene::TGLScrollbar* transparency = nullptr;
    scene::TGLLabel* transparencyLabel = nullptr;
    // Whether songs that cannot be played are listed (a toggle, off by default).
    scene::TGLButton* showUnplayable = nullptr;
    scene::TGLLabel* showUnplayableLabel = nullptr;
};

struct OptionsNodes {
    scene::TGLForm* form = nullptr;
    scene::TGLButton *gameplayButton = nullptr, *soundButton = nullptr, *appearanceButton = nullptr,
                     *backButton = nullptr;
    GameplayOptions gameplay;
    SoundOptions sound;
    AppearanceOptions appearance;
};

struct HallOfFameNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLPanel* table = nullptr;
    scene::TGLButton* backButton = nullptr;
    // The rows take the colour of this sprite's material.
    scene::TGLHUDSprite* rowColour = nullptr;
};

// The figures of a singer in the score table, in column order.
enum class ScoreColumn { Notes, LineBonus, GoldenNotes, Total, Share };
inline constexpr std::size_t kScoreColumns = 5;
// Where the selection screen's song book code stands (its centre) and how large it may be.
inline constexpr float kSongBookCodeX = 680, kSongBookCodeY = 110;
inline constexpr int kSongBookCodeMost = 150;
// The Queue screen's two codes, centred right of its rows, and the Next up screen's cover.
inline constexpr float kQueueCodeX = 650, kQueueGuestCodeY = 200, kQueueHostCodeY = 440;
inline constexpr int kQueueCodeMost = 150;
inline constexpr float kNextUpCoverX = 150, kNextUpCoverY = 230, kNextUpCoverSize = 240;
// The song's picture around and behind two bands' strips: above, behind, between, behind, below.
inline constexpr int kMostBackgroundSlices = 5;

// One singer's row of the score table: their rank, colour swatch, name and figures.
struct ScoreTableRow {
    scene::TGLHUDSprite* swatch = nullptr;
    scene::TGLLabel *rank = nullptr, *name = nullptr;
    std::array<scene::TGLLabel*, kScoreColumns> figures{};
};

// The ranked table shown when several sang: column headings and a row per singer slot.
struct ScoreTableNodes {
    scene::TGLBaseControl* holder = nullptr;
    std::array<scene::TGLLabel*, kScoreColumns> headings{};
    std::vector<ScoreTableRow> rows;
};

struct ScorePageNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLButton *backButton = nullptr, *submitButton = nullptr, *saveButton = nullptr;
    scene::TGLLabel *notesValue = nullptr, *bonusValue = nullptr, *totalValue = nullptr;
    // Beside the notes: the share of the possible points a standard song's singer reached.
    scene::TGLLabel* shareValue = nullptr;
    scene::TGLPanel* scoreGauge = nullptr;
    scene::TGLEdit* playerName = nullptr;
    // Beside the total on the page of one singer: "New song record", "Personal best" and the
    // previous best, a line each; empty when none applies.
    scene::TGLLabel* recordNews = nullptr;
    // The table's column of the same news (score_page.cpp builds it): its heading and a label
    // per row.
    scene::TGLLabel* tableNewsHeading = nullptr;
    std::vector<scene::TGLLabel*> tableNews;
    // The page of one singer: the labels, share, gauge and name edit above, with their captions;
    // hidden while the table of several shows.
    std::vector<scene::TGLBaseControl*> soloControls;
    ScoreTableNodes table;
};

// The editor builds its controls itself; its back button is one of them.
struct EditorNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLButton* backButton = nullptr;
    editor::EditorControls controls;
};

// One band of notes and lyrics per voice sung. Band 0 is the designed lane (the members of
// SingingNodes of the same names point at its nodes); band 1 is the second voice's, hidden unless
// two voices are sung. layOutBands (singing_bands.h) places them.
struct SingingBand {
    scene::TGLDummyCube *staff = nullptr, *noteBars = nullptr, *voiceTrail = nullptr,
                        *lyrics = nullptr, *leadIn = nullptr;
    scene::TGLHUDSprite* leadInBar = nullptr;
    // The running scores of the band's singers (stage::SingerScores): the group's position is
    // the column's top-left corner; its texts are a name and its points per row.
    scene::TGLDummyCube* singerScores = nullptr;
    // Standard songs only: the darkened strip under the band, the singers' hits on the bars and
    // their voices' markers, the band's caption and the countdown to the singing.
    scene::TGLHUDSprite* strip = nullptr;
    scene::TGLDummyCube *noteFills = nullptr, *voiceMarkers = nullptr;
    scene::TGLHUDText *caption = nullptr, *countdown = nullptr;
};

struct SingingNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    // A standard song's background picture, shown behind the lane while no video plays: the
    // group is shown with it; its first child is the whole picture, the others its slices when
    // the bands' strips are cut out of it (see cutStripsFromBackground).
    scene::TGLDummyCube* songBackground = nullptr;
    scene::TGLDummyCube* videoHolder = nullptr;
    // The song time with its progress bar and led, and the points.
    scene::TGLDummyCube* clockDisplay = nullptr;
    scene::TGLHUDText *timeText = nullptr, *pointsText = nullptr;
    scene::TGLHUDSprite *songProgress = nullptr, *led = nullptr;
    // The pictures behind the time and behind the oscilloscope.
    scene::TGLDummyCube* trackPictures = nullptr;
    scene::TGLHUDSprite *timeTrack = nullptr, *oscilloscopeTrack = nullptr;
    scene::TGLButton *pauseButton = nullptr, *playButton = nullptr, *rewindButton = nullptr;
    // The staff, the note bars, the voice trail, the lyric lines, the lead-in bar and the
    // oscilloscope.
    scene::TGLDummyCube *staff = nullptr, *noteBars = nullptr, *voiceTrail = nullptr,
                        *lyrics = nullptr, *leadIn = nullptr, *oscilloscope = nullptr,
                        *oscilloscopeBars = nullptr;
    scene::TGLHUDSprite* leadInBar = nullptr;
    // Outside the singing group: only its width is ever touched, zeroed by every line build.
    scene::TGLHUDSprite* lineWidthSprite = nullptr;
    SingingBand bands[2];
};

class GameScene {
public:
    // Loads every design-time picture through loader (EImageError names a missing file).
    GameScene(scene::ImageLoader& loader, scene::GlyphRasterizer& glyphs,
              const std::filesystem::path& programDir);

    scene::TGLScene& scene() { return m_scene; }

    SceneMaterials materials;
    SceneFonts fonts;
    scene::TGLGuiLayout guiLayout;
    scene::TGLCamera* camera = nullptr;

    // The screens, in scene order.
    BackgroundNodes background;
    HallOfFameNodes hallOfFamePage;
    SelectionNodes selection;
    OptionsNodes options;
    EditorNodes editorScreen;
    ScorePageNodes scorePage;
    SingingNodes singing;
    SingersNodes singers;
    StatisticsNodes statistics;
    QueueNodes queue;
    NextUpNodes nextUp;

    editor::EditorLook editorLook();

    // The 62 oscilloscope bars, added once the scene is on screen.
    void addOscilloscopeBars();

    // All GUI roots in routing order: selection, score page, singing, hall of fame, editor,
    // singers, statistics, queue, next up.
    std::vector<scene::TGLBaseControl*> roots() const {
        return {selection.guiRoot,      scorePage.guiRoot,    singing.guiRoot,
                hallOfFamePage.guiRoot, editorScreen.guiRoot, singers.guiRoot,
                statistics.guiRoot,     queue.guiRoot,        nextUp.guiRoot};
    }

private:
    void loadMaterials();
    void buildBackground();
    void buildHallOfFame();
    void buildFirstPage();
    void buildSelectionTexts();
    void buildOptionsForm();
    void buildEditorScreen();
    void buildScorePage();
    void buildSinging();
    void buildSingersScreen();    // game_scene_singers.cpp
    void buildStatisticsScreen(); // game_scene_statistics.cpp
    void buildQueueScreen();      // game_scene_queue.cpp
    void buildNextUpScreen();     // game_scene_queue.cpp
    void buildScoreLabels();
    void buildLane();
    scene::TGLBaseControl& addRoot(scene::TGLDummyCube& group, const char* name, int width,
                                   int height, int tag);
    scene::TGLButton& addImageButton(scene::TGLBaseControl& parent, const char* name, int left,
                                     int top, int width, int height, const char* material,
                                     int logicW, int logicH, int xOff, int yOff);
    scene::TGLButton& addSkinButton(scene::TGLBaseControl& parent, const char* name,
                                    const char* caption, int left, int top, int width, int height);
    // A one-line label of the panel screens (singers, statistics) in one colour, focused or not.
    static scene::TGLLabel& addScreenText(scene::TGLBaseControl& parent, scene::TGLBitmapFont& font,
                                          const std::string& name, int left, int top, int width,
                                          scene::TColor colour);

    scene::TGLScene m_scene;
};

} // namespace cantorix::app
