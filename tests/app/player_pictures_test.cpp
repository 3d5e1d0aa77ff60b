#include "app/player_pictures.h"

#include <QGuiApplication>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace cantorix::app {
namespace {

namespace fs = std::filesystem;

class PlayerPicturesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-pictures-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path picture(const char* name, int width, int height, const char* format) const {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const fs::path file = m_dir / name;
        EXPECT_TRUE(image.save(QString::fromStdString(file.string()), format));
        return file;
    }

    fs::path m_dir;
};

TEST_F(PlayerPicturesTest, PickedPicturesAreShrunkAndKeptAsPngWhateverTheirName) {
    const fs::path folder = m_dir / "records" / "pictures";
    struct Case {
        fs::path picked;
        int width, height;
    };
    const Case cases[] = {
        {picture("wide.png", 1000, 500, "PNG"), 256, 128},
        {picture("tall.jpg", 300, 900, "JPEG"), 85, 256},
        {picture("small.jpeg", 40, 30, "JPEG"), 40, 30},
        // Named as the other kind: read by what it holds.
        {picture("photo.jpg", 512, 512, "PNG"), 256, 256},
    };
    std::set<std::string> names;
    for (const Case& c : cases) {
        const std::string name = storePlayerPicture(c.picked, folder, 42);
        EXPECT_TRUE(name.starts_with("42-") && name.ends_with(".png")) << name;
        names.insert(name);
        QImage kept;
        ASSERT_TRUE(kept.load(QString::fromStdString((folder / name).string()), "PNG"));
        EXPECT_EQ(kept.size(), QSize(c.width, c.height)) << c.picked;
    }
    EXPECT_EQ(names.size(), 4u);
    // Nothing half-written is left beside the pictures.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);
}

TEST_F(PlayerPicturesTest, WhatIsNoPictureIsRefusedWithItsReason) {
    std::ofstream(m_dir / "notes.png") << "just some text, not a picture\n";
    std::ofstream(m_dir / "broken.png") << "\x89PNG\r\n\x1a\n and then nothing";
    fs::create_directory(m_dir / "folder.png");
    const fs::path folder = m_dir / "pictures";
    EXPECT_THROW(storePlayerPicture(m_dir / "notes.png", folder, 1), ENotAPicture);
    EXPECT_THROW(storePlayerPicture(m_dir / "broken.png", folder, 1), ENotAPicture);
    EXPECT_THROW(storePlayerPicture(m_dir / "folder.png", folder, 1), EPictureUnreadable);
    EXPECT_THROW(storePlayerPicture(m_dir / "missing.png", folder, 1), EPictureUnreadable);
    // A folder that cannot be made (a file is in its place).
    std::ofstream(m_dir / "taken") << "x";
    EXPECT_THROW(storePlayerPicture(picture("ok.png", 10, 10, "PNG"), m_dir / "taken", 1),
                 EPictureNotStored);
    EXPECT_FALSE(fs::exists(folder) && !fs::is_empty(folder));
}

TEST_F(PlayerPicturesTest, InitialsPictureIsASquareOfTheColourWithTheInitials) {
    int argc = 1;
    char name[] = "player_pictures_test";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage drawn = initialsPicture("Anna Maria Lind", 0x000000FF, 64);
    EXPECT_EQ(drawn.size(), QSize(64, 64));
    EXPECT_EQ(drawn.pixelColor(1, 1), QColor(255, 0, 0)); // 0x00BBGGRR
    // The letters are drawn in the middle, in a colour that stands out.
    int lettered = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            lettered += drawn.pixelColor(x, y) != QColor(255, 0, 0);
    EXPECT_GT(lettered, 40);
    const scene::Image texture = toSceneImage(squarePicture(drawn, 28));
    EXPECT_EQ(texture.width, 28);
    EXPECT_EQ(texture.rgba.size(), 28u * 28u * 4u);
    EXPECT_EQ(texture.pixel(0, 0)[0], 255);
}

} // namespace
} // namespace cantorix::app
