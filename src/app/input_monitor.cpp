#include "input_monitor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace cantorix::app {

namespace {

constexpr std::uint32_t kRate = 44100;
// A second of sound: ticks come every 50 ms, so a late one still finds its samples.
constexpr std::int32_t kRingBytes = 2 * kRate;
constexpr std::size_t kTickSamples = kRate / 20;
constexpr int kHeldEmptyTicks = 2;

} // namespace

struct InputMonitor::Monitored {
    const SoundInput* input = nullptr;
    std::unique_ptr<pitch::CaptureRing> ring;
    std::unique_ptr<pitch::SemitoneTracker> tracker;
    std::int32_t readOffset = -1;      // where the last tick stopped reading; -1 before the first
    std::vector<std::int16_t> fresh;   // this tick's samples
    std::vector<std::int16_t> history; // the newest samples, as many as the tracker looks at
    int emptyTicks = 0;                // ticks in a row that brought no samples
};

InputMonitor::InputMonitor(SemitoneTrackerFactory makeTracker)
    : m_makeTracker(std::move(makeTracker)) {}

InputMonitor::~InputMonitor() {
    stop();
}

void InputMonitor::start(const SoundInputs& inputs) {
    stop();
    for (const SoundInput& input : inputs.inputs()) {
        if (!input.capture)
            continue;
        auto monitored = std::make_unique<Monitored>();
        monitored->input = &input;
        monitored->ring = input.capture->createRing(base::makePcmFormat(kRate, 16, 1), kRingBytes);
        if (!monitored->ring)
            continue;
        monitored->ring->start();
        if (m_makeTracker)
            monitored->tracker = m_makeTracker();
        const std::size_t window = monitored->tracker ? monitored->tracker->windowSamples() : 0;
        monitored->history.assign(std::max(window, kTickSamples), 0);
        m_readings.push_back({&input, session::kSilenceDb, std::nullopt});
        m_inputs.push_back(std::move(monitored));
    }
}

void InputMonitor::stop() {
    for (auto& monitored : m_inputs)
        monitored->ring->stop();
    m_inputs.clear();
    m_readings.clear();
    m_loudest.reset();
    m_sameSignal.reset();
    m_listening = false;
    m_heard = nullptr;
}

void InputMonitor::readNew(Monitored& m) {
    m.fresh.clear();
    std::int32_t capture = 0, read = 0;
    if (!m.ring->currentPosition(capture, read))
        return;
    read -= read % 2;
    if (m.readOffset < 0) {
        m.readOffset = read;
        return;
    }
    const std::int32_t length = (read - m.readOffset + kRingBytes) % kRingBytes;
    pitch::RingRegions regions;
    if (length == 0 || !m.ring->lock(m.readOffset, length, regions)) {
        m.readOffset = read;
        return;
    }
    m.fresh.resize(static_cast<std::size_t>(length / 2));
    auto* out = reinterpret_cast<std::uint8_t*>(m.fresh.data());
    std::memcpy(out, regions.data1, static_cast<std::size_t>(regions.length1));
    if (regions.data2)
        std::memcpy(out + regions.length1, regions.data2,
                    static_cast<std::size_t>(regions.length2));
    m.ring->unlock(regions);
    m.readOffset = read;
    // The history keeps its length: the newest samples move in at its end.
    const std::size_t keep = m.history.size();
    if (m.fresh.size() >= keep) {
        std::copy(m.fresh.end() - static_cast<std::ptrdiff_t>(keep), m.fresh.end(),
                  m.history.begin());
    } else {
        std::move(m.history.begin() + static_cast<std::ptrdiff_t>(m.fresh.size()), m.history.end(),
                  m.history.begin());
        std::copy(m.fresh.begin(), m.fresh.end(),
                  m.history.end() - static_cast<std::ptrdiff_t>(m.fresh.size()));
    }
}

void InputMonitor::tick() {
    std::vector<double> levels;
    std::size_t shortest = SIZE_MAX;
    for (std::size_t i = 0; i < m_inputs.size(); ++i) {
        Monitored& m = *m_inputs[i];
        readNew(m);
        InputReading& reading = m_readings[i];
        shortest = std::min(shortest, m.fresh.size());
        // A device delivers in blocks of its own: a tick between two keeps the last reading,
        // and only a longer silence reads as one.
        m.emptyTicks = m.fresh.empty() ? m.emptyTicks + 1 : 0;
        if (m.emptyTicks > 0 && m.emptyTicks <= kHeldEmptyTicks) {
            levels.push_back(reading.levelDb);
            continue;
        }
        reading.levelDb = session::blockLevelDb(m.fresh);
        reading.midiNote.reset();
        if (m.tracker && !m.fresh.empty()) {
            const pitch::SemitoneReading sung = m.tracker->analyse(m.history);
            if (sung.voiced)
                reading.midiNote = sung.midiNote;
        }
        levels.push_back(reading.levelDb);
    }
    if (m_inputs.empty())
        return;
    // The inputs were read at one moment: their newest samples line up, their oldest may not.
    std::vector<std::span<const std::int16_t>> newest;
    for (const auto& m : m_inputs)
        newest.emplace_back(m->fresh.data() + (m->fresh.size() - shortest), shortest);
    m_sameSignal.feed(newest);
    if (!m_listening)
        return;
    if (const std::optional<std::size_t> index = m_loudest.feed(levels)) {
        m_heard = m_inputs[*index]->input;
        m_listening = false;
    }
}

void InputMonitor::listen() {
    m_loudest.reset();
    m_heard = nullptr;
    m_listening = true;
}

const SoundInput* InputMonitor::heard() {
    return std::exchange(m_heard, nullptr);
}

std::vector<std::pair<const SoundInput*, const SoundInput*>> InputMonitor::sameSignalPairs() const {
    std::vector<std::pair<const SoundInput*, const SoundInput*>> pairs;
    for (const auto& [first, second] : m_sameSignal.sameSignalPairs())
        pairs.emplace_back(m_inputs[first]->input, m_inputs[second]->input);
    return pairs;
}

std::string noteName(double midiNote) {
    static constexpr std::array<const char*, 12> kNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                           "F#", "G",  "G#", "A",  "A#", "B"};
    const auto note = static_cast<int>(std::lround(midiNote));
    const int octave = note / 12 - 1;
    return std::string(kNames[static_cast<std::size_t>(((note % 12) + 12) % 12)]) +
           std::to_string(octave);
}

} // namespace cantorix::app
