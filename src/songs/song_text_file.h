#pragma once
// Reading a song text file whole, in either format, before it is decided and parsed. Any thread.

#include "base/regular_file.h"

#include <filesystem>
#include <string>

namespace cantorix::songs {

// Reads a whole song text: a regular file of at most 4 MiB, refused before any byte is read
// otherwise. Throws ESongFileError naming the file and the reason (a named pipe, its size, …).
std::string readSongFileBytes(const std::filesystem::path& file);
// As above, for a caller that may know the file's kind already; `opened`, when given, gets the
// stamp of the file that was opened.
std::string readSongFileBytes(const std::filesystem::path& file, base::FileKind known,
                              base::OpenedFile* opened);

} // namespace cantorix::songs
