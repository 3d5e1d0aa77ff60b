#pragma once
// The song catalogue of a large library: every song folder found under the song roots (at any
// depth), with what the selection screen needs to list, order and search it without reading a
// song file again. Values and pure functions; the scan that fills it is declared below, the cache
// that keeps it between runs in library_cache_port.h.

#include "songs/medley_part.h"
#include "songs/song_format.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cantorix::songs {

// A file's identity for the cache: a song is read again when either changes.
struct FileStamp {
    std::int64_t mtimeNs = 0;
    std::int64_t size = -1; // −1: the file does not exist

    bool operator==(const FileStamp&) const = default;
};

// Paths are kept as plain strings: a library holds tens of thousands of summaries, and a path
// object that keeps its components apart costs several times the memory of its text.
struct SongSummary {
    std::string folder;   // absolute; the key of the song
    std::string songFile; // absolute path of its song text file
    SongFormat format = SongFormat::Game;
    std::string title;  // UTF-8 display text; the folder name when the file gives none
    std::string artist; // UTF-8 display text
    std::string audio;  // absolute, empty when the file names none
    std::string cover;  // absolute, empty: the fallback cover
    bool duet = false;
    std::string error; // non-empty: the song file was refused, with the reader's message
    // Non-empty: the song text was read but the song cannot be played, said in one line for the
    // player ("no audio file: TestSong.ogg"). Missing audio or audio that is not a regular file
    // is known at scan time; audio that fails to open is remembered after a preview or a Start
    // tried it, until one of the stamps changes.
    std::string unplayable;
    // How long the song lasts by its text: the end of its last note, or a standard song's #END
    // where it has one (ms; 0 when the text could not be read).
    std::int64_t textLengthMs = 0;
    // How long its audio lasts, once a preview or a session has opened it (ms; 0 until then).
    // Like `unplayable`, it holds while the audio's stamp does.
    std::int64_t audioLengthMs = 0;
    // The stretch a medley sings (standard songs only; source None: the song has none).
    MedleyPart medley;
    FileStamp audioStamp;
    FileStamp songStamp;
    FileStamp coverStamp;
    // The folder's own stamp changes when an entry is added, removed or renamed in it; while it
    // holds, a later scan need not list the folder again.
    FileStamp folderStamp;

    bool operator==(const SongSummary&) const = default;
};

// True when the song can be sung: its text was read and its audio is known to open.
bool playable(const SongSummary& song);
// How long the song lasts as a guest is told: its audio's length once known, else its text's
// (ms; 0: unknown).
std::int64_t songLengthMs(const SongSummary& song);
// Why the song cannot be played, in one line for a slab or a list ("no audio file: TestSong.ogg",
// "song text refused: <the reader's message, first line>"); empty when it is playable.
std::string problemLine(const SongSummary& song);

// The stamp of a file or folder as it is now (symbolic links followed); size −1 when it is not
// there or cannot be examined.
FileStamp fileStamp(const std::filesystem::path& path);

enum class SongOrder { ByArtist, ByTitle, ByFolder, MostSung, RecentlySung };

// How often a song was sung and when last (milliseconds since the epoch; 0: never).
struct SongPopularity {
    std::int64_t timesSung = 0;
    std::int64_t lastSungAtMs = 0;

    bool operator==(const SongPopularity&) const = default;
};
// The popularity of a song by its identity (song_identity.h); songs never sung have none.
using SongPopularityLookup = std::function<SongPopularity(std::string_view songIdentity)>;

// Sorts by artist then title (ByArtist), title then artist (ByTitle) or folder name (ByFolder),
// ignoring case; by most performances first (MostSung) or latest performance first
// (RecentlySung), songs never sung after the sung ones and equal songs by artist then title;
// equal entries by full folder path, so the order never depends on the scan. Without a lookup
// the two popularity orders find every song never sung.
void sortSongs(std::vector<SongSummary>& songs, SongOrder order,
               const SongPopularityLookup& popularity = {});

// Lower case, accents removed (é → e, ß → ss, …): the form both a query and the artist and
// title are compared in.
std::string foldForSearch(std::string_view utf8);

// The words of a query as searches compare them: folded, split at blanks (runs of them count once).
std::vector<std::string> searchWords(std::string_view query);

// Indices (in list order) of the songs whose artist or title contains every word of the query,
// ignoring case and accents. An empty query matches every song.
std::vector<std::size_t> searchSongs(const std::vector<SongSummary>& songs, std::string_view query);

// Reads one song folder's song file into its summary (any thread). Never throws: a song file
// that cannot be read or is refused gives a summary with `error` set.
SongSummary summariseSong(const std::filesystem::path& folder,
                          const std::filesystem::path& songFile);

// What the walk already learnt of a song folder, so that summarising it need not look again.
struct WalkedSongFolder {
    FileStamp folderStamp;        // taken before the folder was listed
    bool songFileRegular = false; // the folder's listing said the song file is a regular file
};
SongSummary summariseSong(const std::filesystem::path& folder,
                          const std::filesystem::path& songFile, const WalkedSongFolder& walked);

// What a scan found that could not be used.
struct ScanProblems {
    std::size_t unreadableFolders = 0;
};

// Finds song folders under the roots at any depth: a folder is a song when it holds a song text
// file (".txt", any case), and its sub-folders are not searched further; a root itself is never
// a song, and hidden entries (names starting with ".") are passed over. Symbolic links to
// folders are followed once (a folder reached twice is listed once; loops end). Unreadable
// folders are skipped and counted. `found` is called for each song folder with its song file, in
// no particular order, on the calling thread; `stop` ends the walk early when it turns true.
ScanProblems
discoverSongFolders(const std::vector<std::filesystem::path>& roots,
                    const std::function<void(const std::filesystem::path& folder,
                                             const std::filesystem::path& songFile)>& found,
                    const std::atomic<bool>* stop = nullptr);

} // namespace cantorix::songs
