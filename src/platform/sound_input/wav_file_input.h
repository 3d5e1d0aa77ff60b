#pragma once
// The microphone stand-in of `--mic FILE.wav`: one channel of the file (each channel is a
// singer, as each channel of a stereo receiver is) or the average of all, converted to the
// capture's 44100 Hz mono 16-bit as it is played, into the capture hub at real-time pace, then
// silence. It is silent until a session starts it over, so the file's first sample is heard as
// the song's audio starts; the session pauses and silences it through the session's input control.

#include "base/regular_file.h"
#include "capture_frame_source.h"
#include "paced_input.h"
#include "session/session_input_control_port.h"
#include "session/singer_inputs.h"
#include "wav_reader.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace cantorix::platform {

// Channels a WAV file may have to serve as microphones: one singer each, as many as may sing.
inline constexpr int kMostWavChannels = static_cast<int>(session::kSingerSlots);

// The channels of a WAV file, each a singer. Throws EWavError naming the file when it is not a
// regular file, cannot be read or used, or has more channels than kMostWavChannels.
int wavChannelCount(const std::filesystem::path& file);

// The sound of a WAV file as capture frames: channels averaged, rate converted to 44100 Hz.
// Throws EWavError for a file that parseWav refuses.
std::vector<std::int16_t> convertWavForCapture(const std::uint8_t* data, std::size_t size);

// The same frames, converted piece by piece as they are read, so that only the piece being
// converted is held however long the file. Reads the header at once and throws EWavError (with
// parseWav's reason) when the file cannot be used. A file that shrinks or fails to read later
// ends the recording there.
std::unique_ptr<CaptureFrameSource> openWavForCapture(base::UniqueFd file);
// The frames of one channel (from 0) of the file alone, converted the same way. Throws
// EWavError also for a channel the file does not have.
std::unique_ptr<CaptureFrameSource> openWavForCapture(base::UniqueFd file, int channel);

class WavFileInput : public PacedInput, public session::SessionInputControl {
public:
    // Opens the file and reads its header before the first frame goes out. Throws EWavError,
    // naming the file, when it is not a regular file, cannot be read or cannot be used.
    // The average of the file's channels, as one voice.
    WavFileInput(CaptureHub& hub, const std::filesystem::path& file);
    // One channel (from 0) of the file, as one singer's microphone; also refuses a file of more
    // channels than kMostWavChannels and a channel the file does not have.
    WavFileInput(CaptureHub& hub, const std::filesystem::path& file, int channel);

    void startOver() override { control(FramePacer::Change::StartOver); }
    void pause() override { control(FramePacer::Change::Pause); }
    void resume() override { control(FramePacer::Change::Resume); }
    void silence() override { control(FramePacer::Change::Silence); }
    std::optional<session::RecordingMark>
    mark(const std::function<std::int64_t()>& capturedNow) override {
        return markRecording(capturedNow);
    }
};

} // namespace cantorix::platform
