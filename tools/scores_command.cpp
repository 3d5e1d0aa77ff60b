// `cantorix-tool scores [--data DIR] [--player NAME] [--song TEXT] [--json]` lists the stored
// performances, oldest first; `--export FILE.csv` writes them as the game's CSV instead. The
// records file is read from a private copy, so the tool never changes, migrates or moves aside
// the file a game may be using, even one it finds damaged.

#include "base/atomic_file.h"
#include "base/regular_file.h"
#include "json_text.h"
#include "platform/storage/sqlite_record_store.h"
#include "records/performance_csv.h"
#include "records/record_book.h"
#include "records/record_texts.h"
#include "records/records_directory.h"
#include "songs/song_catalog.h"
#include "tool_commands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace cantorix::tools {

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage: cantorix-tool scores [--data DIR] [--player NAME] [--song TEXT] [--json]\n"
    "       cantorix-tool scores --export FILE.csv [--data DIR] [--player NAME] [--song TEXT]\n";

struct ScoresArgs {
    std::optional<fs::path> data;
    std::optional<std::string> player, song;
    std::optional<fs::path> exportFile;
    bool json = false;
};

std::string parseArgs(const Args& args, ScoresArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--json")
            out.json = true;
        else if (a == "--data" && hasValue)
            out.data = args[++i];
        else if (a == "--player" && hasValue)
            out.player = args[++i];
        else if (a == "--song" && hasValue)
            out.song = args[++i];
        else if (a == "--export" && hasValue && !args[i + 1].empty())
            out.exportFile = args[++i];
        else
            return "unexpected argument " + a;
    }
    if (out.json && out.exportFile)
        return "--json and --export cannot be combined";
    return {};
}

// Size and change time of a file, to see that it did not change while it was copied.
std::array<std::int64_t, 3> fileState(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0)
        return {-1, 0, 0};
    return {info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

// False when `from` does not exist; throws when it cannot be read or is no regular file.
bool copyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(from, ec)))
        return false;
    std::string reason;
    const base::UniqueFd in = base::openRegularFile(from, reason);
    if (!in) {
        throw records::ERecordStoreError("The records \"" + from.string() +
                                         "\" cannot be read: " + reason + ".");
    }
    base::AtomicFile copy(to);
    std::array<char, 65536> buffer{};
    for (ssize_t n; (n = ::read(in.get(), buffer.data(), buffer.size())) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw records::ERecordStoreError("The records \"" + from.string() +
                                             "\" cannot be read: " + std::strerror(errno) + ".");
        copy.write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    copy.commit();
    return true;
}

