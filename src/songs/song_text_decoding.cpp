// decodeSongText(): a song file's bytes to UTF-8 by the byte-order mark, the "#ENCODING" tag or
// the bytes themselves. Code pages go through the C library's iconv, which knows every one the
// files name; UTF-8 and UTF-16 are decoded here, where a bad sequence is easy to replace.

#include "songs/song_format.h"
#include "songs/song_lines.h"
#include "songs/standard_song_lines.h"
#include "songs/text_encoding.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>
#include <optional>

namespace cantorix::songs {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

std::string repairedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto [length, whole] = utf8Prefix(bytes, i);
        if (whole)
            out.append(bytes.substr(i, length));
        else
            out.append(kReplacement);
        i += length;
    }
    return out;
}

std::string utf8FromUtf16(std::string_view bytes, bool bigEndian) {
    const auto unit = [&](std::size_t i) {
        const auto b0 = static_cast<std::uint8_t>(bytes[i]);
        const auto b1 = static_cast<std::uint8_t>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0));
    };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            out.append(kReplacement); // a surrogate without its partner
        else
            appendUtf8(out, c);
    }
    if (i < bytes.size())
        out.append(kReplacement); // an odd byte at the end
    return out;
}

// The bytes in a code page iconv knows, each byte it cannot convert replaced; empty when iconv
// does not know the code page at all.
std::optional<std::string> decodeCodePage(std::string_view bytes, const std::string& codePage) {
    const iconv_t cd = iconv_open("UTF-8", codePage.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data()); // iconv's signature; it does not write there
    std::size_t inLeft = bytes.size();
    std::size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL (a sequence cut off by the end): one replacement, one byte further.
        if (out.size() - used < kReplacement.size())
            out.resize(out.size() * 2);
        out.replace(used, kReplacement.size(), kReplacement);
        used += kReplacement.size();
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    out.resize(used);
    return out;
}

bool isDigits(std::string_view text) {
    return !text.empty() && text.size() <= 5 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The encoding an "#ENCODING" value names: "utf-8", "cpNNN", or empty for values the format
// leaves to detection (AUTO, LATIN1, …).
std::string encodingOfTag(std::string_view value) {
    const std::string lower = lowerAscii(value);
    if (lower == "utf8" || lower == "utf-8")
        return "utf-8";
    for (const std::string_view prefix : {"cp", "windows-"})
        if (lower.starts_with(prefix) && isDigits(std::string_view(lower).substr(prefix.size())))
            return "cp" + lower.substr(prefix.size());
    return {};
}

std::optional<DecodedSongText> decodeByTag(std::string_view bytes) {
    // Tags are ASCII, so the header can be read before the text is decoded.
    const standard::SongHeader header = standard::readHeader(standard::splitLines(bytes));
    const std::string encoding = encodingOfTag(header.find("ENCODING"));
    if (encoding == "utf-8")
        return DecodedSongText{repairedUtf8(bytes), encoding};
    if (encoding.empty())
        return std::nullopt;
    std::optional<std::string> text = decodeCodePage(bytes, encoding);
    if (!text)
        return std::nullopt; // a code page iconv does not know counts as no tag
    return DecodedSongText{std::move(*text), encoding};
}

} // namespace

DecodedSongText decodeSongText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark))
        return {repairedUtf8(bytes.substr(3)), "utf-8"};
    if (bytes.starts_with("\xFF\xFE"))
        return {utf8FromUtf16(bytes.substr(2), false), "utf-16-le"};
    if (bytes.starts_with("\xFE\xFF"))
        return {utf8FromUtf16(bytes.substr(2), true), "utf-16-be"};
    if (std::optional<DecodedSongText> tagged = decodeByTag(bytes))
        return std::move(*tagged);
    if (isValidUtf8(bytes))
        return {std::string(bytes), "utf-8"};
    return {decodeCodePage(bytes, "cp1252").value_or(repairedUtf8(bytes)), "cp1252"};
}

} // namespace cantorix::songs
