#pragma once
// The walk that finds song folders under the song roots, with a shortcut for a scan that already
// knows folders from its cache: a known song folder whose stamp still holds is reported without
// being listed. Runs on the calling thread; touches only the file system.

#include "songs/song_catalog.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::songs {

// Paths as text: the walk passes tens of thousands of them on.
struct FoundSongFolder {
    std::string folder;   // absolute, through the route it was first reached by
    std::string songFile; // absolute
    FileStamp folderStamp;
    bool known = false; // taken from the caller's knowledge: the folder was not listed
    // The folder's listing said the song file is a regular file (not a link to one).
    bool songFileRegular = false;
};

// The song file of `folder` when the caller knows it as a song folder whose stamp was `stamp`;
// nullopt to have the folder listed.
using KnownSongFile =
    std::function<std::optional<std::string>(const std::string& folder, const FileStamp& stamp)>;

// discoverSongFolders() with the shortcut: folders that `known` answers for are not listed, and
// so not searched below either (a song folder's sub-folders never are). Roots are made absolute.
// A folder that disappears during the walk is passed over without being counted.
ScanProblems walkSongFolders(const std::vector<std::filesystem::path>& roots,
                             const KnownSongFile& known,
                             const std::function<void(const FoundSongFolder&)>& found,
                             const std::atomic<bool>* stop = nullptr);

// A root as the walk and the cache name it: absolute, normalised, without a trailing separator.
std::filesystem::path normalisedRoot(const std::filesystem::path& root);

} // namespace cantorix::songs
