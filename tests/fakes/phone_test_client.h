#pragma once
// A phone as the tests and benchmarks need one: speaks the phone page's protocol over a real
// secure WebSocket (the game's self-signed certificate accepted) from a thread and event loop of
// its own, answers clock pings with a clock of its own (offset and drifting as a phone's may),
// and streams what it is given as if a microphone captured it now: 16-bit frames stamped with
// that clock, paced in real time, silence before and after.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::testing {

struct PhoneTestClientOptions {
    // wss://127.0.0.1:<port>/socket?k=<key>
    std::string url = {};
    std::string name = "Phone";
    std::size_t slot = 1;
    int sampleRate = 48000;
    int frameMs = 20;
    // The phone's clock reads (steady time since the client was made) × (1 + driftPpm / 10^6)
    // + offsetSeconds.
    double offsetSeconds = 0;
    double driftPpm = 0;
    std::string resumeToken = {};
    // Send a join at once after connecting; false for tests that send their own messages.
    bool join = true;
    // Called on the client's thread with every text as it arrives, before it is kept: for
    // benchmarks that time each message's arrival. Must not call back into the client.
    std::function<void(const std::string& text)> onText = {};
};

class PhoneTestClient {
public:
    explicit PhoneTestClient(PhoneTestClientOptions options); // connects on its own thread
    ~PhoneTestClient();                                       // closes and joins the thread
    PhoneTestClient(const PhoneTestClient&) = delete;
    PhoneTestClient& operator=(const PhoneTestClient&) = delete;

    // Waits (bounded) for the welcome; false on refusal, close or timeout.
    bool waitWelcome(std::chrono::milliseconds within = std::chrono::seconds(10));
    // Waits (bounded) until the socket is open; false on close or timeout.
    bool waitOpen(std::chrono::milliseconds within = std::chrono::seconds(10));
    // Waits (bounded) until the socket is closed by the game.
    bool waitClosed(std::chrono::milliseconds within = std::chrono::seconds(10));
    // The refusal's reason, the welcome's resume token and slot, every text received.
    std::optional<std::string> refusal() const;
    std::string resumeToken() const;
    std::size_t slot() const;
    std::vector<std::string> texts() const;

    // From now on the phone's microphone hears these samples (at the client's sample rate):
    // sample 0 is captured now. Before and after them it hears silence. Frames are sent while
    // joined, every frameMs.
    void play(std::vector<std::int16_t> samples);
    // The same, sample 0 captured at capturedFrom (a moment just past: the frames since are sent
    // at once).
    void play(std::vector<std::int16_t> samples,
              std::chrono::steady_clock::time_point capturedFrom);
    // The Wi-Fi drops for a while: frames captured meanwhile are never sent.
    void loseFramesFor(std::chrono::milliseconds duration);
    // Closes the socket as a screen lock would, then (resume) connects again and joins with the
    // welcome's resume token.
    void dropOut();
    void comeBack();

    // Raw messages, for tests of bad input.
    void sendText(const std::string& text);
    void sendBinary(const std::vector<std::uint8_t>& bytes);

    // The phone's clock now, and the steady time at which it read phoneSeconds (for tests of
    // the clock mapping).
    double phoneSecondsNow() const;
    std::chrono::steady_clock::time_point steadyAt(double phoneSeconds) const;
    std::uint64_t framesSent() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace cantorix::testing
