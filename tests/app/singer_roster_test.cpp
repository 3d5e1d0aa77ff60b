#include "app/singer_roster.h"
#include "fakes/fake_sound_inputs.h"
#include "fakes/file_bytes.h"
#include "platform/storage/ini_profile_file.h"
#include "records/record_store_port.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace cantorix::app {
namespace {

namespace fs = std::filesystem;
using session::InputAddress;

class SingerRosterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-roster-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path file() const { return m_dir / "Score.ini"; }
    SingerRoster loaded(const std::string& text, int legacyDelay) const {
        std::ofstream(file(), std::ios::binary) << text;
        platform::IniProfileFile ini(file());
        SingerRoster roster;
        roster.load(ini, legacyDelay);
        return roster;
    }

    fs::path m_dir;
};

struct ExpectedSlot {
    std::size_t index;
    std::string name;
    scene::TColor colour;
    std::optional<InputAddress> input;
    int delayMs;
};

TEST_F(SingerRosterTest, ReadsEachSlotAndKeepsDefaultsForWhatCannotBeUsed) {
    const scene::TColor first = singerPalette()[0], second = singerPalette()[1];
    struct Case {
        const char* what;
        std::string ini;
        int legacyDelay;
        std::vector<ExpectedSlot> expected;
    };
    const Case cases[] = {
        {"first start: slot 1 takes the old microphone delay",
         "[Score]\r\nMicDelay_Pos=120\r\n",
         120,
         {{0, "Singer 1", first, std::nullopt, 120}, {1, "Singer 2", second, std::nullopt, 0}}},
        {"first start with an old delay out of range", "", 900, {{0, "Singer 1", first, {}, 500}}},
        {"a saved roster; the old key no longer counts",
         "[Singers]\r\nSlot1Name=Ann\r\nSlot1Colour=255\r\nSlot1Input=USB:1\r\nSlot1Delay=80\r\n"
         "Slot3Input=PCH:0\r\nSlot8Name=Zoe\r\n",
         300,
         {{0, "Ann", 255, InputAddress{"USB", 1}, 80},
          {2, "Singer 3", singerPalette()[2], InputAddress{"PCH", 0}, 0},
          {7, "Zoe", singerPalette()[7], std::nullopt, 0}}},
        {"a device that is not plugged in stays bound",
         "[Singers]\r\nSlot2Input=NoSuchCard:5\r\n",
         0,
         {{1, "Singer 2", second, InputAddress{"NoSuchCard", 5}, 0}}},
        {"malformed values",
         "[Singers]\r\nSlot1Name=   \r\nSlot1Colour=red\r\nSlot1Input=USB\r\nSlot1Delay=abc\r\n"
         "Slot2Input=USB:-1\r\nSlot2Delay=9000\r\nSlot2Colour=0\r\nSlot3Input=:1\r\n"
         "Slot3Delay=-5\r\nSlot4Input=USB:x\r\nSlot5Input=none\r\nSlot5Colour=16777216\r\n",
         70,
         {{0, "Singer 1", first, std::nullopt, 0},
          {1, "Singer 2", second, std::nullopt, 500},
          {2, "Singer 3", singerPalette()[2], std::nullopt, 0},
          {3, "Singer 4", singerPalette()[3], std::nullopt, 0},
          {4, "Singer 5", singerPalette()[4], std::nullopt, 0}}},
        {"a `--mic` file is never a saved binding",
         "[Singers]\r\nSlot1Input=mic-file-1:0\r\n",
         0,
         {{0, "Singer 1", first, std::nullopt, 0}}},
        {"hex colour as written by hand",
         "[Singers]\r\nSlot6Colour=$00FF00\r\n",
         0,
         {{5, "Singer 6", 0x00FF00, std::nullopt, 0}}},
    };
    for (const Case& c : cases) {
        const SingerRoster roster = loaded(c.ini, c.legacyDelay);
        for (const ExpectedSlot& e : c.expected) {
            const SingerSlot& s = roster.slot(e.index);
            EXPECT_EQ(s.name, e.name) << c.what << " slot " << e.index;
            EXPECT_EQ(s.colour, e.colour) << c.what << " slot " << e.index;
            EXPECT_EQ(s.input, e.input) << c.what << " slot " << e.index;
            EXPECT_EQ(s.delayMs, e.delayMs) << c.what << " slot " << e.index;
        }
    }
}

