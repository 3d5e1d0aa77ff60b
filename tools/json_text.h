#pragma once
// JSON text for the tool's --json outputs: a UTF-8 string quoted with the escapes JSON needs.

#include <cstdio>
#include <string>
#include <string_view>

namespace cantorix::tools {

inline std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + '"';
}

} // namespace cantorix::tools
