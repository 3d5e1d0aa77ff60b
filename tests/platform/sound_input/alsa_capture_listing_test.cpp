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
    std::vector<std::string> logged; // words each line of the log holds, in order
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
         {}},
        {"a stereo receiver is two: left and right",
         {{"Receiver", "USB Receiver", 0, 2, "plughw:CARD=Receiver,DEV=0"}},
         {"Receiver:0=USB Receiver — left@0 plughw:CARD=Receiver,DEV=0",
          "Receiver:1=USB Receiver — right@1 plughw:CARD=Receiver,DEV=0"},
         {}},
        {"an interface of four channels counts them from 1",
         {{"Quad", "Desk", 0, 4, "q"}},
         {"Quad:0=Desk — channel 1@0 q", "Quad:1=Desk — channel 2@1 q",
          "Quad:2=Desk — channel 3@2 q", "Quad:3=Desk — channel 4@3 q"},
         {}},
        {"a device of no channels is left out and said so, with why; the others stay",
         {{"Dead", "Broken", 0, 0, "d"},
          {"Busy", "In Use", 0, 0, "b", "Device or resource busy"},
          {"Mic", "USB Mic", 0, 1, "m"}},
         {"Mic:0=USB Mic@0 m"},
         {"d lists no channels", "b lists no channels (Device or resource busy)"}},
        {"the names the default input and the files take are no card's",
         {{"default", "Plug-in", 0, 128, "default"},
          {"mic-file-1", "Odd", 0, 1, "x"},
          {"", "Nameless", 0, 2, "y"}},
         {},
         {"default has no usable card id", "x has no usable card id", "y has no usable card id"}},
        {"a card's second device goes on counting its channels and names its number",
         {{"PCH", "HDA Intel", 0, 2, "a"}, {"PCH", "HDA Intel", 2, 1, "b"}},
         {"PCH:0=HDA Intel 0 — left@0 a", "PCH:1=HDA Intel 0 — right@1 a", "PCH:2=HDA Intel 2@0 b"},
         {}},
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

} // namespace
