#pragma once
// Players' pictures: a picked PNG or JPEG shrunk and kept in the records' pictures folder as a
// PNG, and the picture drawn from a player's initials and colour for those without one. Files
// and pixels only (Qt images, no widgets); main thread, as Qt's text drawing needs it.

#include "scene/colour.h"
#include "scene/image.h"

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cantorix::app {

// A kept picture is at most this many pixels on its longer side.
inline constexpr int kMostPictureSide = 256;

// The picked file cannot be read: missing, not a regular file, unreadable, too large.
class EPictureUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file is read but is no PNG or JPEG picture, or one that cannot be decoded.
class ENotAPicture : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The shrunk picture could not be written into the pictures folder.
class EPictureNotStored : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a PNG or JPEG file, recognised by its content whatever its name.
QImage readPictureFile(const std::filesystem::path& file);
// The picture scaled down, keeping its aspect, to at most `mostSide` on its longer side; a
// smaller one is returned as it is.
QImage shrunkPicture(const QImage& picture, int mostSide = kMostPictureSide);
// Reads `picked`, shrinks it and writes it as "<playerId>-<random>.png" into `folder` (made when
// missing) in one step: a half-written file is never left under that name. Returns the file name.
std::string storePlayerPicture(const std::filesystem::path& picked,
                               const std::filesystem::path& folder, std::int64_t playerId);
// Where a player's kept picture lies: `fileName` inside `folder`, or nothing when either is empty
// or the name is not a plain file name (the records could have been edited to point elsewhere).
std::filesystem::path keptPictureFile(const std::filesystem::path& folder,
                                      const std::string& fileName);
// A square of `side` pixels in `colour` (0x00BBGGRR) with the name's initials on it.
QImage initialsPicture(std::string_view name, scene::TColor colour, int side);
// A square thumbnail: the middle of `picture` cut square and scaled to `side`.
QImage squarePicture(const QImage& picture, int side);
// The pixels as the scene's textures take them (RGBA, rows top-down).
scene::Image toSceneImage(const QImage& picture);

} // namespace cantorix::app
