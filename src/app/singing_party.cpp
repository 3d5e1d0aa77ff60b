#include "singing_party.h"

#include "session/singer_inputs.h"

#include <algorithm>

namespace cantorix::app {

namespace {

// Two bands fit the singing screen; a third voice is sung on the band of its nearest below.
constexpr std::size_t kMaxBands = 2;

} // namespace

BandPlan planBands(std::size_t singers, const std::vector<std::size_t>& chosen,
                   std::size_t voiceCount) {
    BandPlan plan;
    voiceCount = std::max<std::size_t>(voiceCount, 1);
    for (std::size_t k = 0; k < singers; ++k) {
        const std::size_t voice = k < chosen.size() && chosen[k] < voiceCount
                                      ? chosen[k]
                                      : session::defaultVoiceOf(k, voiceCount);
        plan.voiceOfSinger.push_back(voice);
    }
    std::vector<std::size_t> sung = plan.voiceOfSinger;
    std::sort(sung.begin(), sung.end());
    sung.erase(std::unique(sung.begin(), sung.end()), sung.end());
    if (sung.size() > kMaxBands)
        sung.resize(kMaxBands);
    plan.bandVoices = sung;
    for (const std::size_t voice : plan.voiceOfSinger) {
        // The band of the voice, or the last band for a voice beyond the bands shown.
        const auto at = std::find(sung.begin(), sung.end(), voice);
        plan.bandOfSinger.push_back(at == sung.end() ? sung.size() - 1
                                                     : static_cast<std::size_t>(at - sung.begin()));
    }
    return plan;
}

SingingParty::SingingParty(PartyParts parts) : m_parts(std::move(parts)) {}

SingingParty::~SingingParty() {
    dismiss();
}

void SingingParty::gather(std::vector<PartySinger> singers,
                          const std::vector<std::size_t>& chosenVoices, std::size_t voiceCount) {
    dismiss();
    const BandPlan plan = planBands(singers.size(), chosenVoices, voiceCount);
    m_bandVoices = plan.bandVoices;
    std::vector<std::size_t> trailsOnBand(std::max<std::size_t>(plan.bandVoices.size(), 1), 0);
    for (std::size_t k = 0; k < singers.size(); ++k) {
        PartyMember& member = m_members.emplace_back();
        member.singer = std::move(singers[k]);
        member.voice = plan.voiceOfSinger[k];
        member.band = plan.bandOfSinger[k];
        member.trail = trailsOnBand[member.band]++;
        pitch::SemitoneTracker* tracker = nullptr;
        if (m_parts.makeTracker) {
            member.ownTracker = m_parts.makeTracker();
            tracker = member.ownTracker.get();
        } else if (k == 0) {
            tracker = m_parts.firstTracker;
        }
        member.loop = std::make_unique<session::ListeningLoop>(session::ListeningParts{
            .capture = *member.singer.input->capture,
            .invoker = m_parts.invoker,
            .semitones = tracker,
            .reportError = m_parts.reportError,
        });
        try {
            member.loop->startCapture();
        } catch (const std::exception& e) {
            if (m_parts.reportError)
                m_parts.reportError(e);
        }
    }
}

void SingingParty::dismiss() {
    for (PartyMember& member : m_members)
        if (member.loop)
            member.loop->stopCapture();
    m_members.clear();
    m_bandVoices.clear();
}

void SingingParty::startSession(
    const std::function<std::optional<session::VoiceTimeline>(std::size_t)>& timelineOf,
    session::Difficulty difficulty, std::int64_t songMs) {
    for (PartyMember& member : m_members) {
        member.lost = false;
        member.judge.reset();
        if (std::optional<session::VoiceTimeline> timeline =
                timelineOf ? timelineOf(member.voice) : std::nullopt)
            member.judge.emplace(std::move(*timeline), difficulty, member.singer.delayMs);
        member.loop->startSession(member.judge ? &*member.judge : nullptr, songMs,
                                  member.singer.input->recording);
        if (member.judge)
            member.loop->scoring().setLines(member.judge->lineStartsMs());
    }
}

void SingingParty::musicStartsAt(std::int64_t songMs) {
    for (PartyMember& member : m_members)
        member.loop->musicStartsAt(songMs);
}

void SingingParty::pause(std::int64_t songMs) {
    for (PartyMember& member : m_members)
        member.loop->pause(songMs);
}

void SingingParty::resume(std::int64_t songMs) {
    for (PartyMember& member : m_members)
        member.loop->resume(songMs);
}

void SingingParty::endSession(std::int64_t songMs) {
    for (PartyMember& member : m_members)
        if (!member.lost)
            member.loop->endSession(songMs);
}

std::vector<SingerOutcome> SingingParty::outcomes() const {
    std::vector<SingerOutcome> outcomes;
    for (const PartyMember& member : m_members)
        outcomes.push_back({member.singer.slot, member.singer.playerId, member.singer.name,
                            member.singer.colour, member.voice, member.lost,
                            member.loop->scoring()});
    return outcomes;
}

void SingingParty::forEachRecording(
    const std::function<void(session::SessionInputControl&)>& action) const {
    std::vector<session::SessionInputControl*> done;
    for (const PartyMember& member : m_members) {
        session::SessionInputControl* recording = member.singer.input->recording;
        if (!recording || std::find(done.begin(), done.end(), recording) != done.end())
            continue;
        done.push_back(recording);
        action(*recording);
    }
}

std::vector<std::size_t> SingingParty::noticeLost(const SoundInputs& inputs) {
    std::vector<std::size_t> lost;
    for (std::size_t k = 0; k < m_members.size(); ++k) {
        PartyMember& member = m_members[k];
        if (member.lost || !inputs.lost(member.singer.input->address))
            continue;
        member.lost = true;
        member.loop->stopCapture();
        lost.push_back(k);
    }
    return lost;
}

} // namespace cantorix::app
