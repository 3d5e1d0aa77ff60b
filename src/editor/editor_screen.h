#pragma once
// The editor screen's work: picking the MIDI, MP3, video and cover files, listing the MIDI
// file's tracks with their pictures, playing all or one track at a chosen tempo, moving the
// play marker, and composing the song text of the chosen track for the lyric viewer. Owns
// the MIDI data, the track outputs, the player and the editor's state; borrows the controls.
// Main thread only (the player's tick runs on its timer's thread).

#include "editor/editor_controls.h"
#include "editor/editor_tables.h"
#include "midi/midi_data.h"
#include "midi/midi_player.h"
#include "midi/midi_position.h"
#include "midi/track_outputs.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace cantorix::editor {

// File dialog filters, in the form Qt's file dialogs take.
inline constexpr const char* kMidiFilter = "Midi File (*.mid *.MID)";
inline constexpr const char* kMp3Filter = "Mp3 File (*.mp3 *.MP3)";
inline constexpr const char* kVideoFilter = "Video Files (*.avi *.AVI)";
inline constexpr const char* kCoverFilter = "Jpg Image (*.jpg *.JPG)";

inline constexpr const char* kNoNotesMessage =
    "The selected track has no notes. Choose the track that carries the melody.";

struct EditorServices {
    // Each file dialog sets the current directory back here; empty leaves it alone.
    std::filesystem::path programDir;
    // MIDI output devices (device 0 the built-in synthesizer) and the player's timer; without
    // them every play attempt reports "Unable to open port". Both must outlive the screen.
    midi::MidiOutputDevices* outputs = nullptr;
    midi::MidiTimer* timer = nullptr;
    base::MainThreadInvoker& invoker;
    // Asks for a file to open with the given filter; nothing when cancelled.
    std::function<std::optional<std::string>(std::string_view filter)> openFile;
    // The main window's caption after an MP3 is picked.
    std::function<void(const std::string& caption)> setCaption;
    // Shows the song text (CR LF lines) in the lyric viewer.
    std::function<void(const std::string& songText)> showSongText;
    // A message for the user that is no failure.
    std::function<void(const std::string& text)> notify;
};

class EditorScreen {
public:
    EditorScreen(EditorControls& controls, EditorLook look, EditorServices services);
    ~EditorScreen();
    EditorScreen(const EditorScreen&) = delete;
    EditorScreen& operator=(const EditorScreen&) = delete;

    // The "..." pickers: each asks for a file and shows its name.
    void pickMidiFile();
    void pickMp3File();
    void pickVideoFile();
    void pickCoverFile();
    void playAllTracks();
    void playSelectedTrack();
    void rewind();
    // The tempo bar: a move sets the player's tempo and shows it; leaving it restores the caption.
    void tempoChanged();
    void tempoBarLeft();
    // Next: the chosen track's song text into the lyric viewer.
    void composeSongText();
    // Moves the play marker to the player's position; the window calls it every 20 ms.
    void moveTickMarker();
    // A click on a track button or strip (or its pressing by the program).
    void trackClick(TGLBaseControl& sender);

    void setOpenFile(std::function<std::optional<std::string>(std::string_view)> dialog) {
        m_services.openFile = std::move(dialog);
    }

    int selectedTrack() const { return m_selectedTrack; }
    std::int32_t songLength() const { return m_songLength; }
    const TrackTables& tables() const { return m_tables; }
    const std::string& mp3Name() const { return m_mp3Name; }
    const std::string& videoName() const { return m_videoName; }
    const std::string& coverName() const { return m_coverName; }
    const midi::TMidiData& midiData() const { return m_midiData; }
    midi::TTrackOutputs& trackOutputs() { return *m_trackOutputs; }
    midi::TMidiPlayer& player() { return *m_player; }

private:
    void connectControls();
    std::optional<std::string> pickFile(std::string_view filter, TGLButton& display);
    void restoreDirectory();
    void buildTrackList();
    void tabulate(int track);
    void playAll(bool selectedOnly);
    // Stops playback and releases the outputs and the data, in the order that leaves the
    // player's timer nothing freed to read.
    void releaseMidi();

    EditorControls& m_controls;
    EditorLook m_look;
    EditorServices m_services;
    std::unique_ptr<midi::MidiOutputDevices> m_noOutputs;
    std::unique_ptr<midi::MidiTimer> m_noTimer;
    std::unique_ptr<midi::PhysicalPortRegistry> m_registry;
    midi::TMidiData m_midiData;
    std::unique_ptr<midi::TTrackOutputs> m_trackOutputs;
    std::unique_ptr<midi::TMidiPlayer> m_player;

    int m_selectedTrack = 0;
    int m_tabulatedTrack = 0;
    TrackTables m_tables;
    std::int32_t m_songLength = 0;
    std::string m_mp3Name, m_videoName, m_coverName;
    bool m_videoPicked = false;
};

} // namespace cantorix::editor
