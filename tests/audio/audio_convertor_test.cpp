#include "audio/audio_convertor.h"
#include "fakes/fake_codec_port.h"

#include <gtest/gtest.h>
#include <numeric>
#include <string>

namespace cantorix::audio {
namespace {

using testing::FakeCodecPort;
using Bytes = std::vector<std::uint8_t>;

const TdeWaveFormat kMp3At44100 = makeMpegLayer3WaveFormat(44100, 2, 16000, 1, 417, 1105);
const TdeWaveFormat kPcm22050 = makePcmWaveFormat(22050, 16, 2);
const TdeWaveFormat kMp3At24000 = makeMpegLayer3WaveFormat(24000, 2, 7000, 2, 168, 1393);

Bytes ramp(std::size_t size) {
    Bytes b(size);
    std::iota(b.begin(), b.end(), std::uint8_t{0});
    return b;
}

class AudioConvertorTest : public ::testing::Test {
protected:
    FakeCodecPort codecs;
    TdeAudioConvertor convertor{codecs};

    // 1000 bytes per second, so a block of two seconds is 2000 bytes.
    void useSlowPcm() {
        convertor.formatIn() = makePcmWaveFormat(500, 16, 1);
        convertor.formatOut() = makePcmWaveFormat(500, 16, 1);
        codecs.allow(1, 500, 1, 500);
    }

