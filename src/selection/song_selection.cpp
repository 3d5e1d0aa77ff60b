#include "selection/song_selection.h"

#include "scene/bitmap_font.h"
#include "session/singer_inputs.h"
#include "songs/song_errors.h"
#include "songs/song_media_file.h"
#include "songs/song_text_file.h"

#include <algorithm>
#include <cmath>

namespace cantorix::selection {

namespace fs = std::filesystem;

namespace {

// A media file named by a song, found in its folder ignoring case; empty when the song
// names none, names one outside its folder, or the file is not there.
fs::path mediaFile(const fs::path& folder, const std::string& name) {
    return songs::findSongMediaFile(folder, name).value_or(fs::path());
}

std::string voiceName(const songs::StandardSong& song, std::size_t voice) {
    const std::string& name = song.voices[voice].name;
    return name.empty() ? "Voice " + std::to_string(voice + 1) : name;
}

constexpr std::string_view kSwapPart = "[V] swap";
constexpr std::string_view kPartSeparator = " \xC2\xB7 "; // " · "
// The tightest form when even voice numbers do not fit: "[V] 1:P1 2:P2 …".
constexpr std::string_view kTightSwapPart = "[V]";
constexpr std::string_view kTightSeparator = " ";

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

// A singer's name on one line, cut after `characters` characters (code points) with "…" when
// it is longer.
std::string shortName(const std::string& name, std::size_t characters) {
    std::string line;
    std::size_t count = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if ((byte & 0xC0) != 0x80 && count++ == characters)
            return line + "\xE2\x80\xA6";
        line += byte < 0x20 || byte == 0x7F ? ' ' : name[i];
    }
    return line;
}

// The longest singer name a label tries before it drops names altogether.
constexpr std::size_t kLongestName = 24;

} // namespace

SongSelection::SongSelection(fs::path songsDir, songs::TSongList& songs, songs::SongFile& song,
                             songs::MediaPlayer& player, scene::TGLHUDText& artist,
                             scene::TGLHUDText& title, Random random)
    : m_songsDir(std::move(songsDir)), m_songs(songs), m_song(song), m_player(player),
      m_artist(artist), m_title(title), m_random(std::move(random)) {}

void SongSelection::setVoiceDisplay(scene::TGLHUDText* voices, scene::TGLLabel* choice) {
    m_voices = voices;
    m_voiceChoice = choice;
    showVoices();
}

void SongSelection::showTexts() {
    if (m_selected.format == songs::SongFormat::Standard) {
        m_artist.setText(m_selected.standard.artist);
        m_title.setText(m_selected.standard.title);
        return;
    }
    m_artist.setText(m_song.displayText(m_song.songArtist()));
    m_title.setText(m_song.displayText(m_song.songTitle()));
}

void SongSelection::showVoices() {
    const songs::StandardSong& song = m_selected.standard;
    const bool duet = m_selected.format == songs::SongFormat::Standard && song.voices.size() > 1;
    if (m_voices) {
        m_voices->setVisible(duet);
        std::string names;
        for (std::size_t v = 0; duet && v < song.voices.size(); ++v)
            names += (v ? " / " : "Duet: ") + voiceName(song, v);
        m_voices->setText(names);
    }
    m_voiceParts.clear();
    if (!m_voiceChoice)
        return;
    m_voiceChoice->setVisible(duet);
    if (duet && m_singers.size() > 1) {
        m_voiceParts = singerVoiceParts();
        m_voiceChoice->setCaption(joined(m_voiceParts, m_voiceSeparator));
        return;
    }
    m_voiceChoice->setCaption(duet ? "[V] Sing: " + voiceName(song, m_selected.voice) : "");
}

