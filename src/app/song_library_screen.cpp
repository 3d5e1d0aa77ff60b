#include "song_library_screen.h"

#include "fitted_text.h"
#include "options_form.h"
#include "program_files.h"
#include "songs/song_playability.h"
#include "songs/text_encoding.h"

#include <chrono>
#include <thread>

namespace cantorix::app {

using namespace cantorix::scene;

namespace fs = std::filesystem;

namespace {

constexpr int kPollMs = 40;
constexpr std::chrono::milliseconds kFirstSongsWait{300};
// The covers decoded around the selected song: it and this many on each side.
constexpr int kCoversEachSide = 3;

// The slab's reason: one line centred over the artist, above the Start button and clear of the
// screen's edge.
constexpr int kSlabTextWidth = 380;
// The text when nothing can be played spans the empty top of the screen.
constexpr int kAddSongsTextWidth = 700;

// The player names the whole path and then why: "Cannot play '/…/a.ogg': Invalid data …".
std::string playerReason(const std::string& message) {
    const std::size_t quoteEnd = message.rfind("': ");
    return songs::firstLine(quoteEnd == std::string::npos ? message : message.substr(quoteEnd + 3));
}

// A name from a song file shown as the player reads it, whatever its code page.
std::string displayName(const std::string& bytes) {
    return songs::toDisplayText(bytes, songs::detectTextEncoding(bytes));
}

// Without a cache every start scans afresh; nothing is kept.
class NoLibraryCache : public songs::LibraryCache {
public:
    std::vector<songs::SongSummary> load() override { return {}; }
    void store(const std::vector<songs::SongSummary>&, const std::vector<fs::path>&) override {}
};

} // namespace

SongLibraryScreen::SongLibraryScreen(GameScene& game, songs::TSongList& list,
                                     selection::SongSelection& selection, Hooks hooks)
    : m_game(game), m_list(list), m_selection(selection), m_hooks(std::move(hooks)) {
    m_poll.setInterval(kPollMs);
    QObject::connect(&m_poll, &QTimer::timeout, [this] { m_hooks.guarded([this] { poll(); }); });
}

SongLibraryScreen::~SongLibraryScreen() = default;

std::string SongLibraryScreen::coverMaterial(int index) {
    if (!m_covers || index < 0 || static_cast<std::size_t>(index) >= m_browser.shownCount())
        return std::string(selection::kFallbackCoverMaterial);
    return m_covers->materialFor(m_browser.shown(static_cast<std::size_t>(index)).cover);
}

void SongLibraryScreen::start(std::vector<fs::path> roots, songs::LibraryCache* cache,
                              scene::ImageLoader& coverLoader, const fs::path& fallbackCover) {
    m_covers = std::make_unique<selection::CoverCache>(m_game.materials.covers, coverLoader,
                                                       fallbackCover);
    if (!cache) {
        m_noCache = std::make_unique<NoLibraryCache>();
        cache = m_noCache.get();
    }
    m_browser.setOrder(songOrderOf(m_game.options.gameplay.songOrder->caption()));
    m_browser.setShowUnplayable(showsUnplayableSongs(m_game));
    m_roots = roots;
    m_scanner = std::make_unique<songs::LibraryScanner>(std::move(roots), *cache);
    if (!m_hooks.remember)
        m_hooks.remember = [this](songs::SongSummary song) {
            m_scanner->rememberAudio(std::move(song));
        };
    m_browser.assign(m_scanner->cached());
    m_scanning = true;
    if (m_browser.total() == 0) {
        startScan();
        awaitFirstSongs();
    }
    m_poll.start();
    showList();
}

void SongLibraryScreen::startScan() {
    if (m_scanStarted || !m_scanner)
        return;
    m_scanStarted = true;
    m_scanner->start();
}

void SongLibraryScreen::releasePreview() {
    if (!m_previewHeld)
        return;
    m_previewHeld = false;
    // A song known not to play stays as it was shown.
    if (selectedSummary() != nullptr && m_problem.empty())
        selectSong();
}

void SongLibraryScreen::awaitFirstSongs() {
    // With nothing cached the screen would open empty: a small library is scanned by then, and
    // a large one shows what the scan has found so far.
    const auto until = std::chrono::steady_clock::now() + kFirstSongsWait;
    while (m_scanning && std::chrono::steady_clock::now() < until) {
        takeUpdate();
        if (m_scanning)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool SongLibraryScreen::takeUpdate() {
    songs::ScanUpdate update = m_scanner->poll();
    m_found = update.songsFound;
    const bool changed = !update.changed.empty() || !update.removed.empty();
    if (changed)
        m_browser.apply(std::move(update.changed), update.removed);
    if (update.finished) {
        m_scanning = false;
        m_scanned = true;
    }
    return changed;
}

void SongLibraryScreen::setOrder(songs::SongOrder order) {
    m_browser.setOrder(order);
    showList();
}

void SongLibraryScreen::setPopularity(songs::SongPopularityLookup lookup) {
    m_browser.setPopularity(std::move(lookup));
    showList();
}

void SongLibraryScreen::popularityChanged() {
    const songs::SongOrder order = m_browser.order();
    if (order != songs::SongOrder::MostSung && order != songs::SongOrder::RecentlySung)
        return;
    m_browser.resort();
    showList();
}

void SongLibraryScreen::setShowUnplayable(bool show) {
    m_browser.setShowUnplayable(show);
    showList();
}

void SongLibraryScreen::poll() {
    if (m_scanner && m_scanning) {
        if (takeUpdate())
            showList();
        showStatus();
    }
    if (m_covers && m_covers->collect() && m_ring)
        m_ring->refreshCover();
}

void SongLibraryScreen::showList() {
    if (m_list.itemIndex() >= 0)
        m_selectedFolder = m_list.selected();
    m_list.assign(m_browser.shownFolders());
    // A search that matched nothing keeps the song selected before it for when it is cleared.
    if (const auto position = m_browser.positionOf(m_selectedFolder);
        position && !m_selectedFolder.empty()) {
        // The song stays selected wherever the new songs put it; nothing turns or plays anew,
        // unless the scan has changed its verdict (its audio found, or found missing).
        m_list.setItemIndex(static_cast<int>(*position));
        if (songs::problemLine(m_browser.shown(*position)) != m_verdict)
            selectSong();
    } else if (m_list.count() > 0 && m_ring) {
        // A song that cannot be read is reported; the list is shown all the same.
        m_hooks.guarded([this] {
            if (m_selectedFolder.empty()) {
                // The first songs known: the third is selected and the cover turns once, right.
                m_list.setItemIndex(1);
                m_ring->turnRight();
            } else {
                moveTo(0, -1);
            }
        });
    }
    wantCovers();
    showStatus();
    showProblem();
}

bool SongLibraryScreen::showSongFile(const std::string& songFile) {
    const std::vector<songs::SongSummary>& known = m_browser.songs();
    const auto song = std::find_if(known.begin(), known.end(), [&](const songs::SongSummary& s) {
        return s.songFile == songFile;
    });
    if (song == known.end())
        return false;
    const std::string folder = song->folder;
    if (!m_browser.positionOf(folder)) {
        m_search.clear();
        run(selection::SelectionCommand{selection::SelectionCommand::QueryChanged});
    }
    const std::optional<std::size_t> position = m_browser.positionOf(folder);
    if (!position)
        return false; // a song hidden as unplayable
    moveTo(static_cast<int>(*position), +1);
    return m_list.itemIndex() == static_cast<int>(*position);
}

void SongLibraryScreen::moveTo(int position, int direction) {
    if (!m_ring || m_list.count() == 0)
        return;
    m_ring->jumpTo(position, direction);
    wantCovers();
}

void SongLibraryScreen::wantCovers() {
    if (!m_covers || m_list.itemIndex() < 0)
        return;
    const int at = m_list.itemIndex();
    std::vector<fs::path> wanted{m_browser.shown(static_cast<std::size_t>(at)).cover};
    for (int offset = 1; offset <= kCoversEachSide; ++offset)
        for (int position : {at + offset, at - offset})
            if (position >= 0 && position < m_list.count())
                wanted.push_back(m_browser.shown(static_cast<std::size_t>(position)).cover);
    m_covers->want(wanted);
}

const songs::SongSummary* SongLibraryScreen::selectedSummary() const {
    const int at = m_list.itemIndex();
    if (at < 0 || static_cast<std::size_t>(at) >= m_browser.shownCount())
        return nullptr;
    return &m_browser.shown(static_cast<std::size_t>(at));
}

void SongLibraryScreen::selectSong() {
    m_notice.clear();
    m_outputFailed = false;
    m_previewedAudio = {};
    const songs::SongSummary* summary = selectedSummary();
    m_browser.setSelectedFolder(summary ? summary->folder : std::string());
    m_problem = summary ? songs::problemLine(*summary) : std::string();
    m_verdict = m_problem;
    using Preview = selection::SongSelection::Preview;
    try {
        // A song known not to play is shown without trying its audio again.
        m_selection.SelectSong(m_problem.empty() && !m_previewHeld ? Preview::Play : Preview::None);
        if (m_problem.empty() && !m_previewHeld) {
            m_previewedAudio = songs::fileStamp(m_selection.selected().audioPath);
            keepAudioLength();
        }
    } catch (const songs::EMediaPlayerError& error) {
        m_problem = audioFailed(error);
    } catch (const std::exception& error) {
        // Changed since the scan read it: the reader's own words, on one line.
        if (m_problem.empty())
            m_problem = "song text refused: " + songs::firstLine(error.what());
    }
    showProblem();
    showStatus();
}

void SongLibraryScreen::keepAudioLength() {
    const songs::SongSummary* summary = selectedSummary();
    if (summary == nullptr)
        return;
    if (std::optional<songs::SongSummary> marked = m_browser.markAudioLength(
            summary->folder, m_selection.previewLengthMs(), m_previewedAudio))
        m_hooks.remember(std::move(*marked));
}

std::string SongLibraryScreen::audioFailed(const songs::EMediaPlayerError& error) {
    const songs::SongSummary* summary = selectedSummary();
    const std::filesystem::path audio = m_selection.selected().audioPath;
    if (audio.empty())
        return "no audio file named";
    std::string reason = "audio cannot be played: " + displayName(audio.filename().string()) +
                         " (" + playerReason(error.what()) + ")";
    if (dynamic_cast<const songs::ESoundOutputError*>(&error)) {
        m_outputFailed = true;
        return reason;
    }
    if (summary) {
        if (std::optional<songs::SongSummary> marked =
                m_browser.markUnplayable(summary->folder, reason)) {
            m_verdict = songs::problemLine(*marked);
            m_hooks.remember(std::move(*marked));
        }
    }
    return reason;
}

bool SongLibraryScreen::mayStart() {
    // A medley chosen is not the ring's song: its music says at its start what will not open.
    if (m_selection.selected().medley)
        return true;
    // Without a single song text the session's own start says there is no song file.
    if (m_browser.total() == 0)
        return true;
    // Songs were found, but none is listed: the screen says why already.
    if (m_list.itemIndex() < 0)
        return false;
    // A start before the preview was released tries the audio as the preview would have.
    m_previewHeld = false;
    // The sound output may have come back since the preview failed on it, and the audio may
    // have changed since the preview opened it: either way the preview tries it again, so that
    // a session never starts on music that will not open.
    if (m_outputFailed || (m_problem.empty() &&
                           songs::fileStamp(m_selection.selected().audioPath) != m_previewedAudio))
        selectSong();
    if (m_problem.empty())
        return true;
    m_notice = m_problem;
    showStatus();
    return false;
}

void SongLibraryScreen::showProblem() {
    GameScene& g = m_game;
    // Every song text found refused or silent: say where songs are looked for, and that the
    // library line under the cover lists what is wrong.
    const bool nothingToSing =
        m_browser.shownCount() == 0 && m_browser.query().empty() && m_browser.unplayableCount() > 0;
    std::string addSongs;
    if (nothingToSing)
        for (const std::string& row : noPlayableSongsLines(m_roots, m_browser.unplayableCount()))
            addSongs += (addSongs.empty() ? "" : "\n") +
                        fitToWidth(*g.selection.addSongsText->font(), row, kAddSongsTextWidth);
    g.selection.addSongsText->setText(addSongs);
    g.selection.addSongsText->setVisible(nothingToSing);
    if (nothingToSing) {
        g.selection.artist->setText("");
        g.selection.title->setText("");
    }
    const bool shown = !m_problem.empty() && m_list.itemIndex() >= 0;
    g.selection.songProblem->setText(
        shown ? fitToWidth(*g.selection.songProblem->font(), m_problem, kSlabTextWidth)
              : std::string());
    g.selection.songProblem->setVisible(shown);
    // The reason takes the place of a duet's voices: a song that cannot be sung has none to
    // choose.
    if (shown) {
        g.selection.voices->setVisible(false);
        g.selection.voiceChoice->setVisible(false);
    }
}

void SongLibraryScreen::setStatusAddition(std::string text) {
    m_statusAddition = std::move(text);
    showStatus();
}

void SongLibraryScreen::showStatus() {
    std::string status = m_notice;
    if (status.empty()) {
        status = selection::libraryStatusText(m_browser, m_scanning, m_found);
        if (!m_statusAddition.empty())
            status += " · " + m_statusAddition;
    }
    m_game.selection.libraryStatus->setText(status);
    m_game.selection.searchText->setVisible(m_search.open());
    m_game.selection.searchText->setText("Find: " + m_search.text() + "_");
    if (m_hooks.statusChanged)
        m_hooks.statusChanged();
}

void SongLibraryScreen::keyDown(int key) {
    const bool voiceShown = m_game.selection.voiceChoice->visible();
    m_search.setVoiceShortcut(voiceShown, voiceShown ? m_selection.voiceKeySingers() : 0);
    run(m_search.keyDown(key));
}

void SongLibraryScreen::keyPress(char32_t ch) {
    run(m_search.keyPress(ch));
}

void SongLibraryScreen::run(const selection::SelectionCommand& command) {
    using K = selection::SelectionCommand;
    const int count = m_list.count();
    const int at = m_list.itemIndex();
    switch (command.kind) {
    case K::QueryChanged:
        m_notice.clear();
        m_browser.setQuery(m_search.text());
        showList();
        break;
    case K::Step:
        if (command.steps == 1 || command.steps == -1) {
            // One step is an arrow click, ends and all.
            if (m_ring && count > 0)
                command.steps < 0 ? m_ring->turnLeft() : m_ring->turnRight();
            wantCovers();
        } else {
            moveTo(selection::steppedPosition(at, command.steps, count), command.steps);
        }
        break;
    case K::First:
        moveTo(0, -1);
        break;
    case K::Last:
        moveTo(count - 1, +1);
        break;
    case K::Random:
        if (count > 0)
            moveTo(static_cast<int>(m_hooks.random(count)), +1);
        break;
    case K::NextVoice:
        if (command.singer > 0)
            m_selection.chooseNextVoiceOf(static_cast<std::size_t>(command.singer - 1));
        else
            m_selection.chooseNextVoice();
        break;
    case K::Start:
        if (m_hooks.start)
            m_hooks.start();
        break;
    case K::None:
        break;
    }
}

} // namespace cantorix::app
