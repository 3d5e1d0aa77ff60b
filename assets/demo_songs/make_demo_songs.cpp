// Composes the demo songs into the songs folder of the program directory given on the command
// line: per song a folder "Cantorix - <title>" with the MP3, the song file and cover.jpg (the
// song file of a song with a clip names it; the demo video generator draws the clip), and the
// duet in the standard song format with its Ogg Vorbis audio, PNG cover and background. Run
// by the build; nothing it writes is kept in the source tree. The names here must match
// CANTORIX_DEMO_SONGS in CMakeLists.txt.
//
// `--voice SONG OUT.wav` writes instead the lead voice of one song alone (SONG is its title or
// its folder name): a singer in tune with the song file, for tests that sing into the game.

#include "../picture_files.h"
#include "arrangement.h"
#include "cover_art.h"
#include "demo_tunes.h"
#include "duet_song.h"
#include "lead_voice.h"
#include "melody_pitch.h"
#include "mp3_file.h"
#include "ogg_file.h"
#include "song_text.h"

#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cantorix::assets;
using namespace cantorix::assets::demo;

namespace {

using CoverPainter = QImage (*)(const QString&);

// In the order of demoTunes().
const CoverPainter kCovers[] = {lanternCover, harbourCover, kitesCover};
// The song's clip, drawn by the demo video generator; empty for songs without one.
const char* const kVideos[] = {"", "harbour.avi", ""};
// The duet's pictures, named by its song file (keep in step with CMakeLists.txt).
const char* const kDuetCover = "lighthouses.png";
const char* const kDuetBackground = "background.jpg";

void writeText(const std::string& text, const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), std::streamsize(text.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

std::string folderName(const Tune& tune) {
    return std::string(kDemoArtist) + " - " + tune.sheet.title;
}

std::vector<Tune> composeTunes() {
    const std::vector<TuneSheet> sheets = demoTunes();
    if (sheets.size() != std::size(kCovers) || sheets.size() != std::size(kVideos))
        throw std::runtime_error("every demo song needs a cover and a video entry");
    std::vector<Tune> tunes;
    for (const TuneSheet& sheet : sheets)
        tunes.push_back(buildTune(sheet));
    return tunes;
}

// Audio is the slow part; every song gets a worker thread.
std::vector<std::future<void>> startAudio(const std::vector<Tune>& tunes,
                                          const std::filesystem::path& songs) {
    std::vector<std::future<void>> audio;
    for (const Tune& tune : tunes) {
        const std::filesystem::path file = songs / folderName(tune) / (folderName(tune) + ".mp3");
        audio.push_back(
            std::async(std::launch::async, [&tune, file] { writeMp3(renderTune(tune), file); }));
    }
    return audio;
}

// The duet in the standard song format: its song file now, its audio on a worker thread.
std::future<void> startDuet(const DuetSong& duet, const std::filesystem::path& songs) {
    const std::string name = std::string(kDemoArtist) + " - " + duet.tune.sheet.title;
    const DuetMedia media{name + ".ogg", kDuetCover, kDuetBackground};
    std::filesystem::create_directories(songs / name);
    writeText(duetSongText(duet, media), songs / name / (name + ".txt"));
    const std::filesystem::path file = songs / name / media.audio;
    return std::async(std::launch::async,
                      [&duet, file] { writeOggVorbis(renderTune(duet.tune), file); });
}

void writeSongs(char** argv) {
    const std::filesystem::path songs = std::filesystem::path(argv[1]) / "songs";
    const std::vector<Tune> tunes = composeTunes();
    // Every melody is scored by the pitch analysis, and so checked, before anything is written.
    std::vector<std::future<std::vector<int>>> scoring;
    for (const Tune& tune : tunes)
        scoring.push_back(std::async(std::launch::async, [&tune] { return melodyPitches(tune); }));
    std::vector<std::vector<int>> pitches;
    for (std::future<std::vector<int>>& scored : scoring)
        pitches.push_back(scored.get());
    for (std::size_t i = 0; i < tunes.size(); ++i) {
        const std::string name = folderName(tunes[i]);
        std::filesystem::create_directories(songs / name);
        writeText(songText(tunes[i], pitches[i], name + ".mp3", kVideos[i]),
                  songs / name / (name + ".txt"));
    }
    // The workers start before the GUI application: threads started after its start-up
    // inherit a vector-register state that made the synthesis eight times slower.
    std::vector<std::future<void>> audio = startAudio(tunes, songs);
    const DuetSong duet = composeDuet();
    audio.push_back(startDuet(duet, songs));
    // Fonts need a GUI application; no display is needed to paint into images.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    for (std::size_t i = 0; i < tunes.size(); ++i) {
        const QImage cover = kCovers[i](QString::fromStdString(tunes[i].sheet.title));
        writeJpeg(cover, songs / folderName(tunes[i]) / "cover.jpg", 90);
    }
    const std::filesystem::path duetFolder = songs / folderName(duet.tune);
    writePng(lighthousesCover(QString::fromStdString(duet.tune.sheet.title)),
             duetFolder / kDuetCover);
    writeJpeg(lighthousesBackground(), duetFolder / kDuetBackground, 90);
    for (std::future<void>& done : audio)
        done.get();
}

void writeVoice(const std::string& song, const std::filesystem::path& file) {
    std::string titles;
    std::vector<Tune> tunes = composeTunes();
    tunes.push_back(composeDuet().tune);
    for (const Tune& tune : tunes) {
        if (song == tune.sheet.title || song == folderName(tune)) {
            writeLeadVoiceWav(tune, file);
            return;
        }
        titles += (titles.empty() ? "" : ", ") + tune.sheet.title;
    }
    throw std::runtime_error("no demo song '" + song + "' (there are: " + titles + ")");
}

} // namespace

int main(int argc, char** argv) {
    const bool voice = argc > 1 && std::string(argv[1]) == "--voice";
    if (argc != (voice ? 4 : 2)) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIRECTORY\n       %s --voice SONG OUT.wav\n",
                     argv[0], argv[0]);
        return 2;
    }
    try {
        if (voice)
            writeVoice(argv[2], argv[3]);
        else
            writeSongs(argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_demo_songs: %s\n", e.what());
        return 1;
    }
    return 0;
}