// A folder of its own under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string name = (fs::temp_directory_path() / "cantorix-scores-XXXXXX").string();
        if (!::mkdtemp(name.data()))
            throw std::system_error(errno, std::generic_category(), "a temporary folder");
        m_path = name;
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// The records file and its write-ahead log copied while neither changed: a game writing
// meanwhile would leave a copy of two moments, which reads as damaged. A file that never holds
// still for a whole copy is said to be busy, never read as damaged.
bool copyRecords(const fs::path& file, const fs::path& copy) {
    const fs::path wal = file.string() + "-wal";
    for (int attempt = 0; attempt <= 20; ++attempt) {
        if (attempt > 0)
            ::usleep(50'000);
        const auto before = std::array{fileState(file), fileState(wal)};
        std::error_code ec;
        fs::remove(copy.string() + "-wal", ec);
        if (!copyFile(file, copy))
            return false;
        copyFile(wal, copy.string() + "-wal");
        if (before == std::array{fileState(file), fileState(wal)})
            return true;
    }
    throw records::ERecordStoreError("The records \"" + file.string() +
                                     "\" kept changing while they were read (the game is "
                                     "storing a session); try again in a moment.");
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The book of the records file; none when there is no such file. Throws ERecordStoreError
// naming the file itself, never the copy.
std::optional<records::RecordBook> loadBook(const fs::path& file) {
    const ScratchFolder scratch;
    const fs::path copy = scratch.path() / records::kRecordsFileName;
    if (!copyRecords(file, copy))
        return std::nullopt;
    platform::SqliteRecordStore store(copy);
    records::RecordSnapshot snapshot;
    try {
        snapshot = store.load();
    } catch (const records::ERecordStoreError& e) {
        throw records::ERecordStoreError(replaceAll(e.what(), copy.string(), file.string()));
    }
    if (store.movedAside())
        throw records::ERecordStoreError(
            "The records \"" + file.string() +
            "\" are damaged. They were left as they are; the game moves them aside and starts "
            "new records when it next opens them.");
    records::RecordBook book;
    book.assign(std::move(snapshot.players), std::move(snapshot.performances));
    return book;
}

bool containsAllWords(const records::Performance& p, const std::string& text) {
    const std::string haystack =
        songs::foldForSearch(p.artist) + '\n' + songs::foldForSearch(p.title);
    std::istringstream words(songs::foldForSearch(text));
    for (std::string word; words >> word;)
        if (haystack.find(word) == std::string::npos)
            return false;
    return true;
}

std::vector<records::Performance> selected(const records::RecordBook& book, const ScoresArgs& a) {
    const std::string player = a.player ? records::foldPlayerName(*a.player) : "";
    std::vector<records::Performance> rows;
    for (const records::Performance& p : book.performances())
        if ((!a.player || records::foldPlayerName(book.nameOf(p)) == player) &&
            (!a.song || containsAllWords(p, *a.song)))
            rows.push_back(p);
    return rows;
}

// Text for a terminal or a JSON string: invalid UTF-8 becomes U+FFFD, and for a terminal the
// control characters that would move its cursor or recolour it become '?'. Returns the text and
// its length in characters.
std::pair<std::string, std::size_t> safeText(std::string_view s, bool terminal) {
    std::pair<std::string, std::size_t> out;
    for (std::size_t i = 0; i < s.size(); ++out.second) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        const unsigned lead = b(0);
        const std::size_t n = lead < 0x80   ? 1
                              : lead < 0xC2 ? 0
                              : lead < 0xE0 ? 2
                              : lead < 0xF0 ? 3
                              : lead < 0xF5 ? 4
                                            : 0;
        bool valid = n > 0 && i + n <= s.size();
        for (std::size_t k = 1; valid && k < n; ++k)
            valid = (b(k) & 0xC0) == 0x80;
        // Overlong forms, surrogates and code points past U+10FFFF.
        if (valid && n >= 3)
            valid = !(lead == 0xE0 && b(1) < 0xA0) && !(lead == 0xED && b(1) > 0x9F) &&
                    !(lead == 0xF0 && b(1) < 0x90) && !(lead == 0xF4 && b(1) > 0x8F);
        const bool control = lead < 0x20 || lead == 0x7F || (lead == 0xC2 && n == 2 && b(1) < 0xA0);
        if (!valid)
            out.first += "\xEF\xBF\xBD";
        else if (terminal && control)
            out.first += '?';
        else
            out.first.append(s.substr(i, n));
        i += valid ? n : 1;
    }
    return out;
}

std::string shortestNumber(double value) {
    std::array<char, 32> text{};
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), std::isfinite(value) ? value : 0.0);
    return error == std::errc() ? std::string(text.data(), end) : "0";
}

void printJson(const records::RecordBook& book, const std::vector<records::Performance>& rows) {
    const auto text = [](std::string_view s) { return jsonString(safeText(s, false).first); };
    std::string out = "[";
    for (const records::Performance& p : rows) {
        out += std::string(out.size() > 1 ? ",\n " : "\n ") + "{\"id\": " + std::to_string(p.id) +
               ", \"player\": " + text(book.nameOf(p)) +
               ", \"playerId\": " + (p.playerId ? std::to_string(*p.playerId) : "null") +
               ", \"singerName\": " + text(p.singerName) +
               ", \"colour\": " + std::to_string(p.colour) +
               ", \"key\": {\"song\": " + text(p.key.song) +
               ", \"voice\": " + std::to_string(p.key.voice) + "}, \"artist\": " + text(p.artist) +
               ", \"title\": " + text(p.title) + ", \"folder\": " + text(p.folder) +
               ", \"difficulty\": " + std::to_string(p.difficulty) +
               ", \"notePoints\": " + std::to_string(p.notePoints) +
               ", \"lineBonus\": " + std::to_string(p.lineBonus) +
               ", \"goldenPoints\": " + std::to_string(p.goldenPoints) +
               ", \"total\": " + std::to_string(p.total) +
               ", \"possible\": " + std::to_string(p.possible) +
               ", \"share\": " + shortestNumber(p.share) +
               ", \"sungAtMs\": " + std::to_string(p.sungAtMs) +
               ", \"sungMs\": " + std::to_string(p.sungMs) +
               ", \"songMs\": " + std::to_string(p.songMs) +
               ", \"finished\": " + (p.finished ? "true" : "false") +
               ", \"medleyPart\": " + (p.medleyPart ? "true" : "false") + "}";
    }
    std::printf("%s\n]\n", out.c_str());
}

