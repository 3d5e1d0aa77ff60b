#pragma once
// A join code drawn with libqrencode: the modules of the QR code of a text (byte mode, error
// correction level M, the smallest version that holds it).

#include "app/phone_hall_port.h"

#include <string_view>

namespace cantorix::platform {

// Throws std::runtime_error when the text cannot be encoded (longer than a QR code holds).
app::JoinCode encodeJoinCode(std::string_view url);

} // namespace cantorix::platform