TEST_F(SingerRosterTest, SavedRosterComesBackAndTheRestOfTheFileStays) {
    std::ofstream(file(), std::ios::binary) << "[Score]\r\nMicDelay_Pos=40\r\nListBox1_Items=\r\n";
    SingerRoster roster;
    roster.slot(0).name = "Ann Lee";
    roster.slot(0).input = InputAddress{"USB", 1};
    roster.slot(0).delayMs = 95;
    roster.slot(4).colour = nextSingerColour(roster.slot(4).colour);
    roster.slot(4).input = InputAddress{"mic-file-1", 0}; // this run's only
    roster.slot(7).input = InputAddress{"default", 0};
    {
        platform::IniProfileFile ini(file());
        roster.save(ini);
        ini.flush();
    }
    platform::IniProfileFile ini(file());
    EXPECT_EQ(ini.readString("Score", "MicDelay_Pos", ""), "40");
    SingerRoster again;
    again.load(ini, 40);
    for (std::size_t i = 0; i < session::kSingerSlots; ++i) {
        EXPECT_EQ(again.slot(i).name, roster.slot(i).name) << i;
        EXPECT_EQ(again.slot(i).colour, roster.slot(i).colour) << i;
        EXPECT_EQ(again.slot(i).delayMs, roster.slot(i).delayMs) << i;
        EXPECT_EQ(again.slot(i).input, i == 4 ? std::nullopt : roster.slot(i).input) << i;
    }
}

TEST(SingerRosterBindingTest, BoundSingersAreTheSlotsWhoseInputIsOpen) {
    using Slots = std::vector<std::pair<std::size_t, InputAddress>>;
    const InputAddress usbLeft{"USB", 0}, usbRight{"USB", 1}, systemDefault{"default", 0},
        missing{"Gone", 0}, broken{"PCH", 0};
    struct Case {
        const char* what;
        Slots bindings;
        std::vector<InputAddress> plugged;
        std::vector<std::pair<std::size_t, InputAddress>> expected; // slot, input
    };
    const Case cases[] = {
        {"nobody chose: the system default is slot 1's",
         {},
         {usbLeft, usbRight, systemDefault},
         {{0, systemDefault}}},
        {"nobody chose and one input", {}, {usbRight}, {{0, usbRight}}},
        {"nobody chose among two inputs", {}, {usbLeft, usbRight}, {}},
        {"nobody chose and nothing open", {}, {broken}, {}},
        {"slot order, a missing device sits out",
         {{5, usbLeft}, {1, usbRight}, {2, missing}, {3, broken}},
         {usbLeft, usbRight, systemDefault, broken},
         {{1, usbRight}, {5, usbLeft}}},
        {"only missing devices bound: nobody sings", {{0, missing}}, {systemDefault}, {}},
    };
    for (const Case& c : cases) {
        testing::FakeSoundInputs inputs;
        for (const InputAddress& a : c.plugged) {
            if (a == broken)
                inputs.plugInBroken(a, "Broken", "Device unavailable");
            else
                inputs.plugIn(a, a.card);
        }
        SingerRoster roster;
        for (const auto& [slot, address] : c.bindings)
            roster.slot(slot).input = address;
        const std::vector<BoundSinger> singers = roster.boundSingers(inputs);
        ASSERT_EQ(singers.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < singers.size(); ++i) {
            EXPECT_EQ(singers[i].slot, c.expected[i].first) << c.what;
            EXPECT_EQ(singers[i].input->address, c.expected[i].second) << c.what;
            EXPECT_EQ(singers[i].name, defaultSingerName(singers[i].slot)) << c.what;
        }
        for (const auto& [slot, address] : c.bindings)
            EXPECT_EQ(roster.notConnected(slot, inputs), address == missing || address == broken)
                << c.what;
    }
}

TEST(SingerRosterBindingTest, MicFilesTakeTheSlotsWithoutASavedBinding) {
    testing::FakeSoundInputs inputs;
    inputs.plugIn({"USB", 0}, "USB");
    for (int channel : {0, 1})
        inputs.plugIn({"mic-file-1", channel}, "take.wav");
    inputs.plugIn({"mic-file-2", 0}, "solo.wav");
    SingerRoster roster;
    roster.slot(1).input = InputAddress{"USB", 0};
    roster.placeMicFiles(inputs);
    roster.placeMicFiles(inputs); // placing again changes nothing
    EXPECT_EQ(roster.slot(0).input, (InputAddress{"mic-file-1", 0}));
    EXPECT_EQ(roster.slot(1).input, (InputAddress{"USB", 0}));
    EXPECT_EQ(roster.slot(2).input, (InputAddress{"mic-file-1", 1}));
    EXPECT_EQ(roster.slot(3).input, (InputAddress{"mic-file-2", 0}));
    EXPECT_FALSE(roster.slot(4).input);
    EXPECT_EQ(roster.boundSingers(inputs).size(), 4u);
    // The player's own moves stand when a session places the files again.
    roster.slot(0).input = InputAddress{"mic-file-1", 1};
    roster.slot(2).input.reset();
    roster.placeMicFiles(inputs);
    EXPECT_EQ(roster.slot(0).input, (InputAddress{"mic-file-1", 1}));
    EXPECT_FALSE(roster.slot(2).input);
}

