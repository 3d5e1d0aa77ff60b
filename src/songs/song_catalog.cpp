#include "songs/song_catalog.h"

#include "songs/song_errors.h"
#include "songs/song_file.h"
#include "songs/song_identity.h"
#include "songs/song_media.h"
#include "songs/song_media_file.h"
#include "songs/song_playability.h"
#include "songs/song_text_file.h"
#include "songs/standard_song.h"
#include "songs/text_encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <sys/stat.h>
#include <tuple>

namespace cantorix::songs {

namespace fs = std::filesystem;

namespace {

// Base letters of U+00C0 … U+00FF; "" keeps the character (× and ÷ are no letters).
constexpr std::array<const char*, 64> kLatin1Folded = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",
};

// Base letters of U+0100 … U+017F (Latin Extended-A); '1' stands for "ij", '2' for "oe".
constexpr std::string_view kExtendedAFolded = "aaaaaaccccccccdd"
                                              "ddeeeeeeeeeegggg"
                                              "gggghhhhiiiiiiii"
                                              "ii11jjkkklllllll"
                                              "lllnnnnnnnnnoooo"
                                              "oo22rrrrrrssssss"
                                              "ssttttttuuuuuuuu"
                                              "uuuuwwyyyzzzzzzs";
static_assert(kExtendedAFolded.size() == 0x80);

void appendFolded(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    } else if (c >= 0xC0 && c <= 0xFF) {
        const char* base = kLatin1Folded[c - 0xC0];
        if (*base)
            out += base;
        else
            appendUtf8(out, c);
    } else if (c >= 0x100 && c <= 0x17F) {
        const char base = kExtendedAFolded[c - 0x100];
        out += base == '1' ? "ij" : base == '2' ? "oe" : std::string(1, base);
    } else if (c >= 0x300 && c <= 0x36F) {
        // Combining accents of decomposed text carry nothing a search should need.
    } else if (c >= 0x218 && c <= 0x21B) {
        out += c < 0x21A ? 's' : 't';
    } else if ((c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F)) {
        appendUtf8(out, c + 0x20);
    } else if (c == 0x401 || c == 0x451) {
        appendUtf8(out, 0x435); // ё is commonly typed as е
    } else if (c >= 0x400 && c <= 0x40F) {
        appendUtf8(out, c + 0x50);
    } else {
        appendUtf8(out, c);
    }
}

// The folded form of `text` appended to `out`; bytes that are not UTF-8 are kept as they are.
void foldInto(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead >= 'A' && lead <= 'Z' ? lead - 'A' + 'a' : lead);
            ++i;
            continue;
        }
        const Utf8Prefix prefix = utf8Prefix(text, i);
        if (!prefix.whole) {
            out.append(text.substr(i, prefix.length));
            i += prefix.length;
            continue;
        }
        char32_t c = lead & (0xFF >> (prefix.length + 1));
        for (std::size_t k = 1; k < prefix.length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        appendFolded(out, c);
        i += prefix.length;
    }
}

std::vector<std::string> queryWords(std::string_view query) {
    const std::string folded = foldForSearch(query);
    std::vector<std::string> words;
    std::size_t start = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    for (std::size_t i = 0; i <= folded.size(); ++i) {
        if (i == folded.size() || blank(folded[i])) {
            if (i > start)
                words.push_back(folded.substr(start, i - start));
            start = i + 1;
        }
    }
    return words;
}

std::string displayName(const fs::path& name) {
    const std::string& bytes = name.native();
    return toDisplayText(bytes, detectTextEncoding(bytes));
}

// The game's own format times its records in beats after the lead-in (tenths of a second), a
// beat lasting 150 / BPM tenths; the song ends with the last sung record, not with a break.
std::int64_t gameTextLengthMs(const SongFile& song) {
    const std::vector<SongRecord>& records = song.songRecords();
    const std::size_t count = std::min(song.recordCount(), records.size());
    if (count == 0 || !(song.bpm() > 0))
        return 0;
    std::int64_t lastEnd = records[0].startBeat;
    bool sung = false;
    for (std::size_t k = 0; k < count; ++k)
        if (!records[k].isBreak) {
            lastEnd = std::max<std::int64_t>(lastEnd, std::int64_t{records[k].startBeat} +
                                                          records[k].length);
            sung = true;
        }
    if (!sung)
        return 0;
    const double ms = song.leadInTime() * 100.0 +
                      static_cast<double>(lastEnd - records[0].startBeat) * 15000.0 / song.bpm();
    return std::max<std::int64_t>(0, std::llround(ms));
}

// A standard song's #END, when it lies past its #START, says where the song stops; otherwise the
// end of the last note of any voice does.
std::int64_t standardTextLengthMs(const StandardSong& song) {
    if (song.endMs && *song.endMs > song.startMs)
        return std::max<std::int64_t>(0, std::llround(*song.endMs));
    double lastEnd = 0;
    for (const StandardVoice& voice : song.voices)
        for (const StandardNote& note : voice.notes)
            lastEnd =
                std::max(lastEnd, song.beatToMs(static_cast<double>(note.startBeat) + note.length));
    return std::max<std::int64_t>(0, std::llround(lastEnd));
}

// Both readers: the audio name as the song text gives it, for the verdict on its audio.
void summariseGame(std::string_view bytes, SongSummary& summary, std::string& audioName) {
    // The record table is large; one per thread spares allocating it for every song.
    thread_local SongFile song;
    try {
        song.load(bytes, summary.folder, summary.songFile);
    } catch (const EConvertError& e) {
        // A bad number comes after the tags: the song still has its name, as the selection
        // shows it.
        summary.error = e.what();
    } catch (const std::exception& e) {
        summary.error = e.what();
        return;
    }
    summary.title = song.displayText(song.songTitle());
    summary.artist = song.displayText(song.songArtist());
    summary.textLengthMs = gameTextLengthMs(song);
    audioName = song.mp3Value();
    // Found as the selection finds it: never a file outside the song folder.
    summary.audio = songAudioFile(summary.folder, song.mp3Value());
}