std::vector<std::string> SongSelection::singerVoiceParts() {
    const songs::StandardSong& song = m_selected.standard;
    scene::TGLBitmapFont* font = m_voiceChoice->bitmapFont();
    const auto parts = [&](auto singerText) {
        std::vector<std::string> all{std::string(kSwapPart)};
        for (std::size_t i = 0; i < m_singers.size(); ++i)
            all.push_back("[" + std::to_string(i + 1) + "] " +
                          singerText(m_singers[i], m_selected.singerVoices[i]));
        return all;
    };
    m_voiceSeparator = kPartSeparator;
    const auto fits = [&](const std::vector<std::string>& candidate) {
        return !font ||
               font->textWidth(joined(candidate, m_voiceSeparator)) <= m_voiceChoice->width();
    };
    const auto voiceNumber = [](std::size_t voice) { return "P" + std::to_string(voice + 1); };
    const auto named = [](const std::string& name, std::size_t keep, const std::string& voice) {
        const std::string shown = shortName(name, keep);
        return shown.empty() ? voice : shown + ": " + voice;
    };
    // Names and voice names; then voice numbers with names ever shorter; then numbers alone.
    std::vector<std::string> candidate = parts([&](const std::string& name, std::size_t voice) {
        return named(name, kLongestName, voiceName(song, voice));
    });
    for (std::size_t keep = kLongestName; !fits(candidate) && keep > 0; --keep)
        candidate = parts([&](const std::string& name, std::size_t voice) {
            return named(name, keep, voiceNumber(voice));
        });
    if (!fits(candidate))
        candidate =
            parts([&](const std::string&, std::size_t voice) { return voiceNumber(voice); });
    if (fits(candidate))
        return candidate;
    m_voiceSeparator = kTightSeparator;
    std::vector<std::string> tight{std::string(kTightSwapPart)};
    for (std::size_t i = 0; i < m_singers.size(); ++i)
        tight.push_back(std::to_string(i + 1) + ":" + voiceNumber(m_selected.singerVoices[i]));
    return tight;
}

void SongSelection::read(const fs::path& folder, const fs::path& file) {
    m_selected.medley.reset();
    std::string bytes = songs::readSongFileBytes(file);
    if (songs::detectSongFormat(bytes) == songs::SongFormat::Game) {
        m_selected.format = songs::SongFormat::Game;
        m_selected.audioPath.clear();
        m_selected.videoPath.clear();
        m_selected.backgroundPath.clear();
        m_song.load(bytes, folder, file);
        // The reader joins names to the folder as written; played are only files inside it.
        m_selected.audioPath = songs::songAudioFile(folder, m_song.mp3Value());
        m_selected.videoPath = mediaFile(folder, m_song.videoValue());
        return;
    }
    songs::StandardSong song = songs::readStandardSong(bytes);
    m_selected.format = songs::SongFormat::Standard;
    m_selected.audioPath = songs::songAudioFile(folder, song.audio);
    m_selected.videoPath = mediaFile(folder, song.video);
    m_selected.backgroundPath = mediaFile(folder, song.background);
    m_selected.standard = std::move(song);
}

bool SongSelection::duetShown() const {
    return m_selected.format == songs::SongFormat::Standard &&
           m_selected.standard.voices.size() > 1;
}

void SongSelection::assignVoices(bool keepChoices) {
    const std::size_t voiceCount = duetShown() ? m_selected.standard.voices.size() : 1;
    std::vector<std::size_t>& voices = m_selected.singerVoices;
    const std::size_t chosen = keepChoices ? voices.size() : 0;
    voices.resize(std::max<std::size_t>(1, m_singers.size()));
    for (std::size_t singer = 0; singer < voices.size(); ++singer)
        if (singer >= chosen || voices[singer] >= voiceCount)
            voices[singer] = session::defaultVoiceOf(singer, voiceCount);
    m_selected.voice = voices.front();
}

void SongSelection::setSingers(std::vector<std::string> names) {
    const bool sameCount = names.size() == m_singers.size();
    m_singers = std::move(names);
    assignVoices(sameCount);
    showVoices();
}

