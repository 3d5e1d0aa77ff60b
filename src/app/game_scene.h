#pragma once
// The main window's scene as designed: material libraries, bitmap fonts, the skin, the camera
// and every screen group with its GUI root and controls. Owns all of it for the program's life;
// the named pointers let screens and handlers reach their objects. Main thread only.

#include "editor/editor_controls.h"
#include "scene/bitmap_font.h"
#include "scene/gui/gui_control.h"
#include "scene/material.h"
#include "scene/scene_nodes.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace cantorix::app {

using namespace cantorix::scene;

class GameScene {
public:
    // Loads every design-time picture through loader (EImageError names a missing file).
    GameScene(ImageLoader& loader, GlyphRasterizer& glyphs,
              const std::filesystem::path& programDir);

    TGLScene& scene() { return m_scene; }
    std::vector<TGLMaterialLibrary*> libraries();
    std::vector<TGLBitmapFont*> fonts();

    // Material libraries.
    TGLMaterialLibrary GLMaterialLibrary1, Menulyb, Covers, Stuff, SkinImages;
    // Bitmap fonts.
    TGLBitmapFont GLStoredBitmapFont1, GLStoredBitmapFont2, GLStoredBitmapFont3,
        GLStoredBitmapFont4, SingingText, Menufont1, Menufont2, ScoreFont;
    TGLGuiLayout GLGuiLayout2;

