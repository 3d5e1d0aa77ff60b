#include "fakes/fake_library_cache.h"
#include "fakes/file_bytes.h"
#include "fakes/special_files.h"
#include "songs/library_scanner.h"
#include "songs/song_catalog.h"
#include "songs/song_library.h"

#include <chrono>
#include <dirent.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace cantorix;
using namespace cantorix::songs;
using cantorix::testing::writeFile;
namespace fs = std::filesystem;

namespace {

const std::string kGameSong = "#TITLE:Caf\xE9\n#ARTIST:Art\n#MP3:a.mp3\n#BPM:120\n#GAP:0\n"
                              ": 0 4 21 la\nE\n";
const std::string kStandardHead = "#VERSION:1.0.0\n#BPM:120\n";

SongSummary song(std::string artist, std::string title, std::string folder) {
    SongSummary s;
    s.artist = std::move(artist);
    s.title = std::move(title);
    s.folder = fs::path("/songs") / folder;
    return s;
}

std::vector<std::string> folderNames(const std::vector<SongSummary>& songs) {
    std::vector<std::string> names;
    for (const SongSummary& s : songs)
        names.push_back(fs::path(s.folder).filename().string());
    return names;
}

TEST(SongOrderTest, SortsByEachKeyIgnoringCaseAndAccentsThenByFolder) {
    const std::vector<SongSummary> library = {
        song("beatles", "Yesterday", "y"), song("Émilie", "Zèbre", "z"),
        song("ABBA", "Waterloo", "w2"),    song("abba", "waterloo", "w1"),
        song("ABBA", "Mamma Mia", "m"),    song("Zappa", "Apostrophe", "a"),
    };
    const struct {
        SongOrder order;
        std::vector<std::string> folders;
    } cases[] = {
        {SongOrder::ByArtist, {"m", "w1", "w2", "y", "z", "a"}},
        {SongOrder::ByTitle, {"a", "m", "w1", "w2", "y", "z"}},
        {SongOrder::ByFolder, {"a", "m", "w1", "w2", "y", "z"}},
    };
    for (const auto& c : cases) {
        std::vector<SongSummary> songs = library;
        sortSongs(songs, c.order);
        EXPECT_EQ(folderNames(songs), c.folders) << static_cast<int>(c.order);
    }
}

TEST(SongSearchTest, MatchesEveryWordInArtistOrTitleIgnoringCaseAndAccents) {
    const std::vector<SongSummary> library = {
        song("Beyoncé", "Halo", "halo"),          song("Mötley Crüe", "Kickstart", "kick"),
        song("Straße", "Œuvre", "strasse"),       song("ABBA", "Dancing Queen", "queen"),
        song("Queen", "Bohemian Rhapsody", "bo"), song("Zoë", "Cafe\xCC\x81 Noir", "cafe"),
    };
    const struct {
        const char* query;
        std::vector<std::size_t> matches;
    } cases[] = {
        {"", {0, 1, 2, 3, 4, 5}},
        {"  ", {0, 1, 2, 3, 4, 5}},
        {"beyonce", {0}},
        {"BEYONCÉ halo", {0}},
        {"motley CRUE kick", {1}},
        {"strasse oeuvre", {2}},
        {"queen", {3, 4}},
        {"queen abba", {3}},
        {"queen rhap", {4}},
        {"queen\tdancing", {3}},
        {"abbadancing", {}},
        {"zoe café", {5}}, // decomposed accent in the title, composed in the query
        {"halo x", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(searchSongs(library, c.query), c.matches) << c.query;
}

TEST(SongSearchTest, FoldsLettersOfCommonScripts) {
    EXPECT_EQ(foldForSearch("ÀÉÎÕÜ àéîõü Ñ ß Æ Ĳ Łódź Ștefan"),
              "aeiou aeiou n ss ae ij lodz stefan");
    EXPECT_EQ(foldForSearch("ΑΒΓ Ёлка ДОМ"), "αβγ елка дом");
    EXPECT_EQ(foldForSearch("a\xFF"
                            "B"),
              "a\xFF"
              "b"); // bytes that are no UTF-8 stay
}

class SongCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-catalog-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir / "Locked", fs::perms::owner_all, ec);
        fs::remove_all(m_dir);
    }
    void addSong(const fs::path& folder, const std::string& bytes, const char* name = "song.txt") {
        fs::create_directories(m_dir / folder);
        writeFile(m_dir / folder / name, bytes);
    }
    std::set<fs::path> discover(ScanProblems* problems = nullptr) {
        std::set<fs::path> files;
        const ScanProblems p =
            discoverSongFolders({m_dir}, [&](const fs::path& folder, const fs::path& file) {
                EXPECT_EQ(file.parent_path(), folder);
                EXPECT_TRUE(files.insert(file.lexically_relative(m_dir)).second) << file;
            });
        if (problems)
            *problems = p;
        return files;
    }
    fs::path m_dir;
};

