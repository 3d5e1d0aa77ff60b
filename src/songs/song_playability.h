#pragma once
// Whether a song's audio can be played as far as the scan can tell without opening it: the file
// is examined with stat only (links followed), so a scan of a large library never waits on a
// named pipe or a slow device. Pure; any thread.

#include "songs/song_catalog.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace cantorix::songs {

// Why the audio `audio` (absolute; empty when the song names none or names one outside its
// folder) cannot be played, in one line for the player; empty when it is a regular file. `named`
// is the name as the song text gives it. `stamp` receives the audio's stamp (size −1 when it is
// not there).
std::string audioProblem(std::string_view folder, std::string_view audio, std::string_view named,
                         FileStamp& stamp);

// The first line of a message that says something: a slab and a list row have room for one, and
// a message may open with a line break.
std::string firstLine(std::string_view text);

// A song that is listed as unplayable or refused, for the song problems window.
struct SongProblem {
    std::string folder;
    std::string reason;
};

// "31 songs", and "31 songs · 2 cannot be played" when some cannot be played: the library's
// count as the selection screen and the scan tool say it.
std::string songCountText(std::size_t songs, std::size_t unplayable);
// The " · 2 cannot be played" that follows a count; empty when every song can be played.
std::string unplayableCountText(std::size_t unplayable);

} // namespace cantorix::songs
