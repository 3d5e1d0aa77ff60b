// Feeds arbitrary bytes to the format decision and the standard song reader: the decoded text is
// always UTF-8, a load either succeeds with a consistent song or throws EStandardSongError, and
// the decoded text read again behind a UTF-8 mark gives the same song. A song that is read holds
// only plausible numbers: a tempo of 1 to 10000, offsets within a day, pitches within −128 … 127
// and no negative length.

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
        require(song->encoding == decoded.encoding);
        again->encoding = song->encoding;
        require(again->title == song->title && again->voices == song->voices &&
                again->skipped == song->skipped && again->beatMs == song->beatMs);
    }
    return 0;
}
