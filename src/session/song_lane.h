#pragma once
// What a singing session asks of the song it plays, whichever format the song is written in:
// where the music starts and ends, which note is due at a play position, which lyric lines show,
// the voice trail and what the game's rule may judge. The game format's record windows and the
// standard format's note spans implement it. Main thread only.

#include "scene/colour.h"

#include <cstdint>
#include <optional>

namespace cantorix::session {

class SongLane {
public:
    virtual ~SongLane() = default;

    // A new session: back to the song's first line, nothing highlighted, nothing judged.
    virtual void startSession() = 0;
    // Lays out the first lyric lines and the bars of the line being sung.
    virtual void buildFirstLines() = 0;
    // The "Text Color" option, for the line being sung.
    virtual void setTextColour(scene::TColor colour) = 0;

    // Where the music starts playing, and where the session ends when the song says so (ms).
    virtual std::int64_t startMs() const { return 0; }
    virtual std::optional<std::int64_t> endMs() const { return std::nullopt; }
    // The play position, in tenths of a second, from which the first note is due.
    virtual double leadInTenths() const = 0;
    // x of the first syllable of the line being sung: the lead-in bar stands just left of it.
    virtual float firstSyllableX() const = 0;

    // The clock tick's lane step at a play position: highlights what is due, changes lines.
    virtual void step(std::int64_t positionMs) = 0;
    // The last note is over: the clock empties the lyric area instead of stepping.
    virtual bool lyricsFinished() const = 0;
    virtual void clearLyrics() = 0;

    // Notes (or records) entered so far this session, and the play position at which entry k
    // was due; none for entries that are not notes. The session measures its timing with them.
    virtual std::int32_t entered() const = 0;
    virtual std::optional<double> entryDueMs(std::int32_t k) const = 0;

    // One trail segment for the sung value of the previous analysis tick. False while nothing
    // has been highlighted yet this session: then nothing is judged either.
    virtual bool UpdateVoiceTrail(std::uint8_t sungValue) = 0;
    // The pitch the game's scoring rule judges the singer against now; none when the song's
    // notes give no points under that rule.
    virtual std::optional<std::uint8_t> judgedPitch() const = 0;
};

} // namespace cantorix::session
