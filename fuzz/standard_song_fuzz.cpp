// Feeds arbitrary bytes to the format decision and the standard song reader: the decoded text is
// always UTF-8, a load either succeeds with a consistent song or throws EStandardSongError, and
// the decoded text read again behind a UTF-8 mark gives the same song. A song that is read holds
// only plausible numbers: a tempo of 1 to 10000, offsets within a day, pitches within −128 … 127
// and no negative length. Its medley part, from whatever tags it has or from its refrain, is a
// stretch of whole lines of its first voice, and the song cut to it keeps only notes it had.

#include "songs/medley_part.h"
#include "songs/song_errors.h"
#include "songs/song_format.h"
#include "songs/standard_song.h"
#include "songs/text_encoding.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

using namespace cantorix::songs;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

constexpr double kDayMs = 86'400'000;

bool withinADay(double ms) {
    return std::fabs(ms) <= kDayMs;
}

void checkSong(const StandardSong& song) {
    require(!song.encoding.empty());
    require(song.bpm >= 1 && song.bpm <= 10000 && std::isfinite(song.beatMs) && song.beatMs > 0);
    require(withinADay(song.gapMs) && withinADay(song.videoGapMs) && withinADay(song.startMs));
    require(!song.endMs || withinADay(*song.endMs));
    require(!song.previewStartMs || withinADay(*song.previewStartMs));
    require(song.skipped >= 0);
    require(!song.voices.empty() && song.voices.size() <= 9);
    for (const std::string* text : {&song.title, &song.artist, &song.audio, &song.bpmText})
        require(isValidUtf8(*text));
    for (const StandardVoice& voice : song.voices) {
        require(!voice.notes.empty() && isValidUtf8(voice.name));
        for (const StandardNote& note : voice.notes) {
            require(isValidUtf8(note.text) && note.text.find_first_of("\r\n") == std::string::npos);
            require(note.pitch >= -128 && note.pitch <= 127 && note.length >= 0);
        }
    }
}

void checkMedley(const StandardSong& song) {
    const MedleyFinding found = findMedleyPart(song);
    for (const std::string& problem : found.problems)
        require(!problem.empty() && isValidUtf8(problem));
    if (!found.part)
        return;
    const MedleyPart& part = *found.part;
    require(part.source != MedleySource::None && std::isfinite(part.fromMs) &&
            std::isfinite(part.toMs) && part.fromMs <= part.toMs);
    require(song.calcMedley || part.source == MedleySource::Tags);
    const StandardSong cut = medleyPartOf(song, part);
    require(cut.voices.size() == song.voices.size() && !cut.voices[0].notes.empty());
    // The part begins with a line's first note and ends with the end of a line's last (lines
    // that overlap it in a file whose lines overlap each other come along whole).
    bool begins = false, ends = false;
    for (const StandardNote& note : cut.voices[0].notes) {
        begins = begins || song.beatToMs(note.startBeat) == part.fromMs;
        ends =
            ends || song.beatToMs(static_cast<double>(note.startBeat) + note.length) == part.toMs;
    }
    require(begins && ends);
    for (std::size_t v = 0; v < cut.voices.size(); ++v)
        require(cut.voices[v].notes.size() <= song.voices[v].notes.size());
}

std::optional<StandardSong> read(std::string_view bytes) {
    try {
        return readStandardSong(bytes);
    } catch (const EStandardSongError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    detectSongFormat(bytes);
    const DecodedSongText decoded = decodeSongText(bytes);
    require(isValidUtf8(decoded.text));

    // Behind a UTF-8 mark the decoded text stands for itself: no tag or guess may change it.
    const std::string marked = "\xEF\xBB\xBF" + decoded.text;
    require(decodeSongText(marked).text == decoded.text);

    const std::optional<StandardSong> song = read(bytes);
    std::optional<StandardSong> again = read(marked);
    require(song.has_value() == again.has_value());
    if (song) {
        checkSong(*song);
        checkMedley(*song);
        require(song->encoding == decoded.encoding);
        again->encoding = song->encoding;
        require(again->title == song->title && again->voices == song->voices &&
                again->skipped == song->skipped && again->beatMs == song->beatMs);
    }
    return 0;
}
