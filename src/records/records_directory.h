#pragma once
// Where the records are kept: a folder of the player's data (never the cache, which may be
// deleted at any time). Pure; any thread.

#include <filesystem>
#include <functional>
#include <optional>

namespace cantorix::records {

// The records file's name inside the folder, and the folder of the players' pictures.
inline constexpr const char* kRecordsFileName = "records.sqlite3";
inline constexpr const char* kPicturesFolderName = "pictures";

// `--data DIR` when given, else $XDG_DATA_HOME/cantorix when that is an absolute path, else
// $HOME/.local/share/cantorix. environment looks a variable up (null: unset).
std::filesystem::path recordsDirectory(const std::optional<std::filesystem::path>& dataOption,
                                       const std::function<const char*(const char*)>& environment);

} // namespace cantorix::records