TEST_F(SongCatalogTest, FindsSongsAtAnyDepthButNeverBelowASongOrInHiddenFolders) {
    addSong("Top", kGameSong);
    addSong("Top/Bonus", kGameSong); // a song's sub-folder is part of it, not a song
    addSong("Artist/Album/Song", kGameSong);
    addSong("Artist/Album/Several", kGameSong, "b.TXT");
    writeFile(m_dir / "Artist/Album/Several/A.txt", "x");
    writeFile(m_dir / "Artist/Album/Several/a.txt", "x");
    addSong(".trash/Old", kGameSong);
    fs::create_directories(m_dir / "Artist/Empty/Deeper");
    fs::create_directories(m_dir / "Artist/Folder.txt"); // a folder is never a song file
    writeFile(m_dir / "readme.txt", "the songs folder itself is no song");
    EXPECT_EQ(discover(), (std::set<fs::path>{"Top/song.txt", "Artist/Album/Song/song.txt",
                                              "Artist/Album/Several/b.TXT"}));
    // The song file is the one the selection would read.
    EXPECT_EQ(findSongFileName(m_dir / "Artist/Album/Several"), "b.TXT");
}

TEST_F(SongCatalogTest, FollowsLinkedFoldersOnceAndEndsLoops) {
    addSong("Artist/Song", kGameSong);
    fs::create_directory_symlink(m_dir, m_dir / "Artist/loop");
    fs::create_directory_symlink(m_dir / "Artist/Song", m_dir / "alias");
    const fs::path outside = m_dir.string() + "-outside";
    fs::remove_all(outside);
    fs::create_directories(outside / "Elsewhere");
    writeFile(outside / "Elsewhere/song.txt", kGameSong);
    fs::create_directory_symlink(outside, m_dir / "linked");
    const auto found = discover();
    fs::remove_all(outside);
    EXPECT_EQ(found, (std::set<fs::path>{"Artist/Song/song.txt", "linked/Elsewhere/song.txt"}));
}

TEST_F(SongCatalogTest, SkipsAndCountsUnreadableFolders) {
    addSong("Open/Song", kGameSong);
    addSong("Locked/Song", kGameSong);
    fs::permissions(m_dir / "Locked", fs::perms::none);
    // Root reads any folder; the walk is then made as an ordinary user, to whom it is closed.
    const bool rootReads = [&] {
        DIR* dir = ::opendir((m_dir / "Locked").c_str());
        if (dir)
            ::closedir(dir);
        return dir != nullptr;
    }();
    if (rootReads && ::seteuid(65534) != 0)
        GTEST_SKIP() << "running as root and cannot act as an ordinary user";
    ScanProblems problems;
    const auto found = discover(&problems);
    if (rootReads) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(found, (std::set<fs::path>{"Open/Song/song.txt"}));
    EXPECT_EQ(problems.unreadableFolders, 1u);
}

