#include "songs/standard_song.h"

#include "songs/song_format.h"
#include "songs/standard_song_lines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace cantorix::songs {

namespace {

using namespace standard;

constexpr int kMaxVoices = 9;
// Beyond these a value is a slip of the pen or a hostile file, never a song: tempo and offsets
// that far out only feed overflowing arithmetic further on.
constexpr double kMinBpm = 1;
constexpr double kMaxBpm = 10000;
constexpr double kMaxOffsetMs = 86'400'000; // 24 hours, either way
constexpr std::int32_t kLowestPitch = -128;
constexpr std::int32_t kHighestPitch = 127;

bool fitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

// A voice while its lines are read: the relative offset and the end of its last note live
// beside what the song keeps.
struct VoiceState {
    StandardVoice voice;
    std::int64_t offset = 0;
    std::optional<std::int64_t> lastNoteEnd;
};

// Reads the body lines into voices. Every line it cannot use is counted, never fatal.
class BodyReader {
public:
    BodyReader(bool relative, bool numberedVoices)
        : m_relative(relative), m_numberedVoices(numberedVoices) {}

    void read(const std::vector<std::string_view>& lines, std::size_t from) {
        for (std::size_t i = from; i < lines.size(); ++i) {
            const std::string_view line = trimLeadingBlanks(lines[i]);
            if (line.empty())
                continue;
            if (isEndLine(line))
                break;
            if (!readLine(line))
                ++m_skipped;
        }
    }

    int skipped() const { return m_skipped; }
    bool hasMarkers() const { return m_hasMarkers; }
    std::array<VoiceState, kMaxVoices + 1>& voices() { return m_voices; }

private:
    bool readLine(std::string_view line) {
        if (isNoteType(line[0])) {
            const std::optional<NoteLine> note = parseNoteLine(line);
            return note && addNote(*note);
        }
        if (line[0] == '-') {
            const std::optional<BreakLine> lineBreak = parseBreakLine(line);
            return lineBreak && addBreak(*lineBreak);
        }
        const std::optional<int> marker = parseVoiceMarker(line);
        return marker && switchVoice(*marker);
    }

    // A line for several voices is taken whole or not at all.
    bool addNote(const NoteLine& note) {
        if (note.pitch < kLowestPitch || note.pitch > kHighestPitch || note.length < 0)
            return false;
        for (const int v : m_targets) {
            const std::int64_t start = (m_relative ? m_voices[v].offset : 0) + note.start;
            if (!fitsInt32(start))
                return false;
        }
        for (const int v : m_targets) {
            VoiceState& state = m_voices[v];
            const std::int64_t start = (m_relative ? state.offset : 0) + note.start;
            state.voice.notes.push_back({note.kind, static_cast<std::int32_t>(start), note.length,
                                         note.pitch, std::string(note.text)});
            state.lastNoteEnd = start + note.length;
        }
        return true;
    }

    bool addBreak(const BreakLine& lineBreak) {
        if (!lineBreak.first)
            return addBreakAfterLastNote();
        for (const int v : m_targets) {
            const std::int64_t beat = (m_relative ? m_voices[v].offset : 0) + *lineBreak.first;
            if (!fitsInt32(beat))
                return false;
        }
        for (const int v : m_targets) {
            VoiceState& state = m_voices[v];
            const std::int64_t beat = (m_relative ? state.offset : 0) + *lineBreak.first;
            state.voice.breaks.push_back(static_cast<std::int32_t>(beat));
            if (m_relative)
                state.offset += lineBreak.second.value_or(*lineBreak.first);
        }
        return true;
    }

    // A bare "-" ends the line where the voice's last note ends; a voice without a note yet has
    // no line to end.
    bool addBreakAfterLastNote() {
        bool taken = false;
        for (const int v : m_targets) {
            VoiceState& state = m_voices[v];
            if (state.lastNoteEnd && fitsInt32(*state.lastNoteEnd)) {
                state.voice.breaks.push_back(static_cast<std::int32_t>(*state.lastNoteEnd));
                taken = true;
            }
        }
        return taken;
    }

    // Before numbered voices came, the third marker meant "both singers".
    bool switchVoice(int number) {
        if (m_numberedVoices ? (number < 1 || number > kMaxVoices) : (number < 1 || number > 3))
            return false;
        m_hasMarkers = true;
        if (!m_numberedVoices && number == 3)
            m_targets = {1, 2};
        else
            m_targets = {number};
        return true;
    }

