// Timed tool run: a songs directory of many folders, each with a 600 × 600 cover, is scanned and
// every cover decoded and registered as a material, as the game does at start-up. Prints the
// wall time of the scan and the cover loading, and the peak resident memory of the process.
// Usage: cover_scan_bench [FOLDERS] [--without-covers]   (default 1000 folders with covers;
// without covers every folder shows the fallback picture)

#include "platform/jpeg_decoder.h"
#include "scene/material.h"
#include "scene/picture_loader.h"
#include "songs/song_library.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cantorix;

namespace {

void makeLibrary(const fs::path& songs, int folders, bool withCovers) {
    QImage cover(600, 600, QImage::Format_RGB32);
    for (int i = 0; i < folders; ++i) {
        const fs::path folder = songs / ("Song " + std::to_string(i));
        fs::create_directories(folder);
        if (!withCovers)
            continue;
        // Every cover differs, so the decoder cannot win on repeated data.
        cover.fill(QColor::fromHsv(i * 37 % 360, 160, 120));
        QPainter p(&cover);
        p.setPen(Qt::white);
        p.drawEllipse(100 + i % 200, 100, 300, 300);
        p.drawText(50, 550, QString("Song %1").arg(i));
        p.end();
        cover.save(QString::fromStdString((folder / "cover.jpg").string()), "JPG", 90);
    }
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    int folders = 1000;
    bool withCovers = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--without-covers")
            withCovers = false;
        else
            folders = std::stoi(argv[i]);
    }
    const fs::path root =
        fs::temp_directory_path() / ("cantorix-cover-bench-" + std::to_string(::getpid()));
    const fs::path songs = root / "songs";
    const fs::path fallback = root / "Song Cover.jpg";
    {
        QGuiApplication app(argc, argv);
        makeLibrary(songs, folders, withCovers);
        // The size of the game's own fallback picture.
        QImage picture(512, 512, QImage::Format_RGB32);
        picture.fill(QColor(90, 90, 140));
        picture.save(QString::fromStdString(fallback.string()), "JPG", 90);
    }
    const long before = peakResidentKiB();

    platform::LibJpegDecoder jpeg;
    scene::PictureFileLoader covers(jpeg, 256);
    scene::TGLMaterialLibrary library("Covers", covers, songs);
    const auto start = std::chrono::steady_clock::now();
    const auto entries = songs::listSongEntries(songs);
    const int fallbacks = songs::registerCoverMaterials(library, songs, entries, fallback, covers,
                                                        std::thread::hardware_concurrency());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf(
        "%zu song folders, %d without a cover: scan and cover loading %.3f s on %u threads\n",
        entries.size(), fallbacks, seconds, std::thread::hardware_concurrency());
    std::printf(
        "peak resident memory %.1f MiB (%.1f MiB before the scan, while writing the covers)\n",
        peakResidentKiB() / 1024.0, before / 1024.0);
    fs::remove_all(root);
    return 0;
}
