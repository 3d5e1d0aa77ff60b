#include "songs/song_playability.h"

#include "base/regular_file.h"
#include "songs/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace cantorix::songs {

namespace {

// A file name as the player reads it: song texts come in any code page.
std::string shownName(std::string_view bytes) {
    return toDisplayText(bytes, detectTextEncoding(bytes));
}

// The audio's name relative to its song folder, as the slab shows it.
std::string relativeName(std::string_view folder, std::string_view audio) {
    if (audio.size() > folder.size() && audio.substr(0, folder.size()) == folder) {
        std::string_view rest = audio.substr(folder.size());
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
        return shownName(rest);
    }
    return shownName(audio);
}

} // namespace

std::string firstLine(std::string_view text) {
    const std::size_t start = std::min(text.find_first_not_of("\r\n"), text.size());
    text.remove_prefix(start);
    return std::string(text.substr(0, text.find_first_of("\r\n")));
}

std::string audioProblem(std::string_view folder, std::string_view audio, std::string_view named,
                         FileStamp& stamp) {
    stamp = {};
    if (audio.empty())
        return named.empty() ? "no audio file named"
                             : "audio outside the song folder: " + shownName(named);
    const std::string name = relativeName(folder, audio);
    struct stat info {};
    if (::stat(std::string(audio).c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return "no audio file: " + name;
        return "audio cannot be examined: " + name + " (" + std::strerror(errno) + ")";
    }
    stamp = {static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
             static_cast<std::int64_t>(info.st_size)};
    if (const std::string kind = base::nonRegularKind(info.st_mode); !kind.empty())
        return "audio is " + kind + ": " + name;
    return {};
}

bool playable(const SongSummary& song) {
    return song.error.empty() && song.unplayable.empty();
}

std::string problemLine(const SongSummary& song) {
    if (!song.error.empty())
        return "song text refused: " + firstLine(song.error);
    return firstLine(song.unplayable);
}

std::string unplayableCountText(std::size_t unplayable) {
    // U+00B7 MIDDLE DOT in UTF-8: texts are drawn and printed as UTF-8.
    return unplayable > 0 ? " \xC2\xB7 " + std::to_string(unplayable) + " cannot be played" : "";
}

std::string songCountText(std::size_t songs, std::size_t unplayable) {
    return std::to_string(songs) + (songs == 1 ? " song" : " songs") +
           unplayableCountText(unplayable);
}

} // namespace cantorix::songs
