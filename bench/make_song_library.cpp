// Generates a large song library for the library benchmarks: SONGS song folders three levels deep
// (artist/album/song), each with a song file (game and standard format mixed, some duets), a
// 600 × 600 "cover.jpg" and an audio file. The covers and the audio are hard links to a few
// files made once, so the library costs little disk beyond its folders and song texts.
// Usage: make_song_library DIR [SONGS]   (DIR must not exist yet or be empty; keep it under /tmp)

#include "song_library_names.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kAlbumsPerArtist = 3;
constexpr int kSongsPerAlbum = 10;
constexpr int kCovers = 4;

void makeCovers(const fs::path& dir) {
    for (int c = 0; c < kCovers; ++c) {
        QImage cover(600, 600, QImage::Format_RGB32);
        cover.fill(QColor::fromHsv(c * 83 % 360, 150, 140));
        QPainter painter(&cover);
        painter.setBrush(QColor::fromHsv(c * 83 % 360 + 20, 200, 230));
        painter.drawEllipse(80 + 40 * c, 120, 380, 380);
        painter.end();
        cover.save(QString::fromStdString((dir / ("cover" + std::to_string(c) + ".jpg")).string()),
                   "JPG", 90);
    }
}

// Every song plays the same real MP3 (a copy, so hard links stay on the library's disk): the
// game previews the selected song, and a stand-in file would stop it with a message.
void linkAudio(const fs::path& dir, const fs::path& audio) {
    fs::copy_file(audio, dir / "audio.mp3", fs::copy_options::overwrite_existing);
}

std::string gameSong(const std::string& artist, const std::string& title) {
    std::string text =
        "#TITLE:" + title + "\n#ARTIST:" + artist + "\n#MP3:audio.mp3\n#BPM:240\n#GAP:1200\n";
    static const int kPitches[] = {10, 12, 14, 16, 18, 21, 23};
    for (int n = 0; n < 60; ++n) {
        text += ": " + std::to_string(n * 4) + " 3 " + std::to_string(kPitches[n % 7]) + " la\n";
        if (n % 8 == 7)
            text += "- " + std::to_string(n * 4 + 3) + "\n";
    }
    return text + "E\n";
}

std::string standardSong(const std::string& artist, const std::string& title, bool duet) {
    std::string text = "#VERSION:1.0.0\n#TITLE:" + title + "\n#ARTIST:" + artist +
                       "\n#AUDIO:audio.mp3\n#COVER:cover.jpg\n#BPM:300\n#GAP:5000\n";
    for (int voice = 1; voice <= (duet ? 2 : 1); ++voice) {
        if (duet)
            text += "P" + std::to_string(voice) + "\n";
        for (int n = 0; n < 120; ++n) {
            text += (n % 10 == 0 ? "* " : ": ") + std::to_string(n * 4) + " 3 " +
                    std::to_string(n % 12) + " lo\n";
            if (n % 8 == 7)
                text += "- " + std::to_string(n * 4 + 3) + "\n";
        }
    }
    return text + "E\n";
}

std::string number(int value, int width) {
    std::string text = std::to_string(value);
    return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))),
                       '0') +
           text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_song_library DIR SONGS AUDIO.mp3\n");
        return 2;
    }
    const fs::path root = argv[1];
    const int songs = std::atoi(argv[2]);
    std::error_code ec;
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
        std::fprintf(stderr, "make_song_library: '%s' is not empty\n", root.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const fs::path shared = root / ".shared";
    fs::create_directories(shared);
    makeCovers(shared);
    linkAudio(shared, argv[3]);
    cantorix::bench::LibraryNames names(7);
    const int perArtist = kAlbumsPerArtist * kSongsPerAlbum;
    std::string artist;
    for (int i = 0; i < songs; ++i) {
        if (i % perArtist == 0)
            artist = names.artist();
        const std::string title = names.title();
        const fs::path folder =
            root / (number(i / perArtist, 4) + " " + artist) /
            ("Album " + std::to_string(i / kSongsPerAlbum % kAlbumsPerArtist + 1)) /
            (number(i % kSongsPerAlbum + 1, 2) + " " + title);
        fs::create_directories(folder);
        const bool standard = i % 2 == 1;
        std::ofstream(folder / (artist + " - " + title + ".txt"), std::ios::binary)
            << (standard ? standardSong(artist, title, i % 10 == 1) : gameSong(artist, title));
        fs::create_hard_link(shared / ("cover" + std::to_string(i % kCovers) + ".jpg"),
                             folder / "cover.jpg");
        fs::create_hard_link(shared / "audio.mp3", folder / "audio.mp3");
    }
    std::printf("%d songs under %s\n", songs, root.c_str());
    return 0;
}
