#include "frm_convert.h"

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

TfrmConvert::TfrmConvert(CodecPort& codecs, std::filesystem::path programDir, QWidget* parent)
    : TfrmConvert(codecs, std::move(programDir), parent, nullptr) {}

TfrmConvert::TfrmConvert(CodecPort& codecs, SongAudioDecoder& otherAudio,
                         std::filesystem::path programDir, QWidget* parent)
    : TfrmConvert(codecs, std::move(programDir), parent, &otherAudio) {}

TfrmConvert::TfrmConvert(CodecPort& codecs, std::filesystem::path programDir, QWidget* parent,
                         SongAudioDecoder* otherAudio)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_programDir(std::move(programDir)),
      m_job(otherAudio ? TExportJob(codecs, *otherAudio) : TExportJob(codecs)),
      m_controlSource(codecs) {
    setObjectName(QStringLiteral("frmConvert"));
    setFixedSize(kClientWidth, kClientHeight);
    buildControls();
    m_controlSource.setAudioSource(&m_job.deAudioConvertor1());
    deOscilloscope1->setSource(&m_controlSource);
    m_reportError = [](QWidget* window, const std::string& text) {
        QMessageBox::critical(window, QString(), QString::fromStdString(text));
    };
    for (QTimer* timer : {&Timer1, &Timer2}) {
        timer->setSingleShot(true);
        timer->setInterval(kPhaseDelayMs);
    }
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(&Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmConvert::~TfrmConvert() {
    deOscilloscope1->setSource(nullptr);
    m_controlSource.setAudioSource(nullptr);
}

void TfrmConvert::buildControls() {
    Label2 = new QLabel(QStringLiteral("Converting"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(0, 0);
    Label2->resize(kClientWidth, 16);

    deOscilloscope1 = new TdeOscilloscope(this);
    deOscilloscope1->setObjectName(QStringLiteral("deOscilloscope1"));
    deOscilloscope1->setGeometry(0, 16, kClientWidth, 49);
    deOscilloscope1->setColor(colourFromValue(kScopeBackground));
    deOscilloscope1->setNumberOfPoints(kScopePoints);
    deOscilloscope1->setPenLeft(colourFromValue(kScopeLeftPen));
    deOscilloscope1->setPenRight(colourFromValue(kScopeRightPen));

    pbCurrent = new QProgressBar(this);
    pbCurrent->setObjectName(QStringLiteral("pbCurrent"));
    pbCurrent->setGeometry(1, 68, kClientWidth - 2, 17);
    pbCurrent->setTextVisible(false);
    pbCurrent->setRange(0, 100);
    pbCurrent->setValue(0);
}

void TfrmConvert::startExport(const std::filesystem::path& songAudio,
                              const std::filesystem::path& destination) {
    show();
    raise();
    Timer1Tag = kArmedTag;
    Timer2Tag = kArmedTag;
    Label2->setText(QStringLiteral("Converting"));
    m_controlSource.setAudioSource(&m_job.deAudioConvertor1());
    m_job.begin(ExportFiles::under(m_programDir, songAudio, destination));
    m_converting = true;
    runPhase(&TfrmConvert::Button1Click);
}

void TfrmConvert::runPhase(void (TfrmConvert::*phase)()) {
    try {
        (this->*phase)();
    } catch (...) {
        // Whatever phase failed, the export is over: nothing waits on the timers any more and
        // the window does not stay up showing a conversion that no longer runs.
        Timer1.stop();
        Timer2.stop();
        Timer1Tag = 0;
        Timer2Tag = 0;
        m_converting = false;
        pbCurrent->setValue(0);
        m_controlSource.setAudioSource(&m_job.deAudioConvertor1());
        hide();
        report(std::current_exception());
    }
}

void TfrmConvert::report(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        m_reportError(this, e.what());
    } catch (...) {
        m_reportError(this, "The export failed.");
    }
}

void TfrmConvert::keepResponsive() {
    repaint();
    QCoreApplication::processEvents();
}

void TfrmConvert::Button1Click() {
    m_job.wrapSong();
    btnStartClick();
}

void TfrmConvert::btnStartClick() {
    const std::exception_ptr decodeError =
        m_job.decodeSong([this](std::int64_t, std::int64_t) { keepResponsive(); });
    if (Timer1Tag == kArmedTag)
        Timer1.start();
    m_controlSource.setAudioSource(&m_job.Converter());
    // The part decoded so far is still mixed and compressed; the player learns what broke.
    if (decodeError)
        report(decodeError);
}

void TfrmConvert::Timer1Timer() {
    runPhase(&TfrmConvert::Button2Click);
    Timer1.stop();
    Timer1Tag = 0;
}

void TfrmConvert::Button2Click() {
    m_job.mixVoice();
    if (Timer2Tag == kArmedTag)
        Timer2.start();
}

void TfrmConvert::Timer2Timer() {
    Timer2.stop();
    Timer2Tag = 0;
    runPhase(&TfrmConvert::Button3Click);
}

void TfrmConvert::Button3Click() {
    Label2->setText(QStringLiteral("Compressing"));
    m_controlSource.setAudioSource(&m_job.Converter());
    m_job.compressMix([this](std::int64_t position, std::int64_t size) {
        pbCurrent->setMaximum(barUnits(size, size));
        pbCurrent->setValue(barUnits(position, size));
        keepResponsive();
    });
    pbCurrent->setValue(0);
    Label2->setText(QStringLiteral("Converted"));
    hide();
    m_controlSource.setAudioSource(&m_job.deAudioConvertor1());
    QDir::setCurrent(QString::fromStdString(m_programDir.string()));
    m_converting = false;
}

} // namespace cantorix::audio
