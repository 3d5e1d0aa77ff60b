#pragma once
// The singers screen's behaviour: a row per slot (colour, name, input, level, note, Listen,
// Calibrate, delay, and the slot's player with their picture), opened by the selection's button
// or F2. Owns the slot roster, the input monitor and a delay calibration; borrows the scene, the
// sound inputs and the record keeper. Main thread only.

#include "game_scene.h"
#include "input_monitor.h"
#include "options_form.h"
#include "phone_hall_port.h"
#include "profile_store_port.h"
#include "record_keeper.h"
#include "session/delay_calibration.h"
#include "singer_roster.h"
#include "songs/media_player_port.h"
#include "sound_inputs_port.h"

#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace cantorix::app {

// What the player answered when asked before a player is removed.
enum class RemoveAnswer { Cancel, KeepPerformances, DeletePerformances };

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
    // The players; without it there are none and every slot sings as a guest.
    RecordKeeper* records = nullptr;
    // Where players' pictures are kept (the records folder's "pictures").
    std::filesystem::path picturesFolder = {};
    // Asks for a picture file; empty: cancelled. Without it a file dialog asks.
    std::function<std::filesystem::path()> choosePicture = {};
    // Asks before a player is removed. Without it a message box asks.
    std::function<RemoveAnswer(const std::string& playerName)> askRemove = {};
    // Phones as microphones: the join codes of free slots and the phones' seats; without it
    // the screen shows no phones.
    PhoneHall* phones = nullptr;
};

class SingersScreen {
public:
    // The selection screen's key that opens the screen.
    static constexpr int kOpenKey = 113; // F2
    // Opens and closes the phones panel when phones may join; free while a name is typed.
    static constexpr int kPhonesKey = 116; // F5

    explicit SingersScreen(SingersScreenParts parts);
    ~SingersScreen();

    SingerRoster& roster() { return m_roster; }
    const SingerRoster& roster() const { return m_roster; }
    // The kept picture of the slot's player; empty for a guest or a player without one.
    std::filesystem::path pictureFileOf(std::size_t slot) const;
    bool shown() const;

    void show();
    void leave();
    // Keys while the screen shows: arrows and Tab move between rows and fields, Left and Right
    // set a focused delay, Escape leaves. The focused control gets its keys from its GUI root.
    void keyDown(int key);
    // "no microphone" on the selection screen while no input is open.
    void updateSelectionLine();
    // The inputs have been listed for the first time, after the first frame: the line follows,
    // and the log says when no microphone is there.
    void inputsListedAtStart();

    // The screen's 50 ms step: the monitor's readings on the rows, the binding by singing.
    void monitorTick();
    // The calibration's 10 ms step; tests step it themselves.
    void calibrationStep();
    // Writes the roster into the profile and makes the file durable; false (with the reason on
    // stderr) when the file cannot be written.
    bool save();

    // Once the book is loaded: each guest slot named other than "Singer N" becomes the player of
    // that name (made when there is none, in the slot's colour). Done once for good (Score.ini
    // remembers it); what cannot be stored is said on its row and tried again next start.
    void adoptSlotNamesAsPlayers();
    // The book changed: the rows show the players as it has them, a removed one's slot a guest.
    void recordsChanged();
    // The phones' seats changed (one joined, dropped out, came back or left): the panel and the
    // rows follow when shown, and each seated phone is told its slot's singer again.
    void phonesChanged();
    bool phonesShown() const;

private:
    // The player fields come after the first line's, in the order they are read on the screen.
    enum Field {
        kColour,
        kName,
        kInput,
        kListen,
        kCalibrate,
        kDelay,
        kPlayer,
        kPicture,
        kRemove,
        kFieldCount
    };

    // Score.ini's mark that the slot names kept before there were players have been adopted.
    static constexpr const char* kAdoptedKey = "PlayersAdopted";

    // The file dialog and the message box that ask when the parts bring no asker of their own.
    static std::filesystem::path askForPicture();
    static RemoveAnswer askBeforeRemoving(const std::string& name);

    void connectRow(std::size_t slot);
    // A click on the row's button runs the handler for the slot; the button springs back.
    void connectClick(scene::TGLButton& button, std::size_t slot,
                      void (SingersScreen::*handler)(std::size_t));
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
    int fieldCount() const;
    void connectPlayerRow(std::size_t slot);
    void recolour(std::size_t slot);
    void stepPlayer(std::size_t slot);
    void commitName(std::size_t slot);
    void choosePicture(std::size_t slot);
    void removePlayer(std::size_t slot);
    // The slot's player as the book has it now; null for a guest or without records.
    const records::Player* playerOf(std::size_t slot) const;
    // Runs a change of the records; what it throws is said on the slot's row. False then.
    bool changeRecords(std::size_t slot, const std::function<void()>& change);
    void showPicture(std::size_t slot);
    void forgetPicture(const std::string& fileName) const;
    scene::TGLBaseControl* fieldControl(std::size_t row, int field) const;
    void storeRoster();
    void holdPreview(bool hold);
    // singers_screen_phones.cpp: the panel of join codes over the rows.
    void connectPhones();
    void showPhones(bool show);
    void showPhonesPanel();
    void showPhoneCell(std::size_t slot, const std::vector<PhoneSeatView>& seats,
                       const std::string& address);
    void showRowControls(bool show);
    std::string inputName(const session::InputAddress& address) const;
    void nextPhoneAddress();
    // Tells the phone that sings in slot who it sings as, when that changed.
    void tellPhone(std::size_t slot);

    GameScene& m_game;
    SoundInputs& m_inputs;
    ProfileStore* m_profile;
    std::function<void()> m_relist;
    std::function<void()> m_left;
    RecordKeeper* m_records;
    std::filesystem::path m_picturesFolder;
    std::function<std::filesystem::path()> m_choosePicture;
    std::function<RemoveAnswer(const std::string&)> m_askRemove;
    // What each row's picture shows now, so a file is read again only when it changed.
    std::array<std::string, session::kSingerSlots> m_pictureShown;
    // Where the Player button's last press left the slot: a player it made goes on to the first
    // free player, a guest it reached after the players goes on to a new player; any other guest
    // (as the screen opened, or a player removed) goes to the first free player.
    enum class PlayerStep : unsigned char { None, Made, GuestAfterPlayers };
    // The slot names kept before there were players were made players (or there were none): the
    // roster is written with the mark that says so.
    bool m_slotNamesAdopted = false;
    std::array<PlayerStep, session::kSingerSlots> m_playerStep{};
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
    PhoneHall* m_phones;
    bool m_phonesShown = false;
    // Which of the hall's addresses the codes lead to.
    std::size_t m_phoneAddress = 0;
    // What each cell's code says and what each phone was told last, so neither is made again
    // for nothing.
    std::array<std::string, session::kSingerSlots> m_codeShown, m_phoneTold;
    int m_focusField = kName;
};

} // namespace cantorix::app
