#pragma once
// The media player over an audio file decoder (libmpg123 for MP3, FFmpeg for the rest, chosen
// by the file's content) and a sound output. Owns the open file, a decoder thread
// that keeps a lock-free ring of stereo float frames filled, and the output stream whose
// device thread empties it. Called from the main thread only; position() is a few atomic loads.
//
// The stream runs at the file's rate when the output offers it; otherwise the decoder thread
// converts to the output's rate with libsoxr, so playback never depends on a device's rates.
// The position counts the frames the device has taken, less the latency it reports, and
// becomes the length exactly when the last frame has reached the listener. Pausing drops what
// the device still holds and restarts decoding at the position heard, so resume goes on from
// the very sample where the listener stopped.

#include "platform/common/spsc_ring.h"
#include "platform/sound_output/audio_output.h"
#include "songs/media_player_port.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace cantorix::platform {

class AudioFileDecoder;
class StereoResampler;

class FileMediaPlayer : public songs::MediaPlayer, private AudioSource {
public:
    // The output must outlive the player.
    explicit FileMediaPlayer(AudioOutput& output);
    ~FileMediaPlayer() override;
    FileMediaPlayer(const FileMediaPlayer&) = delete;
    FileMediaPlayer& operator=(const FileMediaPlayer&) = delete;

    void setFileName(const std::filesystem::path& fileName) override;
    void open() override;
    void openMedley(const std::vector<std::filesystem::path>& audioFiles,
                    const std::vector<songs::MedleySegment>& segments) override;
    void play() override;
    void pause() override;
    void resume() override;
    void stop() override;
    void close() override;
    std::int64_t position() const override;
    std::int64_t length() const override;
    void setStartPosition(std::int64_t ms) override;

private:
    // As open(), over a decoder already made; the file name set names it in messages.
    void openDecoder(std::unique_ptr<AudioFileDecoder> decoder);
    // Device thread: copies frames out of the ring and counts them.
    void render(float* out, std::size_t frames) noexcept override;

    void decodeLoop();                      // decoder thread
    void fillRing();                        // with m_decodeMutex held
    bool refillPending();                   // with m_decodeMutex held
    void restartAt(std::int64_t fileFrame); // main thread, output stream stopped
    void halt();                            // stops the stream and holds the position heard
    std::int64_t heardFileFrames() const;
    void requireOpen(const char* operation) const;

    AudioOutput& m_output;
    std::filesystem::path m_fileName;

    // Main thread (the decoder thread uses m_decoder and m_resampler under m_decodeMutex).
    std::unique_ptr<AudioFileDecoder> m_decoder;
    std::unique_ptr<StereoResampler> m_resampler; // only when the output runs at another rate
    std::unique_ptr<AudioStream> m_stream;
    bool m_playing = false;
    int m_outputRate = 0;
    std::int64_t m_latencyFrames = 0;
    std::int64_t m_baseFrame = 0; // file frame the ring's contents start at

    // Decoder side, under m_decodeMutex: decoded or converted frames not yet in the ring, and
    // decoded frames not yet converted.
    std::mutex m_decodeMutex;
    std::condition_variable m_wake;
    bool m_quit = false;
    std::vector<float> m_pending;
    std::size_t m_pendingBegin = 0, m_pendingEnd = 0;
    std::vector<float> m_decoded;
    std::size_t m_decodedBegin = 0, m_decodedEnd = 0;
    bool m_inputEnded = false; // the decoder has returned its last frame
    bool m_drained = false;    // and every frame is in the ring
    std::int64_t m_pushed = 0; // output frames put into the ring since the restart
    std::thread m_decodeThread;

    // Shared with the device thread. Output frames since the restart: taken from the ring,
    // silent ones played after the last, and all of them (known once the file has ended).
    SpscRing<float> m_ring;
    std::atomic<std::int64_t> m_played{0};
    std::atomic<std::int64_t> m_tail{0};
    std::atomic<std::int64_t> m_endFrames{-1};
};

} // namespace cantorix::platform