    bool m_relative;
    bool m_numberedVoices;
    std::array<VoiceState, kMaxVoices + 1> m_voices; // index 0 unused: voices count from 1
    std::vector<int> m_targets = {1};
    int m_skipped = 0;
    bool m_hasMarkers = false;
};

// A time tag in milliseconds, or nothing when it is missing or does not read as a number. A
// number beyond 24 hours either way refuses the song.
std::optional<double> millisecondsOf(const SongHeader& header, std::string_view tag, double scale) {
    const std::string_view text = header.find(tag);
    const std::optional<double> value = parseDecimalUnbounded(text);
    if (!value)
        return std::nullopt;
    const double ms = *value * scale;
    if (!(std::fabs(ms) <= kMaxOffsetMs))
        throw EStandardSongError("The song file's " + std::string(tag) + " '" + std::string(text) +
                                 "' is beyond 24 hours");
    return ms;
}

// The beat length, or the message that refuses the song.
double beatLengthOf(const std::string& bpmText, bool versionTwo) {
    if (bpmText.empty())
        throw EStandardSongError("The song file has no BPM");
    const std::optional<double> bpm = parseDecimalUnbounded(bpmText);
    if (!bpm)
        throw EStandardSongError("The song file's BPM '" + bpmText + "' is not a number");
    if (*bpm <= 0)
        throw EStandardSongError("The song file's BPM '" + bpmText + "' is not above zero");
    if (*bpm < kMinBpm || *bpm > kMaxBpm)
        throw EStandardSongError("The song file's BPM '" + bpmText +
                                 "' is not between 1 and 10000");
    return (versionTwo ? 60000.0 : 15000.0) / *bpm;
}

void readHeaderValues(const SongHeader& header, StandardSong& song) {
    const auto text = [&](std::string_view name) { return std::string(header.find(name)); };
    song.version = text("VERSION");
    song.title = text("TITLE");
    song.artist = text("ARTIST");
    song.audio = header.find("AUDIO").empty() ? text("MP3") : text("AUDIO");
    song.video = text("VIDEO");
    song.cover = text("COVER");
    song.background = text("BACKGROUND");
    song.bpmText = text("BPM");
    song.relative = equalsIgnoringCase(header.find("RELATIVE"), "YES");

    const std::optional<int> major = versionMajor(song.version);
    const bool versionTwo = major && *major >= 2;
    song.beatMs = beatLengthOf(song.bpmText, versionTwo);
    song.bpm = *parseDecimal(song.bpmText);
    // Before version 2 these three were written in seconds.
    const double secondsScale = versionTwo ? 1.0 : 1000.0;
    song.gapMs = millisecondsOf(header, "GAP", 1.0).value_or(0.0);
    song.videoGapMs = millisecondsOf(header, "VIDEOGAP", secondsScale).value_or(0.0);
    song.startMs = millisecondsOf(header, "START", secondsScale).value_or(0.0);
    song.endMs = millisecondsOf(header, "END", 1.0);
    song.previewStartMs = millisecondsOf(header, "PREVIEWSTART", secondsScale);
    // A medley tag never refuses the song: one that is out of place is the medley's problem.
    const auto optionalNumber = [&](std::string_view name) {
        return parseDecimal(header.find(name));
    };
    song.medleyStartBeat = optionalNumber("MEDLEYSTARTBEAT");
    song.medleyEndBeat = optionalNumber("MEDLEYENDBEAT");
    song.medleyStartMs = optionalNumber("MEDLEYSTART");
    song.medleyEndMs = optionalNumber("MEDLEYEND");
    song.calcMedley = !equalsIgnoringCase(header.find("CALCMEDLEY"), "OFF");
}

std::string voiceName(const SongHeader& header, int number) {
    const std::string marker = "P" + std::to_string(number);
    std::string_view name = header.find(marker);
    if (name.empty())
        name = header.find("DUETSINGER" + marker);
    return name.empty() ? marker : std::string(name);
}

} // namespace

SungVoice sungVoice(const StandardSong& song, std::size_t voice) {
    SungVoice sung;
    if (voice >= song.voices.size())
        return sung;
    const StandardVoice& v = song.voices[voice];
    sung.notes = v.notes;
    std::stable_sort(sung.notes.begin(), sung.notes.end(),
                     [](const auto& a, const auto& b) { return a.startBeat < b.startBeat; });
    if (sung.notes.empty())
        return sung;
    std::vector<std::int32_t> breaks = v.breaks;
    std::sort(breaks.begin(), breaks.end());
    SungLine line;
    for (const std::int32_t beat : breaks) {
        const auto at =
            std::lower_bound(sung.notes.begin(), sung.notes.end(), beat,
                             [](const auto& n, std::int32_t b) { return n.startBeat < b; });
        const auto split = static_cast<std::size_t>(at - sung.notes.begin());
        if (split <= line.first || split >= sung.notes.size())
            continue;
        line.last = split;
        sung.lines.push_back(line);
        line = {split, 0, beat};
    }
    line.last = sung.notes.size();
    sung.lines.push_back(line);
    return sung;
}

StandardSong readStandardSong(std::string_view bytes) {
    return readStandardSong(SongTextLines(bytes));
}

StandardSong readStandardSong(const SongTextLines& text) {
    const std::vector<std::string_view>& lines = text.lines;
    const SongHeader header = readHeader(lines);

    StandardSong song;
    song.encoding = text.decoded.encoding;
    readHeaderValues(header, song);

    const std::optional<int> major = versionMajor(song.version);
    BodyReader body(song.relative, major && *major >= 1);
    body.read(lines, header.bodyStart);
    song.skipped = header.skipped + body.skipped();

    for (int v = 1; v <= kMaxVoices; ++v) {
        StandardVoice& voice = body.voices()[v].voice;
        if (voice.notes.empty())
            continue;
        voice.name = body.hasMarkers() ? voiceName(header, v) : std::string();
        song.voices.push_back(std::move(voice));
    }
    if (song.voices.empty())
        throw EStandardSongError("The song file has no notes");
    return song;
}

} // namespace cantorix::songs