std::vector<std::string> columnsOf(const records::RecordBook& book, const records::Performance& p) {
    std::string song = p.artist + " \xE2\x80\x93 " + p.title;
    if (p.key.voice > 0)
        song += " [P" + std::to_string(p.key.voice) + "]";
    char share[32] = "";
    if (p.possible > 0 && std::isfinite(p.share))
        std::snprintf(share, sizeof share, "%.1f %%", p.share * 100);
    // "2026-12-08 21:05 UTC": the day and the minute of the ISO time.
    const std::string at = records::utcTime(p.sungAtMs);
    return {at.substr(0, 10) + " " + at.substr(11, 5) + " UTC",
            book.nameOf(p),
            song,
            records::difficultyName(p.difficulty),
            std::to_string(p.total),
            share,
            std::string(p.finished ? "" : "(not finished)") +
                (p.medleyPart ? (p.finished ? "(medley part)" : " (medley part)") : "")};
}

void printText(const records::RecordBook& book, const std::vector<records::Performance>& rows) {
    constexpr std::size_t kColumns = 7;
    std::vector<std::vector<std::pair<std::string, std::size_t>>> table;
    std::array<std::size_t, kColumns> widths{};
    for (const records::Performance& p : rows) {
        auto& cells = table.emplace_back();
        for (const std::string& column : columnsOf(book, p)) {
            cells.push_back(safeText(column, true));
            widths[cells.size() - 1] = std::max(widths[cells.size() - 1], cells.back().second);
        }
    }
    for (const auto& cells : table) {
        std::string line;
        for (std::size_t c = 0; c < kColumns; ++c) {
            const std::string pad(widths[c] - cells[c].second, ' ');
            const bool number = c == 4 || c == 5;
            line += (c ? "  " : "") + (number ? pad + cells[c].first : cells[c].first + pad);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::printf("%s\n", line.c_str());
    }
    const std::size_t all = book.performanceCount();
    std::printf("%zu%s performance%s\n", rows.size(),
                rows.size() == all ? "" : (" of " + std::to_string(all)).c_str(),
                all == 1 ? "" : "s");
}

// Refuses a target that exists and is no regular file (a folder, a pipe, a device).
void writeCsv(const fs::path& target, const records::RecordBook& book,
              const std::vector<records::Performance>& rows) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        throw std::runtime_error("cannot write \"" + target.string() + "\": it is " +
                                 base::nonRegularKind(info.st_mode) + ", not a regular file");
    std::ostringstream csv;
    records::writePerformancesCsv(csv, book, rows);
    try {
        base::AtomicFile file(target);
        file.write(csv.str());
        file.commit();
    } catch (const std::system_error& e) {
        throw std::runtime_error("cannot write \"" + target.string() + "\": " + e.code().message());
    }
    std::printf("%zu performance%s written to %s\n", rows.size(), rows.size() == 1 ? "" : "s",
                target.c_str());
}

int scores(const ScoresArgs& a) {
    const fs::path file =
        records::recordsDirectory(a.data, [](const char* name) { return std::getenv(name); }) /
        records::kRecordsFileName;
    const std::optional<records::RecordBook> book = loadBook(file);
    if (!book || book->performanceCount() == 0) {
        std::printf(a.json ? "[]\n" : "No performances stored yet.\n");
        return 0;
    }
    std::vector<records::Performance> rows = selected(*book, a);
    if (a.exportFile)
        writeCsv(*a.exportFile, *book, rows);
    else if (a.json)
        printJson(*book, rows);
    else
        printText(*book, rows);
    return 0;
}

} // namespace

int runScoresCommand(const Args& args) {
    ScoresArgs a;
    if (const std::string problem = parseArgs(args, a); !problem.empty()) {
        std::fprintf(stderr, "cantorix-tool scores: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    try {
        return scores(a);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cantorix-tool scores: %s\n", e.what());
        return 1;
    }
}

} // namespace cantorix::tools
