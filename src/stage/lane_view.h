#pragma once
// What the singing screen draws of the song being sung, whichever its format: the lyric lines,
// the bars and the lead-in bar's place. A view follows its timeline: after each clock step it
// draws what the step changed. Owns its timeline; main thread only.

#include "band_place.h"
#include "scene/colour.h"
#include "session/song_timeline.h"

#include <cstddef>
#include <vector>

namespace cantorix::stage {

class LaneView {
public:
    virtual ~LaneView() = default;

    virtual session::SongTimeline& timeline() = 0;
    virtual const session::SongTimeline& timeline() const = 0;

    // A new session of the timeline, and the view emptied of the last session's trail.
    virtual void startSession() = 0;
    // Lays out the first lyric lines and the bars of the line being sung.
    virtual void buildFirstLines() = 0;
    // The "Text Color" option, for the line being sung.
    virtual void setTextColour(scene::TColor colour) = 0;
    // x of the first syllable of the line being sung: the lead-in bar stands just left of it.
    virtual float firstSyllableX() const = 0;
    // Draws what the timeline's latest step changed.
    virtual void follow() = 0;
    // The lyrics are over: the lyric area empties.
    virtual void clearLyrics() = 0;

    // Where the band lies; the next line drawn takes it.
    virtual void setPlace(const BandPlace& place) = 0;
    // One colour per singer's trail (index = trail); none draws the one designed trail.
    virtual void setTrailColours(std::vector<scene::TColor> colours) = 0;
    // The singer's input is gone: nothing more is drawn for that trail until the next session.
    virtual void markLost(std::size_t trail) = 0;
    // The view counts down to the singing itself; the clock's lead-in bar then stays hidden.
    virtual bool countsDown() const { return false; }
};

} // namespace cantorix::stage