TEST_F(SongCatalogTest, SummarisesBothFormatsAsTheSelectionShowsThem) {
    const std::string jpeg("\xFF\xD8\xFF\xE0", 4);
    addSong("Game", kGameSong);
    writeFile(m_dir / "Game/cover.jpg", jpeg);
    addSong("Duet", kStandardHead + "#TITLE:Duo\n#ARTIST:Two\n#AUDIO:Song.OGG\n#COVER:front.jpg\n"
                                    "P1\n: 0 4 0 la\nP2\n: 8 4 0 li\nE\n");
    writeFile(m_dir / "Duet/song.ogg", "ogg");
    writeFile(m_dir / "Duet/front.jpg", jpeg);
    addSong("Refused", kStandardHead + "#TITLE:Never\nE\n");
    writeFile(m_dir / "Refused/x [CO].jpg", jpeg);
    addSong("Nameless", "#MP3:a.mp3\n#BPM:1x\n: 0 4 21 la\nE\n");

    const SongSummary game = summariseSong(m_dir / "Game", m_dir / "Game/song.txt");
    EXPECT_EQ(game.format, SongFormat::Game);
    EXPECT_EQ(game.title, "Café");
    EXPECT_EQ(game.artist, "Art");
    EXPECT_EQ(game.audio, m_dir / "Game/a.mp3");
    EXPECT_EQ(game.cover, m_dir / "Game/cover.jpg");
    EXPECT_EQ(game.coverStamp.size, 4);
    EXPECT_EQ(game.songStamp, fileStamp(m_dir / "Game/song.txt"));
    EXPECT_EQ(game.error, "");

    const SongSummary duet = summariseSong(m_dir / "Duet", m_dir / "Duet/song.txt");
    EXPECT_EQ(duet.format, SongFormat::Standard);
    EXPECT_EQ(duet.title, "Duo");
    EXPECT_TRUE(duet.duet);
    EXPECT_EQ(duet.audio, m_dir / "Duet/song.ogg");
    EXPECT_EQ(duet.cover, m_dir / "Duet/front.jpg");

    const SongSummary refused = summariseSong(m_dir / "Refused", m_dir / "Refused/song.txt");
    EXPECT_NE(refused.error, "");
    EXPECT_EQ(refused.title, "Refused");
    EXPECT_EQ(refused.cover, m_dir / "Refused/x [CO].jpg");

    // A bad number stops the game's reader after the tags: no title, so the folder names it.
    const SongSummary nameless = summariseSong(m_dir / "Nameless", m_dir / "Nameless/song.txt");
    EXPECT_NE(nameless.error, "");
    EXPECT_EQ(nameless.title, "Nameless");
    EXPECT_EQ(nameless.audio, m_dir / "Nameless/a.mp3");
    EXPECT_EQ(nameless.cover, fs::path());

    const SongSummary missing = summariseSong(m_dir / "Game", m_dir / "Game/gone.txt");
    EXPECT_NE(missing.error, "");
    EXPECT_EQ(missing.songStamp.size, -1);
}

