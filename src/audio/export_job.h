#pragma once
// `TExportJob`: the four phases of the MP3 export, free of any window, so the export window
// runs them with its timers in between and the command-line tool runs them back to back.
// 1 wraps the song's MPEG data in a RIFF header, 2 decodes it to the recording's PCM format
// (audio other than MPEG is decoded there directly, through the SongAudioDecoder port),
// 3 mixes it with the recorded voice, 4 compresses the mix to the chosen MP3. Owns the two
// converters (`decoder` and `encoder`) for the program's life, so a
// display can watch them. Main thread, synchronous.

#include "audio_convertor.h"
#include "codec_port.h"
#include "export_files.h"
#include "song_audio_decoder_port.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>

namespace cantorix::audio {

// The export cannot go on; the text says why in the player's terms.
class EExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TExportJob {
public:
    // After each converted block: the source position reached and the source size in bytes.
    using Progress = std::function<void(std::int64_t position, std::int64_t size)>;

    // Exports songs with MPEG audio only.
    explicit TExportJob(CodecPort& codecs);
    // Also songs whose audio otherAudio takes, decoded by it in phase 2.
    TExportJob(CodecPort& codecs, SongAudioDecoder& otherAudio);
    ~TExportJob();
    TExportJob(const TExportJob&) = delete;
    TExportJob& operator=(const TExportJob&) = delete;

    // Starts a new export of files; draws the number of its mix file.
    void begin(ExportFiles files);
    const ExportFiles& files() const { return m_files; }
    std::filesystem::path mixFile() const { return m_files.mixFile(m_mixNumber); }
    // Makes the mix file name predictable (tests); otherwise it is drawn from 0 … 2559.
    void setMixNumberSource(std::function<int()> source) { m_mixNumberSource = std::move(source); }

    // Phase 1: the song's MPEG data behind the 70-byte header (or a RIFF MPEG file whole) into
    // buf.wav. EExportError when the song holds no MPEG audio or is buf.wav itself. A song
    // whose audio the other-audio decoder takes is not wrapped: phase 2 decodes it directly.
    void wrapSong();
    // Phase 2: buf.wav (or the song itself, see phase 1) decoded into mix/buf.wav. A decoding
    // error still ends the stream, so the mix follows on what was decoded: it is returned for
    // the caller to report. Failures before decoding starts, and files that cannot be written,
    // are thrown.
    std::exception_ptr decodeSong(const Progress& afterBlock = {});
    // Phase 3: the decoded song and the voice mixed into the mix file, which is removed again
    // if it cannot be written whole.
    void mixVoice();
    // Phase 4: the mix compressed into a temporary file of a unique name beside the
    // destination, renamed into place when complete (a linked destination stays a link). The
    // mix file and any partial MP3 are removed whatever happens.
    void compressMix(const Progress& afterBlock = {});

    TdeAudioConvertor& decoder() { return m_decoder; }
    TdeAudioConvertor& encoder() { return m_encoder; }

private:
    void removeWorkingFile(const std::filesystem::path& file) const;
    std::exception_ptr decodeOtherAudio(const Progress& afterBlock);

    TdeAudioConvertor m_decoder;
    TdeAudioConvertor m_encoder;
    SongAudioDecoder* m_otherAudio = nullptr;
    bool m_decodeDirectly = false; // phase 1 found audio for the other-audio decoder
    ExportFiles m_files;
    int m_mixNumber = 0;
    std::mt19937 m_random{std::random_device{}()};
    std::function<int()> m_mixNumberSource;
};

// Runs the four phases back to back without the window's pauses (the command-line tool, the
// benchmark). progress gets the phase number (1 … 4) with the source position and size: once
// at the start of each phase and after every converted block. Returns the decoding error that
// left the song partly decoded, if any; everything else is thrown.
using PhaseProgress = std::function<void(int phase, std::int64_t position, std::int64_t size)>;
std::exception_ptr runExportPhases(TExportJob& job, const PhaseProgress& progress = {});

// The formats the export converts between: the recording's PCM (2 channels, 22050 Hz, 16 bits)
// and MPEG layer 3 at 24000 Hz, 2 channels, 56 kbit/s.
TdeWaveFormat exportPcmFormat();
TdeWaveFormat exportMp3Format();

} // namespace cantorix::audio
