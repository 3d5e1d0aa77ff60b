#pragma once
// The small always-on-top window of the MP3 export. It shows what is being converted (the
// status line, the oscilloscope, the progress bar) and runs the export's four phases: the
// first two at once, the mix and the compression each 300 ms after the previous phase, so the
// window repaints in between. Owns the export job and the display source. Main thread only.

#include "audio_control_source.h"
#include "export_job.h"
#include "oscilloscope.h"

#include <QDialog>
#include <QTimer>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;

namespace cantorix::audio {

class ExportWindow : public QDialog {
    Q_OBJECT
public:
    // The timers run their phase only while their tag holds this; firing resets it to 0, so
    // one press of Save runs each timed phase once.
    static constexpr int kArmedTag = 15;
    static constexpr int kPhaseDelayMs = 300;

    // Shows a failure to the player; the export has stopped by then.
    using ErrorReporter = std::function<void(QWidget* window, const std::string& text)>;

    ExportWindow(CodecPort& codecs, std::filesystem::path programDir, QWidget* parent = nullptr);
    // Also exports songs whose audio is not MPEG, decoded through otherAudio.
    ExportWindow(CodecPort& codecs, SongAudioDecoder& otherAudio, std::filesystem::path programDir,
                 QWidget* parent = nullptr);
    ~ExportWindow() override;

    void setErrorReporter(ErrorReporter reporter) { m_reportError = std::move(reporter); }

    // Save confirmed: shows the window, arms the timers and runs phases 1 and 2.
    void startExport(const std::filesystem::path& songAudio,
                     const std::filesystem::path& destination);
    // An export is under way: started and neither finished nor failed.
    bool converting() const { return m_converting; }

    TExportJob& job() { return m_job; }
    TdeAudioControlSource& displaySource() { return m_controlSource; }

    QLabel* statusLabel = nullptr;
    TdeOscilloscope* oscilloscope = nullptr;
    QProgressBar* progressBar = nullptr;
    QTimer mixDelayTimer, compressDelayTimer;
    int mixTimerTag = kArmedTag, compressTimerTag = kArmedTag;

private:
    ExportWindow(CodecPort& codecs, std::filesystem::path programDir, QWidget* parent,
                 SongAudioDecoder* otherAudio);
    void buildControls();
    void runWrapPhase();     // phase 1: wrap the song
    void runDecodePhase();   // phase 2: decode it
    void runMixPhase();      // phase 3: mix
    void runCompressPhase(); // phase 4: compress
    void mixDelayElapsed();
    void compressDelayElapsed();
    // Runs a phase; a failure is reported and ends the export with the window hidden.
    void runPhase(void (ExportWindow::*phase)());
    void report(const std::exception_ptr& failure);
    void keepResponsive();

    std::filesystem::path m_programDir;
    TExportJob m_job;
    TdeAudioControlSource m_controlSource;
    ErrorReporter m_reportError;
    bool m_converting = false;
};

} // namespace cantorix::audio
