#pragma once
// `TdeAudioControlSource`: watches an audio source (a converter or another control source),
// turns each block it delivers into 16-bit stereo at 48000 Hz with its own converter, and keeps
// that block's two channels and their peaks for displays. A display is best-effort: a block
// its converter cannot take shows as silence and never stops the conversion being watched.
// Main thread only.

#include "audio_convertor.h"
#include "audio_subject.h"
#include "codec_port.h"

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <vector>

namespace cantorix::audio {

class TdeAudioControlSource : public TdeAudioSubject, private TdeAudioObserver {
public:
    using DataListener = std::function<void(const TdeAudioControlSource&)>;

    explicit TdeAudioControlSource(CodecPort& codecs);
    ~TdeAudioControlSource() override;

    // The source watched; nullptr for none.
    void setAudioSource(TdeAudioSubject* source) { setSubject(source); }
    TdeAudioSubject* audioSource() const { return subject(); }

    // The latest block, one sample per frame and channel.
    std::span<const std::int16_t> left() const { return m_left; }
    std::span<const std::int16_t> right() const { return m_right; }
    std::size_t frames() const { return m_left.size(); }
    int peakLeft() const { return m_peakLeft; }
    int peakRight() const { return m_peakRight; }

    // `OnDataChanged`, for any number of displays: called after every block.
    int addDataListener(DataListener listener);
    void removeDataListener(int id);

    // The display format: PCM, 2 channels, 48000 Hz, 16 bits.
    static TdeWaveFormat displayFormat();

private:
    void audioData(const TdeWaveFormat& format, std::span<const std::uint8_t> data) override;
    void convertBlock(const TdeWaveFormat& format, std::span<const std::uint8_t> data);

    TdeAudioConvertor m_convertor;
    std::vector<std::uint8_t> m_converted;
    std::vector<std::int16_t> m_left, m_right;
    int m_peakLeft = 0, m_peakRight = 0;
    std::map<int, DataListener> m_listeners;
    int m_nextListener = 0;
};

} // namespace cantorix::audio
