#include "fakes/fake_midi_output.h"
#include "midi/midi_output_port.h"
#include "midi/track_outputs.h"
#include "midi_bytes.h"

#include <gtest/gtest.h>

using namespace cantorix::midi;
using cantorix::midi::testing::FakeMidiOutputs;
using cantorix::midi::testing::SentMessage;
using cantorix::midi::testing::ShortMessage;

namespace {

ShortMessage ev(int status, int data1, int data2 = 0) {
    return {static_cast<std::uint8_t>(status), static_cast<std::uint8_t>(data1),
            static_cast<std::uint8_t>(data2)};
}

TEventData te(int status, int data1, int data2 = 0) {
    return ev(status, data1, data2).event();
}

SentMessage msg(int device, ShortMessage event) {
    return {device, SentMessage::Message, event, {}};
}

class MidiOutputPortTest : public ::testing::Test {
protected:
    FakeMidiOutputs devices;
    PhysicalPortRegistry registry{devices};
};

} // namespace

TEST_F(MidiOutputPortTest, SendsOnlyChannelMessagesAndOnlyWhileActive) {
    TMidiOutputPort port(registry);
    port.SendEvent(te(0x90, 60, 100));
    EXPECT_TRUE(devices.messages().empty()) << "inactive";
    EXPECT_EQ(port.soundingNotes(0, 60), 0);

    port.setActive(true);
    port.SendEvent(te(0x91, 60, 100));
    port.SendEvent(te(0xF0, 1, 2));
    port.SendEvent(te(0xF8, 0));
    port.SendEvent(te(0xFF, 0x2F));
    port.SendEvent(te(0xE1, 0x00, 0x40));
    const std::vector<ShortMessage> sent = devices.messages();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].event().shortMessage(), 0x643C91u) << "status low, then the data bytes";
    EXPECT_EQ(sent[1].event().shortMessage(), 0x4000E1u);
}

TEST_F(MidiOutputPortTest, CountsNotesAndEndsThemAll) {
    TMidiOutputPort port(registry);
    port.setActive(true);
    port.SendEvent(te(0x90, 60, 100));
    port.SendEvent(te(0x90, 60, 90)); // the same note twice
    port.SendEvent(te(0x93, 64, 80));
    port.SendEvent(te(0x93, 64, 0)); // velocity 0 ends it
    port.SendEvent(te(0x85, 70, 0)); // never started: the count stays at 0
    EXPECT_EQ(port.soundingNotes(0, 60), 2);
    EXPECT_EQ(port.soundingNotes(3, 64), 0);
    EXPECT_EQ(port.soundingNotes(5, 70), 0);

    port.SendEvent(te(0xB2, 64, 127)); // sustain held on channel 2
    devices.clear();
    port.AllNotesOff();
    EXPECT_EQ(devices.messages(),
              (std::vector<ShortMessage>{ev(0x80, 60), ev(0x80, 60), ev(0xB2, 64, 0)}));
    EXPECT_EQ(port.soundingNotes(0, 60), 0);
    devices.clear();
    port.AllNotesOff();
    EXPECT_TRUE(devices.messages().empty()) << "nothing left to end";
}

TEST_F(MidiOutputPortTest, ConnectionKeepsControllersAndProgramsAndResetsToDefaults) {
    TMidiOutputPort port(registry);
    port.setActive(true);
    const TPhysicalOutputPort& connection = *port.connection();
    EXPECT_EQ(connection.controller(0, 7), 90);
    EXPECT_EQ(connection.controller(15, 10), 64);
    EXPECT_EQ(connection.controller(4, 11), 127);
    EXPECT_EQ(connection.controller(9, 91), 40);
    EXPECT_EQ(connection.controller(9, 1), 0);
    EXPECT_EQ(connection.program(3), 0);

    port.SendEvent(te(0xB1, 7, 100));
    port.SendEvent(te(0xB1, 10, 64)); // already the default
    port.SendEvent(te(0xB4, 1, 33));
    port.SendEvent(te(0xC4, 25));
    EXPECT_EQ(connection.controller(1, 7), 100);
    EXPECT_EQ(connection.program(4), 25);

    devices.clear();
    port.ResetControllers();
    EXPECT_EQ(devices.messages(), (std::vector<ShortMessage>{ev(0xB1, 7, 90), ev(0xB4, 1, 0)}));
    EXPECT_EQ(connection.controller(1, 7), 90);
    EXPECT_EQ(connection.program(4), 25) << "programs are not controllers";
}

TEST_F(MidiOutputPortTest, SetPatchSendsOnlyAChangedProgram) {
    TMidiOutputPort port(registry);
    port.setActive(true);
    port.SetPatch(0, 0, 2); // channel 2 already holds program 0
    port.SetPatch(5, 40, 2);
    port.SetPatch(0, 40, 2);
    EXPECT_EQ(devices.messages(), (std::vector<ShortMessage>{ev(0xC2, 40)}))
        << "once, and without a bank select";
}

