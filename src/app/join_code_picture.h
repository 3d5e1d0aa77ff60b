#pragma once
// A phone's join code as a picture: its modules black on white, each a square of whole pixels,
// inside the white quiet zone readers need to find it. Qt images only; any thread.

#include "phone_hall_port.h"

#include <QImage>

namespace cantorix::app {

// The white margin around a code, in modules on each side.
inline constexpr int kQuietModules = 4;
// Fewer screen pixels a module and a phone across the room no longer reads the code.
inline constexpr int kLeastModulePixels = 3;

// Whether the code's modules add up to its size: a wrong code would send a guest astray.
bool drawable(const JoinCode& code);
// Black modules on white, each `pixels` square, with the quiet zone around them.
QImage joinCodePicture(const JoinCode& code, int pixels);

} // namespace cantorix::app
