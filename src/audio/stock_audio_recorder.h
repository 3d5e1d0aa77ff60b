#pragma once
// Records the wave-in device into a RIFF WAVE file: the header when the device opens, every
// filled buffer as it arrives, the sizes when it closes. Owns the file while recording;
// main thread.

#include "output_stream.h"
#include "riff_wave_writer.h"
#include "wave_audio_in.h"

#include <filesystem>
#include <memory>

namespace cantorix::audio {

class TStockAudioRecorder : public TWaveAudioIn {
public:
    using TWaveAudioIn::TWaveAudioIn;
    // Finishes a running recording.
    ~TStockAudioRecorder() override;

    // Creates or truncates the file (EFCreateError when it cannot) and records into it,
    // finishing any running recording first. Device failures raise EWaveAudioSysError.
    void recordToFile(const std::filesystem::path& path);
    // The same into a stream the recorder then owns.
    void recordToStream(std::unique_ptr<OutputStream> stream);

    bool active() const { return deviceOpen(); }
    // True would record into a wave storage, which the game never provides: it raises.
    // False stops.
    void setActive(bool active);
    // Stops recording and finishes the file; nothing when already stopped.
    void stop();

protected:
    base::TWaveFormat getFormat() override;
    void inputClosed() override;
    void handleRecordedData(const WaveInBuffer& buffer) override;
    [[noreturn]] void raiseError(WaveInResult result) override;

private:
    // Fills in the sizes and lets go of the stream; false when the sizes could not be written.
    bool finishFile();

    std::unique_ptr<OutputStream> m_stream;
    RiffWaveWriter m_writer;
};

// The settings the game records its performances with: 22050 Hz 16-bit stereo in 100 ms
// buffers.
void configureForPerformance(TStockAudioRecorder& recorder);

} // namespace cantorix::audio