    TGLCamera* GLCamera1 = nullptr;
    // Screen groups, in scene order.
    TGLDummyCube *Background = nullptr, *Hallofame = nullptr, *Firstpage = nullptr,
                 *Editorscrn = nullptr, *Scorepage = nullptr, *Singing = nullptr;
    TGLHUDSprite* Bg = nullptr;
    // GUI roots.
    TGLBaseControl *Root1 = nullptr, *root2 = nullptr, *Root3 = nullptr, *Root4 = nullptr,
                   *Root5 = nullptr;
    // Song selection.
    TGLDummyCube* Ring = nullptr;
    TGLCube *Cover = nullptr, *GLCube1 = nullptr;
    TGLHUDText *Artist = nullptr, *Title = nullptr;
    // A duet's voice names, and the label that chooses the voice to sing (also the V key).
    TGLHUDText* Voices = nullptr;
    TGLLabel* VoiceChoice = nullptr;
    // The search typed over the ring (hidden while none is open), and the number of songs, of
    // matches and the scan's progress.
    TGLHUDText *SearchText = nullptr, *LibraryStatus = nullptr;
    // Why the selected song cannot be played (hidden when it can); a click on the library line
    // (LibraryStatusLink lies over it) opens the song problems.
    TGLHUDText* SongProblem = nullptr;
    // Where songs are looked for, shown when songs were found but none can be played.
    TGLHUDText* AddSongsText = nullptr;
    TGLLabel* LibraryStatusLink = nullptr;
    TGLForm *GLForm1 = nullptr, *GLForm2 = nullptr;
    TGLButton *Start = nullptr, *Editor = nullptr, *Scores = nullptr, *Options = nullptr,
              *Leftarrow = nullptr, *RightArrow = nullptr;
    // Options form: the page buttons and the three pages (Gameplay, Sound, Apperance).
    TGLButton *Gameplay = nullptr, *Soundbtn = nullptr, *Apperance = nullptr, *Backbutton = nullptr;
    TGLPanel *Menu1 = nullptr, *Menu2 = nullptr, *Menu3 = nullptr;
    // The options on the pages (options_form.cpp): toggles, colour buttons, labels, the video
    // and transparency scrollbars and the export name field.
    TGLButton *istabs = nullptr, *GLButton1 = nullptr, *GLButton2 = nullptr, *GLButton3 = nullptr,
              *GLButton4 = nullptr, *GLButton5 = nullptr, *GLButton6 = nullptr,
              *GLButton10 = nullptr, *GLButton11 = nullptr;
    TGLLabel *GLLabel1 = nullptr, *GLLabel2 = nullptr, *GLLabel3 = nullptr, *GLLabel4 = nullptr,
             *GLLabel5 = nullptr, *GLLabel6 = nullptr, *GLLabel7 = nullptr, *GLLabel8 = nullptr,
             *GLLabel9 = nullptr, *GLLabel10 = nullptr, *GLLabel12 = nullptr, *GLLabel13 = nullptr,
             *GLLabel14 = nullptr;
    TGLScrollbar *GLScrollbar1 = nullptr, *GLScrollbar2 = nullptr, *GLScrollbar3 = nullptr;
    TGLEdit* GLEdit1 = nullptr;
    // How closely standard songs are judged, the microphone's delay and the button measuring it.
    TGLScrollbar *Difficulty = nullptr, *MicDelay = nullptr;
    TGLLabel *DifficultyLabel = nullptr, *MicDelayLabel = nullptr;
    // The order of the song list: its caption names it ("Artist", "Title", "Folder").
    TGLButton* SongOrder = nullptr;
    TGLLabel* SongOrderLabel = nullptr;
    TGLButton* Calibrate = nullptr;
    // Whether songs that cannot be played are listed (a toggle, off by default).
    TGLButton* ShowUnplayable = nullptr;
    TGLLabel* ShowUnplayableLabel = nullptr;
    // Hall of fame.
    TGLPanel* Holder = nullptr;
    TGLButton* GLButton9 = nullptr;
    // Score page.
    TGLButton *GLButton23 = nullptr, *GLButton7 = nullptr, *GLButton8 = nullptr;
    TGLLabel *Score1 = nullptr, *score2 = nullptr, *Total = nullptr;
    // Beside the total: the share of the possible points a standard song's singer reached.
    TGLLabel* Share = nullptr;
    TGLPanel* Gauge1 = nullptr;
    TGLEdit* GLEdit2 = nullptr; // the player's name
    // The hall of fame rows take the colour of this sprite's material.
    TGLHUDSprite* Colorific = nullptr;
    // Editor: Back is GLButton13; the other controls are built by the editor.
    TGLButton* GLButton13 = nullptr;
    editor::EditorControls editorControls;
    editor::EditorLook editorLook();
    // Singing.
    TGLDummyCube *Tv = nullptr, *Indicator = nullptr, *Gui = nullptr;
    // A standard song's background picture, shown behind the lane while no video plays.
    TGLHUDSprite* SongBackground = nullptr;
    TGLButton *Pause = nullptr, *Play = nullptr, *Rewind = nullptr;
    TGLHUDText *Text = nullptr, *Pointtext = nullptr;
    TGLHUDSprite *Gauge = nullptr, *led = nullptr, *Song = nullptr, *Vibro = nullptr;
    // The note lane, the lyrics, the voice trail, the lead-in bar and the oscilloscope.
    TGLDummyCube *Stages = nullptr, *Tabulature = nullptr, *SingTab = nullptr, *SingText = nullptr,
                 *LeadIn = nullptr, *Oscillo = nullptr, *Sprites = nullptr;
    TGLHUDSprite *Progress = nullptr, *GLHUDSprite11 = nullptr;
    // Holds the hit streak in its Tag.
    TGLDummyCube* Point = nullptr;

    // The 62 oscilloscope bars, added once the scene is on screen.
    void addOscilloscopeBars();

    // All GUI roots in routing order (Root1, root2, Root3, Root4, Root5).
    std::vector<TGLBaseControl*> roots() const { return {Root1, root2, Root3, Root4, Root5}; }

private:
    void loadMaterials();
    void buildBackground();
    void buildHallOfFame();
    void buildFirstPage();
    void buildOptionsForm();
    void buildEditorScreen();
    void buildScorePage();
    void buildSinging();
    void buildScoreLabels();
    void buildLane();
    TGLBaseControl& addRoot(TGLDummyCube& group, const char* name, int width, int height, int tag);
    TGLButton& addImageButton(TGLBaseControl& parent, const char* name, int left, int top,
                              int width, int height, const char* material, int logicW, int logicH,
                              int xOff, int yOff);
    TGLButton& addSkinButton(TGLBaseControl& parent, const char* name, const char* caption,
                             int left, int top, int width, int height);

    TGLScene m_scene;
};

} // namespace cantorix::app