TEST_F(MidiOutputPortTest, OutputsOnOneDeviceShareItsConnection) {
    auto first = std::make_unique<TMidiOutputPort>(registry);
    auto second = std::make_unique<TMidiOutputPort>(registry);
    first->setActive(true);
    second->setActive(true);
    EXPECT_EQ(devices.opens(), 1);
    EXPECT_EQ(first->connection(), second->connection());

    // A controller set through one output is reset when the other one leaves.
    first->SendEvent(te(0xB0, 1, 50));
    second->SendEvent(te(0x90, 60, 100));
    devices.clear();
    second.reset();
    EXPECT_EQ(devices.log(),
              (std::vector<SentMessage>{msg(0, ev(0x80, 60)), msg(0, ev(0xB0, 1, 0))}))
        << "the device stays open for the first output";
    EXPECT_EQ(registry.openCount(), 1);

    devices.clear();
    first->setActive(false);
    EXPECT_EQ(devices.log(), (std::vector<SentMessage>{{0, SentMessage::Reset, {}, {}},
                                                       {0, SentMessage::Closed, {}, {}}}));
    EXPECT_EQ(registry.openCount(), 0);
}

TEST_F(MidiOutputPortTest, DeviceThatCannotOpenLeavesThePortInactive) {
    devices.setFailing(1, true);
    TMidiOutputPort port(registry);
    port.setPortId(1);
    try {
        port.setActive(true);
        FAIL() << "no exception";
    } catch (const EMidiOutputPort& error) {
        EXPECT_STREQ(error.what(), "Unable to open port");
    }
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(registry.openCount(), 0);

    devices.setFailing(1, false);
    port.setActive(true);
    EXPECT_TRUE(port.Active()) << "every activation tries again";
}

TEST_F(MidiOutputPortTest, ChangingThePortWhileActiveReopens) {
    TMidiOutputPort port(registry);
    port.setActive(true);
    port.SendEvent(te(0x90, 60, 100));
    port.setPortId(2);
    EXPECT_TRUE(port.Active());
    EXPECT_EQ(port.connection()->deviceNumber(), 2);
    EXPECT_EQ(registry.find(0), nullptr) << "device 0 closed";
    const std::vector<SentMessage> log = devices.log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1], msg(0, ev(0x80, 60))) << "its note ended on the old device";
}

namespace {

class TrackOutputsTest : public MidiOutputPortTest {
protected:
    void load(const std::vector<test::TrackBody>& tracks) {
        const test::Bytes bytes = test::midiFile(tracks);
        data.load(bytes, "test.mid");
    }
    TMidiData data;
};

} // namespace

TEST_F(TrackOutputsTest, ActivationMakesOneOutputPerTrackOnTheDefaultPort) {
    load({test::TrackBody().end(), test::TrackBody().event(0, {0xC3, 12}).end(),
          test::TrackBody().end()});
    TTrackOutputs outputs(registry);
    outputs.setMidiData(&data);
    outputs.setDefaultOutputPort(2);
    outputs.setActive(true);
    ASSERT_EQ(outputs.outputCount(), 3);
    EXPECT_EQ(outputs.Outputs(3), nullptr);
    EXPECT_EQ(outputs.Outputs(-1), nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(&outputs.Outputs(i)->track(), data.Tracks(i));
        EXPECT_EQ(outputs.Outputs(i)->port().connection()->deviceNumber(), 2);
        EXPECT_FALSE(outputs.Outputs(i)->Muted());
    }
    EXPECT_EQ(registry.openCount(), 1);

    outputs.SendPatches();
    EXPECT_EQ(devices.messages(), (std::vector<ShortMessage>{ev(0xC3, 12)}))
        << "tracks without a program change keep program 0 on channel 0";

    outputs.setActive(false);
    EXPECT_EQ(outputs.outputCount(), 0);
    EXPECT_EQ(registry.openCount(), 0);
}

TEST_F(TrackOutputsTest, FailedActivationKeepsNothingOpen) {
    load({test::TrackBody().end(), test::TrackBody().end()});
    devices.setFailing(0, true);
    TTrackOutputs outputs(registry);
    outputs.setMidiData(&data);
    EXPECT_THROW(outputs.setActive(true), EMidiOutputPort);
    EXPECT_FALSE(outputs.Active());
    EXPECT_EQ(outputs.outputCount(), 0);
    devices.setFailing(0, false);
    outputs.setActive(true);
    EXPECT_EQ(outputs.outputCount(), 2);
}

TEST_F(TrackOutputsTest, MutingEndsTheTracksSoundingNotes) {
    load({test::TrackBody().end(), test::TrackBody().end()});
    TTrackOutputs outputs(registry);
    outputs.setMidiData(&data);
    outputs.setActive(true);
    outputs.Outputs(0)->port().SendEvent(te(0x90, 60, 100));
    outputs.Outputs(1)->port().SendEvent(te(0x91, 62, 100));
    devices.clear();
    outputs.Outputs(1)->setMuted(true);
    EXPECT_EQ(devices.messages(), (std::vector<ShortMessage>{ev(0x81, 62, 0)}))
        << "only the muted track's note ends, with velocity 0";
    devices.clear();
    outputs.Outputs(1)->setMuted(true);
    outputs.Outputs(1)->setMuted(false);
    EXPECT_TRUE(devices.messages().empty());
}