// A song lasts as long as its text says until its audio was opened: the end of the last note of
// any voice (the game's own format counting its lead-in), or a standard song's #END.
TEST_F(SongCatalogTest, ASongsTextLengthIsTheEndOfItsLastNoteOrItsEnd) {
    const struct {
        const char* name;
        std::string text;
        std::int64_t lengthMs;
    } rows[] = {
        // 2.5 s of lead-in, then 16 beats of 125 ms.
        {"Game", "#TITLE:G\n#MP3:a.mp3\n#BPM:120\n#GAP:25\n: 0 4 21 la\n: 8 8 21 li\nE\n", 4500},
        {"Standard", kStandardHead + "#GAP:1000\n: 0 4 0 la\n: 8 8 0 li\nE\n", 3000},
        {"Duet", kStandardHead + "#GAP:1000\nP1\n: 0 4 0 la\nP2\n: 30 10 0 li\nP1\n: 8 4 0 x\nE\n",
         6000},
        {"Ended", kStandardHead + "#GAP:1000\n#END:90000\n: 0 4 0 la\nE\n", 90000},
        {"Refused", kStandardHead + "#TITLE:Never\nE\n", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        addSong(row.name, row.text);
        SongSummary summary = summariseSong(m_dir / row.name, m_dir / row.name / "song.txt");
        EXPECT_EQ(summary.textLengthMs, row.lengthMs);
        EXPECT_EQ(songLengthMs(summary), row.lengthMs);
        summary.audioLengthMs = 221000;
        EXPECT_EQ(songLengthMs(summary), 221000) << "the audio's length, once known, wins";
    }
}

// One hostile song folder per row: what the scan says of a song it must not try to play, found
// without opening the audio (a named pipe opened for reading would hold the scan for ever).
TEST_F(SongCatalogTest, TellsWhySongsCannotBePlayedFromTheirFilesAlone) {
    const auto standard = [](const char* tags) { return kStandardHead + tags + ": 0 4 0 la\nE\n"; };
    const struct {
        const char* folder;
        std::string text;
        std::string audio;   // made in the folder: "x" a file, "x|" a named pipe, "x/" a folder,
                             // "x>" a link to a named pipe; "" nothing
        const char* problem; // "" when playable; a prefix for a refused text
    } rows[] = {
        {"StdNamesNone", standard(""), "", "no audio file named"},
        {"StdMissing", standard("#AUDIO:TestSong.ogg\n"), "", "no audio file: TestSong.ogg"},
        {"StdFifo", standard("#AUDIO:x.ogg\n"), "x.ogg|", "audio is a named pipe: x.ogg"},
        {"StdFolder", standard("#AUDIO:x.ogg\n"), "x.ogg/", "audio is a folder: x.ogg"},
        {"StdLinkToFifo", standard("#AUDIO:x.ogg\n"), "x.ogg>", "audio is a named pipe: x.ogg"},
        {"StdPlays", standard("#AUDIO:Song.OGG\n"), "song.ogg", ""},
        {"StdRefused", kStandardHead + "#AUDIO:x.ogg\nE\n", "x.ogg", "song text refused: "},
        {"GameNamesNone", "#TITLE:T\n#BPM:120\n#GAP:0\n: 0 4 21 la\nE\n", "",
         "no audio file named"},
        {"GameMissing", kGameSong, "", "no audio file: a.mp3"},
        {"GameMissingLatin1", "#MP3:Caf\xE9.mp3\n#BPM:120\n#GAP:0\n: 0 4 21 la\nE\n", "",
         "no audio file: Caf\u00E9.mp3"},
        {"GamePlays", kGameSong, "a.mp3", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        addSong(row.folder, row.text);
        const std::size_t mark = row.audio.find_first_of("|/>");
        const char kind = mark != std::string::npos ? row.audio[mark] : row.audio.empty() ? 0 : 'f';
        const fs::path audio = m_dir / row.folder / row.audio.substr(0, mark);
        const fs::path pipe = m_dir / row.folder / "pipe";
        if (kind == 'f')
            writeFile(audio, "12345");
        else if (kind == '|')
            cantorix::testing::makeFifo(audio);
        else if (kind == '/')
            fs::create_directory(audio);
        else if (kind == '>')
            cantorix::testing::makeFifo(pipe), fs::create_symlink(pipe, audio);
        const SongSummary summary =
            summariseSong(m_dir / row.folder, m_dir / row.folder / "song.txt");
        const std::string line = problemLine(summary);
        EXPECT_EQ(playable(summary), *row.problem == '\0') << line;
        if (std::string_view(row.problem).starts_with("song text refused: ")) {
            EXPECT_TRUE(line.starts_with(row.problem)) << line;
            EXPECT_GT(line.size(), std::string_view(row.problem).size());
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        } else {
            EXPECT_EQ(line, row.problem);
        }
        if (kind == 'f' && summary.error.empty()) {
            EXPECT_EQ(summary.audioStamp, fileStamp(audio));
        }
    }
}

class LibraryScannerTest : public SongCatalogTest {
protected:
    struct Result {
        std::vector<SongSummary> cached;
        std::set<fs::path> changed, removed;
        ScanUpdate last;
    };
    Result scan() {
        LibraryScanner scanner({m_dir}, m_cache);
        Result result{scanner.cached(), {}, {}, {}};
        scanner.start();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!result.last.finished && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            result.last = scanner.poll();
            for (const SongSummary& s : result.last.changed)
                result.changed.insert(fs::path(s.folder).lexically_relative(m_dir));
            for (const fs::path& f : result.last.removed)
                result.removed.insert(f.lexically_relative(m_dir));
        }
        EXPECT_TRUE(result.last.finished);
        return result;
    }
    // Files made a moment ago may still change unseen within one tick of the file clock, so
    // the scanner does not trust them; a library made for a test is dated an hour back.
    void age(const fs::path& path) {
        const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
        fs::last_write_time(m_dir / path, past);
        if (fs::is_directory(m_dir / path))
            for (const auto& e : fs::recursive_directory_iterator(m_dir / path))
                if (fs::exists(e.path())) // not a link that leads nowhere
                    fs::last_write_time(e.path(), past);
    }
    cantorix::testing::FakeLibraryCache m_cache;
};

TEST_F(LibraryScannerTest, ReadsOnlyNewAndChangedSongsAndDropsRemovedOnes) {
    for (const char* folder : {"A/One", "A/Two", "B/Three"})
        addSong(folder, kGameSong);
    age("");
    const Result cold = scan();
    EXPECT_TRUE(cold.cached.empty());
    EXPECT_EQ(cold.changed, (std::set<fs::path>{"A/One", "A/Two", "B/Three"}));
    EXPECT_EQ(cold.last.songsFound, 3u);
    EXPECT_EQ(m_cache.songs.size(), 3u);

    // Same size and time, other bytes: a warm scan trusts the stamps and opens no song file.
    const auto stamp = fs::last_write_time(m_dir / "A/One/song.txt");
    std::string other = kGameSong;
    other.replace(other.find("Art"), 3, "Zed");
    writeFile(m_dir / "A/One/song.txt", other);
    fs::last_write_time(m_dir / "A/One/song.txt", stamp);
    const Result warm = scan();
    EXPECT_EQ(warm.cached.size(), 3u);
    EXPECT_TRUE(warm.changed.empty());
    EXPECT_TRUE(warm.removed.empty());

    // Rewritten in place (the folder keeps its stamp), a new song, a removed song.
    fs::last_write_time(m_dir / "A/One/song.txt", stamp + std::chrono::seconds(1));
    addSong("B/Four", kGameSong);
    age("B/Four");
    fs::remove_all(m_dir / "A/Two");
    const Result later = scan();
    EXPECT_EQ(later.changed, (std::set<fs::path>{"A/One", "B/Four"}));
    EXPECT_EQ(later.removed, (std::set<fs::path>{"A/Two"}));
    EXPECT_EQ(m_cache.songs.at((m_dir / "A/One").native()).artist, "Zed");
    EXPECT_EQ(m_cache.songs.size(), 3u);
    EXPECT_EQ(m_cache.songs.count((m_dir / "A/Two").native()), 0u);
}

// The walk tells the summarising threads which song files its listing saw as regular files;
// anything else (a link, a named pipe, a link to one) is still looked at before it is opened.
TEST_F(LibraryScannerTest, ASongFileIsReadOnlyWhenItIsOrLeadsToARegularFile) {
    const struct {
        const char* folder;
        // "file", "pipe", "link" to a song, "link-pipe" to a named pipe, "dangling" link
        const char* kind;
        const char* error; // a part of the error; "" when the song is read
    } rows[] = {
        {"File", "file", ""},
        {"Pipe", "pipe", "named pipe"},
        {"Link", "link", ""},
        {"LinkPipe", "link-pipe", "named pipe"},
        // Once lost with the folder: the failed look at the link was taken for the listing's.
        {"Dangling", "dangling", "No such file"},
    };
    for (const auto& row : rows) {
        const fs::path folder = m_dir / row.folder;
        fs::create_directories(folder);
        const std::string kind = row.kind;
        if (kind == "file")
            writeFile(folder / "song.txt", kGameSong);
        if (kind == "pipe")
            cantorix::testing::makeFifo(folder / "song.txt");
        if (kind == "link")
            writeFile(folder / "real.data", kGameSong),
                fs::create_symlink("real.data", folder / "song.txt");
        if (kind == "link-pipe")
            cantorix::testing::makeFifo(folder / "pipe"),
                fs::create_symlink("pipe", folder / "song.txt");
        if (kind == "dangling")
            fs::create_symlink("gone.txt", folder / "song.txt");
    }
    age("");
    scan();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        const SongSummary& summary = m_cache.songs.at((m_dir / row.folder).native());
        EXPECT_NE(summary.error.find(row.error), std::string::npos) << summary.error;
        EXPECT_EQ(summary.error.empty(), *row.error == '\0') << summary.error;
        EXPECT_EQ(summary.songStamp, fileStamp(summary.songFile));
        EXPECT_EQ(summary.folderStamp, fileStamp(m_dir / row.folder));
    }
}

