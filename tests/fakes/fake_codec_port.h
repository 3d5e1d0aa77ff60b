#pragma once
// Test double for the codec manager: the test lists which conversions exist (by format tag and
// rate); every conversion copies its input through and records the blocks and flags it saw,
// so chains and block handling can be checked without real codecs.

#include "audio/codec_port.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace cantorix::audio::testing {

struct FakeCodecLog {
    struct Block {
        std::size_t step; // which opened stream, in opening order
        std::size_t size; // input bytes offered
        unsigned flags;
    };
    std::vector<Block> blocks;
    std::vector<std::pair<TdeWaveFormat, TdeWaveFormat>> opened;
    std::size_t closed = 0;
};

class FakeCodecStream : public CodecStream {
public:
    FakeCodecStream(FakeCodecLog& log, std::size_t step, std::size_t unit)
        : m_log(log), m_step(step), m_unit(unit) {}
    ~FakeCodecStream() override { ++m_log.closed; }

    std::size_t outputSize(std::size_t inputBytes) const override { return inputBytes; }
    int convert(std::span<const std::uint8_t> input, unsigned flags,
                std::vector<std::uint8_t>& output, std::size_t& consumed) override {
        m_log.blocks.push_back({m_step, input.size(), flags});
        consumed = input.size() / m_unit * m_unit; // whole units only, like a real codec
        output.insert(output.end(), input.begin(), input.begin() + static_cast<long>(consumed));
        return codec_result::kOk;
    }
    int reset() override { return codec_result::kOk; }

private:
    FakeCodecLog& m_log;
    std::size_t m_step;
    std::size_t m_unit;
};

class FakeCodecPort : public CodecPort {
public:
    using Key = std::tuple<std::uint16_t, std::uint32_t, std::uint16_t, std::uint32_t>;
    std::set<Key> direct; // (tag, rate) → (tag, rate) that convert
    int failOpenAt = -1;  // the open with this index (0-based) answers failCode
    int failCode = codec_result::kBadFormat;
    std::size_t unit = 1; // the bytes a stream converts at a time
    FakeCodecLog log;
    int queries = 0;

    void allow(std::uint16_t fromTag, std::uint32_t fromRate, std::uint16_t toTag,
               std::uint32_t toRate) {
        direct.insert({fromTag, fromRate, toTag, toRate});
    }

    int query(const TdeWaveFormat& source, const TdeWaveFormat& destination, bool) const override {
        ++const_cast<FakeCodecPort*>(this)->queries;
        return direct.count(key(source, destination)) ? codec_result::kOk
                                                      : codec_result::kNotPossible;
    }
    int suggestPcm(const TdeWaveFormat& source, TdeWaveFormat& pcm) const override {
        const TdeWaveFormat s = makePcmWaveFormat(source.samplesPerSec(), 16, source.channels());
        std::copy_n(s.buffer().begin(), TdeWaveFormat::kRecordSize, pcm.buffer().begin());
        return codec_result::kOk;
    }
    int open(const TdeWaveFormat& source, const TdeWaveFormat& destination, bool,
             std::unique_ptr<CodecStream>& stream) override {
        const auto index = log.opened.size();
        log.opened.emplace_back(source, destination);
        if (static_cast<int>(index) == failOpenAt)
            return failCode;
        if (!direct.count(key(source, destination)))
            return codec_result::kNotPossible;
        stream = std::make_unique<FakeCodecStream>(log, index, unit);
        return codec_result::kOk;
    }

private:
    static Key key(const TdeWaveFormat& a, const TdeWaveFormat& b) {
        return {a.formatTag(), a.samplesPerSec(), b.formatTag(), b.samplesPerSec()};
    }
};

} // namespace cantorix::audio::testing
