#include "player_pictures.h"

#include "base/regular_file.h"
#include "records/player.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <system_error>

namespace cantorix::app {

namespace fs = std::filesystem;

namespace {

// Nobody's portrait is larger; a bigger file is refused before it is read into memory.
constexpr std::uintmax_t kMostFileBytes = 64u << 20;

std::string quoted(const fs::path& file) {
    return "\"" + file.string() + "\"";
}

// "PNG" or "JPEG" from the file's first bytes; null for anything else.
const char* pictureFormat(const QByteArray& bytes) {
    static constexpr std::array<unsigned char, 8> png = {0x89, 'P',  'N',  'G',
                                                         '\r', '\n', 0x1A, '\n'};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (bytes.size() >= 8 && std::equal(png.begin(), png.end(), data))
        return "PNG";
    if (bytes.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return "JPEG";
    return nullptr;
}

// Opened once and examined as opened, so the file read is the one that was checked.
QByteArray readBytes(const fs::path& file) {
    std::string bytes;
    std::string reason;
    switch (base::readRegularFileInto(file, kMostFileBytes, bytes, reason)) {
    case base::ReadOutcome::Read:
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    case base::ReadOutcome::TooLarge:
        throw EPictureUnreadable(quoted(file) + " is too large for a player's picture.");
    case base::ReadOutcome::NotOpened:
        if (reason.find("not a regular file") != std::string::npos)
            throw EPictureUnreadable(quoted(file) + " is not a file that can be read.");
        break;
    case base::ReadOutcome::ReadFailed:
        break;
    }
    throw EPictureUnreadable(quoted(file) + " cannot be read: " + reason);
}

std::string randomSuffix() {
    std::random_device device;
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(device()));
    return text;
}

QColor qColour(scene::TColor colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

} // namespace

QImage readPictureFile(const fs::path& file) {
    QByteArray bytes = readBytes(file);
    const char* format = pictureFormat(bytes);
    if (!format)
        throw ENotAPicture(quoted(file) + " is not a PNG or JPEG picture.");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // A photo taken upright but stored sideways is shown as it was taken.
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.isNull())
        throw ENotAPicture(quoted(file) +
                           " cannot be shown: " + reader.errorString().toStdString());
    return picture;
}

QImage shrunkPicture(const QImage& picture, int mostSide) {
    if (std::max(picture.width(), picture.height()) <= mostSide)
        return picture;
    return picture.scaled(mostSide, mostSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

std::string storePlayerPicture(const fs::path& picked, const fs::path& folder,
                               std::int64_t playerId) {
    const QImage picture = shrunkPicture(readPictureFile(picked));
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw EPictureNotStored("The pictures folder " + quoted(folder) +
                                " cannot be made: " + error.message());
    std::string name = std::to_string(playerId) + "-" + randomSuffix() + ".png";
    // Written beside its place and renamed into it once complete.
    QSaveFile file(QString::fromStdString((folder / name).string()));
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit())
        throw EPictureNotStored("The picture cannot be kept in " + quoted(folder) + ": " +
                                file.errorString().toStdString());
    return name;
}

fs::path keptPictureFile(const fs::path& folder, const std::string& fileName) {
    const fs::path name(fileName);
    if (folder.empty() || fileName.empty() || name.filename() != name || fileName == "." ||
        fileName == "..")
        return {};
    return folder / name;
}

QImage initialsPicture(std::string_view name, scene::TColor colour, int side) {
    QImage picture(side, side, QImage::Format_ARGB32);
    const QColor background = qColour(colour);
    picture.fill(background);
    // Fonts need the application's font database; without one the colour alone is drawn.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return picture;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(1, side / 2));
    painter.setFont(font);
    const bool light = background.lightness() > 150;
    painter.setPen(light ? QColor(20, 20, 20) : QColor(255, 255, 255));
    painter.drawText(picture.rect(), Qt::AlignCenter,
                     QString::fromStdString(records::playerInitials(name)));
    return picture;
}

QImage squarePicture(const QImage& picture, int side) {
    const int cut = std::min(picture.width(), picture.height());
    const QImage middle =
        picture.copy((picture.width() - cut) / 2, (picture.height() - cut) / 2, cut, cut);
    return middle.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

scene::Image toSceneImage(const QImage& picture) {
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    scene::Image image(rgba.width(), rgba.height());
    const auto rowBytes = static_cast<std::size_t>(rgba.width()) * 4;
    for (int y = 0; y < rgba.height(); ++y)
        std::copy_n(rgba.constScanLine(y), rowBytes, image.pixel(0, y));
    return image;
}

} // namespace cantorix::app
