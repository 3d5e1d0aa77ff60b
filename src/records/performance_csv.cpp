#include "records/performance_csv.h"

#include "records/record_texts.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace cantorix::records {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeader =
    "Player,Artist,Title,Voice,Difficulty,Note points,Line bonus,Golden points,Total,Possible,"
    "Share,Sung at,Sung seconds,Song seconds,Finished,Medley part";

// A spreadsheet opening the file runs a cell that starts with one of these as a formula, and
// names, artists and titles come from players and song files: "=HYPERLINK(…)" sung as a name
// must stay text. A leading apostrophe is what spreadsheets read as "this is text".
bool formulaRisk(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string::npos;
}

std::string textField(std::string_view text) {
    return formulaRisk(text) ? csvField("'" + std::string(text)) : csvField(text);
}

// Fixed decimals without the C locale's say: the game sets the user's locale, where the
// decimal point may be a comma, which is the field separator.
std::string fixed(double value, int decimals) {
    if (!std::isfinite(value))
        value = 0;
    std::array<char, 64> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text.data(), end) : "0";
}

std::string secondsText(std::int64_t ms) {
    return fixed(static_cast<double>(ms) / 1000.0, 3);
}

void writeRow(std::ostream& out, const RecordBook& book, const Performance& p) {
    out << textField(book.nameOf(p)) << ',' << textField(p.artist) << ',' << textField(p.title)
        << ',' << (p.key.voice == 0 ? "" : std::to_string(p.key.voice)) << ','
        << difficultyName(p.difficulty) << ',' << p.notePoints << ',' << p.lineBonus << ','
        << p.goldenPoints << ',' << p.total << ',' << p.possible << ',' << fixed(p.share, 4) << ','
        << utcTime(p.sungAtMs) << ',' << secondsText(p.sungMs) << ',' << secondsText(p.songMs)
        << ',' << (p.finished ? "yes" : "no") << ',' << (p.medleyPart ? "yes" : "no") << kLineEnd;
}

} // namespace

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

void writePerformancesCsv(std::ostream& out, const RecordBook& book,
                          const std::vector<Performance>& rows) {
    out << kHeader << kLineEnd;
    for (const Performance& p : rows)
        writeRow(out, book, p);
}

} // namespace cantorix::records