void SongSelection::SelectSong(Preview preview) {
    const fs::path folder = selectedFolder();
    m_songFileName = songs::findSongFileName(folder);
    m_selected.format = songs::SongFormat::Game;
    assignVoices(false);
    if (m_songFileName.empty()) {
        // A folder without a song file: show its name, stay quiet, and do not nag on every step.
        m_player.close();
        m_artist.setText("");
        m_title.setText(m_songs.selected());
        m_selected.format = songs::SongFormat::Game;
        showVoices();
        return;
    }
    const fs::path file = folder / m_songFileName;
    try {
        read(folder, file);
    } catch (const songs::EStandardSongError&) {
        // Nothing of a refused standard file can be shown: its folder names it, and the preview
        // of the song before stops rather than play under another song's name.
        m_player.close();
        m_artist.setText("");
        m_title.setText(m_songs.selected());
        m_selected.format = songs::SongFormat::Game;
        showVoices();
        throw;
    } catch (...) {
        // The reader sets the texts before it meets a bad number; show what it got.
        showTexts();
        throw;
    }
    assignVoices(false);
    showTexts();
    showVoices();
    const bool standard = m_selected.format == songs::SongFormat::Standard;
    if (preview == Preview::None) {
        m_player.close();
        return;
    }
    if (m_selected.audioPath.empty()) {
        m_player.close();
        throw songs::EMediaPlayerError("The song file '" + file.string() +
                                       "' names no audio file in its own folder");
    }
    m_player.setFileName(m_selected.audioPath);
    m_player.open();
    if (standard && m_selected.standard.previewStartMs) {
        m_player.setStartPosition(
            std::max<std::int64_t>(0, std::llround(*m_selected.standard.previewStartMs)));
    } else {
        const std::int64_t half = m_player.length() / 2;
        m_player.setStartPosition(half > 0 ? m_random(half) : 0);
    }
    m_player.play();
}

void SongSelection::reload() {
    if (m_selected.medley)
        return;
    const fs::path folder = selectedFolder();
    if (m_songFileName.empty())
        throw songs::ESongFileError("There is no song file in " + folder.string());
    read(folder, folder / m_songFileName);
    assignVoices(true);
}

void SongSelection::selectMedley(std::shared_ptr<const songs::MedleySong> medley) {
    m_player.close();
    m_selected.format = songs::SongFormat::Standard;
    m_selected.standard = medley->song;
    m_selected.audioPath = medley->audioFiles.empty() ? fs::path() : medley->audioFiles.front();
    m_selected.videoPath = medley->stretches.empty() ? fs::path() : medley->stretches.front().video;
    m_selected.backgroundPath =
        medley->stretches.empty() ? fs::path() : medley->stretches.front().background;
    m_selected.medley = std::move(medley);
    // Voices chosen for the song shown before mean nothing here: a duet in the medley is sung by
    // voice, the singers taking them in turn as for a duet song.
    assignVoices(false);
    showTexts();
    showVoices();
}

void SongSelection::chooseNextVoice() {
    if (!duetShown())
        return;
    const std::size_t voiceCount = m_selected.standard.voices.size();
    for (std::size_t& voice : m_selected.singerVoices)
        voice = (voice + 1) % voiceCount;
    m_selected.voice = m_selected.singerVoices.front();
    showVoices();
}

void SongSelection::chooseNextVoiceOf(std::size_t singer) {
    if (!duetShown() || singer >= m_selected.singerVoices.size())
        return;
    std::size_t& voice = m_selected.singerVoices[singer];
    voice = (voice + 1) % m_selected.standard.voices.size();
    m_selected.voice = m_selected.singerVoices.front();
    showVoices();
}

std::size_t SongSelection::voiceKeySingers() const {
    return duetShown() && m_singers.size() > 1 ? m_singers.size() : 0;
}

void SongSelection::chooseVoiceAt(int x) {
    if (!duetShown() || !m_voiceChoice)
        return;
    if (m_voiceParts.empty()) {
        chooseNextVoice();
        return;
    }
    scene::TGLBitmapFont* font = m_voiceChoice->bitmapFont();
    if (!font)
        return;
    // Where the caption starts as the label draws it.
    const scene::RectI box = m_voiceChoice->globalRect();
    const int width = font->textWidth(m_voiceChoice->caption());
    int left = box.left;
    if (m_voiceChoice->alignment() == scene::TAlignment::taCenter)
        left = (box.left + box.right - width) / 2;
    else if (m_voiceChoice->alignment() == scene::TAlignment::taRightJustify)
        left = box.right - width;
    if (x < left)
        return;
    const int separator = font->textWidth(m_voiceSeparator);
    for (std::size_t part = 0; part < m_voiceParts.size(); ++part) {
        left += font->textWidth(m_voiceParts[part]) + separator;
        if (x < left) {
            part == 0 ? chooseNextVoice() : chooseNextVoiceOf(part - 1);
            return;
        }
    }
}

} // namespace cantorix::selection
