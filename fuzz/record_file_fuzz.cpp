// Puts arbitrary bytes where the records file lives, then loads, stores a session, adds a player
// and keeps a party's queue as the game does. It must never crash, nor lose the bytes: a file
// SQLite calls damaged is moved aside whole, anything else is used or left as it is, and every call
// either works or throws the store's own error. Seed it with real records files so that it explores
// databases, not only headers.

#include "fakes/file_bytes.h"
#include "platform/storage/sqlite_record_store.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using cantorix::platform::SqliteRecordStore;

// A folder of its own, on tmpfs where there is one, removed at exit.
struct RecordsFolder {
    RecordsFolder() { fs::create_directories(dir); }
    ~RecordsFolder() { fs::remove_all(dir); }
    fs::path dir =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        ("cantorix-records-fuzz-" + std::to_string(::getpid()));
    fs::path file = dir / "records.sqlite3";
};

// The bytes moved aside under a "damaged" name (their log files beside them aside).
bool movedAside(const fs::path& dir, const std::string& bytes) {
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename();
        if (name.find(".damaged-") != std::string::npos && name.find("-wal") == std::string::npos &&
            name.find("-shm") == std::string::npos &&
            cantorix::testing::readFile(entry.path()) == bytes)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const RecordsFolder folder;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder.dir))
        fs::remove_all(entry.path(), ec);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    cantorix::testing::writeFile(folder.file, bytes);
    const bool sqliteHeader = size >= 16 && std::memcmp(data, "SQLite format 3", 16) == 0;

    cantorix::records::Performance row;
    row.singerName = "Anna";
    row.key = {"artist\x1Ftitle", 0};
    std::vector<std::string> notices;
    {
        SqliteRecordStore store(folder.file);
        try {
            store.load();
            store.storeSession({row});
            store.addPlayer({0, "Anna", 0xFFFFFF, "", 0});
            if (store.load().performances.empty())
                std::abort(); // a stored session that cannot be read back
            // Whatever queue the file holds is restored, ordered, changed and kept again.
            cantorix::party::PartyQueue queue;
            queue.restore(store.loadQueue());
            const auto guest = queue.join("Ben", 1);
            if (guest) {
                queue.add({*guest, "songs/fuzzed.txt"}, 2);
                queue.add({.guest = *guest,
                           .songId = {},
                           .medley = cantorix::party::QueuedMedley{{"a.txt", "b.txt"}, "random"}},
                          2);
            }
            queue.order();
            queue.takeNext(3);
            store.saveQueue(queue.kept());
            if (!(store.loadQueue() == queue.kept()))
                std::abort(); // a kept queue that does not come back as it was
        } catch (const cantorix::records::ERecordStoreError&) {
        }
        notices = store.takeNotices();
    }
    // Bytes that are no SQLite file are never written over: moved aside, with a notice.
    if (size > 0 && !sqliteHeader && (notices.size() != 1 || !movedAside(folder.dir, bytes)))
        std::abort();
    return 0;
}
