// What the phones singing in a session show: the line their voice sings now and their points.

#include "singing_session.h"
#include "stage/singer_scores.h"
#include "stage/standard_lane_view.h"

#include <algorithm>

namespace cantorix::app {

namespace {

bool singsFromPhone(const PartySinger& singer) {
    return singer.input && singer.input->address.card == kPhoneInputCard;
}

// The words of line `line` of the voice as one text; empty for no line.
std::string lineText(const session::StandardTimeline& timeline, int line) {
    const session::VoiceTimeline& voice = timeline.voice();
    if (line < 0 || static_cast<std::size_t>(line) >= voice.lines.size())
        return {};
    const session::TimedLine& timed = voice.lines[static_cast<std::size_t>(line)];
    std::string text;
    for (std::size_t k = timed.first; k < timed.last && k < voice.notes.size(); ++k)
        text += voice.notes[k].note.text;
    return text;
}

// Three seconds of analysis ticks.
constexpr int kBackShownTicks = 60;

} // namespace

std::string SingingSession::phoneNotice(const PartySinger& singer) {
    PhoneHall* phones = m_services.phones;
    if (!phones || !singsFromPhone(singer) || singer.slot >= m_phoneShown.size())
        return {};
    PhoneShown& shown = m_phoneShown[singer.slot];
    const std::vector<PhoneSeatView> seats = phones->seats();
    const auto seat = std::find_if(seats.begin(), seats.end(), [&](const PhoneSeatView& s) {
        return s.slot == singer.slot + 1;
    });
    const bool here = seat != seats.end() && seat->connected;
    if (!here) {
        shown.gone = true;
        shown.backTicksLeft = 0;
        return stage::kPhoneGone;
    }
    if (shown.gone) {
        shown.gone = false;
        shown.backTicksLeft = kBackShownTicks;
    }
    if (shown.backTicksLeft > 0) {
        --shown.backTicksLeft;
        return stage::kPhoneBack;
    }
    return {};
}

void SingingSession::tellPhones() {
    PhoneHall* phones = m_services.phones;
    if (!phones)
        return;
    for (const PartyMember& member : m_party.members()) {
        if (!singsFromPhone(member.singer) || member.singer.slot >= m_phoneShown.size())
            continue;
        PhoneShown& shown = m_phoneShown[member.singer.slot];
        const std::size_t slot = member.singer.slot + 1;
        // The game's own songs show their lines on the stage alone; standard songs name theirs.
        if (standardSong()) {
            const auto& lane = static_cast<const stage::StandardLaneView&>(laneOfBand(member.band));
            const int line = lane.timeline().currentLine();
            if (line != shown.line) {
                shown.line = line;
                phones->showLyric(slot, lineText(lane.timeline(), line));
            }
        }
        const int points = member.loop->scoring().notePoints();
        if (points != shown.points) {
            shown.points = points;
            phones->showPoints(slot, points);
        }
    }
}

void SingingSession::tellPhonesSessionEnds() {
    PhoneHall* phones = m_services.phones;
    if (!phones)
        return;
    for (const PartyMember& member : m_party.members())
        if (singsFromPhone(member.singer))
            phones->showLyric(member.singer.slot + 1, "");
    phones->sessionEnded();
}

} // namespace cantorix::app
