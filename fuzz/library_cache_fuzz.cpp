// Puts arbitrary bytes where the library cache file lives, then loads and stores through the
// cache as the game does. It must never crash, and must change nothing unless the bytes begin with
// the SQLite header (the only file it may replace); a cache it cannot use says why. Seed it with
// real cache files (one of each schema) so that it explores databases, not only headers.

#include "fakes/file_bytes.h"
#include "platform/storage/sqlite_library_cache.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A folder of its own, on tmpfs where there is one (each store syncs the file), removed at exit.
struct CacheFolder {
    CacheFolder() { fs::create_directories(dir); }
    ~CacheFolder() { fs::remove_all(dir); }
    fs::path dir =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        ("cantorix-cache-fuzz-" + std::to_string(::getpid()));
    fs::path file = dir / "library.sqlite3";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using cantorix::platform::SqliteLibraryCache;
    using cantorix::testing::readFile, cantorix::testing::writeFile;
    static const CacheFolder folder;
    const fs::path& file = folder.file;
    std::error_code ec;
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        fs::remove(file.native() + suffix, ec);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    writeFile(file, bytes);
    const bool sqliteHeader = size >= 16 && std::memcmp(data, "SQLite format 3", 16) == 0;

    cantorix::songs::SongSummary song;
    song.folder = "/songs/A";
    song.songFile = "/songs/A/song.txt";
    song.unplayable = "no audio file: a.ogg";
    SqliteLibraryCache cache(file);
    cache.load();
    bool stored = true;
    try {
        cache.store({song}, {});
    } catch (const std::runtime_error&) {
        stored = false;
    }
    if (size > 0 && !sqliteHeader &&
        (stored || cache.unusable().empty() || readFile(file) != bytes))
        std::abort(); // another program's file was taken or changed
    if (stored != cache.unusable().empty())
        std::abort(); // a store failed without a reason, or a reason was given yet it stored
    return 0;
}
