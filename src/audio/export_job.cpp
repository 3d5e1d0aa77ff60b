#include "export_job.h"

#include "base/atomic_file.h"
#include "file_stream.h"
#include "mpeg_scan.h"
#include "performance_mix.h"
#include "riff_stream.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

namespace cantorix::audio {

namespace {

constexpr int kMixNumbers = 2560;
// A song file whose first frame lies this far in may already be a RIFF WAVE around its MPEG
// data: RIFF header, a "fmt " chunk of at least 30 bytes and a "data" header fit before it.
constexpr std::int64_t kRiffMpegMinOffset = 58;
constexpr std::uint32_t kMpegFormatChunkMin = 30;
// The recording's PCM and the export's MP3.
constexpr std::uint32_t kPcmRate = 22050;
constexpr std::uint32_t kMp3Rate = 24000;
constexpr std::uint32_t kMp3BytesPerSecond = 7000; // 56 kbit/s
constexpr std::uint32_t kMp3PaddingOff = 2;
constexpr std::uint16_t kMp3BlockSize = 168;
constexpr std::uint16_t kMp3CodecDelay = 1393;
// The decoder's output record carries 32 in its extra-size field, which PCM ignores.
constexpr std::uint16_t kDecoderOutExtraSize = 32;

std::uint32_t le32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

std::string quoted(const std::filesystem::path& file) {
    return "\"" + file.string() + "\"";
}

// The size of the RIFF chunk when the song file is itself a RIFF WAVE around MPEG data that
// reaches to the chunk's end; none otherwise.
std::optional<std::int64_t> wholeRiffChunk(Stream& song, const TMpegFrameRecord& record) {
    if (record.firstFrameOffset < kRiffMpegMinOffset)
        return std::nullopt;
    std::uint8_t head[20];
    song.setPosition(0);
    if (song.read(head, sizeof head) != sizeof head)
        return std::nullopt;
    const std::uint32_t riffSize = le32(head + 4);
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVEfmt ", 8) != 0 ||
        le32(head + 16) < kMpegFormatChunkMin ||
        record.firstFrameOffset + record.dataLength < std::int64_t{riffSize})
        return std::nullopt;
    return std::min<std::int64_t>(std::int64_t{riffSize} + 8, song.size());
}

// One input of the mix, read whole, with where its samples lie.
struct MixFile {
    std::vector<std::uint8_t> bytes;
    std::size_t dataOffset = 0, dataSize = 0;

    MixInput input() const { return {bytes, dataOffset, dataSize}; }
};

// A recording stopped before its first buffer: a whole header whose "data" chunk, the file's
// last 8 bytes, holds nothing. It mixes as silence.
bool endsInEmptyDataChunk(Stream& file) {
    const std::int64_t size = file.size();
    std::uint8_t head[12];
    std::uint8_t tail[8];
    if (size < 12 + 8 + 8)
        return false;
    file.setPosition(0);
    if (file.read(head, sizeof head) != sizeof head)
        return false;
    file.setPosition(size - 8);
    if (file.read(tail, sizeof tail) != sizeof tail)
        return false;
    return std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0 &&
           std::memcmp(tail, "data", 4) == 0 && le32(tail + 4) == 0;
}

MixFile readMixFile(const std::filesystem::path& path) {
    FileStream file(path, FileStream::Mode::Read);
    MixFile mix;
    if (endsInEmptyDataChunk(file)) {
        mix.bytes.resize(static_cast<std::size_t>(file.size()));
        file.setPosition(0);
        file.readBuffer(mix.bytes.data(), mix.bytes.size());
        mix.dataOffset = mix.bytes.size();
        return mix;
    }
    {
        TdeRIFFAudioReader reader(file);
        const TdeWaveFormat& f = reader.format();
        if (!f.isPcm() || f.channels() != 2 || f.samplesPerSec() != kPcmRate ||
            f.bitsPerSample() != 16)
            throw EExportError(quoted(path) +
                               " is not 16-bit stereo PCM at 22050 Hz, the format of the mix.");
        mix.dataOffset = static_cast<std::size_t>(reader.dataStream().start());
        mix.dataSize = static_cast<std::size_t>(reader.dataStream().size());
    }
    mix.bytes.resize(static_cast<std::size_t>(file.size()));
    file.setPosition(0);
    file.readBuffer(mix.bytes.data(), mix.bytes.size());
    return mix;
}

// Unhooks a converter's events and closes it when a phase ends, however it ends.
class ConverterSession {
public:
    explicit ConverterSession(TdeAudioConvertor& converter) : m_converter(converter) {}
    ~ConverterSession() {
        m_converter.onAudioConverted = nullptr;
        m_converter.setRawOutput(nullptr);
        if (m_converter.active())
            m_converter.close();
    }
    ConverterSession(const ConverterSession&) = delete;
    ConverterSession& operator=(const ConverterSession&) = delete;

private:
    TdeAudioConvertor& m_converter;
};

} // namespace

