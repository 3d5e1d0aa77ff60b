#include "program_files.h"

#include "scene/image.h"

#include <system_error>

namespace cantorix::app {

namespace fs = std::filesystem;

fs::path executablePath(const fs::path& selfLink, const fs::path& argv0) {
    std::error_code ec;
    fs::path real = fs::canonical(selfLink, ec);
    if (!ec)
        return real;
    real = fs::weakly_canonical(fs::absolute(argv0, ec), ec);
    return ec ? fs::absolute(argv0) : real;
}

fs::path locateProgramDirectory(const fs::path& executableDir) {
    std::error_code ec;
    if (fs::is_directory(executableDir / "data", ec))
        return executableDir;
    fs::path installed = executableDir.parent_path() / "share" / "cantorix";
    if (executableDir.filename() == "bin" && fs::is_directory(installed / "data", ec))
        return installed;
    return executableDir;
}

void requireDataDirectory(const fs::path& programDir) {
    std::error_code ec;
    const fs::path data = programDir / "data";
    if (!fs::is_directory(data, ec))
        throw EProgramFilesError("The game's pictures are missing: there is no folder \"" +
                                 data.string() + "\".");
}

QImage requiredPicture(const fs::path& file) {
    QImage picture(QString::fromStdString(file.string()));
    if (picture.isNull())
        throw scene::EImageError("Cannot read picture '" + file.string() + "'");
    return picture;
}

int countSongEntries(const fs::path& songsDir) {
    std::error_code ec;
    fs::directory_iterator it(songsDir, ec);
    if (ec == std::errc::no_such_file_or_directory)
        return 0;
    int count = 2;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.front() != '.')
            ++count;
    }
    if (ec)
        throw fs::filesystem_error("cannot list the folder", songsDir, ec);
    return count;
}

bool songsDirectoryIsEmpty(const std::filesystem::path& songsDir) {
    return countSongEntries(songsDir) <= 2;
}

std::vector<std::string> noPlayableSongsLines(const std::vector<fs::path>& roots,
                                              std::size_t unplayable) {
    // A screen has room for a few folders; Score.ini may list any number.
    constexpr std::size_t kFoldersShown = 5;
    std::vector<std::string> lines{"No song found can be played.",
                                   "Please add songs to Your Songs folders:"};
    for (std::size_t i = 0; i < roots.size() && i < kFoldersShown; ++i)
        lines.push_back(roots[i].string());
    if (roots.size() > kFoldersShown)
        lines.push_back("and " + std::to_string(roots.size() - kFoldersShown) + " more");
    lines.push_back(std::to_string(unplayable) + (unplayable == 1 ? " song" : " songs") +
                    " cannot be played: click the line under the cover to see why.");
    return lines;
}

} // namespace cantorix::app