    std::vector<std::size_t> blockSizes() const {
        std::vector<std::size_t> sizes;
        for (const auto& b : codecs.log.blocks)
            sizes.push_back(b.size);
        return sizes;
    }
};

TEST_F(AudioConvertorTest, DirectConversionIsAChainOfOneStep) {
    codecs.allow(85, 44100, 1, 22050);
    convertor.formatIn() = kMp3At44100;
    convertor.formatOut() = kPcm22050;
    convertor.open();
    EXPECT_TRUE(convertor.active());
    EXPECT_EQ(convertor.stepCount(), 1u);
    ASSERT_EQ(convertor.chain().size(), 2u);
    EXPECT_EQ(convertor.chain()[1], kPcm22050);
}

TEST_F(AudioConvertorTest, DecodingGoesThroughPcmAtTheInputsRate) {
    codecs.allow(85, 44100, 1, 44100);
    codecs.allow(1, 44100, 1, 22050);
    convertor.formatIn() = kMp3At44100;
    convertor.formatOut() = kPcm22050;
    convertor.open();
    ASSERT_EQ(convertor.chain().size(), 3u);
    EXPECT_EQ(convertor.chain()[1].formatTag(), 1);
    EXPECT_EQ(convertor.chain()[1].samplesPerSec(), 44100u);
    EXPECT_EQ(convertor.chain()[1].bitsPerSample(), 16);
    EXPECT_EQ(codecs.log.opened.size(), 2u);
}

TEST_F(AudioConvertorTest, EncodingGoesThroughPcmAtTheOutputsRate) {
    codecs.allow(1, 22050, 1, 22050); // the input to its own PCM suggestion must be possible
    codecs.allow(1, 22050, 1, 24000);
    codecs.allow(1, 24000, 85, 24000);
    convertor.formatIn() = kPcm22050;
    convertor.formatOut() = kMp3At24000;
    convertor.open();
    // PCM at the input's rate is the input itself, so it is not a step of its own.
    ASSERT_EQ(convertor.chain().size(), 3u);
    EXPECT_EQ(convertor.chain()[0], kPcm22050);
    EXPECT_EQ(convertor.chain()[1].samplesPerSec(), 24000u);
    EXPECT_EQ(convertor.chain()[1].formatTag(), 1);
    EXPECT_EQ(convertor.chain()[2], kMp3At24000);
}

TEST_F(AudioConvertorTest, ImpossibleConversionsLeaveItInactive) {
    codecs.allow(85, 44100, 1, 44100); // decodes, but nothing reaches 22050 Hz
    convertor.formatIn() = kMp3At44100;
    convertor.formatOut() = kPcm22050;
    try {
        convertor.open();
        FAIL();
    } catch (const EConversionError& e) {
        EXPECT_STREQ(e.what(), "Conversion not possible.");
    }
    EXPECT_FALSE(convertor.active());
    EXPECT_TRUE(codecs.log.opened.empty());
}

TEST_F(AudioConvertorTest, FailedStepOpenClosesTheStepsAlreadyOpen) {
    codecs.allow(85, 44100, 1, 44100);
    codecs.allow(1, 44100, 1, 22050);
    codecs.failOpenAt = 1;
    convertor.formatIn() = kMp3At44100;
    convertor.formatOut() = kPcm22050;
    try {
        convertor.open();
        FAIL();
    } catch (const EConversionError& e) {
        EXPECT_STREQ(e.what(), "The selected audio format is not supported on this machine.");
    }
    EXPECT_FALSE(convertor.active());
    EXPECT_EQ(convertor.stepCount(), 0u);
    EXPECT_EQ(codecs.log.closed, 1u);
}

TEST_F(AudioConvertorTest, StateErrors) {
    useSlowPcm();
    EXPECT_THROW(convertor.close(), EAudioCodecError);
    MemoryStream source(ramp(10));
    bool streamConverted = false;
    convertor.onAudioStreamConverted = [&](TdeAudioConvertor&) { streamConverted = true; };
    try {
        convertor.convert(source);
        FAIL();
    } catch (const EAudioCodecError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this action while not active.");
    }
    EXPECT_TRUE(streamConverted); // raised whatever happens
    convertor.open();
    try {
        convertor.open();
        FAIL();
    } catch (const EAudioCodecError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this action while active.");
    }
    EXPECT_THROW(convertor.setRequestRealTime(true), EAudioCodecError);
    convertor.close();
    convertor.setRequestRealTime(true);
    EXPECT_TRUE(convertor.requestRealTime());
}

TEST_F(AudioConvertorTest, ReadsTwoSecondBlocksAndTheLastFourSecondsAsOne) {
    useSlowPcm();
    convertor.open();
    const Bytes audio = ramp(9500);
    MemoryStream source(audio);
    MemoryStream raw;
    convertor.setRawOutput(&raw);
    Bytes delivered;
    convertor.onAudioConverted = [&](TdeAudioConvertor&, std::span<const std::uint8_t> d, bool&) {
        delivered.insert(delivered.end(), d.begin(), d.end());
    };
    convertor.convert(source);
    EXPECT_EQ(blockSizes(), (std::vector<std::size_t>{2000, 2000, 2000, 3500}));
    const auto& b = codecs.log.blocks;
    EXPECT_EQ(b[0].flags, unsigned(kConvertStart | kConvertBlockAlign));
    EXPECT_EQ(b[1].flags, unsigned(kConvertBlockAlign));
    EXPECT_EQ(b[3].flags, unsigned(kConvertEnd));
    EXPECT_EQ(delivered, audio);
    EXPECT_EQ(raw.bytes(), audio);
}

TEST_F(AudioConvertorTest, ALastBlockOfExactlyTwoSecondsStillEndsTheStream) {
    useSlowPcm();
    convertor.open();
    MemoryStream twoSeconds(ramp(2000));
    convertor.convert(twoSeconds);
    ASSERT_EQ(blockSizes(), std::vector<std::size_t>{2000});
    EXPECT_EQ(codecs.log.blocks[0].flags, unsigned(kConvertStart | kConvertEnd));

    codecs.log.blocks.clear();
    MemoryStream sixSeconds(ramp(6000));
    convertor.convert(sixSeconds);
    EXPECT_EQ(blockSizes(), (std::vector<std::size_t>{2000, 4000}));
    EXPECT_EQ(codecs.log.blocks[1].flags, unsigned(kConvertEnd));
}

TEST_F(AudioConvertorTest, ConvertsFromTheSourcesPositionAndStopsWhenAborted) {
    useSlowPcm();
    convertor.open();
    MemoryStream source(ramp(20000));
    source.setPosition(11000);
    int blocks = 0;
    convertor.onAudioConverted = [&](TdeAudioConvertor&, std::span<const std::uint8_t>,
                                     bool& abort) { abort = ++blocks == 2; };
    convertor.convert(source);
    EXPECT_EQ(blocks, 2);
    EXPECT_TRUE(convertor.aborted());
    EXPECT_EQ(source.position(), 15000);
}

TEST_F(AudioConvertorTest, ClosingFromAHandlerStopsAfterTheBlockAndFreesTheSteps) {
    useSlowPcm();
    convertor.open();
    MemoryStream source(ramp(20000));
    int blocks = 0;
    bool ended = false;
    convertor.onAudioConverted = [&](TdeAudioConvertor& c, std::span<const std::uint8_t>, bool&) {
        ++blocks;
        c.close();
        EXPECT_THROW(c.open(), EAudioCodecError); // not while the steps are still in use
    };
    convertor.onAudioStreamConverted = [&](TdeAudioConvertor& c) {
        ended = true;
        EXPECT_EQ(c.stepCount(), 0u);
    };
    convertor.convert(source);
    EXPECT_EQ(blocks, 1);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(convertor.active());
    EXPECT_EQ(codecs.log.closed, 1u);
    convertor.open(); // usable again
    EXPECT_TRUE(convertor.active());
}

TEST_F(AudioConvertorTest, ConvertingAgainFromAHandlerIsRefused) {
    useSlowPcm();
    convertor.open();
    MemoryStream source(ramp(3000));
    MemoryStream other(ramp(3000));
    bool refused = false;
    convertor.onAudioConverted = [&](TdeAudioConvertor& c, std::span<const std::uint8_t>, bool&) {
        try {
            c.convert(other);
        } catch (const EAudioCodecError&) {
            refused = true;
        }
    };
    convertor.convert(source);
    EXPECT_TRUE(refused);
    EXPECT_EQ(other.position(), 0);
}

class RecordingObserver : public TdeAudioObserver {
public:
    std::vector<TdeWaveFormat> formats;
    Bytes data;
    bool fail = false;
    void audioData(const TdeWaveFormat& format, std::span<const std::uint8_t> block) override {
        if (fail)
            throw std::runtime_error("display broke");
        formats.push_back(format);
        data.insert(data.end(), block.begin(), block.end());
    }
};

TEST_F(AudioConvertorTest, ObserversSeeEveryBlockInTheOutputFormat) {
    useSlowPcm();
    convertor.formatOut().setExtraSize(2); // a distinct record, still the same conversion
    convertor.open();
    RecordingObserver observer;
    observer.setSubject(&convertor);
    MemoryStream source(ramp(5000));
    convertor.convert(source);
    EXPECT_EQ(observer.formats.size(), 2u);
    EXPECT_EQ(observer.formats[0], convertor.formatOut());
    EXPECT_EQ(observer.data, ramp(5000));

    observer.fail = true;
    MemoryStream again(ramp(100));
    EXPECT_THROW(convertor.convert(again), std::runtime_error);
    int handled = 0;
    convertor.onObserverError = [&](std::exception_ptr) { ++handled; };
    MemoryStream third(ramp(100));
    EXPECT_NO_THROW(convertor.convert(third));
    EXPECT_EQ(handled, 1);
}

TEST_F(AudioConvertorTest, ObservingConvertorTakesTheSourcesFormatAndReopens) {
    useSlowPcm();
    codecs.allow(1, 500, 1, 1000);
    convertor.open();
    TdeAudioConvertor display(codecs);
    display.formatOut() = makePcmWaveFormat(1000, 16, 1);
    display.setAudioSource(&convertor);
    Bytes shown;
    display.onAudioConverted = [&](TdeAudioConvertor&, std::span<const std::uint8_t> d, bool&) {
        shown.insert(shown.end(), d.begin(), d.end());
    };
    MemoryStream source(ramp(3000));
    convertor.convert(source);
    EXPECT_TRUE(display.active());
    EXPECT_EQ(display.formatIn(), convertor.formatOut());
    EXPECT_EQ(shown, ramp(3000));
    EXPECT_EQ(convertor.observerCount(), 1u);
    display.setAudioSource(nullptr);
    EXPECT_EQ(convertor.observerCount(), 0u);
}

TEST(TMiniConvertorTest, SizesItsBufferFromTheFirstBlockAndKeepsPartialUnits) {
    FakeCodecPort codecs;
    codecs.allow(1, 500, 1, 500);
    codecs.unit = 4;
    const TdeWaveFormat f = makePcmWaveFormat(500, 16, 2);
    TMiniConvertor step(codecs, f, f);
    EXPECT_THROW(step.convert(ramp(4), 0), EAudioCodecError);
    step.open(false);
    const auto first = step.convert(ramp(10), kConvertStart);
    EXPECT_EQ(first.size(), 8u);
    EXPECT_EQ(step.inputCapacity(), 30u);
    EXPECT_EQ(step.inputFill(), 2u);
    const Bytes more{100, 101, 102, 103, 104};
    const auto second = step.convert(more, kConvertBlockAlign);
    // The two bytes left over come first.
    EXPECT_EQ(Bytes(second.begin(), second.end()), (Bytes{8, 9, 100, 101}));
    EXPECT_EQ(step.inputFill(), 3u);
    // A later block larger than the buffer still fits.
    EXPECT_EQ(step.convert(ramp(100), kConvertBlockAlign).size(), 100u);
    step.reset();
    EXPECT_EQ(step.inputFill(), 0u);
    step.close();
    EXPECT_THROW(step.close(), EAudioCodecError);
}

} // namespace
} // namespace cantorix::audio
