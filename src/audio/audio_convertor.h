#pragma once
// `TdeAudioConvertor`: converts audio from `FormatIn` to `FormatOut` through a chain of codec
// steps (directly when the codecs can, else through PCM at the input's rate and then PCM at
// the output's rate), pushing a stream through it in blocks of two seconds. Each converted
// block goes to the raw output stream, the observers and `OnAudioConverted`. Observes an audio
// source too. Owns its steps; main thread, synchronous.

#include "audio_subject.h"
#include "codec_port.h"
#include "mini_convertor.h"
#include "stream.h"
#include "wave_format.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace cantorix::audio {

class TdeAudioConvertor : public TdeAudioSubject, private TdeAudioObserver {
public:
    // (Sender, Data and Size as a span, var Abort)
    using AudioConvertedEvent =
        std::function<void(TdeAudioConvertor&, std::span<const std::uint8_t>, bool& abort)>;
    using StreamConvertedEvent = std::function<void(TdeAudioConvertor&)>;

    explicit TdeAudioConvertor(CodecPort& codecs);
    ~TdeAudioConvertor() override;

    TdeWaveFormat& formatIn() { return m_formatIn; }
    const TdeWaveFormat& formatIn() const { return m_formatIn; }
    TdeWaveFormat& formatOut() { return m_formatOut; }
    const TdeWaveFormat& formatOut() const { return m_formatOut; }

    bool requestRealTime() const { return m_requestRealTime; }
    // "Cannot perform this action while active." when active.
    void setRequestRealTime(bool value);
    // Masks floating-point exceptions around codec calls (on by default).
    bool fpu = true;

    // Builds the chain and opens every step; "Cannot perform this action while active." when
    // already open, "Conversion not possible." when no chain exists. A failed open leaves the
    // converter inactive with no open steps.
    void open();
    // Closes and frees the steps; "Cannot perform this action while not active." when closed.
    // Called from a handler while convert() runs (the export window processes events there),
    // it stops the conversion after the current block and frees the steps when it returns.
    void close();
    void setActive(bool active);
    bool active() const { return m_active; }

    // Converts source from its position to its end (see the class comment). Must be active
    // and not converting already. `OnAudioStreamConverted` is raised whatever happens.
    void convert(Stream& source);
    // Stops a running convert() after the current block.
    void abort() { m_aborted = true; }
    bool aborted() const { return m_aborted; }

    // Where the converted bytes also go, unowned; nullptr for none.
    void setRawOutput(Stream* stream) { m_rawOutput = stream; }
    Stream* rawOutput() const { return m_rawOutput; }

    // The source whose blocks this converter converts as they come (another converter, say);
    // a block in a format other than `FormatIn` makes it close, take the format and reopen.
    void setAudioSource(TdeAudioSubject* source) { setSubject(source); }
    TdeAudioSubject* audioSource() const { return subject(); }

    // The formats of the open chain, `FormatIn` first and `FormatOut` last.
    const std::vector<TdeWaveFormat>& chain() const { return m_chain; }
    std::size_t stepCount() const { return m_steps.size(); }
    // The last block's output.
    std::span<const std::uint8_t> lastOutput() const { return m_lastOutput; }

    AudioConvertedEvent onAudioConverted;
    StreamConvertedEvent onAudioStreamConverted;

private:
    void audioData(const TdeWaveFormat& format, std::span<const std::uint8_t> data) override;
    void convertStream(Stream& source);
    void buildChain();
    bool possible(const TdeWaveFormat& from, const TdeWaveFormat& to) const;
    // Runs one block through the steps and delivers what comes out.
    void convertBlock(std::span<const std::uint8_t> block, unsigned flags);
    void deliver(std::span<const std::uint8_t> data);
    void freeSteps();

    CodecPort& m_codecs;
    std::vector<TdeWaveFormat> m_chain;
    std::vector<std::unique_ptr<TMiniConvertor>> m_steps;
    TdeWaveFormat m_formatIn;
    TdeWaveFormat m_formatOut;
    bool m_requestRealTime = false;
    bool m_active = false;
    bool m_aborted = false;
    bool m_converting = false;
    bool m_closePending = false;
    std::span<const std::uint8_t> m_lastOutput;
    Stream* m_rawOutput = nullptr;
};

} // namespace cantorix::audio