TEST_F(LibraryScannerTest, ACoverAddedToASongFolderIsSeenAndOtherLibrariesStayInTheCache) {
    addSong("Song", kGameSong);
    age("");
    scan();
    SongSummary foreign = song("X", "Y", "elsewhere");
    m_cache.songs[foreign.folder] = foreign;

    writeFile(m_dir / "Song/cover.jpg", "jpeg");
    const Result result = scan();
    EXPECT_EQ(result.cached.size(), 1u); // only this library's songs
    EXPECT_EQ(result.changed, std::set<fs::path>{"Song"});
    EXPECT_EQ(m_cache.songs.at((m_dir / "Song").native()).cover,
              (m_dir / "Song/cover.jpg").string());
    EXPECT_EQ(m_cache.songs.count(foreign.folder), 1u);
}

TEST_F(LibraryScannerTest, AudioThatFailedToOpenStaysUnplayableUntilTheSongOrItsAudioChanges) {
    addSong("Song", kStandardHead + "#AUDIO:a.ogg\n: 0 4 0 la\nE\n");
    writeFile(m_dir / "Song/a.ogg", "not really ogg");
    age("");
    scan();
    const std::string folder = (m_dir / "Song").native();
    ASSERT_TRUE(playable(m_cache.songs.at(folder)));
    {
        // Told while the walk may still run or after it ended: stored either way.
        LibraryScanner scanner({m_dir}, m_cache);
        scanner.start();
        SongSummary failed = scanner.cached().at(0);
        failed.unplayable = "audio cannot be decoded: a.ogg";
        scanner.rememberAudio(failed);
    }
    EXPECT_EQ(m_cache.songs.at(folder).unplayable, "audio cannot be decoded: a.ogg");

    const Result warm = scan();
    EXPECT_EQ(warm.cached.at(0).unplayable, "audio cannot be decoded: a.ogg");
    EXPECT_TRUE(warm.changed.empty());

    // The folder changed but the song text and the audio did not: the verdict holds.
    writeFile(m_dir / "Song/notes.pdf", "pdf");
    EXPECT_TRUE(scan().changed.empty());
    EXPECT_EQ(m_cache.songs.at(folder).unplayable, "audio cannot be decoded: a.ogg");

    // New audio under the same name is tried again.
    writeFile(m_dir / "Song/a.ogg", "another file");
    age("");
    const Result later = scan();
    EXPECT_EQ(later.changed, std::set<fs::path>{"Song"});
    EXPECT_TRUE(playable(m_cache.songs.at(folder)));
}

