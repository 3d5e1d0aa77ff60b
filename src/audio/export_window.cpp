#include "export_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <climits>

namespace cantorix::audio {

namespace {

constexpr int kClientWidth = 274;
constexpr int kClientHeight = 91;
constexpr std::uint32_t kScopeBackground = 8404992;
constexpr std::uint32_t kScopeLeftPen = 4227327;
constexpr std::uint32_t kScopeRightPen = 0x008000; // green
constexpr int kScopePoints = 200;

// A progress bar counts in int: large sizes are scaled down alike for maximum and position.
int barUnits(std::int64_t bytes, std::int64_t size) {
    const std::int64_t scale = size / INT_MAX + 1;
    return static_cast<int>(bytes / scale);
}

} // namespace

ExportWindow::ExportWindow(CodecPort& codecs, std::filesystem::path programDir, QWidget* parent)
    : ExportWindow(codecs, std::move(programDir), parent, nullptr) {}

ExportWindow::ExportWindow(CodecPort& codecs, SongAudioDecoder& otherAudio,
                           std::filesystem::path programDir, QWidget* parent)
    : ExportWindow(codecs, std::move(programDir), parent, &otherAudio) {}

ExportWindow::ExportWindow(CodecPort& codecs, std::filesystem::path programDir, QWidget* parent,
                           SongAudioDecoder* otherAudio)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_programDir(std::move(programDir)),
      m_job(otherAudio ? TExportJob(codecs, *otherAudio) : TExportJob(codecs)),
      m_controlSource(codecs) {
    setObjectName(QStringLiteral("frmConvert"));
    setFixedSize(kClientWidth, kClientHeight);
    buildControls();
    m_controlSource.setAudioSource(&m_job.decoder());
    oscilloscope->setSource(&m_controlSource);
    m_reportError = [](QWidget* window, const std::string& text) {
        QMessageBox::critical(window, QString(), QString::fromStdString(text));
    };
    for (QTimer* timer : {&mixDelayTimer, &compressDelayTimer}) {
        timer->setSingleShot(true);
        timer->setInterval(kPhaseDelayMs);
    }
    connect(&mixDelayTimer, &QTimer::timeout, this, [this] { mixDelayElapsed(); });
    connect(&compressDelayTimer, &QTimer::timeout, this, [this] { compressDelayElapsed(); });
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

ExportWindow::~ExportWindow() {
    oscilloscope->setSource(nullptr);
    m_controlSource.setAudioSource(nullptr);
}

void ExportWindow::buildControls() {
    statusLabel = new QLabel(QStringLiteral("Converting"), this);
    statusLabel->setObjectName(QStringLiteral("Label2"));
    statusLabel->move(0, 0);
    statusLabel->resize(kClientWidth, 16);

    oscilloscope = new TdeOscilloscope(this);
    oscilloscope->setObjectName(QStringLiteral("deOscilloscope1"));
    oscilloscope->setGeometry(0, 16, kClientWidth, 49);
    oscilloscope->setColor(colourFromValue(kScopeBackground));
    oscilloscope->setNumberOfPoints(kScopePoints);
    oscilloscope->setPenLeft(colourFromValue(kScopeLeftPen));
    oscilloscope->setPenRight(colourFromValue(kScopeRightPen));

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("pbCurrent"));
    progressBar->setGeometry(1, 68, kClientWidth - 2, 17);
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
}

void ExportWindow::startExport(const std::filesystem::path& songAudio,
                               const std::filesystem::path& destination) {
    show();
    raise();
    mixTimerTag = kArmedTag;
    compressTimerTag = kArmedTag;
    statusLabel->setText(QStringLiteral("Converting"));
    m_controlSource.setAudioSource(&m_job.decoder());
    m_job.begin(ExportFiles::under(m_programDir, songAudio, destination));
    m_converting = true;
    runPhase(&ExportWindow::runWrapPhase);
}

void ExportWindow::runPhase(void (ExportWindow::*phase)()) {
    try {
        (this->*phase)();
    } catch (...) {
        // Whatever phase failed, the export is over: nothing waits on the timers any more and
        // the window does not stay up showing a conversion that no longer runs.
        mixDelayTimer.stop();
        compressDelayTimer.stop();
        mixTimerTag = 0;
        compressTimerTag = 0;
        m_converting = false;
        progressBar->setValue(0);
        m_controlSource.setAudioSource(&m_job.decoder());
        hide();
        report(std::current_exception());
    }
}

void ExportWindow::report(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        m_reportError(this, e.what());
    } catch (...) {
        m_reportError(this, "The export failed.");
    }
}

void ExportWindow::keepResponsive() {
    repaint();
    QCoreApplication::processEvents();
}

void ExportWindow::runWrapPhase() {
    m_job.wrapSong();
    runDecodePhase();
}

void ExportWindow::runDecodePhase() {
    const std::exception_ptr decodeError =
        m_job.decodeSong([this](std::int64_t, std::int64_t) { keepResponsive(); });
    if (mixTimerTag == kArmedTag)
        mixDelayTimer.start();
    m_controlSource.setAudioSource(&m_job.encoder());
    // The part decoded so far is still mixed and compressed; the player learns what broke.
    if (decodeError)
        report(decodeError);
}

void ExportWindow::mixDelayElapsed() {
    runPhase(&ExportWindow::runMixPhase);
    mixDelayTimer.stop();
    mixTimerTag = 0;
}

void ExportWindow::runMixPhase() {
    m_job.mixVoice();
    if (compressTimerTag == kArmedTag)
        compressDelayTimer.start();
}

void ExportWindow::compressDelayElapsed() {
    compressDelayTimer.stop();
    compressTimerTag = 0;
    runPhase(&ExportWindow::runCompressPhase);
}

void ExportWindow::runCompressPhase() {
    statusLabel->setText(QStringLiteral("Compressing"));
    m_controlSource.setAudioSource(&m_job.encoder());
    m_job.compressMix([this](std::int64_t position, std::int64_t size) {
        progressBar->setMaximum(barUnits(size, size));
        progressBar->setValue(barUnits(position, size));
        keepResponsive();
    });
    progressBar->setValue(0);
    statusLabel->setText(QStringLiteral("Converted"));
    hide();
    m_controlSource.setAudioSource(&m_job.decoder());
    QDir::setCurrent(QString::fromStdString(m_programDir.string()));
    m_converting = false;
}

} // namespace cantorix::audio
