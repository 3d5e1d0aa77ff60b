#pragma once
// The singers screen's behaviour: a row per slot (colour, name, input, level, note, Listen,
// Calibrate, delay), opened by the selection's button or F2. Owns the slot roster, the input
// monitor and a delay calibration; borrows the scene and the sound inputs. Main thread only.

#include "game_scene.h"
#include "input_monitor.h"
#include "options_form.h"
#include "profile_store_port.h"
#include "session/delay_calibration.h"
#include "singer_roster.h"
#include "songs/media_player_port.h"
#include "sound_inputs_port.h"

#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cantorix::app {

struct SingersScreenParts {
    GameScene& game;
    SoundInputs& inputs;
    SemitoneTrackerFactory makeTracker = {};
    // Where the roster is kept; without it nothing is loaded or saved.
    ProfileStore* profile = nullptr;
    // Takes the list of inputs again; the caller lets go of its own streams around it. Without
    // it inputs.relist() alone.
    std::function<void()> relistInputs = {};
    // The song preview: it holds while the screen listens, or the microphones would hear it.
    songs::MediaPlayer* preview = nullptr;
    // The options form, whose Calibrate measures slot 1 through slot 1's input.
    OptionsForm* options = nullptr;
    // Told when the screen is left: who sings may have changed.
    std::function<void()> left = {};
};

class SingersScreen {
public:
    // The selection screen's key that opens the screen.
    static constexpr int kOpenKey = 113; // F2

    explicit SingersScreen(SingersScreenParts parts);
    ~SingersScreen();

    SingerRoster& roster() { return m_roster; }
    const SingerRoster& roster() const { return m_roster; }
    bool shown() const;

    void show();
    void leave();
    // Keys while the screen shows: arrows and Tab move between rows and fields, Left and Right
    // set a focused delay, Escape leaves. The focused control gets its keys from its GUI root.
    void keyDown(int key);
    // "no microphone" on the selection screen while no input is open.
    void updateSelectionLine();

    // The screen's 50 ms step: the monitor's readings on the rows, the binding by singing.
    void monitorTick();
    // The calibration's 10 ms step; tests step it themselves.
    void calibrationStep();
    // Writes the roster into the profile and makes the file durable; false (with the reason on
    // stderr) when the file cannot be written.
    bool save();

private:
    enum Field { kColour, kName, kInput, kListen, kCalibrate, kDelay, kFieldCount };

    void connectRow(std::size_t slot);
    void connectSelection(OptionsForm* options);
    void showRow(std::size_t slot);
    void showInputsLine();
    void chooseNextInput(std::size_t slot);
    void bind(std::size_t slot, const std::optional<session::InputAddress>& address);
    void listen(std::size_t slot);
    void calibrate(std::size_t slot);
    void endCalibration();
    void setStatus(std::size_t slot, const std::string& text);
    void focus(std::size_t row, int field);
    scene::TGLBaseControl* fieldControl(std::size_t row, int field) const;
    void storeRoster();
    void holdPreview(bool hold);

    GameScene& m_game;
    SoundInputs& m_inputs;
    ProfileStore* m_profile;
    std::function<void()> m_relist;
    std::function<void()> m_left;
    songs::MediaPlayer* m_preview;
    bool m_previewHeld = false;
    SingerRoster m_roster;
    InputMonitor m_monitor;
    QTimer m_monitorTimer, m_calibrationTimer;
    // What a row says below its input until the next change ("Heard: …").
    std::array<std::string, session::kSingerSlots> m_said;
    std::optional<std::size_t> m_listeningSlot, m_calibratingSlot;
    std::unique_ptr<session::DelayCalibration> m_calibration;
    std::size_t m_focusRow = 0; // kSingerSlots: the Back button
    int m_focusField = kName;
};

} // namespace cantorix::app
