#include "audio/export_window.h"
#include "audio/recording_paths.h"
#include "export_test_files.h"
#include "platform/media/codec_manager.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cantorix::audio;
using namespace cantorix::audio::testing;

namespace {

class ExportWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("cantorix-frm-convert-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        ensureMixBufferDirectory(m_root);
        writeBytes(m_root / "song.mp3", mp3Song(2.0));
        writeBytes(performanceRecordingPath(m_root), pcmWave(sineFrames(1.0, 22050, 1500, 8000)));
        m_window = std::make_unique<ExportWindow>(m_codecs, m_root);
        m_window->setErrorReporter(
            [this](QWidget*, const std::string& text) { m_errors.push_back(text); });
        m_window->displaySource().addDataListener([this](const TdeAudioControlSource& source) {
            m_displayedFrames += source.frames();
            m_peak = std::max(m_peak, source.peakLeft());
        });
    }
    void TearDown() override {
        m_window.reset();
        fs::remove_all(m_root);
    }
    bool waitWhileConverting(int timeoutMs = 10000) {
        for (int waited = 0; m_window->converting(); waited += 10) {
            if (waited > timeoutMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    fs::path m_root;
    cantorix::platform::CodecManager m_codecs;
    std::unique_ptr<ExportWindow> m_window;
    std::vector<std::string> m_errors;
    std::size_t m_displayedFrames = 0;
    int m_peak = 0;
};

TEST_F(ExportWindowTest, WindowHasItsControlsInPlace) {
    EXPECT_TRUE(m_window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(m_window->size(), QSize(274, 91));
    EXPECT_EQ(m_window->statusLabel->text(), "Converting");
    EXPECT_EQ(m_window->oscilloscope->geometry(), QRect(0, 16, 274, 49));
    EXPECT_EQ(m_window->oscilloscope->NumberOfPoints(), 200);
    EXPECT_EQ(m_window->oscilloscope->Color(), QColor(0x00, 0x40, 0x80));
    EXPECT_EQ(m_window->oscilloscope->PenLeft().color(), QColor(0xFF, 0x80, 0x40));
    EXPECT_EQ(m_window->progressBar->geometry(), QRect(1, 68, 272, 17));
    EXPECT_EQ(m_window->mixDelayTimer.interval(), 300);
    EXPECT_EQ(m_window->mixTimerTag, 15);
    EXPECT_EQ(m_window->compressTimerTag, 15);
}

TEST_F(ExportWindowTest, CompletedExportHidesTheWindowWithConvertedAndTheBarAtZero) {
    m_window->startExport(m_root / "song.mp3", m_root / "out.mp3");
    // Phases 1 and 2 ran at once; the mix waits for its timer.
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_TRUE(m_window->converting());
    EXPECT_TRUE(m_window->mixDelayTimer.isActive());
    EXPECT_TRUE(fs::exists(m_root / "data/buffer/mix/buf.wav"));
    EXPECT_FALSE(fs::exists(m_root / "out.mp3"));
    ASSERT_TRUE(waitWhileConverting());
    EXPECT_TRUE(m_errors.empty()) << m_errors.front();
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_window->statusLabel->text(), "Converted");
    EXPECT_EQ(m_window->progressBar->value(), 0);
    EXPECT_EQ(m_window->mixTimerTag, 0);
    EXPECT_EQ(m_window->compressTimerTag, 0);
    EXPECT_GT(fs::file_size(m_root / "out.mp3"), 10000u);
    // The display saw the audio pass: the decoded song and the compressed mix.
    EXPECT_GT(m_displayedFrames, 48000u);
    EXPECT_GT(m_peak, 1000);
    EXPECT_EQ(m_window->displaySource().audioSource(), &m_window->job().decoder());
}

TEST_F(ExportWindowTest, DisarmedTimerRunsNoFurtherPhase) {
    m_window->startExport(m_root / "song.mp3", m_root / "out.mp3");
    m_window->compressTimerTag = 0;
    QTest::qWait(1000);
    // The mix was made, but nothing compresses it.
    EXPECT_FALSE(m_window->compressDelayTimer.isActive());
    EXPECT_TRUE(fs::exists(m_window->job().mixFile()));
    EXPECT_FALSE(fs::exists(m_root / "out.mp3"));
    EXPECT_EQ(m_window->statusLabel->text(), "Converting");
}

TEST_F(ExportWindowTest, SongWithoutFramesIsReportedAndTheWindowCloses) {
    writeBytes(m_root / "song.mp3", std::vector<std::uint8_t>(5000, 0));
    m_window->startExport(m_root / "song.mp3", m_root / "out.mp3");
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("holds no MPEG audio"), std::string::npos) << m_errors[0];
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(m_window->converting());
    EXPECT_FALSE(m_window->mixDelayTimer.isActive());
    QTest::qWait(400);
    EXPECT_FALSE(fs::exists(m_root / "out.mp3"));

    // The next Save starts over.
    writeBytes(m_root / "song.mp3", mp3Song(1.0));
    m_window->startExport(m_root / "song.mp3", m_root / "out.mp3");
    ASSERT_TRUE(waitWhileConverting());
    EXPECT_EQ(m_errors.size(), 1u);
    EXPECT_TRUE(fs::exists(m_root / "out.mp3"));
}

TEST_F(ExportWindowTest, FailedCompressionIsReportedAndCleanedUp) {
    m_window->startExport(m_root / "song.mp3", m_root / "missing-folder/out.mp3");
    ASSERT_TRUE(waitWhileConverting());
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_NE(m_errors[0].find("missing-folder/out.mp3"), std::string::npos) << m_errors[0];
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(fs::exists(m_window->job().mixFile()));
    EXPECT_FALSE(fs::exists(m_root / "missing-folder"));
}

} // namespace

namespace {

TEST(OscilloscopeTest, DrawsEachChannelWithItsPenOverTheBackground) {
    TdeOscilloscope scope;
    scope.resize(100, 40);
    scope.setColor(colourFromValue(8404992));
    scope.setPenLeft(colourFromValue(4227327));
    scope.setPenRight(QColor(0, 128, 0));
    // Full scale up in the left channel, half scale down in the right.
    scope.setChannels(std::vector<std::int16_t>(50, -32768), std::vector<std::int16_t>(50, 16384));
    const QImage image = scope.grab().toImage();
    // Top half: the left channel's line at its top edge; bottom half: the right's halfway
    // between its centre (30) and its bottom.
    EXPECT_EQ(image.pixelColor(50, 0), QColor(0xFF, 0x80, 0x40));
    EXPECT_EQ(image.pixelColor(50, 35), QColor(0, 128, 0));
    EXPECT_EQ(image.pixelColor(50, 10), QColor(0x00, 0x40, 0x80));

    scope.setLayout(TOscilloscopeLayout::olRightChannel);
    const auto right = scope.polylines();
    ASSERT_EQ(right.size(), 1u);
    EXPECT_EQ(right[0].front(), (ScopePoint{0, 30}));
    EXPECT_EQ(scope.grab().toImage().pixelColor(50, 30), QColor(0, 128, 0));
    scope.setOrientation(TOscilloscopeOrientation::ooVertical);
    scope.setLayout(TOscilloscopeLayout::olLeftRight);
    const auto sideBySide = scope.polylines();
    ASSERT_EQ(sideBySide.size(), 2u);
    EXPECT_EQ(sideBySide[0].front(), (ScopePoint{0, 0}));
    EXPECT_EQ(sideBySide[1].back(), (ScopePoint{75 + 12, 40})); // 12.5 rounds to even
}

} // namespace
