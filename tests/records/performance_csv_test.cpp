#include "records/performance_csv.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace cantorix::records;

// The fields of each CRLF-ended record, as a spreadsheet reads RFC 4180.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    for (std::size_t i = 0, quoted = 0; i < text.size(); ++i) {
        if (text[i] == '"' && !(quoted && text.compare(i, 2, "\"\"") == 0 && ++i))
            quoted ^= 1;
        else if (!quoted && text[i] == ',')
            rows.back().emplace_back();
        else if (!quoted && text.compare(i, 2, "\r\n") == 0 && ++i)
            rows.emplace_back(1);
        else
            rows.back().back() += text[i];
    }
    EXPECT_EQ(rows.back(), std::vector<std::string>(1)) << "the last record ends with CRLF";
    rows.pop_back();
    return rows;
}

TEST(PerformanceCsvTest, QuotesOnlyFieldsThatNeedIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},       {"", ""},
        {"a,b", "\"a,b\""},       {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a\r\nb", "\"a\r\nb\""}, {"a\nb", "\"a\nb\""},
        {"a\rb", "\"a\rb\""},     {"Émile ☃", "Émile ☃"},
        {"=1+1", "=1+1"}, // csvField alone is RFC 4180; the prefix belongs to text columns
    };
    for (const auto& [text, field] : cases)
        EXPECT_EQ(csvField(text), field) << text;
}

TEST(PerformanceCsvTest, RowsReadBackWithEveryColumnAndTextKeptFromFormulas) {
    Performance p;
    p.singerName = "Lind, \"Anna\"\nMaria", p.artist = "=HYPERLINK(\"x\")";
    p.title = "-Song, Ünïcode", p.key = {"song", 2}, p.difficulty = 3, p.finished = true;
    p.notePoints = 7000, p.lineBonus = 1000, p.goldenPoints = 5, p.total = 8005;
    p.possible = 9000, p.share = 7000.0 / 9000, p.sungMs = 61500, p.songMs = 183250;
    p.sungAtMs = 1796763900123; // 2026-12-08 21:05:00.123 UTC
    Performance guest = p;
    guest.singerName = "@guest", guest.artist = "+A", guest.title = "T", guest.key.voice = 0;
    guest.finished = false, guest.share = std::nan(""), guest.medleyPart = true;
    RecordBook book;
    book.assign({}, {p, guest});

    std::ostringstream out;
    writePerformancesCsv(out, book, book.performances());
    const auto rows = parseCsv(out.str());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{
                           "Lind, \"Anna\"\nMaria", "'=HYPERLINK(\"x\")", "'-Song, Ünïcode", "2",
                           "Hard", "7000", "1000", "5", "8005", "9000", "0.7778",
                           "2026-12-08T21:05:00Z", "61.500", "183.250", "yes", "no"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{
                           "'@guest", "'+A", "T", "", "Hard", "7000", "1000", "5", "8005", "9000",
                           "0.0000", "2026-12-08T21:05:00Z", "61.500", "183.250", "no", "yes"}))
        << "a song of one voice has no voice; never \"nan\" in a number column";
}

} // namespace
