#include "program_files.h"

#include <system_error>

namespace cantorix::app {

int countSongEntries(const std::filesystem::path& songsDir) {
    std::error_code ec;
    std::filesystem::directory_iterator it(songsDir, ec);
    if (ec)
        return 0;
    int count = 2;
    for (const auto& entry : it) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name.front() != '.')
            ++count;
    }
    return count;
}

bool songsDirectoryIsEmpty(const std::filesystem::path& songsDir) {
    return countSongEntries(songsDir) <= 2;
}

} // namespace cantorix::app
