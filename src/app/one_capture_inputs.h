#pragma once
// The game's inputs when the program hands it a single capture (a microphone, a recording or
// silence) rather than its list of devices: that capture is the one input, at the system
// default's address, with the recorder and click player made for it. Main thread only.

#include "sound_inputs_port.h"

#include <string>
#include <utility>
#include <vector>

namespace cantorix::app {

class OneCaptureInputs : public SoundInputs {
public:
    OneCaptureInputs(pitch::CaptureDevice& capture, audio::WaveInDevice& recorder,
                     session::SessionInputControl* recording, session::ClickPlayer* clicks)
        : m_recorder(recorder), m_clicks(clicks) {
        m_inputs.push_back({.address = {std::string(session::kDefaultInputCard), 0},
                            .name = "System default input",
                            .capture = &capture,
                            .recording = recording,
                            .problem = {}});
    }

    // The one capture stays open for the program's life: there is nothing to list again.
    void relist() override {}
    const std::vector<SoundInput>& inputs() const override { return m_inputs; }
    bool lost(const session::InputAddress&) const override { return false; }
    // The recorder hears the one capture whoever sings.
    void chooseRecorded(const std::vector<session::InputAddress>&) override {}
    audio::WaveInDevice& recorder() override { return m_recorder; }
    session::ClickPlayer* clicksThrough(const session::InputAddress& address) override {
        return address == m_inputs.front().address ? m_clicks : nullptr;
    }

private:
    std::vector<SoundInput> m_inputs;
    audio::WaveInDevice& m_recorder;
    session::ClickPlayer* m_clicks;
};

} // namespace cantorix::app
