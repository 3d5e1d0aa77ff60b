#include "audio/export_job.h"
#include "audio/mpeg_scan.h"
#include "audio/recording_paths.h"
#include "export_test_files.h"
#include "platform/media/codec_manager.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cantorix::audio;
using namespace cantorix::audio::testing;

namespace {

std::uint32_t le32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

// Files may grow to limit bytes while it lives, the way a nearly full disk lets them; writes
// beyond fail with an error instead of the signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit reduced = m_saved;
        reduced.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &reduced);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

class ExportJobTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_song = new std::vector<std::uint8_t>(mp3Song(3.0)); }
    static void TearDownTestSuite() { delete s_song; }

    void SetUp() override {
        m_root = fs::temp_directory_path() / ("cantorix-export-job-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        ensureMixBufferDirectory(m_root);
        writeBytes(m_root / "song.mp3", *s_song);
        writeVoice(2.0);
        m_job.setMixNumberSource([] { return 77; });
        m_job.begin(ExportFiles::under(m_root, m_root / "song.mp3", m_root / "out.mp3"));
    }
    void TearDown() override { fs::remove_all(m_root); }

    void writeVoice(double seconds, std::uint16_t channels = 2) {
        auto samples = sineFrames(seconds, 22050, 1500, 8000);
        if (channels == 1)
            samples.resize(samples.size() / 2);
        writeBytes(performanceRecordingPath(m_root), pcmWave(samples, 22050, channels));
    }
    // Where the work leaves the files: none but the four of the data model may be there.
    std::vector<std::string> mixDirectoryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(mixBufferDirectory(m_root)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // What the destination's folder holds, hidden files included.
    std::vector<std::string> destinationFolderFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_root))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::vector<std::uint8_t>* s_song;
    fs::path m_root;
    cantorix::platform::CodecManager m_codecs;
    TExportJob m_job{m_codecs};
};

std::vector<std::uint8_t>* ExportJobTest::s_song = nullptr;

TEST_F(ExportJobTest, BareMp3IsWrappedBehindTheMpegHeader) {
    m_job.wrapSong();
    const auto wrapped = readBytes(m_root / "data/buffer/buf.wav");
    TMpegFrameRecord record;
    ASSERT_GT(mpegScan(*s_song, record), 0);
    ASSERT_EQ(wrapped.size(), kMpegWaveHeaderSize + static_cast<std::size_t>(record.dataLength));
    const auto header = mpegWaveHeader(record);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), wrapped.begin()));
    EXPECT_TRUE(std::equal(wrapped.begin() + kMpegWaveHeaderSize, wrapped.end(),
                           s_song->begin() + record.firstFrameOffset));
}

TEST_F(ExportJobTest, RiffMpegSongIsPassedOnWhole) {
    m_job.wrapSong();
    // The wrapped file is itself a RIFF WAVE around MPEG data: used as a song, it is copied
    // as it is, with no second header.
    fs::copy_file(m_root / "data/buffer/buf.wav", m_root / "song.wav");
    const auto riffSong = readBytes(m_root / "song.wav");
    m_job.begin(ExportFiles::under(m_root, m_root / "song.wav", m_root / "out.mp3"));
    m_job.wrapSong();
    EXPECT_EQ(readBytes(m_root / "data/buffer/buf.wav"), riffSong);
}

