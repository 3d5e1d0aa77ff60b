#include "app/player_pictures.h"
#include "fakes/special_files.h"

#include <QGuiApplication>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace cantorix::app {
namespace {

namespace fs = std::filesystem;

TEST(PlayerPicturesTest, PicturesAreShrunkAndKeptAsPngAndWhatIsNoPictureIsRefused) {
    const fs::path dir =
        fs::temp_directory_path() / ("cantorix-pictures-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.png");
    std::ofstream(dir / "notes.png") << "just some text\n";
    const fs::path folder = dir / "pictures";
    // A JPEG named .png is read by what it holds.
    for (const char* format : {"PNG", "JPEG"}) {
        const fs::path picked = dir / "picked.png";
        QImage(1000, 500, QImage::Format_RGB32)
            .save(QString::fromStdString(picked.string()), format);
        const std::string name = storePlayerPicture(picked, folder, 42);
        EXPECT_TRUE(name.starts_with("42-") && name.ends_with(".png")) << name;
        EXPECT_EQ(QImage(QString::fromStdString((folder / name).string()), "PNG").size(),
                  QSize(256, 128));
    }
    EXPECT_THROW(storePlayerPicture(dir / "notes.png", folder, 1), ENotAPicture);
    EXPECT_THROW(storePlayerPicture(dir / "folder.png", folder, 1), EPictureUnreadable);
    // A named pipe is refused as opened, never read (a read would wait for a writer for ever).
    cantorix::testing::makeFifo(dir / "pipe.png");
    EXPECT_THROW(storePlayerPicture(dir / "pipe.png", folder, 1), EPictureUnreadable);
    // Two pictures kept, nothing half-written beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    fs::remove_all(dir);
}

TEST(PlayerPicturesTest, InitialsPictureIsASquareOfTheColourWithTheInitials) {
    int argc = 1;
    char name[] = "player_pictures_test";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage drawn = initialsPicture("Anna Lind", 0x000000FF, 64);
    ASSERT_EQ(drawn.size(), QSize(64, 64));
    EXPECT_EQ(drawn.pixelColor(1, 1), QColor(255, 0, 0)); // 0x00BBGGRR
    int lettered = 0; // drawn in the middle, in a colour that stands out
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            lettered += drawn.pixelColor(x, y) != QColor(255, 0, 0);
    EXPECT_GT(lettered, 40);
}

} // namespace
} // namespace cantorix::app