TdeWaveFormat exportPcmFormat() {
    return makePcmWaveFormat(kPcmRate, 16, 2);
}

TdeWaveFormat exportMp3Format() {
    return makeMpegLayer3WaveFormat(kMp3Rate, 2, kMp3BytesPerSecond, kMp3PaddingOff, kMp3BlockSize,
                                    kMp3CodecDelay);
}

TExportJob::TExportJob(CodecPort& codecs) : m_decoder(codecs), m_encoder(codecs) {
    m_decoder.setRequestRealTime(false);
    m_decoder.formatOut() = exportPcmFormat();
    m_decoder.formatOut().setExtraSize(kDecoderOutExtraSize);
    m_decoder.formatIn() = makePcmWaveFormat(11025, 8, 1);
    m_encoder.setRequestRealTime(true);
    m_encoder.formatIn() = exportPcmFormat();
    m_encoder.formatOut() = exportMp3Format();
}

TExportJob::TExportJob(CodecPort& codecs, SongAudioDecoder& otherAudio) : TExportJob(codecs) {
    m_otherAudio = &otherAudio;
}

TExportJob::~TExportJob() {
    // An export abandoned between mixing and compressing leaves no mix behind.
    if (!m_files.mixDirectory.empty())
        removeWorkingFile(mixFile());
}

void TExportJob::begin(ExportFiles files) {
    m_files = std::move(files);
}

