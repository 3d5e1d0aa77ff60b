#include "platform/sound_input/alsa_capture_listing.h"
#include "session/input_binding.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace cantorix;
using namespace cantorix::platform;

namespace {

struct ListingCase {
    const char* what;
    std::vector<AlsaCaptureDevice> devices;
    // Each input as "card:device:channel~former address=name@channel in device".
    std::vector<std::string> inputs;
    std::vector<std::string> logged; // words each line of the log holds, in order
};

std::string describe(const ListedCaptureDevice& device, const CaptureChannel& channel) {
    return session::inputAddressText(channel.address) +
           (channel.formerAddress ? "~" + session::inputAddressText(*channel.formerAddress) : "") +
           "=" + channel.name + "@" + std::to_string(channel.channelInDevice) + " " +
           device.device.deviceString;
}

TEST(AlsaCaptureListingTest, EveryHardwareChannelIsOneInputNamedByCardAndChannel) {
    const std::vector<ListingCase> cases = {
        {"a mono microphone is one input named by its card",
         {{"Mic", "USB Mic", 0, 1, "plughw:CARD=Mic,DEV=0"}},
         {"Mic:0:0~Mic:0=USB Mic@0 plughw:CARD=Mic,DEV=0"},
         {}},
        {"a stereo receiver is two: left and right",
         {{"Receiver", "USB Receiver", 0, 2, "plughw:CARD=Receiver,DEV=0"}},
         {"Receiver:0:0~Receiver:0=USB Receiver — left@0 plughw:CARD=Receiver,DEV=0",
          "Receiver:0:1~Receiver:1=USB Receiver — right@1 plughw:CARD=Receiver,DEV=0"},
         {}},
        {"an interface of four channels counts them from 1",
         {{"Quad", "Desk", 0, 4, "q"}},
         {"Quad:0:0~Quad:0=Desk — channel 1@0 q", "Quad:0:1~Quad:1=Desk — channel 2@1 q",
          "Quad:0:2~Quad:2=Desk — channel 3@2 q", "Quad:0:3~Quad:3=Desk — channel 4@3 q"},
         {}},
        {"a device of no channels is left out and said so, with why; the others stay",
         {{"Dead", "Broken", 0, 0, "d"},
          {"Busy", "In Use", 0, 0, "b", "Device or resource busy"},
          {"Mic", "USB Mic", 0, 1, "m"}},
         {"Mic:0:0~Mic:0=USB Mic@0 m"},
         {"d lists no channels", "b lists no channels (Device or resource busy)"}},
        {"the names the default input and the files take are no card's",
         {{"default", "Plug-in", 0, 128, "default"},
          {"mic-file-1", "Odd", 0, 1, "x"},
          {"", "Nameless", 0, 2, "y"}},
         {},
         {"default has no usable card id", "x has no usable card id", "y has no usable card id"}},
        {"a card's second device counts its own channels and names its number; the former "
         "address counted on across the card",
         {{"PCH", "HDA Intel", 0, 2, "a"}, {"PCH", "HDA Intel", 2, 1, "b"}},
         {"PCH:0:0~PCH:0=HDA Intel 0 — left@0 a", "PCH:0:1~PCH:1=HDA Intel 0 — right@1 a",
          "PCH:2:0~PCH:2=HDA Intel 2@0 b"},
         {}},
        {"a card's device of no channels leaves the former count uncertain for all its others",
         {{"PCH", "HDA Intel", 0, 0, "a", "Device or resource busy"},
          {"PCH", "HDA Intel", 2, 1, "b"},
          {"USB", "USB Mic", 0, 1, "u"}},
         {"PCH:2:0=HDA Intel 2@0 b", "USB:0:0~USB:0=USB Mic@0 u"},
         {"a lists no channels (Device or resource busy)"}},
    };
    for (const ListingCase& c : cases) {
        std::ostringstream log;
        std::vector<std::string> inputs;
        for (const auto& device : captureChannels(c.devices, log))
            for (const auto& channel : device.channels)
                inputs.push_back(describe(device, channel));
        EXPECT_EQ(inputs, c.inputs) << c.what;
        std::istringstream lines(log.str());
        std::size_t line = 0;
        for (std::string text; std::getline(lines, text); ++line) {
            ASSERT_LT(line, c.logged.size()) << c.what << ": " << log.str();
            EXPECT_NE(text.find(c.logged[line]), std::string::npos) << c.what << ": " << text;
        }
        EXPECT_EQ(line, c.logged.size()) << c.what << ": " << log.str();
    }
}

// A card of three capture devices over three starts: the first device busy in another program,
// then free, then gone. Each binding names the same channel, or nothing (its singer sits out),
// never a channel of another device that moved into its place. An address the earlier releases
// kept (no device: counted across the card) binds only while the whole card is counted.
TEST(AlsaCaptureListingTest, ABindingNamesTheSameChannelWhicheverOfTheCardsDevicesAreThere) {
    const AlsaCaptureDevice first{"USB", "Desk", 0, 2, "d0"}, second{"USB", "Desk", 1, 1, "d1"},
        third{"USB", "Desk", 2, 2, "d2"};
    AlsaCaptureDevice busy = first;
    busy.channels = 0;
    busy.problem = "Device or resource busy";
    const std::vector<std::pair<const char*, std::vector<AlsaCaptureDevice>>> starts = {
        {"first device busy", {busy, second, third}},
        {"all free", {first, second, third}},
        {"first device gone", {second, third}},
    };
    struct Binding {
        const char* saved;
        std::vector<std::string> named; // per start: "device@channel in device", "" for none
    };
    const Binding bindings[] = {
        {"USB:2:1", {"d2@1", "d2@1", "d2@1"}},
        {"USB:1:0", {"d1@0", "d1@0", "d1@0"}},
        {"USB:0:0", {"", "d0@0", ""}},
        // Earlier releases' USB:4 and USB:2 were the third device's right and the second's.
        {"USB:4", {"", "d2@1", ""}},
        // A device gone from the card altogether cannot be told from one never there: USB:2
        // would then name the third device's right. The first start with every device there
        // saves it anew (as USB:1:0), so only a first start after the update could meet that.
        {"USB:2", {"", "d1@0"}},
        {"USB:9:0", {"", "", ""}},
    };
    for (std::size_t start = 0; start < starts.size(); ++start) {
        std::ostringstream log;
        std::vector<CaptureChannel> listed;
        for (const ListedCaptureDevice& device : captureChannels(starts[start].second, log))
            for (CaptureChannel channel : device.channels) {
                channel.name = device.device.deviceString; // the device the channel is of
                listed.push_back(std::move(channel));
            }
        for (const Binding& b : bindings) {
            if (start >= b.named.size())
                continue;
            const std::optional<session::InputAddress> saved = session::parseInputAddress(b.saved);
            ASSERT_TRUE(saved) << b.saved;
            const CaptureChannel* bound = session::boundInput(*saved, listed);
            EXPECT_EQ(bound ? bound->name + "@" + std::to_string(bound->channelInDevice) : "",
                      b.named[start])
                << b.saved << " with the " << starts[start].first;
        }
    }
}

} // namespace
