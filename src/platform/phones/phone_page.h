#pragma once
// The phone's page: the only files the phone server serves, compiled into the game from
// assets/phone, looked up in a fixed table by exact path. Nothing else is ever served.

#include <optional>
#include <string_view>

namespace cantorix::platform {

struct PageFile {
    std::string_view path;        // "/", "/phone.js", …
    std::string_view contentType; // "text/html; charset=utf-8", …
    std::string_view body;
};

// The file at exactly this path (no query), or nothing.
std::optional<PageFile> phonePageFile(std::string_view path);

// The Content-Security-Policy every response carries: the page's own files and its own
// WebSocket, nothing from elsewhere, no inline script.
inline constexpr std::string_view kPhonePagePolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "img-src 'self'; media-src 'none'; worker-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

} // namespace cantorix::platform
