// `cantorix-tool song [--json] FILE`: loads a song file as the game does (the song folder is the
// file's directory) and prints what the load yields.

#include "songs/song_errors.h"
#include "songs/song_file.h"
#include "json_text.h"
#include "tool_commands.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>

namespace cantorix::tools {

namespace {

using songs::SongFile;
using songs::SongRecord;

// Shortest text that reads back as the same double.
std::string numberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string jsonRecord(const SongFile& song, const SongRecord& r) {
    return "[" + std::string(r.isBreak ? "true" : "false") + ", " + std::to_string(r.startBeat) +
           ", " + std::to_string(r.length) + ", " + std::to_string(r.pitch) + ", " +
           jsonString(song.displayText(r.syllable)) + "]";
}

void printJson(const SongFile& song) {
    std::ostringstream out;
    out << "{\"title\": " << jsonString(song.displayText(song.songTitle()))
        << ", \"artist\": " << jsonString(song.displayText(song.songArtist()))
        << ", \"mp3\": " << jsonString(song.displayText(song.mp3Value()))
        << ", \"video\": " << jsonString(song.displayText(song.videoValue()))
        << ", \"gap\": " << song.gapValue() << ", \"gapDivisor\": " << song.gapDivisor()
        << ", \"bpm\": " << numberText(song.bpm())
        << ", \"headerLineCount\": " << song.headerLineCount()
        << ", \"octaveBand\": " << song.octaveBand()
        << ", \"leadInTime\": " << numberText(song.leadInTime()) << ", \"records\": [";
    for (std::size_t i = 0; i < song.recordCount(); ++i)
        out << (i ? ", " : "") << jsonRecord(song, song.songRecords()[i]);
    out << "]}\n";
    std::fputs(out.str().c_str(), stdout);
}

void printListing(const SongFile& song) {
    std::printf("Title:        %s\n", song.displayText(song.songTitle()).c_str());
    std::printf("Artist:       %s\n", song.displayText(song.songArtist()).c_str());
    std::printf("MP3:          %s\n", song.displayText(song.mp3Value()).c_str());
    std::printf("Video:        %s\n",
                song.videoPath().empty() ? "(none)" : song.displayText(song.videoValue()).c_str());
    std::printf("GAP:          %d (divisor %d)\n", song.gapValue(), song.gapDivisor());
    std::printf("BPM:          %s\n", numberText(song.bpm()).c_str());
    std::printf("Header lines: %d\n", song.headerLineCount());
    std::printf("Octave band:  %d\n", song.octaveBand());
    std::printf("Lead-in:      %s tenths of a second\n", numberText(song.leadInTime()).c_str());
    std::printf("Records:      %zu\n", song.recordCount());
    for (std::size_t i = 0; i < song.recordCount(); ++i) {
        const SongRecord& r = song.songRecords()[i];
        if (r.isBreak)
            std::printf("%5zu  break  beat %d%s\n", i, r.startBeat,
                        r.pitch == songs::kLastBreakPitch ? "  (last line)" : "");
        else if (r == SongRecord{})
            std::printf("%5zu  (empty)\n", i);
        else
            std::printf("%5zu  note   beat %d  length %u  pitch %u  \"%s\"\n", i, r.startBeat,
                        unsigned{r.length}, unsigned{r.pitch},
                        song.displayText(r.syllable).c_str());
    }
}

void reportError(bool json, const std::string& message) {
    if (json)
        std::printf("{\"error\": %s}\n", jsonString(message).c_str());
    else
        std::fprintf(stderr, "cantorix-tool song: %s\n", message.c_str());
}

} // namespace

int runSongCommand(const Args& args) {
    const bool json = !args.empty() && args[0] == "--json";
    if (args.size() != (json ? 2u : 1u)) {
        std::fprintf(stderr, "Usage: cantorix-tool song [--json] FILE\n");
        return 2;
    }
    const std::filesystem::path file = args.back();
    std::error_code error;
    std::ifstream in(file, std::ios::binary);
    if (!std::filesystem::is_regular_file(file, error) || !in) {
        reportError(json, "Cannot read " +
                              songs::toDisplayText(file.native(), songs::TextEncoding::Utf8));
        return 1;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SongFile song;
    try {
        song.load(bytes, file.parent_path(), file.filename());
    } catch (const songs::EConvertError& e) {
        reportError(json, e.what());
        return 1;
    } catch (const songs::ESongFileError& e) {
        reportError(json, e.what());
        return 1;
    }
    if (json)
        printJson(song);
    else
        printListing(song);
    return 0;
}

} // namespace cantorix::tools
