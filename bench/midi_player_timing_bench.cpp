// Timed run: the MIDI player plays ten seconds of notes at 100 % tempo with its real timer
// thread (a 4 ms tick) to a device that stamps every message with the steady clock. Each
// message's error is the time it was sent less the time its event is due (the start of play
// plus the event's time under the tempo map). Prints the largest and the mean error.
// Usage: midi_player_timing_bench [SECONDS]   (default 10)

#include "midi/midi_player.h"
#include "midi/midi_position.h"
#include "platform/midi/midi_timer_thread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace cantorix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPpqn = 480;
constexpr std::uint32_t kTempoMicroseconds = 500000; // 500 ms per quarter note
constexpr int kNoteTicks = 48;                       // a note every 50 ms …
constexpr int kHoldTicks = 23;                       // … held for about 24 ms

void appendVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::vector<std::uint8_t> groups{static_cast<std::uint8_t>(value & 0x7F)};
    while (value >>= 7)
        groups.insert(groups.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    out.insert(out.end(), groups.begin(), groups.end());
}

void appendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendChunk(std::vector<std::uint8_t>& out, const char* id,
                 const std::vector<std::uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    appendBigEndian(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

// A tempo track and one track of notes on channel 0 lasting `seconds`.
std::vector<std::uint8_t> makeSong(int seconds) {
    std::vector<std::uint8_t> tempo{0x00, 0xFF, 0x51, 0x03};
    appendBigEndian(tempo, kTempoMicroseconds, 3);
    tempo.insert(tempo.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> notes{0x00, 0xC0, 0x00};
    const int count = seconds * 1000 / 50;
    for (int i = 0; i < count; ++i) {
        const auto key = static_cast<std::uint8_t>(48 + i % 24);
        appendVarLen(notes, i == 0 ? 0 : kNoteTicks - kHoldTicks);
        notes.insert(notes.end(), {0x90, key, 90});
        appendVarLen(notes, kHoldTicks);
        notes.insert(notes.end(), {0x80, key, 0});
    }
    notes.insert(notes.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<std::uint8_t> file;
    std::vector<std::uint8_t> header;
    appendBigEndian(header, 1, 2);
    appendBigEndian(header, 2, 2);
    appendBigEndian(header, kPpqn, 2);
    appendChunk(file, "MThd", header);
    appendChunk(file, "MTrk", tempo);
    appendChunk(file, "MTrk", notes);
    return file;
}

// Stamps every message; the log is reserved up front so the timer thread does not allocate.
class StampingDevice : public midi::MidiOutputDevice {
public:
    struct Stamp {
        std::uint32_t message;
        Clock::time_point at;
    };
    explicit StampingDevice(std::vector<Stamp>& log, std::mutex& mutex)
        : m_log(log), m_mutex(mutex) {}
    void sendShortMessage(std::uint32_t message) override {
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(m_mutex);
        m_log.push_back({message, now});
    }
    void reset() override {}

private:
    std::vector<Stamp>& m_log;
    std::mutex& m_mutex;
};

class StampingDevices : public midi::MidiOutputDevices {
public:
    std::vector<StampingDevice::Stamp> log;
    std::mutex mutex;
    std::vector<std::string> names() override { return {"stamping"}; }
    std::unique_ptr<midi::MidiOutputDevice> open(int number) override {
        return number == 0 ? std::make_unique<StampingDevice>(log, mutex) : nullptr;
    }
};

class DroppingInvoker : public base::MainThreadInvoker {
public:
    void post(std::function<void()>) override {}
};

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::vector<std::uint8_t> bytes = makeSong(seconds);
    midi::TMidiData data;
    data.load(bytes, "timing.mid");

    // When each note message is due, in milliseconds of the music.
    std::vector<std::int32_t> due;
    {
        midi::TMidiPosition position(&data);
        for (const midi::TMidiEvent& event : data.Tracks(1)->events())
            if (event.event.kind() == 0x80 || event.event.kind() == 0x90) {
                position.SetTicks(event.position);
                due.push_back(position.Time());
            }
    }

    StampingDevices devices;
    devices.log.reserve(due.size() * 2 + 1024);
    midi::PhysicalPortRegistry registry(devices);
    platform::MidiTimerThread timer;
    DroppingInvoker invoker;
    midi::TTrackOutputs outputs(registry, &invoker);
    outputs.setMidiData(&data);
    outputs.setActive(true);
    midi::TMidiPlayer player(registry, timer, invoker);
    player.setTrackOutputs(&outputs);
    player.Rebind();
    player.Rewind();
    {
        std::lock_guard lock(devices.mutex);
        devices.log.clear(); // the patches sent while binding
    }

    const Clock::time_point start = Clock::now();
    player.setPlay(true);
    while (player.state() != midi::TPlayerState::Stopped)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> errors;
    {
        std::lock_guard lock(devices.mutex);
        std::size_t next = 0;
        for (const StampingDevice::Stamp& stamp : devices.log) {
            const auto kind = stamp.message & 0xF0;
            if ((kind != 0x80 && kind != 0x90) || next >= due.size())
                continue;
            const double sent = std::chrono::duration<double, std::milli>(stamp.at - start).count();
            errors.push_back(sent - due[next++]);
        }
    }
    if (errors.size() != due.size()) {
        std::printf("sent %zu of %zu note messages\n", errors.size(), due.size());
        return 1;
    }
    double largest = 0, sum = 0, sumAbs = 0;
    for (double e : errors) {
        largest = std::max(largest, std::fabs(e));
        sum += e;
        sumAbs += std::fabs(e);
    }
    std::sort(errors.begin(), errors.end());
    const auto n = static_cast<double>(errors.size());
    std::printf("MIDI player timing at 100 %% tempo, 4 ms tick, %d s (played in %.3f s)\n", seconds,
                wall);
    std::printf("  note messages:       %zu\n", errors.size());
    std::printf("  largest |error|:     %.3f ms\n", largest);
    std::printf("  mean error:          %.3f ms (late is positive)\n", sum / n);
    std::printf("  mean |error|:        %.3f ms\n", sumAbs / n);
    std::printf("  earliest / latest:   %.3f / %.3f ms\n", errors.front(), errors.back());
    std::printf("  median / 99th pct:   %.3f / %.3f ms\n", errors[errors.size() / 2],
                errors[static_cast<std::size_t>(0.99 * (n - 1))]);
    return 0;
}
