// Timed run: the start-up restore of a Score.ini whose hall of fame fills the largest profile
// file the game reads (4 MiB), and of one with 40,000 entries. Reads the file, restores the
// hall of fame and an option through the form storage, then saves it all back, as a start and
// a close of the game do. Prints the wall time of each step.
// Usage: profile_restore_bench [ENTRIES...]   (default: the largest file, then 40000 entries)

#include "app/form_storage.h"
#include "platform/storage/ini_profile_file.h"
#include "session/hall_of_fame.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cantorix;

namespace {

constexpr std::size_t kMaxFileSize = platform::IniProfileFile::kMaxFileSize;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// entries 0 fills the file to its largest size, the remainder padded with a comment line.
std::string scoreIni(int entries) {
    std::string text = "[Score]\r\nFormVersion=0\r\nGLEdit1_Caption=party.wav\r\n"
                       "[Score.ListBox1_Items]\r\nCount=" +
                       std::string(8, '0') + "\r\n";
    const std::size_t countAt = text.find("Count=") + 6;
    int n = 0;
    for (;; ++n) {
        if (entries > 0 && n == entries)
            break;
        const std::string line = "Item" + std::to_string(n) + "=" +
                                 std::to_string(n * 7919 % 100000) + ":Singer number " +
                                 std::to_string(n) + "\r\n";
        if (entries == 0 && text.size() + line.size() + 3 > kMaxFileSize)
            break;
        text += line;
    }
    if (entries == 0)
        text += ";" + std::string(kMaxFileSize - text.size() - 3, 'x') + "\r\n";
    const std::string count = std::to_string(n);
    text.replace(countAt + 8 - count.size(), count.size(), count);
    return text;
}

void run(const fs::path& file, int entries) {
    { std::ofstream(file, std::ios::binary) << scoreIni(entries); }
    Clock::time_point start = Clock::now();
    platform::IniProfileFile ini(file);
    const double read = secondsSince(start);
    if (!ini.readError().empty()) {
        std::printf("%s\n", ini.readError().c_str());
        return;
    }
    session::HallOfFameList hallOfFame;
    std::string caption;
    std::vector<app::StoredProperty> properties;
    properties.push_back(
        {"ListBox1.Items", app::StoredProperty::TextList{[&] { return hallOfFame.entries(); },
                                                         [&](std::vector<std::string> v) {
                                                             hallOfFame.assign(std::move(v));
                                                         }}});
    properties.push_back(
        {"GLEdit1.Caption", app::StoredProperty::Text{[&] { return caption; },
                                                      [&](const std::string& v) { caption = v; }}});
    app::FormStorage storage(ini, std::move(properties));
    start = Clock::now();
    storage.restore();
    const double restore = secondsSince(start);
    start = Clock::now();
    storage.save();
    const double save = secondsSince(start);
    std::printf("%.1f MiB, %d hall of fame entries: read %.3f s, restore %.3f s "
                "(start-up %.3f s), save %.3f s\n",
                static_cast<double>(fs::file_size(file)) / (1024 * 1024), hallOfFame.count(), read,
                restore, read + restore, save);
}

} // namespace

int main(int argc, char** argv) {
    const fs::path file = fs::temp_directory_path() /
                          ("cantorix-profile-bench-" + std::to_string(::getpid()) + ".ini");
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            run(file, std::stoi(argv[i]));
    } else {
        run(file, 0);
        run(file, 40000);
    }
    fs::remove(file);
    return 0;
}
