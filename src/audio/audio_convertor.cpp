#include "audio_convertor.h"

#include <algorithm>

namespace cantorix::audio {

namespace {

// The work buffer of four seconds of input must stay a sane size whatever a file claims.
constexpr std::uint64_t kMaxWorkBytes = std::uint64_t{64} << 20;

} // namespace

TdeAudioConvertor::TdeAudioConvertor(CodecPort& codecs) : m_codecs(codecs) {}

TdeAudioConvertor::~TdeAudioConvertor() {
    setSubject(nullptr);
    m_steps.clear();
}

void TdeAudioConvertor::setRequestRealTime(bool value) {
    if (m_active)
        throw EAudioCodecError(kWhileActive);
    m_requestRealTime = value;
}

void TdeAudioConvertor::setActive(bool active) {
    if (active == m_active)
        return;
    active ? open() : close();
}

bool TdeAudioConvertor::possible(const TdeWaveFormat& from, const TdeWaveFormat& to) const {
    return m_codecs.query(from, to, m_requestRealTime) == codec_result::kOk;
}

void TdeAudioConvertor::buildChain() {
    m_chain = {m_formatIn};
    if (possible(m_formatIn, m_formatOut)) {
        m_chain.push_back(m_formatOut);
        return;
    }
    // Through PCM at the input's rate, then if need be PCM at the output's.
    TdeWaveFormat f2 = m_formatIn;
    f2.setFormatTag(TdeWaveFormat::kTagPcm);
    if (m_codecs.suggestPcm(m_formatIn, f2) != codec_result::kOk || !possible(m_formatIn, f2))
        throw EConversionError(kConversionNotPossible);
    if (f2 != m_formatIn && f2 != m_formatOut)
        m_chain.push_back(f2);
    if (!possible(f2, m_formatOut)) {
        TdeWaveFormat f3 = f2;
        f3.setFormatTag(TdeWaveFormat::kTagPcm);
        if (m_codecs.suggestPcm(m_formatOut, f3) != codec_result::kOk || !possible(f2, f3) ||
            !possible(f3, m_formatOut))
            throw EConversionError(kConversionNotPossible);
        if (f3 != f2 && f3 != m_formatOut)
            m_chain.push_back(f3);
    }
    m_chain.push_back(m_formatOut);
}

void TdeAudioConvertor::open() {
    if (m_active || m_converting)
        throw EAudioCodecError(kWhileActive);
    try {
        buildChain();
        for (std::size_t i = 0; i + 1 < m_chain.size(); ++i) {
            m_steps.push_back(
                std::make_unique<TMiniConvertor>(m_codecs, m_chain[i], m_chain[i + 1]));
            m_steps.back()->fpuMask = fpu;
            m_steps.back()->open(m_requestRealTime);
        }
    } catch (...) {
        for (auto& step : m_steps)
            if (step->active())
                step->close();
        m_steps.clear();
        m_chain.clear();
        throw;
    }
    m_active = true;
}

void TdeAudioConvertor::close() {
    if (!m_active)
        throw EAudioCodecError(kWhileNotActive);
    m_active = false;
    if (m_converting) {
        // The steps are in use further up the stack; convert() frees them on its way out.
        m_aborted = true;
        m_closePending = true;
        return;
    }
    freeSteps();
}

void TdeAudioConvertor::freeSteps() {
    m_closePending = false;
    m_lastOutput = {};
    auto steps = std::move(m_steps);
    m_steps.clear();
    m_chain.clear();
    for (auto& step : steps)
        step->close();
}

void TdeAudioConvertor::deliver(std::span<const std::uint8_t> data) {
    m_lastOutput = data;
    if (m_rawOutput != nullptr)
        m_rawOutput->writeBuffer(data.data(), data.size());
    notify(m_formatOut, data);
    if (onAudioConverted) {
        bool abort = m_aborted;
        onAudioConverted(*this, data, abort);
        m_aborted = m_aborted || abort;
    }
}

void TdeAudioConvertor::convertBlock(std::span<const std::uint8_t> block, unsigned flags) {
    const bool end = (flags & kConvertEnd) != 0;
    std::span<const std::uint8_t> data = block;
    for (auto& step : m_steps) {
        // A step with nothing to give stops the block, except the last one: the steps behind
        // it may still hold audio that only an end block brings out.
        if (data.empty() && !end)
            return;
        data = step->convert(data, flags);
    }
    if (!data.empty())
        deliver(data);
}

void TdeAudioConvertor::convert(Stream& source) {
    try {
        convertStream(source);
    } catch (...) {
        if (onAudioStreamConverted)
            onAudioStreamConverted(*this);
        throw;
    }
    if (onAudioStreamConverted)
        onAudioStreamConverted(*this);
}

void TdeAudioConvertor::convertStream(Stream& source) {
    if (!m_active)
        throw EAudioCodecError(kWhileNotActive);
    if (m_converting)
        throw EAudioCodecError("The converter is already converting.");
    for (auto& step : m_steps)
        step->reset();
    m_aborted = false;
    const std::uint64_t a = m_formatIn.avgBytesPerSec();
    if (a == 0 || 4 * a > kMaxWorkBytes)
        throw EConversionError(kConversionNotPossible);

    struct Converting {
        TdeAudioConvertor& self;
        explicit Converting(TdeAudioConvertor& s) : self(s) { self.m_converting = true; }
        ~Converting() {
            self.m_converting = false;
            if (self.m_closePending)
                self.freeSteps(); // closing steps drops buffers and codecs: nothing to throw
        }
    } converting{*this};

    std::vector<std::uint8_t> work(static_cast<std::size_t>(4 * a));
    const auto twoSeconds = static_cast<std::int64_t>(2 * a);
    const auto fourSeconds = static_cast<std::int64_t>(4 * a);
    bool first = true;
    while (!m_aborted) {
        const std::int64_t remaining = source.size() - source.position();
        if (remaining <= 0)
            break;
        const std::int64_t wanted = remaining > fourSeconds ? twoSeconds : remaining;
        const std::size_t got = source.read(work.data(), static_cast<std::size_t>(wanted));
        // The final block always carries the end flag, even when it happens to be exactly two
        // seconds long, or the codecs would keep its tail.
        const bool last = got < static_cast<std::size_t>(wanted) || wanted == remaining;
        unsigned flags = last ? kConvertEnd : kConvertBlockAlign;
        if (first)
            flags |= kConvertStart;
        first = false;
        convertBlock(std::span(work.data(), got), flags);
        if (last)
            break;
    }
}

void TdeAudioConvertor::audioData(const TdeWaveFormat& format, std::span<const std::uint8_t> data) {
    if (m_converting)
        throw EAudioCodecError("The converter is already converting.");
    if (format != m_formatIn || !m_active) {
        if (m_active)
            close();
        m_formatIn = format;
        open();
    }
    // A block from a source stands alone: the codecs start afresh and give out everything.
    for (auto& step : m_steps)
        step->reset();
    convertBlock(data, kConvertStart | kConvertEnd);
}

} // namespace cantorix::audio