// A binding Score.ini keeps in an earlier release's form (a card's channel counted across its
// devices) sings through the input listed with that as its former address and is then kept at
// the input's own address; while the card's former count is uncertain it is not connected.
TEST(SingerRosterBindingTest, AnEarlierReleasesBindingTakesItsInputsAddressOnlyWhenCertain) {
    testing::FakeSoundInputs inputs;
    inputs.plugIn({"USB", 0, 1}, "USB 1", InputAddress{"USB", 2});
    inputs.plugIn({"PCH", 0, 2}, "PCH 2"); // a device of PCH lists no channels
    SingerRoster roster;
    roster.slot(0).input = InputAddress{"USB", 2};
    roster.slot(1).input = InputAddress{"PCH", 0};
    roster.slot(2).input = InputAddress{"USB", 1}; // no input was ever there
    const std::vector<BoundSinger> singers = roster.boundSingers(inputs);
    ASSERT_EQ(singers.size(), 1u);
    EXPECT_EQ(singers[0].input->address, (InputAddress{"USB", 0, 1}));
    EXPECT_TRUE(roster.placeMicFiles(inputs));
    EXPECT_EQ(roster.slot(0).input, (InputAddress{"USB", 0, 1}));
    EXPECT_EQ(roster.slot(1).input, (InputAddress{"PCH", 0}));
    EXPECT_EQ(roster.slot(2).input, (InputAddress{"USB", 1}));
    EXPECT_TRUE(roster.notConnected(1, inputs));
    EXPECT_TRUE(roster.notConnected(2, inputs));
    EXPECT_FALSE(roster.placeMicFiles(inputs));
}

// The player of each slot as Score.ini keeps it, and the names kept before there were players
// becoming players: what each slot sings as afterwards ("id name" or "guest"), what was added.
TEST_F(SingerRosterTest, SlotPlayersAreKeptAndSlotNamesBecomePlayers) {
    records::RecordBook book;
    book.assign({{7, "Anna", 0x0000FF, "", 0}, {9, "Ben", 0x00FF00, "", 0}}, {});
    const struct {
        std::string singers;
        bool storeFails; // as a full disk would
        std::vector<std::string> slots, added;
    } cases[] = {
        {"Slot1Player=7\r\nSlot2Player=x\r\nSlot3Player=-4\r\nSlot4Player=8\r\nSlot4Name=Gone\r\n"
         "Slot5Player=9\r\nSlot6Player=9\r\n",
         false,
         {"7 Anna", "guest", "guest", "guest", "9 Ben", "guest"},
         {}},
        {"Slot1Name=anna\r\nSlot2Name=  Cleo  Day \r\nSlot3Name=Singer 3\r\nSlot4Name=CLEO DAY"
         "\r\nSlot5Name=Ben\r\nSlot5Player=9\r\nSlot6Name=Singer 1\r\n",
         false,
         {"7 Anna", "10 Cleo Day", "guest", "guest", "9 Ben", "11 Singer 1"},
         {"Cleo Day", "Singer 1"}},
        {"Slot1Name=Anna\r\nSlot2Name=Dan\r\n", true, {"7 Anna", "guest"}, {}},
    };
    for (const auto& c : cases) {
        SingerRoster roster = loaded("[Singers]\r\n" + c.singers, 0);
        roster.followPlayers(book);
        std::vector<std::string> added;
        const auto unadopted = roster.adoptNamesAsPlayers(book, [&](records::Player player) {
            if (c.storeFails)
                throw records::ERecordStoreError("disk full");
            added.push_back(player.name);
            player.id = 10 + static_cast<std::int64_t>(added.size()) - 1;
            return player;
        });
        EXPECT_EQ(added, c.added) << c.singers;
        EXPECT_EQ(unadopted.size(), c.storeFails ? 1u : 0u) << c.singers;
        platform::IniProfileFile ini(file());
        roster.save(ini);
        SingerRoster again;
        again.load(ini, 0);
        for (std::size_t i = 0; i < c.slots.size(); ++i) {
            const SingerSlot& s = roster.slot(i);
            EXPECT_EQ(s.playerId ? std::to_string(*s.playerId) + " " + s.name : "guest", c.slots[i])
                << c.singers << " slot " << i;
            EXPECT_EQ(again.slot(i).playerId, s.playerId) << c.singers << " slot " << i;
        }
    }
}

} // namespace
} // namespace cantorix::app
