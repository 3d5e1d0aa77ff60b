#pragma once
// The options form's pages: their toggles, colour buttons, scrollbars, labels and the export
// name field, the handlers that keep them, and the values the game reads from them when a
// session starts. The options are the controls' own properties; nothing here keeps a copy.
// Main thread only.

#include "game_scene.h"
#include "session/delay_calibration.h"
#include "session/standard_judge.h"
#include "songs/song_catalog.h"

#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace cantorix::app {

// Adds every option control to the gameplay, sound and appearance pages with its design values and
// connects the toggles and the scrollbars' labels. The colour buttons need OptionsForm.
void buildOptionsControls(GameScene& game);

// The toggles' click: "X" (on) becomes empty (off) and anything else becomes "X".
void toggleClick(scene::TGLBaseControl& sender);
// Whether a toggle is on (its caption is "X"), and setting it as clicks would leave it.
bool toggleIsOn(const scene::TGLBaseControl& toggle);
void setToggle(scene::TGLBaseControl& toggle, bool on);

// Label texts for a scrollbar position.
std::string videoSpeedCaption(float pos);   // auto only at exactly 1
std::string videoQualityCaption(float pos); // by the rounded position 1 … 4
std::string transparencyCaption(float pos); // rounded position + 10 percent
std::string difficultyCaption(float pos);   // "Difficulty (Medium)"
std::string micDelayCaption(float pos);     // "Microphone delay (120 ms)"

// The song list's order as its button names it; any other caption is the artist order.
std::string songOrderCaption(songs::SongOrder order);
songs::SongOrder songOrderOf(std::string_view caption);
// The orders in the sequence the button steps through, back to the first after the last.
inline constexpr std::array<songs::SongOrder, 5> kSongOrderCycle = {
    songs::SongOrder::ByArtist, songs::SongOrder::ByTitle, songs::SongOrder::ByFolder,
    songs::SongOrder::MostSung, songs::SongOrder::RecentlySung};
// The order button's click: artist, title, folder, most sung, recently sung, artist again.
void songOrderClick(scene::TGLBaseControl& sender);

// Whether the song list shows the songs that cannot be played: the toggle ShowUnplayable is on.
bool showsUnplayableSongs(const GameScene& game);
// Sets that toggle as a click would leave it.
void setShowsUnplayableSongs(GameScene& game, bool show);

// The difficulty a position of its scrollbar stands for: rounded, 1 Easy, 2 Medium, 3 Hard.
session::Difficulty difficultyAt(float pos);
// The microphone delay option's range in ms.
inline constexpr int kMaxMicDelayMs = 500;

// The options as a session start reads them.
struct SessionOptions {
    bool showTabs = true, showLyrics = true, showOscilloscope = true, showTime = true;
    scene::TColor defaultTabColour = scene::clWhite; // material "Knob1": the note bars
    scene::TColor actualTabColour = scene::clWhite;  // "Knob2": the bar being sung
    scene::TColor textColour = scene::clWhite;       // "Knob3" and the lyric texts
    float tabAlpha = 0.18f;     // of all three: (rounded transparency position + 10) / 100
    int videoSpeedPosition = 1; // rounded; 1 plays the clip at its own rate, else frames/s
    int videoQuality = 1;       // rounded, 1 (ultra low) … 4 (high)
    std::string exportFileName = "Mysong.wav";
    session::Difficulty difficulty = session::Difficulty::Medium; // standard songs only
    int micDelayMs = 0;                                           // rounded, 0 … 500
};
SessionOptions readSessionOptions(const GameScene& game);

// Asks the player for a colour starting from initial; nothing when the player cancels.
using ColourChooser = std::function<std::optional<scene::TColor>(scene::TColor initial)>;

// Runs the colour dialog for the colour buttons. The dialog starts from the last colour chosen
// in it (black at first). Tests replace the dialog so no modal window blocks them.
class OptionsForm {
public:
    // Connects the four colour buttons of the appearance page; the dialog's parent is window.
    OptionsForm(GameScene& game, QWidget* window);

    void setColourChooser(ColourChooser chooser) { m_chooser = std::move(chooser); }
    scene::TColor dialogColour() const { return m_dialogColour; }

    void chooseColour(scene::TGLBaseControl& sender);

    // The delay calibration: clicks through this player (none: the button says there is no
    // sound output to calibrate with), the player's messages through notify (a message box by
    // default), and quiet(true) / quiet(false) around a round so the preview music is silent.
    void setClickPlayer(session::ClickPlayer* player) { m_clickPlayer = player; }
    void setNotifier(std::function<void(const std::string&)> notify) {
        m_notify = std::move(notify);
    }
    void setQuiet(std::function<void(bool)> quiet) { m_quiet = std::move(quiet); }
    // Calibrate: starts a round of clicks; the result sets the delay and is told when it ends.
    void calibrate();
    bool calibrating() const { return m_calibration && m_calibration->running(); }
    // What the calibration's timer runs every 10 ms; tests step it themselves.
    void calibrationStep();

private:
    void endCalibration();

    GameScene& m_game;
    ColourChooser m_chooser;
    scene::TColor m_dialogColour = scene::clBlack;
    session::ClickPlayer* m_clickPlayer = nullptr;
    std::unique_ptr<session::DelayCalibration> m_calibration;
    std::function<void(const std::string&)> m_notify;
    std::function<void(bool)> m_quiet;
    QTimer m_calibrationTimer;
};

} // namespace cantorix::app