// The audio's length, learnt when a preview opened it, is the song's through later scans and
// starts, until the audio changes; a changed song text keeps it, as the audio is the same.
TEST_F(LibraryScannerTest, AnAudioLengthLearntOnceStaysUntilTheAudioChanges) {
    addSong("Song", kStandardHead + "#AUDIO:a.ogg\n#GAP:1000\n: 0 4 0 la\nE\n");
    writeFile(m_dir / "Song/a.ogg", "ogg");
    age("");
    scan();
    const std::string folder = (m_dir / "Song").native();
    ASSERT_EQ(songLengthMs(m_cache.songs.at(folder)), 1500);
    {
        LibraryScanner scanner({m_dir}, m_cache);
        scanner.start();
        SongSummary opened = scanner.cached().at(0);
        opened.audioLengthMs = 221000;
        scanner.rememberAudio(opened);
    }
    EXPECT_EQ(m_cache.songs.at(folder).audioLengthMs, 221000);
    const Result warm = scan();
    EXPECT_EQ(songLengthMs(warm.cached.at(0)), 221000);
    EXPECT_TRUE(warm.changed.empty());

    addSong("Song", kStandardHead + "#AUDIO:a.ogg\n#GAP:1000\n: 0 8 0 la\nE\n");
    age("Song/song.txt");
    scan();
    EXPECT_EQ(songLengthMs(m_cache.songs.at(folder)), 221000);
    EXPECT_EQ(m_cache.songs.at(folder).textLengthMs, 2000);

    writeFile(m_dir / "Song/a.ogg", "another recording");
    age("");
    scan();
    EXPECT_EQ(songLengthMs(m_cache.songs.at(folder)), 2000) << "new audio is measured anew";
}

