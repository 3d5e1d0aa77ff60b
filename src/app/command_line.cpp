#include "command_line.h"

#include "program_files.h"

#include <algorithm>

namespace cantorix::app {

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cmd;
    auto needValue = [&](std::size_t& i, const std::string& option) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            cmd.error = "option " + option + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size() && cmd.error.empty(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            cmd.help = true;
        } else if (a == "--version") {
            cmd.version = true;
        } else if (a == "--no-audio") {
            cmd.noAudio = true;
        } else if (a == "--phones") {
            cmd.phones = true;
        } else if (a == "--root") {
            if (auto v = needValue(i, a))
                cmd.root = *v;
        } else if (a == "--mic") {
            if (auto v = needValue(i, a))
                cmd.micWavs.emplace_back(*v);
        } else if (a == "--config") {
            if (auto v = needValue(i, a))
                cmd.configDir = *v;
        } else if (a == "--cache") {
            if (auto v = needValue(i, a))
                cmd.cacheDir = *v;
        } else if (a == "--data") {
            if (auto v = needValue(i, a))
                cmd.dataDir = *v;
        } else if (a.starts_with("--data=")) {
            cmd.dataDir = a.substr(7);
        } else if (a == "--songs") {
            if (auto v = needValue(i, a))
                cmd.songDirs.emplace_back(*v);
        } else if (a.starts_with("--cache=")) {
            cmd.cacheDir = a.substr(8);
        } else if (a.starts_with("--songs=")) {
            cmd.songDirs.emplace_back(a.substr(8));
        } else if (a.starts_with("--config=")) {
            cmd.configDir = a.substr(9);
        } else if (a.starts_with("--root=")) {
            cmd.root = a.substr(7);
        } else if (a.starts_with("--mic=")) {
            cmd.micWavs.emplace_back(a.substr(6));
        } else {
            cmd.error = "unknown option '" + a + "'";
        }
    }
    if (cmd.error.empty() && cmd.micWavs.size() > kMostMicFiles)
        cmd.error = "option --mic may be given at most " + std::to_string(kMostMicFiles) +
                    " times (one file for each singer)";
    return cmd;
}

std::string usageText() {
    return "Usage: cantorix [options]\n"
           "\n"
           "  --root DIR       program directory holding songs/ and data/\n"
           "                   (default: the directory of the executable, or the\n"
           "                   installed share/cantorix beside its bin/)\n"
           "  --mic FILE.wav   sing from a WAV file instead of the microphones, each\n"
           "                   channel a singer (repeatable, up to 8 files)\n"
           "  --no-audio       play sound into a silent output paced in real time\n"
           "  --phones         let phones join as microphones for this run (the join\n"
           "                   codes are on the singers screen)\n"
           "  --config DIR     folder of Score.ini, the options and the hall of fame\n"
           "                   (default: $XDG_CONFIG_HOME/cantorix or ~/.config/cantorix)\n"
           "  --songs DIR      look for songs in DIR too, at any depth (repeatable)\n"
           "  --cache DIR      folder of the library cache\n"
           "                   (default: $XDG_CACHE_HOME/cantorix or ~/.cache/cantorix)\n"
           "  --data DIR       folder of the players and their performances\n"
           "                   (default: $XDG_DATA_HOME/cantorix or ~/.local/share/cantorix)\n"
           "  --help           show this text\n"
           "  --version        show the version\n";
}

std::filesystem::path programDirectory(const CommandLine& cmd,
                                       const std::filesystem::path& executable) {
    if (cmd.root)
        return std::filesystem::absolute(*cmd.root).lexically_normal();
    return locateProgramDirectory(std::filesystem::absolute(executable).parent_path());
}

namespace {

// $variable/cantorix when the variable holds an absolute path, else $HOME/fallback/cantorix.
std::filesystem::path xdgDirectory(const char* variable, const char* fallback,
                                   const std::function<const char*(const char*)>& environment) {
    namespace fs = std::filesystem;
    const char* xdg = environment(variable);
    if (xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "cantorix";
    const char* home = environment("HOME");
    return fs::path(home && *home ? home : ".") / fallback / "cantorix";
}

} // namespace

std::filesystem::path configDirectory(const CommandLine& cmd,
                                      const std::function<const char*(const char*)>& environment) {
    if (cmd.configDir)
        return std::filesystem::absolute(*cmd.configDir).lexically_normal();
    return xdgDirectory("XDG_CONFIG_HOME", ".config", environment);
}

std::filesystem::path cacheDirectory(const CommandLine& cmd,
                                     const std::function<const char*(const char*)>& environment) {
    if (cmd.cacheDir)
        return std::filesystem::absolute(*cmd.cacheDir).lexically_normal();
    return xdgDirectory("XDG_CACHE_HOME", ".cache", environment);
}

std::vector<std::filesystem::path>
songRoots(const CommandLine& cmd, const std::filesystem::path& programDir,
          const std::function<const char*(const char*)>& environment) {
    std::vector<std::filesystem::path> roots{programDir / "songs"};
    std::vector<std::string> more{
        (xdgDirectory("XDG_DATA_HOME", ".local/share", environment) / "songs").string()};
    for (const std::filesystem::path& dir : cmd.songDirs)
        more.push_back(dir.string());
    addSongRoots(roots, more);
    return roots;
}

void addSongRoots(std::vector<std::filesystem::path>& roots,
                  const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const fs::path root = fs::absolute(folder).lexically_normal();
        // "songs/" and "songs" are one folder.
        const fs::path key = root.has_filename() ? root : root.parent_path();
        if (std::find(roots.begin(), roots.end(), key) == roots.end())
            roots.push_back(key);
    }
}

} // namespace cantorix::app
