#pragma once
// What the SQLite files of the game say when they fail: the library's message with the system's
// reason, and whether a failure is another connection holding the file. Any thread.

#include <string>

struct sqlite3;

namespace cantorix::platform {

// SQLite's message, with the system's reason when there is one ("unable to open database file"
// alone does not say that a folder is missing or read-only); "out of memory" without a handle.
std::string sqliteMessage(sqlite3* db);

// The result code (primary or extended) says another connection holds the file.
bool sqliteBusy(int code);

} // namespace cantorix::platform
