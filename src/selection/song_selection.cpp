#include "selection/song_selection.h"

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
    if (m_voiceChoice) {
        m_voiceChoice->setVisible(duet);
        m_voiceChoice->setCaption(duet ? "[V] Sing: " + voiceName(song, m_selected.voice) : "");
    }
}

void SongSelection::read(const fs::path& folder, const fs::path& file) {
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
    if (m_selected.voice >= m_selected.standard.voices.size())
        m_selected.voice = 0;
}

void SongSelection::SelectSong(Preview preview) {
    const fs::path folder = selectedFolder();
    m_songFileName = songs::findSongFileName(folder);
    m_selected.voice = 0;
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
    const fs::path folder = selectedFolder();
    if (m_songFileName.empty())
        throw songs::ESongFileError("There is no song file in " + folder.string());
    read(folder, folder / m_songFileName);
}

void SongSelection::chooseNextVoice() {
    if (m_selected.format != songs::SongFormat::Standard || m_selected.standard.voices.size() < 2)
        return;
    m_selected.voice = (m_selected.voice + 1) % m_selected.standard.voices.size();
    showVoices();
}

} // namespace cantorix::selection