TEST_F(ExportJobTest, SongWithoutMpegFramesIsRefusedWithAMessage) {
    writeBytes(m_root / "song.mp3", std::vector<std::uint8_t>(20000, 0x55));
    try {
        m_job.wrapSong();
        FAIL() << "no error";
    } catch (const EExportError& e) {
        EXPECT_NE(std::string(e.what()).find("holds no MPEG audio"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("song.mp3"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(m_root / "data/buffer/buf.wav"));
}

TEST_F(ExportJobTest, SongThatIsTheWorkingFileIsRefused) {
    writeBytes(m_root / "data/buffer/BUF.WAV", *s_song);
    m_job.begin(ExportFiles::under(m_root, m_root / "data/buffer/BUF.WAV", m_root / "out.mp3"));
    EXPECT_THROW(m_job.wrapSong(), EExportError);
    EXPECT_EQ(readBytes(m_root / "data/buffer/BUF.WAV"), *s_song);
}

TEST_F(ExportJobTest, FourPhasesWriteTheExportFormatAndCleanUpTheMix) {
    int lastPhase = 0;
    std::int64_t lastPosition = 0, lastSize = -1;
    const auto decodeError =
        runExportPhases(m_job, [&](int phase, std::int64_t position, std::int64_t size) {
            EXPECT_GE(phase, lastPhase);
            lastPhase = phase;
            lastPosition = position;
            lastSize = size;
        });
    EXPECT_FALSE(decodeError);
    EXPECT_EQ(lastPhase, 4);
    EXPECT_EQ(lastPosition, lastSize);

    // The decoded song: the recording's PCM with the writer's 44-byte header.
    const auto decoded = readBytes(m_root / "data/buffer/mix/buf.wav");
    ASSERT_GT(decoded.size(), 44u);
    EXPECT_EQ(le32At(decoded, 16), 16u);
    EXPECT_EQ(le32At(decoded, 24), 22050u);
    EXPECT_NEAR((decoded.size() - 44) / 88200.0, 3.0, 0.05);

    const auto mp3 = readBytes(m_root / "out.mp3");
    TMpegFrameRecord record;
    const std::int64_t lengthMs = mpegScan(mp3, record);
    EXPECT_EQ(record.firstFrameOffset, 0); // bare frames, no tag in front
    EXPECT_EQ(record.layer, 3);
    EXPECT_EQ(record.sampleRate, 24000);
    EXPECT_EQ(record.bitRate, 56);
    EXPECT_FALSE(record.singleChannel);
    // The decoded song is the longer input. The encoder adds its delay (1393 samples at most,
    // 58 ms) and its flush fills up to two more frames of 24 ms.
    const double songMs = (decoded.size() - 44) / 88.2;
    EXPECT_GE(static_cast<double>(lengthMs), songMs);
    EXPECT_LE(static_cast<double>(lengthMs), songMs + 58 + 2 * 24);
    EXPECT_EQ(mixDirectoryFiles(), (std::vector<std::string>{"buf.wav", "buf1.wav"}));
    EXPECT_EQ(destinationFolderFiles(), (std::vector<std::string>{"data", "out.mp3", "song.mp3"}));
}

TEST_F(ExportJobTest, MixKeepsTheLongerFilesHeader) {
    m_job.wrapSong();
    m_job.decodeSong();
    m_job.mixVoice();
    const auto song = readBytes(m_root / "data/buffer/mix/buf.wav");
    auto mix = readBytes(m_job.mixFile());
    EXPECT_EQ(m_job.mixFile().filename(), "f77.wav");
    ASSERT_EQ(mix.size(), song.size());
    EXPECT_TRUE(std::equal(song.begin(), song.begin() + 44, mix.begin()));

    writeVoice(4.0);
    const auto voice = readBytes(performanceRecordingPath(m_root));
    m_job.mixVoice();
    mix = readBytes(m_job.mixFile());
    ASSERT_EQ(mix.size(), voice.size());
    EXPECT_TRUE(std::equal(voice.begin(), voice.begin() + 46, mix.begin()));
    // Past the song's end only the voice sounds, at six tenths.
    const std::size_t late = 46 + 4 * 22050 * 7 / 2; // 3.5 s in
    const auto sample = [](const std::vector<std::uint8_t>& b, std::size_t at) {
        return static_cast<std::int16_t>(b[at] | b[at + 1] << 8);
    };
    EXPECT_EQ(sample(mix, late), sample(voice, late) * 6 / 10);
}

TEST_F(ExportJobTest, AnEmptyRecordingMixesAsSilence) {
    writeVoice(0.0);
    ASSERT_EQ(readBytes(performanceRecordingPath(m_root)).size(), 46u); // header only
    m_job.wrapSong();
    m_job.decodeSong();
    m_job.mixVoice();
    const auto song = readBytes(m_root / "data/buffer/mix/buf.wav");
    const auto mix = readBytes(m_job.mixFile());
    ASSERT_EQ(mix.size(), song.size());
    const auto sample = [](const std::vector<std::uint8_t>& b, std::size_t at) {
        return static_cast<std::int16_t>(b[at] | b[at + 1] << 8);
    };
    for (std::size_t at = 44; at + 1 < mix.size(); at += 4410)
        EXPECT_EQ(sample(mix, at), sample(song, at) * 6 / 10) << at;
}

TEST_F(ExportJobTest, VoiceInAnotherFormatIsRefused) {
    writeVoice(2.0, 1);
    m_job.wrapSong();
    m_job.decodeSong();
    try {
        m_job.mixVoice();
        FAIL() << "no error";
    } catch (const EExportError& e) {
        EXPECT_NE(std::string(e.what()).find("buf1.wav"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(m_job.mixFile()));
}

TEST_F(ExportJobTest, UnwritableFolderLeavesNoFileAndNoMix) {
    writeBytes(m_root / "not-a-folder", {1, 2, 3});
    m_job.begin(ExportFiles::under(m_root, m_root / "song.mp3", m_root / "not-a-folder/out.mp3"));
    m_job.wrapSong();
    m_job.decodeSong();
    m_job.mixVoice();
    try {
        m_job.compressMix();
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("not-a-folder/out.mp3"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(mixDirectoryFiles(), (std::vector<std::string>{"buf.wav", "buf1.wav"}));
}

TEST_F(ExportJobTest, DiskFullWhileCompressingKeepsTheOldFileAtTheChosenName) {
    writeBytes(m_root / "out.mp3", {'o', 'l', 'd'});
    m_job.wrapSong();
    m_job.decodeSong();
    m_job.mixVoice();
    {
        const FileSizeLimit nearlyFull(4000);
        try {
            m_job.compressMix();
            FAIL() << "no error";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find("out.mp3"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(readBytes(m_root / "out.mp3"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(destinationFolderFiles(), (std::vector<std::string>{"data", "out.mp3", "song.mp3"}));
    EXPECT_EQ(mixDirectoryFiles(), (std::vector<std::string>{"buf.wav", "buf1.wav"}));
}

TEST_F(ExportJobTest, TheTemporaryMp3NeverTakesAUsersFileAndIsRemovedOnFailure) {
    // A file of the user's that happens to bear the name a temporary file could have had.
    writeBytes(m_root / "out.mp3.part", {'m', 'i', 'n', 'e'});
    runExportPhases(m_job);
    EXPECT_EQ(readBytes(m_root / "out.mp3.part"), (std::vector<std::uint8_t>{'m', 'i', 'n', 'e'}));
    TMpegFrameRecord record;
    EXPECT_GT(mpegScan(readBytes(m_root / "out.mp3"), record), 0);
    EXPECT_EQ(destinationFolderFiles(),
              (std::vector<std::string>{"data", "out.mp3", "out.mp3.part", "song.mp3"}));

    // A folder at the chosen name: the MP3 is complete but cannot take its place.
    fs::create_directory(m_root / "taken.mp3");
    m_job.begin(ExportFiles::under(m_root, m_root / "song.mp3", m_root / "taken.mp3"));
    try {
        runExportPhases(m_job);
        FAIL() << "no error";
    } catch (const EExportError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot save \"" + (m_root / "taken.mp3").string() + "\". Is a directory");
    }
    EXPECT_EQ(destinationFolderFiles(), (std::vector<std::string>{"data", "out.mp3", "out.mp3.part",
                                                                  "song.mp3", "taken.mp3"}));
    EXPECT_EQ(mixDirectoryFiles(), (std::vector<std::string>{"buf.wav", "buf1.wav"}));
}

TEST_F(ExportJobTest, DiskFullWhileMixingRemovesThePartialMix) {
    m_job.wrapSong();
    m_job.decodeSong();
    {
        const FileSizeLimit nearlyFull(100000);
        EXPECT_THROW(m_job.mixVoice(), std::exception);
    }
    EXPECT_EQ(mixDirectoryFiles(), (std::vector<std::string>{"buf.wav", "buf1.wav"}));
}

TEST_F(ExportJobTest, DiskFullWhileDecodingStopsTheExport) {
    m_job.wrapSong();
    const FileSizeLimit nearlyFull(100000);
    EXPECT_THROW(m_job.decodeSong(), std::exception);
}

TEST_F(ExportJobTest, AbandonedExportLeavesNoMixBehind) {
    fs::path mix;
    {
        TExportJob job(m_codecs);
        job.begin(ExportFiles::under(m_root, m_root / "song.mp3", m_root / "out.mp3"));
        job.wrapSong();
        job.decodeSong();
        job.mixVoice();
        mix = job.mixFile();
        EXPECT_TRUE(fs::exists(mix));
    }
    EXPECT_FALSE(fs::exists(mix));
}

} // namespace