void summariseStandard(const SongTextLines& text, SongSummary& summary, std::string& audioName) {
    try {
        const StandardSong song = readStandardSong(text);
        summary.title = song.title;
        summary.artist = song.artist;
        audioName = song.audio;
        summary.audio = songAudioFile(summary.folder, song.audio);
        summary.cover = findCoverFile(summary.folder, song.cover);
        summary.duet = song.voices.size() > 1;
        summary.textLengthMs = standardTextLengthMs(song);
        if (const std::optional<MedleyPart> medley = findMedleyPart(song).part)
            summary.medley = *medley;
    } catch (const std::exception& e) {
        summary.error = e.what();
        summary.cover = findCoverFile(summary.folder, "");
    }
}

} // namespace

std::int64_t songLengthMs(const SongSummary& song) {
    return song.audioLengthMs > 0 ? song.audioLengthMs : song.textLengthMs;
}

FileStamp fileStamp(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    return {static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
            static_cast<std::int64_t>(info.st_size)};
}

std::string foldForSearch(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    foldInto(out, utf8);
    return out;
}

void sortSongs(std::vector<SongSummary>& songs, SongOrder order,
               const SongPopularityLookup& popularity) {
    struct Key {
        // Most sung or latest first, as a negative count or time; 0 for the songs never sung,
        // which sort after every sung one.
        std::int64_t rank = 0;
        std::string first, second;
        std::size_t index;
    };
    const auto rankOf = [&](const SongSummary& s) -> std::int64_t {
        if (!popularity)
            return 0;
        const SongPopularity sung = popularity(songIdentity(s.artist, s.title));
        return order == SongOrder::MostSung ? -sung.timesSung : -sung.lastSungAtMs;
    };
    std::vector<Key> keys;
    keys.reserve(songs.size());
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const SongSummary& s = songs[i];
        switch (order) {
        case SongOrder::ByArtist:
            keys.push_back({0, foldForSearch(s.artist), foldForSearch(s.title), i});
            break;
        case SongOrder::ByTitle:
            keys.push_back({0, foldForSearch(s.title), foldForSearch(s.artist), i});
            break;
        case SongOrder::ByFolder:
            keys.push_back({0, foldForSearch(displayName(fs::path(s.folder).filename())), {}, i});
            break;
        case SongOrder::MostSung:
        case SongOrder::RecentlySung:
            keys.push_back({rankOf(s), foldForSearch(s.artist), foldForSearch(s.title), i});
            break;
        }
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        return std::tie(a.rank, a.first, a.second, songs[a.index].folder) <
               std::tie(b.rank, b.first, b.second, songs[b.index].folder);
    });
    std::vector<SongSummary> sorted;
    sorted.reserve(songs.size());
    for (const Key& key : keys)
        sorted.push_back(std::move(songs[key.index]));
    songs.swap(sorted);
}

std::vector<std::string> searchWords(std::string_view query) {
    return queryWords(query);
}

std::vector<std::size_t> searchSongs(const std::vector<SongSummary>& songs,
                                     std::string_view query) {
    const std::vector<std::string> words = queryWords(query);
    std::vector<std::size_t> matches;
    std::string haystack;
    for (std::size_t i = 0; i < songs.size(); ++i) {
        haystack.clear();
        // A blank between the two keeps a word from matching across artist and title.
        foldInto(haystack, songs[i].artist);
        haystack += '\n';
        foldInto(haystack, songs[i].title);
        if (std::all_of(words.begin(), words.end(), [&](const std::string& word) {
                return haystack.find(word) != std::string::npos;
            }))
            matches.push_back(i);
    }
    return matches;
}

SongSummary summariseSong(const fs::path& folder, const fs::path& songFile) {
    return summariseSong(folder, songFile, {fileStamp(folder), false});
}

SongSummary summariseSong(const fs::path& folder, const fs::path& songFile,
                          const WalkedSongFolder& walked) {
    SongSummary summary;
    summary.folder = folder;
    summary.songFile = songFile;
    // Stamps are taken before the file is read: a change while reading shows at the next scan.
    // The song file's is what fstat says of it once opened; one that cannot be opened is looked
    // at by its name.
    summary.folderStamp = walked.folderStamp;
    bool standard = false;
    std::string audioName;
    base::OpenedFile opened;
    try {
        const std::string bytes = readSongFileBytes(
            songFile, walked.songFileRegular ? base::FileKind::Regular : base::FileKind::Unknown,
            &opened);
        // Decoded once for both the format's detection and, for a standard song, its reading.
        const SongTextLines text(bytes);
        summary.format = detectSongFormat(text);
        standard = summary.format == SongFormat::Standard;
        if (standard)
            summariseStandard(text, summary, audioName);
        else
            summariseGame(bytes, summary, audioName);
    } catch (const std::exception& e) {
        summary.error = e.what();
    }
    if (opened.size < 0)
        summary.songStamp = fileStamp(songFile);
    else
        summary.songStamp = {opened.mtimeNs, opened.size};
    if (summary.error.empty())
        summary.unplayable =
            audioProblem(summary.folder, summary.audio, audioName, summary.audioStamp);
    if (!standard) {
        // The game's own songs, and files that cannot be read, show "cover.jpg" only.
        summary.cover = findGameSongCover(folder);
    }
    if (summary.title.empty())
        summary.title = displayName(folder.filename());
    if (!summary.cover.empty())
        summary.coverStamp = fileStamp(summary.cover);
    return summary;
}

} // namespace cantorix::songs
