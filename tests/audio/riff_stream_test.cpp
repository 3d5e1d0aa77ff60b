#include "audio/file_stream.h"
#include "audio/riff_stream.h"
#include "audio/sub_stream.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace cantorix::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& b, const std::string& text) {
    b.insert(b.end(), text.begin(), text.end());
}
void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void chunk(Bytes& b, const std::string& id, const Bytes& body) {
    put(b, id);
    put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
}
std::uint32_t le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}
Bytes pcmRecord(std::size_t size = 16) {
    const TdeWaveFormat f = makePcmWaveFormat(22050, 16, 2);
    return Bytes(f.buffer().begin(), f.buffer().begin() + static_cast<long>(size));
}
Bytes riff(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes body;
    put(body, "WAVE");
    for (const auto& [id, content] : chunks)
        chunk(body, id, content);
    Bytes file;
    chunk(file, "RIFF", body);
    return file;
}
void expectInvalid(const Bytes& file) {
    MemoryStream stream(file);
    try {
        TdeRIFFAudioReader reader(stream);
        FAIL() << "accepted";
    } catch (const EAudioReadError& e) {
        EXPECT_STREQ(e.what(), "Invalid file format.");
    }
}

TEST(TdeSubStreamTest, ReadsWritesAndSeeksWithinItsWindow) {
    MemoryStream parent(Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    TdeSubStream window(&parent, 2, 5);
    EXPECT_EQ(parent.position(), 2);
    std::uint8_t got[10]{};
    EXPECT_EQ(window.read(got, 10), 5u);
    EXPECT_EQ(got[0], 2);
    EXPECT_EQ(got[4], 6);
    EXPECT_EQ(window.read(got, 1), 0u);

    EXPECT_EQ(window.seek(-100, SeekOrigin::Current), 0);
    EXPECT_EQ(window.seek(100, SeekOrigin::Begin), 5);
    EXPECT_EQ(window.seek(-2, SeekOrigin::End), 3);
    EXPECT_EQ(parent.position(), 5);
    const std::uint8_t two[2] = {0xAA, 0xBB};
    window.write(two, 2);
    EXPECT_EQ(parent.bytes()[5], 0xAA);
    EXPECT_EQ(parent.bytes()[6], 0xBB);
    try {
        window.write(two, 1);
        FAIL() << "wrote past the end";
    } catch (const ESubStreamError& e) {
        EXPECT_STREQ(e.what(), "Write past end of sub stream.");
    }
    EXPECT_EQ(parent.bytes()[7], 7); // nothing of the refused write landed
    EXPECT_EQ(window.size(), 5);
}

TEST(TdeSubStreamTest, RefusesWindowsOutsideItsParent) {
    MemoryStream parent(Bytes(10));
    EXPECT_THROW(TdeSubStream(nullptr, 1, 1), EAssertionFailed);
    EXPECT_THROW(TdeSubStream(&parent, 0, 1), EAssertionFailed);
    EXPECT_THROW(TdeSubStream(&parent, 10, 0), EAssertionFailed);
    EXPECT_THROW(TdeSubStream(&parent, 5, 6), EAssertionFailed);
    EXPECT_NO_THROW(TdeSubStream(&parent, 5, 5));
    int destroyed = 0;
    {
        TdeSubStream owned(&parent, 1, 2, [&](TdeSubStream&) { ++destroyed; });
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(TdeRIFFAudioWriterTest, PcmGetsSixteenByteFormatChunkWhateverItsExtraSize) {
    MemoryStream out;
    {
        TdeRIFFAudioWriter writer(out);
        writer.format() = makePcmWaveFormat(22050, 16, 2);
        writer.format().setExtraSize(32); // as the export's decoder target holds it
        const Bytes audio{1, 2, 3, 4, 5, 6, 7, 8};
        writer.write(audio.data(), 5);
        writer.write(audio.data() + 5, 3);
    }
    const Bytes& b = out.bytes();
    ASSERT_EQ(b.size(), 44u + 8);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(le32(b, 4), 44u); // end − start − 8
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(b, 16), 16u);
    EXPECT_EQ(le32(b, 24), 22050u);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(le32(b, 40), 8u);
    EXPECT_EQ(b[44], 1);
    EXPECT_EQ(b[51], 8);
}

TEST(TdeRIFFAudioWriterTest, OtherFormatsKeepTheirExtraBytesAndStartWhereTheStreamWas) {
    MemoryStream out(Bytes(10, 0xEE));
    out.setPosition(10);
    TdeRIFFAudioWriter writer(out);
    writer.format() = makeMpegLayer3WaveFormat(24000, 2, 7000, 2, 168, 1393);
    const Bytes audio(3, 0x55);
    writer.write(audio.data(), audio.size());
    writer.finish();
    const Bytes& b = out.bytes();
    ASSERT_EQ(b.size(), 10u + 58 + 3);
    EXPECT_EQ(b[0], 0xEE);
    EXPECT_EQ(le32(b, 10 + 4), 58u + 3 - 8);
    EXPECT_EQ(le32(b, 10 + 16), 30u);
    EXPECT_EQ(b[10 + 20], 85);
    EXPECT_EQ(std::string(b.begin() + 10 + 50, b.begin() + 10 + 54), "data");
    EXPECT_EQ(le32(b, 10 + 54), 3u);
}

TEST(TdeRIFFAudioWriterTest, WritesNothingWithoutData) {
    MemoryStream out;
    { TdeRIFFAudioWriter writer(out); }
    EXPECT_TRUE(out.bytes().empty());
}

TEST(TdeRIFFAudioReaderTest, ReadsBackWhatTheWriterWrote) {
    MemoryStream file;
    TdeRIFFAudioWriter writer(file);
    writer.format() = makePcmWaveFormat(44100, 16, 1);
    const Bytes audio{9, 8, 7, 6};
    writer.write(audio.data(), audio.size());
    writer.finish();
    TdeRIFFAudioReader reader(file);
    EXPECT_EQ(reader.format(), makePcmWaveFormat(44100, 16, 1));
    EXPECT_EQ(reader.sectionCount(), 1u);
    TdeSubStream& data = reader.dataStream();
    EXPECT_EQ(data.size(), 4);
    EXPECT_EQ(data.start(), 44);
    Bytes got(4);
    data.readBuffer(got.data(), 4);
    EXPECT_EQ(got, audio);
}

TEST(TdeRIFFAudioReaderTest, SkipsOtherChunksAndIgnoresTheCaseOfIdentifiers) {
    const Bytes file = riff({{"LIST", Bytes(7, 'x')},
                             {"FMT ", pcmRecord(18)},
                             {"fact", Bytes(4, 0)},
                             {"Data", Bytes{1, 2, 3, 4}},
                             {"junk", Bytes(3, 0)}});
    MemoryStream stream(file);
    TdeRIFFAudioReader reader(stream);
    EXPECT_EQ(reader.format().samplesPerSec(), 22050u);
    EXPECT_EQ(reader.dataStream().size(), 4);
    EXPECT_EQ(reader.dataStream().start(), 12 + 15 + 26 + 12 + 8);
}

TEST(TdeRIFFAudioReaderTest, FormatChunkResetsDefaultsBeforeReading) {
    // A 14-byte chunk leaves bits per sample as the defaults have it.
    Bytes record = pcmRecord(14);
    MemoryStream stream(riff({{"fmt ", record}, {"data", Bytes(4)}}));
    TdeRIFFAudioReader reader(stream);
    EXPECT_EQ(reader.format().bitsPerSample(), 8);
    EXPECT_EQ(reader.format().blockAlign(), 4);
}

TEST(TdeRIFFAudioReaderTest, RejectsMalformedFiles) {
    expectInvalid(riff({{"fmt ", Bytes(513)}, {"data", Bytes(4)}}));
    expectInvalid(riff({{"data", Bytes(4)}}));                  // no format
    expectInvalid(riff({{"fmt ", pcmRecord()}}));               // no data
    expectInvalid(riff({{"fmt ", pcmRecord()}, {"data", {}}})); // nothing to convert
    Bytes notWave = riff({{"fmt ", pcmRecord()}, {"data", Bytes(4)}});
    notWave[8] = 'X';
    expectInvalid(notWave);
    Bytes zeroSize = riff({{"fmt ", pcmRecord()}, {"data", Bytes(4)}});
    zeroSize[4] = zeroSize[5] = zeroSize[6] = zeroSize[7] = 0;
    expectInvalid(zeroSize);
    expectInvalid(Bytes{'R', 'I', 'F'});
    expectInvalid(Bytes{});
    Bytes cutFormat = riff({{"fmt ", pcmRecord()}});
    cutFormat.resize(cutFormat.size() - 4);
    expectInvalid(cutFormat);
}

TEST(TdeRIFFAudioReaderTest, DataChunkLongerThanTheFileCoversWhatIsThere) {
    Bytes file = riff({{"fmt ", pcmRecord()}, {"data", Bytes(8, 1)}});
    file[40] = 0xFF; // the data size: claims 255 bytes
    MemoryStream stream(file);
    TdeRIFFAudioReader reader(stream);
    EXPECT_EQ(reader.dataStream().size(), 8);
}

TEST(TdeRIFFAudioReaderTest, ReleasedSectionsLeaveTheList) {
    MemoryStream stream(riff({{"fmt ", pcmRecord()}, {"data", Bytes(4)}}));
    TdeRIFFAudioReader reader(stream);
    reader.release(&reader.dataStream());
    EXPECT_EQ(reader.sectionCount(), 0u);
}

TEST(FileStreamTest, ReportsTheFileAndTheReason) {
    try {
        FileStream missing("/nonexistent-dir/x.wav", FileStream::Mode::Read);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file \"/nonexistent-dir/x.wav\""),
                  std::string::npos);
    }
    EXPECT_THROW(FileStream("/nonexistent-dir/x.wav", FileStream::Mode::Create), EStreamError);
    if (std::filesystem::exists("/dev/full")) {
        FileStream full("/dev/full", FileStream::Mode::Create);
        const std::uint8_t byte = 0;
        try {
            full.write(&byte, 1);
            FAIL() << "a full disk went unnoticed";
        } catch (const EStreamError& e) {
            EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos);
        }
    }
}

TEST(FileStreamTest, WritesSeeksAndReadsBack) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("cantorix-stream-" + std::to_string(::getpid()) + ".bin");
    {
        FileStream out(path, FileStream::Mode::Create);
        const Bytes bytes{1, 2, 3, 4, 5};
        out.writeBuffer(bytes.data(), bytes.size());
        out.setPosition(1);
        const std::uint8_t nine = 9;
        out.write(&nine, 1);
        EXPECT_EQ(out.size(), 5);
    }
    FileStream in(path, FileStream::Mode::Read);
    Bytes got(6);
    EXPECT_EQ(in.read(got.data(), 6), 5u);
    EXPECT_EQ(got[1], 9);
    std::filesystem::remove(path);
}

} // namespace
} // namespace cantorix::audio
