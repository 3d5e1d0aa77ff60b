#include "editor/editor_screen.h"

#include "editor/file_names.h"
#include "editor/song_draft.h"
#include "editor/track_picture.h"
#include "songs/song_text_writer.h"
#include "songs/text_encoding.h"

#include <algorithm>
#include <cmath>

namespace cantorix::editor {

using namespace scene;

namespace {

// A machine given no MIDI devices: nothing opens, so playing reports "Unable to open port".
class NoMidiOutputs : public midi::MidiOutputDevices {
public:
    std::vector<std::string> names() override { return {}; }
    std::unique_ptr<midi::MidiOutputDevice> open(int) override { return nullptr; }
};

// A timer that never runs: the player stays stopped.
class NoMidiTimer : public midi::MidiTimer {
public:
    std::uint32_t nowMs() override { return 0; }
    std::int32_t minimumPeriod() const override { return 1; }
    bool start(std::int32_t, std::int32_t, std::function<void()>) override { return false; }
    void stop() override {}
};

// The marker spans the song's length across this many pixels from its leftmost place.
constexpr double kMarkerSpan = 420.0;
constexpr double kMarkerLeft = 229.0;
constexpr int kTrackListTop = 270;

std::string pictureMaterialName(int track) {
    return "i" + std::to_string(track);
}

std::string displayTrackName(const midi::TMidiTrackStream& track) {
    const std::string raw = track.TrackName();
    return firstCharacters(songs::toDisplayText(raw, songs::detectTextEncoding(raw)));
}

std::string tooManyTracksMessage(int trackCount) {
    return "This MIDI file has " + std::to_string(trackCount) +
           " tracks; the editor lists and plays the first " +
           std::to_string(midi::kMaxTrackOutputs) + ".";
}

std::string bareName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

} // namespace

EditorScreen::EditorScreen(EditorControls& controls, EditorLook look, EditorServices services)
    : m_controls(controls), m_look(look), m_services(std::move(services)) {
    if (!m_services.outputs) {
        m_noOutputs = std::make_unique<NoMidiOutputs>();
        m_services.outputs = m_noOutputs.get();
    }
    if (!m_services.timer) {
        m_noTimer = std::make_unique<NoMidiTimer>();
        m_services.timer = m_noTimer.get();
    }
    m_registry = std::make_unique<midi::PhysicalPortRegistry>(*m_services.outputs);
    m_trackOutputs = std::make_unique<midi::TTrackOutputs>(*m_registry, &m_services.invoker);
    m_trackOutputs->setMidiData(&m_midiData);
    m_trackOutputs->setDefaultOutputPort(0);
    m_player =
        std::make_unique<midi::TMidiPlayer>(*m_registry, *m_services.timer, m_services.invoker);
    m_player->setTimerPeriod(1);
    m_player->setTimerResolution(4);
    m_player->setBoostPriority(false);
    m_player->setTrackOutputs(m_trackOutputs.get());
    connectControls();
}

EditorScreen::~EditorScreen() {
    m_player->Stop();
    // The track buttons call back into this screen; the scene outlives it.
    m_controls.trackList->deleteChildren();
}

void EditorScreen::connectControls() {
    EditorControls& c = m_controls;
    const auto click = [this](void (EditorScreen::*handler)()) {
        return [this, handler](TGLBaseControl&) { (this->*handler)(); };
    };
    c.midiFilePicker->onButtonClick = click(&EditorScreen::pickMidiFile);
    c.mp3FilePicker->onButtonClick = click(&EditorScreen::pickMp3File);
    c.videoFilePicker->onButtonClick = click(&EditorScreen::pickVideoFile);
    c.coverFilePicker->onButtonClick = click(&EditorScreen::pickCoverFile);
    c.playAllButton->onButtonClick = click(&EditorScreen::playAllTracks);
    c.playSelectedButton->onButtonClick = click(&EditorScreen::playSelectedTrack);
    c.rewindButton->onButtonClick = click(&EditorScreen::rewind);
    c.nextButton->onButtonClick = click(&EditorScreen::composeSongText);
    c.tempoBar->onChange = click(&EditorScreen::tempoChanged);
    c.tempoBar->onMouseLeave = click(&EditorScreen::tempoBarLeft);
}

void EditorScreen::restoreDirectory() {
    if (m_services.programDir.empty())
        return;
    std::error_code ignored;
    std::filesystem::current_path(m_services.programDir, ignored);
}

std::optional<std::string> EditorScreen::pickFile(std::string_view filter, TGLButton& display) {
    if (!m_services.openFile)
        return std::nullopt;
    std::optional<std::string> file = m_services.openFile(filter);
    if (!file)
        return std::nullopt;
    display.setCaption(firstCharacters(bareName(*file)));
    return file;
}

void EditorScreen::releaseMidi() {
    m_player->Stop();
    m_trackOutputs->setActive(false);
    m_player->Rebind();
    m_midiData.setActive(false);
}

void EditorScreen::pickMidiFile() {
    const std::optional<std::string> file = pickFile(kMidiFilter, *m_controls.midiFileDisplay);
    if (!file)
        return;
    releaseMidi();
    m_midiData.setFileName(*file);
    buildTrackList();
    restoreDirectory();
    rewind();
    m_player->GoToEnd();
    m_songLength = m_player->Position() / 100;
    m_player->Rebind();
    m_player->Rewind();
}

void EditorScreen::pickMp3File() {
    const std::optional<std::string> file = pickFile(kMp3Filter, *m_controls.mp3FileDisplay);
    if (!file)
        return;
    m_mp3Name = bareName(*file);
    restoreDirectory();
    if (m_services.setCaption)
        m_services.setCaption(m_mp3Name);
}

void EditorScreen::pickVideoFile() {
    const std::optional<std::string> file = pickFile(kVideoFilter, *m_controls.videoFileDisplay);
    if (!file)
        return;
    m_videoName = bareName(*file);
    m_videoPicked = true;
    restoreDirectory();
}

void EditorScreen::pickCoverFile() {
    const std::optional<std::string> file = pickFile(kCoverFilter, *m_controls.coverFileDisplay);
    if (!file)
        return;
    m_coverName = bareName(*file);
    restoreDirectory();
}

void EditorScreen::buildTrackList() {
    m_midiData.setActive(true);
    TGLPanel& list = *m_controls.trackList;
    list.deleteChildren();
    m_selectedTrack = 0;
    // The list shows no more tracks than the player has outputs for.
    const int listed = std::min(m_midiData.TrackCount(), midi::kMaxTrackOutputs);
    for (int i = 0; i < listed; ++i) {
        const std::string material = pictureMaterialName(i);
        addTrackRow(list, m_look, i, displayTrackName(*m_midiData.Tracks(i)), material);
        m_tabulatedTrack = i;
        tabulate(i);
        TGLLibMaterial& m = m_look.stuff.addTextureMaterial(material, drawTrackPicture(m_tables));
        m.setLightingOff(true);
        m.setBlending(BlendingMode::AlphaTest);
        m.setAlphaThreshold(0.5f);
        m.texture().setMode(TextureMode::Replace);
        m.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
        for (int k = list.count() - 2; k < list.count(); ++k)
            static_cast<TGLButton&>(list.child(k)).onButtonClick = [this](TGLBaseControl& sender) {
                trackClick(sender);
            };
    }
    if (listed < m_midiData.TrackCount() && m_services.notify)
        m_services.notify(tooManyTracksMessage(m_midiData.TrackCount()));
    if (list.count() == 0)
        return;
    auto& last = static_cast<TGLBaseControl&>(list.child(list.count() - 1));
    m_controls.tickMarker->setLogicSize(3, last.globalRect().top + 20 - kTrackListTop);
    m_controls.tickMarker->setVisible(true);
    static_cast<TGLButton&>(list.child(0)).setPressed(true);
    static_cast<TGLButton&>(list.child(1)).setPressed(true);
}

void EditorScreen::tabulate(int track) {
    m_midiData.setActive(true);
    m_tables = tabulateTrack(m_midiData, track, m_tables.firstNoteUnit);
}

void EditorScreen::trackClick(TGLBaseControl& sender) {
    TGLPanel& list = *m_controls.trackList;
    int j = -1;
    for (int k = 0; k < list.count(); ++k)
        if (&list.child(k) == &sender)
            j = k;
    if (j < 0)
        return;
    const bool strip = sender.tag() == 1;
    m_selectedTrack = strip ? (j - 1) / 2 : j / 2;
    const int partner = strip ? j - 1 : j + 1;
    if (partner >= 0 && partner < list.count())
        static_cast<TGLButton&>(list.child(partner)).setPressed(true);
}

void EditorScreen::playAll(bool selectedOnly) {
    m_midiData.setActive(true);
    m_trackOutputs->setActive(true);
    for (int i = 0; i < m_trackOutputs->outputCount(); ++i)
        m_trackOutputs->Outputs(i)->setMuted(false);
    if (selectedOnly)
        for (int i = 0; i < m_trackOutputs->outputCount(); ++i)
            if (i != m_selectedTrack)
                m_trackOutputs->Outputs(i)->setMuted(true);
    m_player->Rebind();
    m_player->Rewind();
    m_player->setPlay(true);
}

void EditorScreen::playAllTracks() {
    playAll(false);
}

void EditorScreen::playSelectedTrack() {
    playAll(true);
}

void EditorScreen::rewind() {
    m_player->Rebind();
    m_player->Rewind();
}

void EditorScreen::tempoChanged() {
    const auto percent = static_cast<std::int32_t>(std::nearbyint(m_controls.tempoBar->pos()));
    m_player->setTempoPercent(percent);
    m_controls.tempoLabel->setCaption("Tempo " + std::to_string(percent) + "%");
}

void EditorScreen::tempoBarLeft() {
    m_controls.tempoLabel->setCaption("Play Tempo");
}

void EditorScreen::moveTickMarker() {
    if (m_songLength == 0)
        return;
    const double left = (m_player->Position() / 100) * kMarkerSpan / m_songLength + kMarkerLeft;
    m_controls.tickMarker->setLeft(static_cast<int>(std::nearbyint(left)));
}

void EditorScreen::composeSongText() {
    m_tabulatedTrack = m_selectedTrack;
    tabulate(m_tabulatedTrack);
    if (m_tables.noteCount == 0) {
        if (m_services.notify)
            m_services.notify(kNoNotesMessage);
        return;
    }
    SongDraftFields fields{m_controls.songTitleEdit->caption(),
                           m_controls.songArtistEdit->caption(), m_mp3Name, std::nullopt};
    if (m_videoPicked)
        fields.videoName = m_videoName;
    const std::string text = composeSongDraft(fields, m_tables);
    if (m_services.showSongText)
        m_services.showSongText(text);
}

} // namespace cantorix::editor
