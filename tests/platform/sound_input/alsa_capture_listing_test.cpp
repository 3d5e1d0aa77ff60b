#include "platform/sound_input/alsa_capture_listing.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace cantorix;
using namespace cantorix::platform;

namespace {

struct ListingCase {
    const char* what;
    std::vector<AlsaCaptureDevice> devices;
    // Each input as "card:channel=name@channel in device".
    std::vector<std::string> inputs;
    int loggedLines;
};

std::string describe(const ListedCaptureDevice& device, const CaptureChannel& channel) {
    return session::inputAddressText(channel.address) + "=" + channel.name + "@" +
           std::to_string(channel.channelInDevice) + " " + device.device.deviceString;
}

TEST(AlsaCaptureListingTest, EveryHardwareChannelIsOneInputNamedByCardAndChannel) {
    const std::vector<ListingCase> cases = {
        {"a mono microphone is one input named by its card",
         {{"Mic", "USB Mic", 0, 1, "plughw:CARD=Mic,DEV=0"}},
         {"Mic:0=USB Mic@0 plughw:CARD=Mic,DEV=0"},
         0},
        {"a stereo receiver is two: left and right",
         {{"Receiver", "USB Receiver", 0, 2, "plughw:CARD=Receiver,DEV=0"}},
         {"Receiver:0=USB Receiver — left@0 plughw:CARD=Receiver,DEV=0",
          "Receiver:1=USB Receiver — right@1 plughw:CARD=Receiver,DEV=0"},
         0},
        {"an interface of four channels counts them from 1",
         {{"Quad", "Desk", 0, 4, "q"}},
         {"Quad:0=Desk — channel 1@0 q", "Quad:1=Desk — channel 2@1 q",
          "Quad:2=Desk — channel 3@2 q", "Quad:3=Desk — channel 4@3 q"},
         0},
        {"a device of no channels is left out and said so; the others stay",
         {{"Dead", "Broken", 0, 0, "d"}, {"Mic", "USB Mic", 0, 1, "m"}},
         {"Mic:0=USB Mic@0 m"},
         1},
        {"the names the default input and the files take are no card's",
         {{"default", "Plug-in", 0, 128, "default"},
          {"mic-file-1", "Odd", 0, 1, "x"},
          {"", "Nameless", 0, 2, "y"}},
         {},
         3},
        {"a card's second device goes on counting its channels and names its number",
         {{"PCH", "HDA Intel", 0, 2, "a"}, {"PCH", "HDA Intel", 2, 1, "b"}},
         {"PCH:0=HDA Intel 0 — left@0 a", "PCH:1=HDA Intel 0 — right@1 a", "PCH:2=HDA Intel 2@0 b"},
         0},
    };
    for (const ListingCase& c : cases) {
        std::ostringstream log;
        std::vector<std::string> inputs;
        for (const auto& device : captureChannels(c.devices, log))
            for (const auto& channel : device.channels)
                inputs.push_back(describe(device, channel));
        EXPECT_EQ(inputs, c.inputs) << c.what;
        const std::string logged = log.str();
        EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), c.loggedLines)
            << c.what << ": " << logged;
    }
}

// This machine may have no sound card and no /proc/asound: the listing then returns what
// there is, without failing.
TEST(AlsaCaptureListingTest, ListingTheMachineNeverFails) {
    for (const AlsaCaptureDevice& device : listAlsaCaptureDevices()) {
        EXPECT_FALSE(device.cardId.empty());
        EXPECT_TRUE(device.deviceString.starts_with("plughw:CARD=" + device.cardId + ",DEV="));
    }
}

} // namespace
