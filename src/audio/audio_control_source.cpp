#include "audio_control_source.h"

#include "stream.h"

#include <algorithm>
#include <cstdlib>

namespace cantorix::audio {

TdeAudioControlSource::TdeAudioControlSource(CodecPort& codecs) : m_convertor(codecs) {
    m_convertor.formatOut() = displayFormat();
    m_convertor.onAudioConverted = [this](TdeAudioConvertor&, std::span<const std::uint8_t> out,
                                          bool&) {
        m_converted.insert(m_converted.end(), out.begin(), out.end());
    };
}

TdeAudioControlSource::~TdeAudioControlSource() {
    setSubject(nullptr);
}

TdeWaveFormat TdeAudioControlSource::displayFormat() {
    return makePcmWaveFormat(48000, 16, 2);
}

int TdeAudioControlSource::addDataListener(DataListener listener) {
    m_listeners.emplace(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void TdeAudioControlSource::removeDataListener(int id) {
    m_listeners.erase(id);
}

void TdeAudioControlSource::convertBlock(const TdeWaveFormat& format,
                                         std::span<const std::uint8_t> data) {
    m_converted.clear();
    try {
        if (m_convertor.active())
            m_convertor.close();
        m_convertor.formatIn() = format;
        m_convertor.open();
        MemoryStream block(std::vector<std::uint8_t>(data.begin(), data.end()));
        m_convertor.convert(block);
        m_convertor.close();
    } catch (const std::exception&) {
        // The display shows silence for a block it cannot convert; the conversion it watches
        // goes on regardless.
        m_converted.clear();
        if (m_convertor.active())
            m_convertor.close();
    }
}

void TdeAudioControlSource::audioData(const TdeWaveFormat& format,
                                      std::span<const std::uint8_t> data) {
    convertBlock(format, data);
    const std::size_t frames = m_converted.size() / 4;
    m_left.resize(frames);
    m_right.resize(frames);
    m_peakLeft = m_peakRight = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint8_t* frame = m_converted.data() + 4 * i;
        m_left[i] = static_cast<std::int16_t>(frame[0] | frame[1] << 8);
        m_right[i] = static_cast<std::int16_t>(frame[2] | frame[3] << 8);
        m_peakLeft = std::max(m_peakLeft, std::abs(int{m_left[i]}));
        m_peakRight = std::max(m_peakRight, std::abs(int{m_right[i]}));
    }
    notify(displayFormat(), std::span<const std::uint8_t>(m_converted).first(frames * 4));
    // A listener may remove itself while being told.
    const auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners)
        listener(*this);
}

} // namespace cantorix::audio