void TExportJob::removeWorkingFile(const std::filesystem::path& file) const {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

void TExportJob::wrapSong() {
    std::error_code ignored;
    std::filesystem::create_directories(m_files.mixDirectory, ignored);
    m_decodeDirectly = false;
    // Judged by the content: MPEG audio, in whatever file, keeps the conversion chain.
    if (m_otherAudio && m_otherAudio->takes(m_files.songAudio)) {
        if (samePathIgnoringCase(m_files.songAudio, m_files.decodedSong))
            throw EExportError("The song file " + quoted(m_files.songAudio) +
                               " is the export's own working file.");
        m_decodeDirectly = true;
        return;
    }
    FileStream song(m_files.songAudio, FileStream::Mode::Read);
    TMpegFrameRecord record;
    if (mpegScan(song, record) == 0)
        throw EExportError("The song file " + quoted(m_files.songAudio) +
                           " holds no MPEG audio, so there is nothing to export.");
    if (samePathIgnoringCase(m_files.songAudio, m_files.wrappedSong))
        throw EExportError("The song file " + quoted(m_files.songAudio) +
                           " is the export's own working file.");
    const auto header = mpegWaveHeader(record);
    const std::optional<std::int64_t> riffChunk = wholeRiffChunk(song, record);

    FileStream wrapped(m_files.wrappedSong, FileStream::Mode::Create);
    if (!riffChunk)
        wrapped.writeBuffer(header.data(), header.size());
    song.setPosition(riffChunk ? 0 : record.firstFrameOffset);
    wrapped.copyFrom(song, riffChunk ? *riffChunk : record.dataLength);
}

std::exception_ptr TExportJob::decodeSong(const Progress& afterBlock) {
    if (m_decodeDirectly)
        return decodeOtherAudio(afterBlock);
    FileStream source(m_files.wrappedSong, FileStream::Mode::Read);
    FileStream destination(m_files.decodedSong, FileStream::Mode::Create);
    TdeRIFFAudioReader reader(source);
    TdeRIFFAudioWriter writer(destination);
    writer.format() = m_decoder.formatOut();
    m_decoder.formatIn() = reader.format();
    TdeSubStream& data = reader.dataStream();

    ConverterSession session(m_decoder);
    m_decoder.open();
    bool writeFailed = false;
    m_decoder.onAudioConverted = [&](TdeAudioConvertor&, std::span<const std::uint8_t> block,
                                     bool& abort) {
        try {
            writer.write(block.data(), block.size());
        } catch (...) {
            writeFailed = true;
            throw;
        }
        abort = false;
        if (afterBlock)
            afterBlock(data.position(), data.size());
    };
    std::exception_ptr decodeError;
    try {
        m_decoder.convert(data);
    } catch (...) {
        // A file we cannot write ends the export; damaged audio ends only the decoding.
        if (writeFailed)
            throw;
        decodeError = std::current_exception();
    }
    writer.finish();
    return decodeError;
}

// The song straight to the mix's PCM, in the same RIFF layout as the conversion chain writes.
// Progress counts output frames.
std::exception_ptr TExportJob::decodeOtherAudio(const Progress& afterBlock) {
    const TdeWaveFormat& pcm = m_decoder.formatOut();
    const std::unique_ptr<PcmSource> song = m_otherAudio->open(
        m_files.songAudio, static_cast<int>(pcm.samplesPerSec()), pcm.channels());
    FileStream destination(m_files.decodedSong, FileStream::Mode::Create);
    TdeRIFFAudioWriter writer(destination);
    writer.format() = pcm;
    constexpr std::size_t kBlockFrames = 44100; // two seconds, as the chain converts
    std::vector<std::int16_t> block(kBlockFrames * pcm.channels());
    std::int64_t done = 0;
    std::exception_ptr decodeError;
    for (;;) {
        std::size_t frames = 0;
        try {
            frames = song->read(block.data(), kBlockFrames);
        } catch (...) {
            decodeError = std::current_exception();
            break;
        }
        if (frames == 0)
            break;
        writer.write(reinterpret_cast<const std::uint8_t*>(block.data()),
                     frames * pcm.channels() * sizeof(std::int16_t));
        done += static_cast<std::int64_t>(frames);
        if (afterBlock)
            afterBlock(done, std::max(done, song->expectedFrames()));
    }
    if (afterBlock && !decodeError)
        afterBlock(done, done);
    writer.finish();
    return decodeError;
}

void TExportJob::mixVoice() {
    m_mixNumber = m_mixNumberSource
                      ? m_mixNumberSource()
                      : std::uniform_int_distribution<int>(0, kMixNumbers - 1)(m_random);
    const MixFile song = readMixFile(m_files.decodedSong);
    const MixFile voice = readMixFile(m_files.voice);
    const std::vector<std::uint8_t> mixed = mixPerformance(song.input(), voice.input());
    try {
        FileStream out(mixFile(), FileStream::Mode::Create);
        out.writeBuffer(mixed.data(), mixed.size());
    } catch (...) {
        removeWorkingFile(mixFile());
        throw;
    }
}

void TExportJob::compressMix(const Progress& afterBlock) {
    const std::string cannotSave = "Cannot save " + quoted(m_files.destination) + ". ";
    try {
        FileStream source(mixFile(), FileStream::Mode::Read);
        // A name of its own beside the destination, so no file of the user's is overwritten
        // before the MP3 is complete; it is removed on any failure.
        std::optional<base::AtomicFile> partial;
        try {
            partial.emplace(m_files.destination);
        } catch (const std::system_error& e) {
            throw EExportError(cannotSave + e.code().message());
        }
        {
            FileStream out(partial->temporaryPath(), FileStream::Mode::Create);
            TdeRIFFAudioReader reader(source);
            TdeSubStream& data = reader.dataStream();
            ConverterSession session(m_encoder);
            m_encoder.open();
            m_encoder.setRawOutput(&out);
            if (afterBlock)
                afterBlock(0, data.size());
            m_encoder.onAudioConverted = [&](TdeAudioConvertor&, std::span<const std::uint8_t>,
                                             bool&) {
                if (afterBlock)
                    afterBlock(data.position(), data.size());
            };
            m_encoder.convert(data);
        }
        try {
            partial->commit();
        } catch (const std::system_error& e) {
            throw EExportError(cannotSave + e.code().message());
        }
    } catch (...) {
        removeWorkingFile(mixFile());
        throw;
    }
    removeWorkingFile(mixFile());
}

std::exception_ptr runExportPhases(TExportJob& job, const PhaseProgress& progress) {
    const auto phase = [&](int number) {
        return [&progress, number](std::int64_t position, std::int64_t size) {
            if (progress)
                progress(number, position, size);
        };
    };
    phase(1)(0, 0);
    job.wrapSong();
    phase(2)(0, 0);
    std::exception_ptr decodeError = job.decodeSong(phase(2));
    phase(3)(0, 0);
    job.mixVoice();
    job.compressMix(phase(4));
    return decodeError;
}

} // namespace cantorix::audio
