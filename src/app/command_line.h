#pragma once
// The game's command line: where its program directory is, which microphone and sound output
// to use, and the informational options. Pure parsing, no side effects.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

// As many `--mic` files as singers may sing at once.
inline constexpr std::size_t kMostMicFiles = 8;

struct CommandLine {
    std::optional<std::filesystem::path> root; // --root DIR: the program directory
    // --mic FILE.wav, repeatable up to kMostMicFiles: sing from files, each channel a singer.
    std::vector<std::filesystem::path> micWavs;
    std::optional<std::filesystem::path> configDir; // --config DIR: where Score.ini lives
    std::optional<std::filesystem::path> cacheDir;  // --cache DIR: where the library cache lives
    // --data DIR: where the players and their performances are kept (records_directory.h).
    std::optional<std::filesystem::path> dataDir;
    std::vector<std::filesystem::path> songDirs; // --songs DIR, repeatable: more song folders
    bool noAudio = false;                        // --no-audio: the paced null output
    bool phones = false; // --phones: phones may join for this run, whatever the options say
    bool help = false;
    bool version = false;
    std::string error; // non-empty when the arguments cannot be used
};

CommandLine parseCommandLine(const std::vector<std::string>& args);
std::string usageText();

// The program directory: --root when given, else the directory of the executable, or the
// installed share/cantorix beside its bin/ (locateProgramDirectory).
std::filesystem::path programDirectory(const CommandLine& cmd,
                                       const std::filesystem::path& executable);

// The folder of Score.ini: --config when given, else $XDG_CONFIG_HOME/cantorix when that is an
// absolute path, else $HOME/.config/cantorix. environment looks a variable up (null: unset).
std::filesystem::path configDirectory(const CommandLine& cmd,
                                      const std::function<const char*(const char*)>& environment);

// The folder of the library cache: --cache when given, else $XDG_CACHE_HOME/cantorix (absolute
// paths only, as above), else $HOME/.cache/cantorix.
std::filesystem::path cacheDirectory(const CommandLine& cmd,
                                     const std::function<const char*(const char*)>& environment);

// Where songs are looked for, each once, in this order: the program directory's songs/, the
// player's own $XDG_DATA_HOME/cantorix/songs (default ~/.local/share/cantorix/songs), then every
// --songs folder. Folders that do not exist are kept: they may appear later.
std::vector<std::filesystem::path>
songRoots(const CommandLine& cmd, const std::filesystem::path& programDir,
          const std::function<const char*(const char*)>& environment);

// Adds the folders to the roots, made absolute, leaving out empty names and the ones already
// there.
void addSongRoots(std::vector<std::filesystem::path>& roots,
                  const std::vector<std::string>& folders);

} // namespace cantorix::app
