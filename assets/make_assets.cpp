// Draws every picture the game loads and writes it under the program directory given on the
// command line. Run by the build; nothing it writes is kept in the source tree.
// The file list here must match CANTORIX_ASSET_FILES in CMakeLists.txt.

#include "button_art.h"
#include "picture_files.h"
#include "scenery_art.h"
#include "skin_art.h"

#include <QGuiApplication>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

using namespace cantorix::assets;

namespace {

// Button pictures are keyed by their top-left pixel; a key colour inside the art would punch
// holes into it, so check every opaque pixel before writing.
QImage checkedButton(const QImage& image, const char* name) {
    const QRgb key = image.pixel(0, 0);
    if (qAlpha(key) != 0)
        throw std::runtime_error(std::string(name) + ": the art covers the top-left pixel");
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) != 0 && qAlpha(p) != 255)
                throw std::runtime_error(std::string(name) + ": partly transparent pixel");
            if (qAlpha(p) == 255 && (p & 0xffffff) == (key & 0xffffff))
                throw std::runtime_error(std::string(name) + ": key colour inside the art");
        }
    return image;
}

void writeButtons(const std::filesystem::path& vip) {
    const auto button = [&](const QImage& image, const char* name) {
        writeTga(checkedButton(image, name), vip / name, TgaEncoding::RunLength);
    };
    button(startButton(), "about.tga");
    button(menuButton("EDITOR"), "editor.tga");
    button(menuButton("SCORES"), "score.tga");
    button(menuButton("OPTIONS"), "options.tga");
    button(arrowButton(ArrowDirection::Left), "arrow.tga");
    button(arrowButton(ArrowDirection::Right), "arrow2.tga");
    button(transportButton(TransportSymbol::Play), "Play.tga");
    button(transportButton(TransportSymbol::Rewind), "Rewind.tga");
    button(transportButton(TransportSymbol::Pause), "Pause.tga");
}

void writeAll(const std::filesystem::path& root) {
    const auto vip = root / "data" / "skins" / "vip";
    const auto gfx = root / "data" / "gfx";
    writeJpeg(stageBackdrop(), vip / "bg.jpg", 92);
    writeTga(guiSkin(), vip / "defaultSkin.tga", TgaEncoding::Uncompressed);
    writeTga(progressTexture(), vip / "progress.tga", TgaEncoding::Uncompressed);
    writeButtons(vip);

    writeTga(staffLineTexture(), gfx / "strip.tga", TgaEncoding::Uncompressed);
    writeTga(oscilloscopeTexture(), gfx / "OsciSkin.tga", TgaEncoding::Uncompressed, false);
    writeTga(clockPanel(), gfx / "track.tga", TgaEncoding::Uncompressed);
    writeTga(scopePanel(), gfx / "track1.tga", TgaEncoding::Uncompressed);
    // The game asks for the cover under both spellings; on a case-sensitive file system they
    // are two files.
    const QImage cover = fallbackCover();
    writeJpeg(cover, gfx / "song cover.jpg", 90);
    writeJpeg(cover, gfx / "Song Cover.jpg", 90);
    writePng(splashPicture().convertToFormat(QImage::Format_RGB888), gfx / "splash.png");
    writePng(aboutLogo(), gfx / "logo.png");
    for (const int size : {48, 128, 256}) {
        const std::string side = std::to_string(size);
        writePng(appIcon(size), root / "icons" / "hicolor" / (side + "x" + side) / "apps" /
                                    "org.cantorix.Cantorix.png");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIRECTORY\n", argv[0]);
        return 2;
    }
    // Fonts need a GUI application; no display is needed to paint into images.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    try {
        writeAll(std::filesystem::path(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_assets: %s\n", e.what());
        return 1;
    }
    return 0;
}
