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
constexpr int kTracklistTop = 270;

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
    TrackOutputs1 = std::make_unique<midi::TTrackOutputs>(*m_registry, &m_services.invoker);
    TrackOutputs1->setMidiData(&MidiData1);
    TrackOutputs1->setDefaultOutputPort(0);
    MidiPlayer1 =
        std::make_unique<midi::TMidiPlayer>(*m_registry, *m_services.timer, m_services.invoker);
    MidiPlayer1->setTimerPeriod(1);
    MidiPlayer1->setTimerResolution(4);
    MidiPlayer1->setBoostPriority(false);
    MidiPlayer1->setTrackOutputs(TrackOutputs1.get());
    connectControls();
}

EditorScreen::~EditorScreen() {
    MidiPlayer1->Stop();
    // The track buttons call back into this screen; the scene outlives it.
    m_controls.Tracklist->deleteChildren();
}

void EditorScreen::connectControls() {
    EditorControls& c = m_controls;
    const auto click = [this](void (EditorScreen::*handler)()) {
        return [this, handler](TGLBaseControl&) { (this->*handler)(); };
    };
    c.GLButton15->onButtonClick = click(&EditorScreen::GLButton15ButtonClick);
    c.GLButton17->onButtonClick = click(&EditorScreen::GLButton17ButtonClick);
    c.GLButton19->onButtonClick = click(&EditorScreen::GLButton19ButtonClick);
    c.GLButton21->onButtonClick = click(&EditorScreen::GLButton21ButtonClick);
    c.PLAYA->onButtonClick = click(&EditorScreen::PLAYAButtonClick);
    c.GLButton22->onButtonClick = click(&EditorScreen::GLButton22ButtonClick);
    c.GLButton24->onButtonClick = click(&EditorScreen::GLButton24ButtonClick);
    c.GLButton12->onButtonClick = click(&EditorScreen::GLButton12ButtonClick);
    c.GLScrollbar4->onChange = click(&EditorScreen::GLScrollbar4Change);
    c.GLScrollbar4->onMouseLeave = click(&EditorScreen::GLScrollbar4MouseLeave);
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
    MidiPlayer1->Stop();
    TrackOutputs1->setActive(false);
    MidiPlayer1->Rebind();
    MidiData1.setActive(false);
}

void EditorScreen::GLButton15ButtonClick() {
    const std::optional<std::string> file = pickFile(kMidiFilter, *m_controls.GLButton14);
    if (!file)
        return;
    releaseMidi();
    MidiData1.setFileName(*file);
    buildTrackList();
    restoreDirectory();
    rewind();
    MidiPlayer1->GoToEnd();
    m_songLength = MidiPlayer1->Position() / 100;
    MidiPlayer1->Rebind();
    MidiPlayer1->Rewind();
}

void EditorScreen::GLButton17ButtonClick() {
    const std::optional<std::string> file = pickFile(kMp3Filter, *m_controls.GLButton16);
    if (!file)
        return;
    m_mp3Name = bareName(*file);
    restoreDirectory();
    if (m_services.setCaption)
        m_services.setCaption(m_mp3Name);
}

void EditorScreen::GLButton19ButtonClick() {
    const std::optional<std::string> file = pickFile(kVideoFilter, *m_controls.GLButton18);
    if (!file)
        return;
    m_videoName = bareName(*file);
    m_videoPicked = true;
    restoreDirectory();
}

void EditorScreen::GLButton21ButtonClick() {
    const std::optional<std::string> file = pickFile(kCoverFilter, *m_controls.GLButton20);
    if (!file)
        return;
    m_coverName = bareName(*file);
    restoreDirectory();
}

void EditorScreen::buildTrackList() {
    MidiData1.setActive(true);
    TGLPanel& list = *m_controls.Tracklist;
    list.deleteChildren();
    m_selectedTrack = 0;
    // The list shows no more tracks than the player has outputs for.
    const int listed = std::min(MidiData1.TrackCount(), midi::kMaxTrackOutputs);
    for (int i = 0; i < listed; ++i) {
        const std::string material = pictureMaterialName(i);
        addTrackRow(list, m_look, i, displayTrackName(*MidiData1.Tracks(i)), material);
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
    if (listed < MidiData1.TrackCount() && m_services.notify)
        m_services.notify(tooManyTracksMessage(MidiData1.TrackCount()));
    if (list.count() == 0)
        return;
    auto& last = static_cast<TGLBaseControl&>(list.child(list.count() - 1));
    m_controls.Tick->setLogicSize(3, last.globalRect().top + 20 - kTracklistTop);
    m_controls.Tick->setVisible(true);
    static_cast<TGLButton&>(list.child(0)).setPressed(true);
    static_cast<TGLButton&>(list.child(1)).setPressed(true);
}

void EditorScreen::tabulate(int track) {
    MidiData1.setActive(true);
    m_tables = tabulateTrack(MidiData1, track, m_tables.firstNoteUnit);
}

void EditorScreen::trackClick(TGLBaseControl& sender) {
    TGLPanel& list = *m_controls.Tracklist;
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
    MidiData1.setActive(true);
    TrackOutputs1->setActive(true);
    for (int i = 0; i < TrackOutputs1->outputCount(); ++i)
        TrackOutputs1->Outputs(i)->setMuted(false);
    if (selectedOnly)
        for (int i = 0; i < TrackOutputs1->outputCount(); ++i)
            if (i != m_selectedTrack)
                TrackOutputs1->Outputs(i)->setMuted(true);
    MidiPlayer1->Rebind();
    MidiPlayer1->Rewind();
    MidiPlayer1->setPlay(true);
}

void EditorScreen::PLAYAButtonClick() {
    playAll(false);
}

void EditorScreen::GLButton22ButtonClick() {
    playAll(true);
}

void EditorScreen::rewind() {
    MidiPlayer1->Rebind();
    MidiPlayer1->Rewind();
}

void EditorScreen::GLButton24ButtonClick() {
    rewind();
}

void EditorScreen::GLScrollbar4Change() {
    const auto percent = static_cast<std::int32_t>(std::nearbyint(m_controls.GLScrollbar4->pos()));
    MidiPlayer1->setTempoPercent(percent);
    m_controls.GLLabel28->setCaption("Tempo " + std::to_string(percent) + "%");
}

void EditorScreen::GLScrollbar4MouseLeave() {
    m_controls.GLLabel28->setCaption("Play Tempo");
}

void EditorScreen::Timer2Timer() {
    if (m_songLength == 0)
        return;
    const double left = (MidiPlayer1->Position() / 100) * kMarkerSpan / m_songLength + kMarkerLeft;
    m_controls.Tick->setLeft(static_cast<int>(std::nearbyint(left)));
}

void EditorScreen::GLButton12ButtonClick() {
    m_tabulatedTrack = m_selectedTrack;
    tabulate(m_tabulatedTrack);
    if (m_tables.noteCount == 0) {
        if (m_services.notify)
            m_services.notify(kNoNotesMessage);
        return;
    }
    SongDraftFields fields{m_controls.GLEdit3->caption(), m_controls.GLEdit4->caption(), m_mp3Name,
                           std::nullopt};
    if (m_videoPicked)
        fields.videoName = m_videoName;
    const std::string text = composeSongDraft(fields, m_tables);
    if (m_services.showSongText)
        m_services.showSongText(text);
}

} // namespace cantorix::editor
