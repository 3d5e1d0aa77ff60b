#pragma once
// `SongFile`: the values `LoadSongFile` reads from a song file (tags, timing and the
// `SongRecords` table), kept until the next load. Owned by the main window; main thread only.

#include "songs/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::songs {

// One body line of a song file: a sung note, a line break, or empty for an ignored line.
struct SongRecord {
    bool isBreak = false;
    std::int32_t startBeat = 0;
    std::uint8_t length = 0; // beats, modulo 256
    std::uint8_t pitch = 0;  // sung-value scale, modulo 256; 222 marks the last line break
    std::string syllable;    // the file's bytes

    bool operator==(const SongRecord&) const = default;
};

inline constexpr std::size_t kSongRecordCount = 5001;
inline constexpr std::uint8_t kLastBreakPitch = 222;

class SongFile {
public:
    SongFile();

    // `LoadSongFile` over the bytes of the file `songFile` of `songFolder` (an absolute
    // `songFile` stands alone). Steps run in order and each stores its values at once, so a
    // failure keeps what the steps before it set: EConvertError for a bad "#GAP", "#BPM" or body
    // number; ESongFileError, before anything changes, for a text of fewer than two lines or
    // more records than the table holds.
    void load(std::string_view bytes, const std::filesystem::path& songFolder,
              const std::filesystem::path& songFile);

    // Texts in the file's bytes; displayText() gives their UTF-8 form.
    const std::string& songTitle() const { return m_songTitle; }
    const std::string& songArtist() const { return m_songArtist; }
    const std::string& mp3Value() const { return m_mp3Value; }     // raw "#MP3" value
    const std::string& videoValue() const { return m_videoValue; } // raw "#VIDEO" value
    std::string displayText(std::string_view bytes) const;
    TextEncoding encoding() const { return m_encoding; }

    const std::filesystem::path& audioPath() const { return m_audioPath; }
    const std::filesystem::path& videoPath() const { return m_videoPath; } // empty: no video
    const std::filesystem::path& songFilePath() const { return m_songFilePath; }

    std::int32_t gapValue() const { return m_gapValue; }
    std::int32_t gapDivisor() const { return m_gapDivisor; }
    double bpm() const { return m_bpm; }
    std::int32_t headerLineCount() const { return m_headerLineCount; }
    std::int32_t octaveBand() const { return m_octaveBand; }
    double leadInTime() const { return m_leadInTime; } // tenths of a second

    // All kSongRecordCount entries; the load filled the first recordCount() of them.
    const std::vector<SongRecord>& songRecords() const { return m_songRecords; }
    std::size_t recordCount() const { return m_recordCount; }

private:
    void readTags(const std::vector<std::string_view>& lines,
                  const std::filesystem::path& songFolder);
    void readBody(const std::vector<std::string_view>& lines);
    void readBreakLine(std::string_view line, std::size_t record, std::size_t& latestBreak);
    void computeOctaveBand(std::size_t lineCount);

    std::string m_songTitle;
    std::string m_songArtist;
    std::string m_mp3Value;
    std::string m_videoValue;
    TextEncoding m_encoding = TextEncoding::Utf8;
    std::filesystem::path m_audioPath;
    std::filesystem::path m_videoPath;
    std::filesystem::path m_songFilePath;
    std::int32_t m_gapValue = 0;
    std::int32_t m_gapDivisor = 1;
    double m_bpm = 0.0;
    std::int32_t m_headerLineCount = 0;
    std::int32_t m_octaveBand = 0;
    double m_leadInTime = 0.0;
    std::vector<SongRecord> m_songRecords;
    std::size_t m_recordCount = 0;
    std::size_t m_writtenRecords = 0; // entries from this one on are known to be empty
};

} // namespace cantorix::songs
