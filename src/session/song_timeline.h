#pragma once
// What a singing session asks of the song it plays, whichever format the song is written in:
// where the music starts and ends, which note is due at a play position, when entry k was due,
// whether judging has started and what the game's rule judges. The game format's record windows
// and the standard format's note spans implement it. Pure rules, no drawing; main thread only.

#include <cstdint>
#include <optional>

namespace cantorix::session {

class SongTimeline {
public:
    virtual ~SongTimeline() = default;

    // A new session: back to the song's first line, nothing highlighted, nothing judged.
    virtual void startSession() = 0;
    // The first lyric lines come up: the line being sung is the song's first.
    virtual void startFirstLines() = 0;

    // Where the music starts playing, and where the session ends when the song says so (ms).
    virtual std::int64_t startMs() const { return 0; }
    virtual std::optional<std::int64_t> endMs() const { return std::nullopt; }
    // The play position, in tenths of a second, from which the first note is due.
    virtual double leadInTenths() const = 0;

    // The clock tick's step at a play position: enters what is due, changes lines.
    virtual void step(std::int64_t positionMs) = 0;
    // The last note is over: the clock empties the lyric area instead of stepping.
    virtual bool lyricsFinished() const = 0;

    // Notes (or records) entered so far this session, and the play position at which entry k
    // was due; none for entries that are not notes. The session measures its timing with them.
    virtual std::int32_t entered() const = 0;
    virtual std::optional<double> entryDueMs(std::int32_t k) const = 0;

    // False until the first note of this session is highlighted: nothing is judged before.
    virtual bool judging() const = 0;
    // The pitch the game's scoring rule judges the singer against now; none when the song's
    // notes give no points under that rule.
    virtual std::optional<std::uint8_t> judgedPitch() const = 0;
};

} // namespace cantorix::session