// Quitting mid-scan: the scanner, destroyed, leaves the songs it has not read unread instead of
// finishing the library first, and a song text that is a named pipe (first in the walk) never
// holds it.
TEST_F(LibraryScannerTest, AScannerDestroyedMidScanLeavesTheRestUnread) {
    constexpr int kSongs = 40;
    fs::create_directories(m_dir / "000 Pipe");
    cantorix::testing::makeFifo(m_dir / "000 Pipe/song.txt");
    // Just under the cap: each takes a good part of a second to read.
    std::string text = kStandardHead + "#TITLE:Long\n#ARTIST:A\n";
    for (int beat = 0; text.size() < 4'000'000; beat += 2)
        text += ": " + std::to_string(beat) + " 1 " + std::to_string(beat % 24) + " la\n";
    addSong("Song 1", text + "E\n");
    for (int i = 2; i <= kSongs; ++i) {
        fs::create_directories(m_dir / ("Song " + std::to_string(i)));
        fs::create_hard_link(m_dir / "Song 1/song.txt",
                             m_dir / ("Song " + std::to_string(i)) / "song.txt");
    }
    ::alarm(300); // a scanner that cannot be stopped fails here rather than holding the run
    {
        LibraryScanner scanner({m_dir}, m_cache);
        scanner.start();
        for (int wait = 0; wait < 30'000 && scanner.poll().songsFound == 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::alarm(0);
    EXPECT_LT(m_cache.songs.size(), static_cast<std::size_t>(kSongs / 2));
}

TEST_F(LibraryScannerTest, ACacheThatCannotBeWrittenIsReportedAndTheSongsStillArrive) {
    addSong("Song", kGameSong);
    m_cache.failStores = true;
    const Result result = scan();
    EXPECT_EQ(result.changed, std::set<fs::path>{"Song"});
    EXPECT_EQ(result.last.cacheError, "The library cache cannot be written");
}

} // namespace
