#pragma once
// The game's sound inputs: every channel of every hardware capture device (one PortAudio stream
// per device), the system's default input, or instead every channel of the `--mic` files; the
// recorder mixing the chosen ones and a click player per input. Owns every capture it lists
// until the next relist(). Main thread only.

#include "alsa_capture_listing.h"
#include "app/sound_inputs_port.h"
#include "capture_wave_in.h"
#include "device_capture.h"
#include "output_click_player.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cantorix::platform {

// An input the set lists but does not own.
struct ExternalInput {
    app::SoundInput input;
    CaptureService* capture = nullptr;
};

class CaptureInputSet : public app::SoundInputs {
public:
    struct Options {
        // With files, only their channels are inputs: no device is listed or opened.
        std::vector<std::filesystem::path> micWavs = {};
        // Plays the calibration clicks; without it there is no click player.
        AudioOutput* output = nullptr;
        // The capture devices to offer; the machine's own by default.
        std::function<std::vector<AlsaCaptureDevice>()> listDevices = listAlsaCaptureDevices;
        bool systemDefaultInput = true;
        // Where devices left out and inputs that fail are written down.
        std::ostream* log = &std::cerr;
        // Inputs whose captures live elsewhere and outlast every relist (the phones' seats):
        // listed after the others, with or without `--mic` files. Their captures must outlive
        // this set.
        std::function<std::vector<ExternalInput>()> externalInputs = {};
    };

    // Lists nothing yet: call relist().
    explicit CaptureInputSet(Options options);
    ~CaptureInputSet() override;
    CaptureInputSet(const CaptureInputSet&) = delete;
    CaptureInputSet& operator=(const CaptureInputSet&) = delete;

    // Release every ring made on an input's capture first: their captures go. Only an open
    // recorder may stay; its captures are kept until it closes.
    void relist() override;
    const std::vector<app::SoundInput>& inputs() const override { return m_inputs; }
    void refreshNames() override;
    bool lost(const session::InputAddress& address) const override;
    void chooseRecorded(const std::vector<session::InputAddress>& addresses) override;
    audio::WaveInDevice& recorder() override { return m_recorder; }
    session::ClickPlayer* clicksThrough(const session::InputAddress& address) override;

    // What the player should read once after relist(): each `--mic` file or channel that
    // cannot be heard, one line each. Empty when every file works.
    const std::vector<std::string>& fileProblems() const { return m_fileProblems; }
    // The capture of the first open input, or silence: for callers that listen to one input.
    CaptureService& firstCapture();
    // The first open file channel's control, or null.
    session::SessionInputControl* firstRecording() const;

private:
    struct OpenInput {
        CaptureService* capture = nullptr;
        DeviceCapture* device = nullptr; // null for a file or the default input
    };
    void closeAll();
    void listFiles();
    void listFile(int number, const std::filesystem::path& file);
    void listDevices();
    void listSystemDefault();
    void listExternal();
    void add(app::SoundInput input, OpenInput open);

    Options m_options;
    std::vector<app::SoundInput> m_inputs;
    std::vector<std::string> m_fileProblems;
    std::map<session::InputAddress, OpenInput> m_open;
    std::vector<session::InputAddress> m_recorded;
    std::vector<std::unique_ptr<DeviceCapture>> m_devices;
    std::vector<std::unique_ptr<CaptureService>> m_captures; // files and the default input
    std::unique_ptr<CaptureService> m_silence;
    // Captures a relist() replaced while the recorder still listened to them: kept until it
    // closes, so its subscriptions never outlive their hubs.
    std::vector<std::unique_ptr<DeviceCapture>> m_retiredDevices;
    std::vector<std::unique_ptr<CaptureService>> m_retiredCaptures;
    // Declared after the captures: they go after the recorder and click players.
    CaptureWaveIn m_recorder;
    std::map<session::InputAddress, std::unique_ptr<OutputClickPlayer>> m_clickPlayers;
};

} // namespace cantorix::platform
