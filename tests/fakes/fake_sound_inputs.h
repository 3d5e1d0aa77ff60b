#pragma once
// Test double for the game's sound inputs: inputs the test plugs in and out, each an open
// in-memory capture whose hub the test feeds (hub(address).deliver(...)), the real recorder mix
// over the chosen ones, and a loopback click player per input. Main thread only, like the port.
// Links cantorix_platform_sound_input.

#include "app/sound_inputs_port.h"
#include "fakes/loopback_click_player.h"
#include "platform/sound_input/capture_service.h"
#include "platform/sound_input/capture_wave_in.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app::testing {

class FakeSoundInputs : public SoundInputs {
public:
    // Plugs an input in; it is listed (and open) at once, as after a relist.
    platform::CaptureHub& plugIn(const session::InputAddress& address, const std::string& name) {
        Plugged& plugged = m_plugged[address];
        plugged.name = name;
        plugged.problem.clear();
        plugged.service = std::make_unique<platform::CaptureService>();
        listPlugged();
        return plugged.service->hub();
    }
    // A sound card's channel that earlier releases addressed as `former`.
    platform::CaptureHub& plugIn(const session::InputAddress& address, const std::string& name,
                                 const session::InputAddress& former) {
        m_plugged[address].former = former;
        return plugIn(address, name);
    }
    // An input that is listed but cannot be opened, with why.
    void plugInBroken(const session::InputAddress& address, const std::string& name,
                      const std::string& problem) {
        Plugged& plugged = m_plugged[address];
        plugged.name = name;
        plugged.problem = problem;
        plugged.service.reset();
        listPlugged();
    }
    // Unplugs an input: lost() says so at once; it leaves the list at the next relist().
    void unplug(const session::InputAddress& address) {
        m_lost.push_back(address);
        m_unplugged.push_back(address);
    }
    platform::CaptureHub& hub(const session::InputAddress& address) {
        return m_plugged.at(address).service->hub();
    }

    void relist() override {
        ++relists;
        for (const auto& address : m_unplugged)
            m_plugged.erase(address);
        m_unplugged.clear();
        m_lost.clear();
        listPlugged();
    }
    const std::vector<SoundInput>& inputs() const override { return m_inputs; }
    bool lost(const session::InputAddress& address) const override {
        return std::find(m_lost.begin(), m_lost.end(), address) != m_lost.end();
    }
    void chooseRecorded(const std::vector<session::InputAddress>& addresses) override {
        recorded = addresses;
        std::vector<platform::CaptureHub*> hubs;
        for (const auto& address : addresses)
            if (auto it = m_plugged.find(address); it != m_plugged.end() && it->second.service)
                hubs.push_back(&it->second.service->hub());
        m_recorder.choose(hubs);
    }
    audio::WaveInDevice& recorder() override { return m_recorder; }
    session::ClickPlayer* clicksThrough(const session::InputAddress& address) override {
        const SoundInput* input = find(address);
        if (!input || !input->capture)
            return nullptr;
        auto& player = m_clickPlayers[address];
        if (!player)
            player =
                std::make_unique<session::testing::LoopbackClickPlayer>(clickDelayMs, 0.5f, 0.0f);
        return player.get();
    }

    int relists = 0;
    std::vector<session::InputAddress> recorded;
    double clickDelayMs = 40; // what every input's loopback click player delays by

private:
    struct Plugged {
        std::string name;
        std::string problem;
        std::unique_ptr<platform::CaptureService> service;
        std::optional<session::InputAddress> former = std::nullopt;
    };
    void listPlugged() {
        m_inputs.clear();
        for (auto& [address, plugged] : m_plugged)
            m_inputs.push_back({address, plugged.name, plugged.service.get(), nullptr,
                                plugged.problem, plugged.former});
    }

    std::map<session::InputAddress, Plugged> m_plugged; // in address order, as a card's channels
    std::vector<session::InputAddress> m_lost;
    std::vector<session::InputAddress> m_unplugged;
    std::vector<SoundInput> m_inputs;
    // Declared after the captures: it unsubscribes from their hubs before they go.
    platform::CaptureWaveIn m_recorder;
    std::map<session::InputAddress, std::unique_ptr<session::testing::LoopbackClickPlayer>>
        m_clickPlayers;
};

} // namespace cantorix::app::testing
