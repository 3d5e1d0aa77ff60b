#include "records/player.h"

#include <locale.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <wctype.h>

namespace cantorix::records {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The next code point of `text` from `pos`, which moves past it. A byte that does not start a
// well-formed sequence (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut short)
// reads as U+FFFD and only that byte is consumed, so the rest still decodes.
char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + length > text.size()) {
        ++pos;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += length;
    return cp;
}

std::u32string decode(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();)
        out += nextCodePoint(utf8, pos);
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string encode(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t cp : text)
        appendUtf8(out, cp);
    return out;
}

// The C library's Unicode tables without touching the process's global locale, which the GUI
// owns. Made once (thread-safe static); null when the C.UTF-8 locale is not installed, and then
// only ASCII letters are folded.
locale_t unicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return locale;
}

bool isBlank(char32_t cp) {
    return cp == ' ' || (cp >= 0x09 && cp <= 0x0D) || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000;
}

// Characters that either do nothing visible or reorder what follows them: a name holding them
// could look like another player's, or turn the text after it around in a list.
bool isJoiner(char32_t cp) {
    return cp == 0x200C || cp == 0x200D;
}

bool isInvisible(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C ||
           (cp >= 0x200B && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2060 && cp <= 0x2069) || cp == 0xFEFF || (cp >= 0xFFF9 && cp <= 0xFFFB);
}

char32_t upper(char32_t cp) {
    if (const locale_t locale = unicodeLocale())
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
    return cp >= 'a' && cp <= 'z' ? cp - 0x20 : cp;
}

char32_t lower(char32_t cp) {
    if (const locale_t locale = unicodeLocale())
        return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), locale));
    return cp >= 'A' && cp <= 'Z' ? cp + 0x20 : cp;
}

bool isLetter(char32_t cp) {
    if (const locale_t locale = unicodeLocale())
        return iswalpha_l(static_cast<wint_t>(cp), locale) != 0;
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
}

std::u32string_view trimmed(std::u32string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

namespace {

// Case folding letter by letter with the C library's tables, for a system whose ICU data cannot
// be loaded.
std::string foldLetterByLetter(std::u32string_view text) {
    std::u32string folded;
    folded.reserve(text.size() + 2);
    for (const char32_t cp : text) {
        if (cp == 0xDF || cp == 0x1E9E) {
            folded += U"ss";
            continue;
        }
        // Upper first: several lower-case letters (final sigma, the long s, the dotless forms of
        // some scripts) share one capital, and through it one lower-case form.
        folded += lower(upper(cp));
    }
    return encode(folded);
}

} // namespace

std::string foldPlayerName(std::string_view utf8) {
    const std::u32string decoded = decode(utf8);
    const std::string text = encode(trimmed(decoded));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* fold = icu::Normalizer2::getNFKCCasefoldInstance(status);
    if (U_FAILURE(status) || !fold)
        return foldLetterByLetter(trimmed(decoded));
    const icu::UnicodeString folded = fold->normalize(icu::UnicodeString::fromUTF8(text), status);
    if (U_FAILURE(status))
        return foldLetterByLetter(trimmed(decoded));
    std::string out;
    folded.toUTF8String(out);
    // Compatibility forms of blanks (the ideographic space, say) become plain ones.
    return encode(trimmed(decode(out)));
}

std::string cleanPlayerName(std::string_view utf8) {
    std::u32string out;
    bool pendingBlank = false;
    for (const char32_t cp : decode(utf8)) {
        if (isBlank(cp)) {
            pendingBlank = !out.empty();
            continue;
        }
        // Joiners shape the letters beside them in many scripts and in emoji: kept between
        // characters, never at the ends of a name.
        if (isInvisible(cp) && !(isJoiner(cp) && !out.empty()))
            continue;
        if (pendingBlank) {
            if (out.size() + 1 >= kMostNameCharacters)
                break;
            out += U' ';
            pendingBlank = false;
        }
        if (out.size() == kMostNameCharacters)
            break;
        out += cp;
    }
    while (!out.empty() && isJoiner(out.back()))
        out.pop_back();
    return encode(out);
}

std::string playerInitials(std::string_view name) {
    std::u32string firstLetters;
    bool wordStart = true;
    for (const char32_t cp : decode(name)) {
        if (isBlank(cp)) {
            wordStart = true;
        } else if (wordStart && isLetter(cp)) {
            firstLetters += cp;
            wordStart = false;
        }
    }
    if (firstLetters.empty())
        return "?";
    std::string out;
    appendUtf8(out, upper(firstLetters.front()));
    if (firstLetters.size() > 1)
        appendUtf8(out, upper(firstLetters.back()));
    return out;
}

} // namespace cantorix::records
