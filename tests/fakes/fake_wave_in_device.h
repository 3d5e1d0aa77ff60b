#pragma once
// Test doubles for the recorder: a wave-in device the test fills buffer by buffer, and an
// in-memory output stream that can run out of room like a full disk. One thread.

#include "audio/output_stream.h"
#include "audio/wave_in_device_port.h"

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace cantorix::audio::testing {

class FakeWaveInDevice : public WaveInDevice {
public:
    // Makes the named operation ("query", "open", "addBuffer", "start", ...) fail with result.
    void failWith(const std::string& operation, WaveInResult result) {
        m_failures[operation] = result;
    }

    WaveInResult queryFormat(const base::TWaveFormat& format) override {
        queried = format;
        return result("query");
    }
    WaveInResult open(const base::TWaveFormat& format, WaveInListener& listener) override {
        if (const WaveInResult r = result("open"); r != kWaveInOk)
            return r;
        opened = format;
        m_listener = &listener;
        listener.waveInOpened();
        return kWaveInOk;
    }
    WaveInResult addBuffer(std::unique_ptr<WaveInBuffer> buffer) override {
        if (const WaveInResult r = result("addBuffer"); r != kWaveInOk)
            return r;
        buffer->recorded = 0;
        queue.push_back(std::move(buffer));
        return kWaveInOk;
    }
    WaveInResult start() override {
        started = true;
        return result("start");
    }
    WaveInResult stop() override {
        started = false;
        if (!queue.empty() && queue.front()->recorded > 0)
            returnFront();
        return result("stop");
    }
    WaveInResult reset() override {
        started = false;
        while (!queue.empty())
            returnFront();
        return result("reset");
    }
    WaveInResult close() override {
        if (!queue.empty())
            return 33;
        ++closes;
        m_listener->waveInClosed();
        return kWaveInOk;
    }
    std::string errorText(WaveInResult r) const override {
        return "device error " + std::to_string(r);
    }

    // Fills the oldest queued buffer with count bytes of value (its whole size by default) and
    // returns it when full.
    void record(std::uint8_t value, std::size_t count = SIZE_MAX) {
        WaveInBuffer& buffer = *queue.front();
        count = std::min(count, buffer.data.size() - buffer.recorded);
        std::fill_n(buffer.data.begin() + static_cast<long>(buffer.recorded), count, value);
        buffer.recorded += count;
        if (buffer.recorded == buffer.data.size())
            returnFront();
    }

    std::deque<std::unique_ptr<WaveInBuffer>> queue;
    base::TWaveFormat queried;
    base::TWaveFormat opened;
    bool started = false;
    int closes = 0;

private:
    WaveInResult result(const std::string& operation) const {
        const auto it = m_failures.find(operation);
        return it == m_failures.end() ? kWaveInOk : it->second;
    }
    void returnFront() {
        auto buffer = std::move(queue.front());
        queue.pop_front();
        m_listener->waveInData(std::move(buffer));
    }

    WaveInListener* m_listener = nullptr;
    std::map<std::string, WaveInResult> m_failures;
};

// Bytes written land in a shared vector the test keeps after the recorder lets the stream go.
class MemoryOutputStream : public OutputStream {
public:
    explicit MemoryOutputStream(std::vector<std::uint8_t>& bytes, std::size_t room = SIZE_MAX)
        : m_bytes(bytes), m_room(room) {}

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override {
        const std::size_t end = std::min(m_position + count, std::max(m_room, m_position));
        if (end > m_bytes.size())
            m_bytes.resize(end);
        std::copy_n(bytes, end - m_position, m_bytes.begin() + static_cast<long>(m_position));
        const std::size_t written = end - m_position;
        m_position = end;
        return written;
    }
    bool seek(std::uint64_t position) override {
        m_position = static_cast<std::size_t>(position);
        return true;
    }
    std::uint64_t position() const override { return m_position; }
    bool truncate(std::uint64_t size) override {
        m_bytes.resize(static_cast<std::size_t>(size));
        m_position = static_cast<std::size_t>(size);
        return true;
    }

private:
    std::vector<std::uint8_t>& m_bytes;
    std::size_t m_room;
    std::size_t m_position = 0;
};

} // namespace cantorix::audio::testing
