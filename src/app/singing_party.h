#pragma once
// The singers of one session: for each bound singer a listening loop of their own (capture,
// both analyses, judge, scoring, delay), the voice they sing and the band and trail that show
// them. The party starts, pauses, resumes and ends every loop together, and notices an input
// that stopped so that its singer sits out while everyone else goes on. Main thread only.

#include "base/main_thread_invoker_port.h"
#include "pitch/semitone_tracker_port.h"
#include "scene/colour.h"
#include "session/listening_loop.h"
#include "session/standard_judge.h"
#include "sound_inputs_port.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

// A singer as the roster binds them: the slot, how they are shown, their microphone's delay
// and the open input they sing into.
struct PartySinger {
    std::size_t slot = 0;
    // The slot's player; none: a guest.
    std::optional<std::int64_t> playerId = std::nullopt;
    std::string name;
    scene::TColor colour = scene::clWhite;
    int delayMs = 0;
    const SoundInput* input = nullptr;
    // The player's picture file, shown in their score box; empty: none.
    std::filesystem::path picture = {};
};

struct PartyMember {
    PartySinger singer;
    std::size_t voice = 0; // among the standard song's voices; 0 for the game's own songs
    std::size_t band = 0;  // the band of that voice on the singing screen
    std::size_t trail = 0; // among the singers of that band
    std::unique_ptr<pitch::SemitoneTracker> ownTracker;
    std::unique_ptr<session::ListeningLoop> loop;
    std::optional<session::StandardJudge> judge;
    // The input stopped during the session: the singer sits out the rest of it.
    bool lost = false;
};

// What a singer achieved in a session, kept once the loops are gone.
struct SingerOutcome {
    std::size_t slot = 0;
    std::optional<std::int64_t> playerId = std::nullopt;
    std::string name;
    scene::TColor colour = scene::clWhite;
    std::size_t voice = 0;
    bool lost = false;
    session::Scoring scoring;
};

struct PartyParts {
    base::MainThreadInvoker& invoker;
    // Makes each singer's semitone tracker (trackers keep state between windows); without it the
    // first singer borrows firstTracker and the others hear no semitones.
    std::function<std::unique_ptr<pitch::SemitoneTracker>()> makeTracker = {};
    pitch::SemitoneTracker* firstTracker = nullptr;
    std::function<void(const std::exception&)> reportError = {};
};

// The bands a session shows: one per distinct voice sung, in voice order, at most two; and for
// each singer (in order) the band they are on. chosen[k] is singer k's voice when given.
struct BandPlan {
    std::vector<std::size_t> bandVoices;
    std::vector<std::size_t> voiceOfSinger;
    std::vector<std::size_t> bandOfSinger;
};
BandPlan planBands(std::size_t singers, const std::vector<std::size_t>& chosen,
                   std::size_t voiceCount);

class SingingParty {
public:
    explicit SingingParty(PartyParts parts);
    ~SingingParty();
    SingingParty(const SingingParty&) = delete;
    SingingParty& operator=(const SingingParty&) = delete;

    // Builds a loop for each singer and starts its capture; a capture that cannot start is
    // reported and its singer hears silence. voiceCount is 1 for the game's own songs.
    void gather(std::vector<PartySinger> singers, const std::vector<std::size_t>& chosenVoices,
                std::size_t voiceCount);
    // Stops every capture and drops the loops: before the inputs are listed again.
    void dismiss();

    const std::vector<std::size_t>& bandVoices() const { return m_bandVoices; }
    std::vector<PartyMember>& members() { return m_members; }
    const std::vector<PartyMember>& members() const { return m_members; }
    bool empty() const { return m_members.empty(); }

    // A session begins at songMs. timelineOf(voice) is the timeline of a standard song's voice;
    // nothing for the game's own songs, which are judged by the game's rule on the live tick.
    void startSession(
        const std::function<std::optional<session::VoiceTimeline>(std::size_t)>& timelineOf,
        session::Difficulty difficulty, std::int64_t songMs);
    void musicStartsAt(std::int64_t songMs);
    void pause(std::int64_t songMs);
    void resume(std::int64_t songMs);
    void endSession(std::int64_t songMs);

    std::vector<SingerOutcome> outcomes() const;

    // Each `--mic` recording the singers sing from, once even when two singers share a file.
    void forEachRecording(const std::function<void(session::SessionInputControl&)>& action) const;
    // Marks the singers whose input stopped since the last call and returns their indices.
    std::vector<std::size_t> noticeLost(const SoundInputs& inputs);

private:
    PartyParts m_parts;
    std::vector<PartyMember> m_members;
    std::vector<std::size_t> m_bandVoices;
};

} // namespace cantorix::app
