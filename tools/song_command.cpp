// `cantorix-tool song [--json] FILE`: loads a song file as the game does (the song folder is the
// file's directory), with the reader of the format the file is in, and prints what the load
// yields.

#include "json_text.h"
#include "songs/medley_part.h"
#include "songs/song_errors.h"
#include "songs/song_file.h"
#include "songs/song_format.h"
#include "songs/song_text_file.h"
#include "songs/standard_song.h"
#include "tool_commands.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

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
    out << "{\"format\": \"game\", \"title\": " << jsonString(song.displayText(song.songTitle()))
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
    std::printf("Format:       game\n");
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

std::string jsonOptional(const std::optional<double>& value) {
    return value ? numberText(*value) : "null";
}

std::string jsonVoice(const songs::StandardVoice& voice) {
    std::string out = "{\"name\": " + jsonString(voice.name) + ", \"notes\": [";
    for (std::size_t i = 0; i < voice.notes.size(); ++i) {
        const songs::StandardNote& n = voice.notes[i];
        out += (i ? ", [" : "[") + jsonString(std::string(1, static_cast<char>(n.kind))) + ", " +
               std::to_string(n.startBeat) + ", " + std::to_string(n.length) + ", " +
               std::to_string(n.pitch) + ", " + jsonString(n.text) + "]";
    }
    out += "], \"breaks\": [";
    for (std::size_t i = 0; i < voice.breaks.size(); ++i)
        out += (i ? ", " : "") + std::to_string(voice.breaks[i]);
    return out + "]}";
}

std::string jsonMedley(const songs::MedleyFinding& medley) {
    std::string out = "\"medley\": ";
    if (medley.part)
        out += "{\"fromMs\": " + numberText(medley.part->fromMs) +
               ", \"toMs\": " + numberText(medley.part->toMs) +
               ", \"source\": " + jsonString(songs::medleySourceName(medley.part->source)) + "}";
    else
        out += "null";
    out += ", \"problems\": [";
    for (std::size_t i = 0; i < medley.problems.size(); ++i)
        out += (i ? ", " : "") + jsonString(medley.problems[i]);
    return out + "]";
}

void printStandardJson(const songs::StandardSong& song) {
    std::ostringstream out;
    out << "{\"format\": \"standard\", \"version\": " << jsonString(song.version)
        << ", \"encoding\": " << jsonString(song.encoding)
        << ", \"title\": " << jsonString(song.title) << ", \"artist\": " << jsonString(song.artist)
        << ", \"audio\": " << jsonString(song.audio) << ", \"video\": " << jsonString(song.video)
        << ", \"cover\": " << jsonString(song.cover)
        << ", \"background\": " << jsonString(song.background)
        << ", \"bpm\": " << jsonString(song.bpmText) << ", \"beatMs\": " << numberText(song.beatMs)
        << ", \"gapMs\": " << numberText(song.gapMs)
        << ", \"videoGapMs\": " << numberText(song.videoGapMs)
        << ", \"startMs\": " << numberText(song.startMs)
        << ", \"endMs\": " << jsonOptional(song.endMs)
        << ", \"previewStartMs\": " << jsonOptional(song.previewStartMs)
        << ", \"relative\": " << (song.relative ? "true" : "false")
        << ", \"skipped\": " << song.skipped << ", " << jsonMedley(songs::findMedleyPart(song))
        << ", \"voices\": [";
    for (std::size_t i = 0; i < song.voices.size(); ++i)
        out << (i ? ", " : "") << jsonVoice(song.voices[i]);
    out << "]}\n";
    std::fputs(out.str().c_str(), stdout);
}

std::string optionalText(const std::optional<double>& ms) {
    return ms ? numberText(*ms) + " ms" : "(none)";
}

void printStandardListing(const songs::StandardSong& song) {
    const auto orNone = [](const std::string& text) { return text.empty() ? "(none)" : text; };
    std::printf("Format:       standard%s\n",
                song.version.empty() ? "" : (", version " + song.version).c_str());
    std::printf("Encoding:     %s\n", song.encoding.c_str());
    std::printf("Title:        %s\n", song.title.c_str());
    std::printf("Artist:       %s\n", song.artist.c_str());
    std::printf("Audio:        %s\n", orNone(song.audio).c_str());
    std::printf("Video:        %s\n", orNone(song.video).c_str());
    std::printf("Cover:        %s\n", orNone(song.cover).c_str());
    std::printf("Background:   %s\n", orNone(song.background).c_str());
    std::printf("BPM:          %s (a beat lasts %s ms)%s\n", song.bpmText.c_str(),
                numberText(song.beatMs).c_str(), song.relative ? ", relative beats" : "");
    std::printf("GAP:          %s ms, video gap %s ms, start %s ms\n",
                numberText(song.gapMs).c_str(), numberText(song.videoGapMs).c_str(),
                numberText(song.startMs).c_str());
    std::printf("End:          %s\n", optionalText(song.endMs).c_str());
    std::printf("Preview:      %s\n", optionalText(song.previewStartMs).c_str());
    std::printf("Skipped:      %d lines\n", song.skipped);
    const songs::MedleyFinding medley = songs::findMedleyPart(song);
    if (medley.part)
        std::printf("Medley:       %s to %s ms (%s)\n", numberText(medley.part->fromMs).c_str(),
                    numberText(medley.part->toMs).c_str(),
                    songs::medleySourceName(medley.part->source));
    else
        std::printf("Medley:       (none)\n");
    for (const std::string& problem : medley.problems)
        std::printf("Problem:      %s\n", problem.c_str());
    for (const songs::StandardVoice& voice : song.voices) {
        std::printf("Voice %s: %zu notes, %zu breaks\n",
                    voice.name.empty() ? "(unnamed)" : voice.name.c_str(), voice.notes.size(),
                    voice.breaks.size());
        for (const songs::StandardNote& n : voice.notes)
            std::printf("  %c beat %d  length %d  pitch %d  at %s ms  \"%s\"\n",
                        static_cast<char>(n.kind), n.startBeat, n.length, n.pitch,
                        numberText(song.beatToMs(n.startBeat)).c_str(), n.text.c_str());
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
    std::string bytes;
    try {
        bytes = songs::readSongFileBytes(file);
    } catch (const songs::ESongFileError& e) {
        reportError(json, songs::toDisplayText(e.what(), songs::TextEncoding::Utf8));
        return 1;
    }
    if (songs::detectSongFormat(bytes) == songs::SongFormat::Standard) {
        try {
            const songs::StandardSong song = songs::readStandardSong(bytes);
            if (json)
                printStandardJson(song);
            else
                printStandardListing(song);
        } catch (const songs::EStandardSongError& e) {
            reportError(json, e.what());
            return 1;
        }
        return 0;
    }
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
