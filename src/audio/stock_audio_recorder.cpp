#include "stock_audio_recorder.h"

#include "wave_audio_errors.h"

namespace cantorix::audio {

TStockAudioRecorder::~TStockAudioRecorder() {
    // Here, not in the base: the file can be finished only while this part still exists.
    closeQuietly();
    finishFile();
}

void TStockAudioRecorder::recordToFile(const std::filesystem::path& path) {
    recordToStream(std::make_unique<FileOutputStream>(path));
}

void TStockAudioRecorder::recordToStream(std::unique_ptr<OutputStream> stream) {
    setActive(false);
    m_stream = std::move(stream);
    try {
        open();
    } catch (...) {
        finishFile();
        throw;
    }
}

void TStockAudioRecorder::setActive(bool active) {
    if (active == deviceOpen())
        return;
    if (active)
        throw EWaveAudioInvalidOperation("Stock property is not assigned");
    close();
}

void TStockAudioRecorder::stop() {
    if (deviceOpen())
        close();
}

base::TWaveFormat TStockAudioRecorder::getFormat() {
    const base::TWaveFormat format = TWaveAudioIn::getFormat();
    if (m_stream && !m_writer.begin(*m_stream, format))
        raiseError(kWaveInUnspecifiedError);
    return format;
}

void TStockAudioRecorder::inputClosed() {
    if (!finishFile())
        raiseError(kWaveInUnspecifiedError);
}

void TStockAudioRecorder::handleRecordedData(const WaveInBuffer& buffer) {
    if (m_writer.writeData(buffer.data.data(), buffer.recorded) != buffer.recorded)
        raiseError(kWaveInUnspecifiedError);
}

void TStockAudioRecorder::raiseError(WaveInResult result) {
    if (!deviceOpen())
        finishFile();
    TWaveAudioIn::raiseError(result);
}

bool TStockAudioRecorder::finishFile() {
    const bool ok = m_writer.finish();
    m_stream.reset();
    return ok;
}

void configureForPerformance(TStockAudioRecorder& recorder) {
    recorder.setPcmFormat(TPCMFormat::Stereo16bit22050Hz);
    recorder.setBufferLength(100);
}

} // namespace cantorix::audio
