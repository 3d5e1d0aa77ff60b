#pragma once
// Test doubles for MIDI output: FakeMidiOutputs hands out devices that record every message
// sent, every reset and their closing, in one log shared by all devices, and refuses the
// device numbers the test marks as failing. Safe to use from any thread.

#include "midi/midi_event.h"
#include "midi/midi_output_device_port.h"

#include <chrono>
#include <cstdint>
#include <iomanip>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace cantorix::midi::testing {

// A channel message as the device received it.
struct ShortMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;

    bool operator==(const ShortMessage&) const = default;
    static ShortMessage of(const TEventData& e) { return {e.status, e.data1, e.data2}; }
    TEventData event() const { return {status, data1, data2}; }
    std::uint8_t kind() const { return status & 0xF0; }
    std::uint8_t channel() const { return status & 0x0F; }
    bool isNote() const { return kind() == 0x80 || kind() == 0x90; }
    friend void PrintTo(const ShortMessage& m, std::ostream* os) {
        *os << std::hex << std::uppercase << std::setfill('0') << std::setw(2) << int(m.status)
            << ' ' << std::setw(2) << int(m.data1) << ' ' << std::setw(2) << int(m.data2);
    }
};

// One entry of the log: a message sent to a device, or its reset or closing.
struct SentMessage {
    enum Kind { Message, Reset, Closed };
    int device = 0;
    Kind kind = Message;
    ShortMessage event;
    std::chrono::steady_clock::time_point at;

    bool operator==(const SentMessage& other) const {
        return device == other.device && kind == other.kind && event == other.event;
    }
};

class FakeMidiOutputs : public MidiOutputDevices {
public:
    std::vector<std::string> names() override {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> result;
        for (int i = 0; i < m_deviceCount; ++i)
            result.push_back("fake " + std::to_string(i));
        return result;
    }

    std::unique_ptr<MidiOutputDevice> open(int number) override {
        std::lock_guard lock(m_mutex);
        ++m_opens;
        if (number < 0 || number >= m_deviceCount || m_failing.count(number))
            return nullptr;
        return std::make_unique<Device>(*this, number);
    }

    void setFailing(int device, bool failing) {
        std::lock_guard lock(m_mutex);
        if (failing)
            m_failing.insert(device);
        else
            m_failing.erase(device);
    }

    int opens() {
        std::lock_guard lock(m_mutex);
        return m_opens;
    }
    std::vector<SentMessage> log() {
        std::lock_guard lock(m_mutex);
        return m_log;
    }
    // The channel messages only, in order.
    std::vector<ShortMessage> messages() {
        std::lock_guard lock(m_mutex);
        std::vector<ShortMessage> result;
        for (const SentMessage& entry : m_log)
            if (entry.kind == SentMessage::Message)
                result.push_back(entry.event);
        return result;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_log.clear();
    }

private:
    class Device : public MidiOutputDevice {
    public:
        Device(FakeMidiOutputs& owner, int number) : m_owner(owner), m_number(number) {}
        ~Device() override { m_owner.record(m_number, SentMessage::Closed, {}); }
        void sendShortMessage(std::uint32_t message) override {
            m_owner.record(m_number, SentMessage::Message,
                           {static_cast<std::uint8_t>(message),
                            static_cast<std::uint8_t>(message >> 8),
                            static_cast<std::uint8_t>(message >> 16)});
        }
        void reset() override { m_owner.record(m_number, SentMessage::Reset, {}); }

    private:
        FakeMidiOutputs& m_owner;
        int m_number;
    };

    void record(int device, SentMessage::Kind kind, ShortMessage event) {
        std::lock_guard lock(m_mutex);
        m_log.push_back({device, kind, event, std::chrono::steady_clock::now()});
    }

    std::mutex m_mutex;
    int m_deviceCount = 4;
    int m_opens = 0;
    std::set<int> m_failing;
    std::vector<SentMessage> m_log;
};

} // namespace cantorix::midi::testing
