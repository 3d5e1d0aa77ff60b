// Who sings which voice on which band, and a party that goes on when one singer's microphone is
// pulled out.

#include "app/singing_party.h"
#include "fakes/fake_sound_inputs.h"
#include "fakes/manual_main_thread.h"

#include <gtest/gtest.h>

namespace {

using namespace cantorix;
using Voices = std::vector<std::size_t>;

TEST(SingingPartyTest, VoicesAndBandsFollowTheChoicesOrTheDefaultRule) {
    struct Case {
        const char* what;
        std::size_t singers;
        Voices chosen;
        std::size_t voiceCount;
        Voices voiceOfSinger, bandVoices, bandOfSinger;
    };
    const Case cases[] = {
        {"nobody sings", 0, {}, 2, {}, {}, {}},
        {"one singer, one voice", 1, {}, 1, {0}, {0}, {0}},
        {"a duet by two", 2, {}, 2, {0, 1}, {0, 1}, {0, 1}},
        {"three alternate", 3, {}, 2, {0, 1, 0}, {0, 1}, {0, 1, 0}},
        {"both chose the second voice", 2, {1, 1}, 2, {1, 1}, {1}, {0, 0}},
        {"swapped voices keep voice order on screen", 2, {1, 0}, 2, {1, 0}, {0, 1}, {1, 0}},
        {"a choice beyond the voices falls back", 2, {5}, 2, {0, 1}, {0, 1}, {0, 1}},
        {"eight on the game's own song", 8, {}, 1, Voices(8, 0), {0}, Voices(8, 0)},
        {"a third voice shares the lower band", 3, {}, 3, {0, 1, 2}, {0, 1}, {0, 1, 1}},
    };
    for (const Case& c : cases) {
        const app::BandPlan plan = app::planBands(c.singers, c.chosen, c.voiceCount);
        EXPECT_EQ(plan.voiceOfSinger, c.voiceOfSinger) << c.what;
        EXPECT_EQ(plan.bandVoices, c.bandVoices) << c.what;
        EXPECT_EQ(plan.bandOfSinger, c.bandOfSinger) << c.what;
    }
}

TEST(SingingPartyTest, AnUnpluggedSingerSitsOutAndTheOthersKeepTheirLoops) {
    app::testing::FakeSoundInputs inputs;
    inputs.plugIn({"USB", 0}, "Receiver — left");
    inputs.plugIn({"USB", 1}, "Receiver — right");
    inputs.plugIn({"PCH", 0}, "Laptop");
    pitch::testing::ManualInvoker invoker;
    app::SingingParty party({.invoker = invoker});
    std::vector<app::PartySinger> singers;
    for (const app::SoundInput& input : inputs.inputs())
        singers.push_back({.slot = singers.size(), .name = input.name, .input = &input});
    party.gather(singers, {}, 2);
    ASSERT_EQ(party.members().size(), 3u);
    party.startSession({}, session::Difficulty::Medium, 0);

    EXPECT_TRUE(party.noticeLost(inputs).empty());
    inputs.unplug({"USB", 1});
    const std::vector<std::size_t> lost = party.noticeLost(inputs);
    ASSERT_EQ(lost.size(), 1u);
    const std::size_t k = lost.front();
    EXPECT_EQ(party.members()[k].singer.input->address, (session::InputAddress{"USB", 1}));
    // Noticed once; the others go on to the end of the session and keep their points.
    EXPECT_TRUE(party.noticeLost(inputs).empty());
    party.endSession(1000);
    const std::vector<app::SingerOutcome> outcomes = party.outcomes();
    ASSERT_EQ(outcomes.size(), 3u);
    for (std::size_t i = 0; i < outcomes.size(); ++i)
        EXPECT_EQ(outcomes[i].lost, i == k) << i;
    // Let go before the inputs are listed again.
    party.dismiss();
    EXPECT_TRUE(party.empty());
    inputs.relist();
    EXPECT_EQ(inputs.inputs().size(), 2u);
}

} // namespace
