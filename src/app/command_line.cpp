#include "command_line.h"

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
        } else if (a == "--root") {
            if (auto v = needValue(i, a))
                cmd.root = *v;
        } else if (a == "--mic") {
            if (auto v = needValue(i, a))
                cmd.micWav = *v;
        } else if (a == "--config") {
            if (auto v = needValue(i, a))
                cmd.configDir = *v;
        } else if (a.starts_with("--config=")) {
            cmd.configDir = a.substr(9);
        } else if (a.starts_with("--root=")) {
            cmd.root = a.substr(7);
        } else if (a.starts_with("--mic=")) {
            cmd.micWav = a.substr(6);
        } else {
            cmd.error = "unknown option '" + a + "'";
        }
    }
    return cmd;
}

std::string usageText() {
    return "Usage: cantorix [options]\n"
           "\n"
           "  --root DIR       program directory holding songs/ and data/\n"
           "                   (default: the directory of the executable)\n"
           "  --mic FILE.wav   sing from a WAV file instead of the microphone\n"
           "  --no-audio       play sound into a silent output paced in real time\n"
           "  --config DIR     folder of Score.ini, the options and the hall of fame\n"
           "                   (default: $XDG_CONFIG_HOME/cantorix or ~/.config/cantorix)\n"
           "  --help           show this text\n"
           "  --version        show the version\n";
}

std::filesystem::path programDirectory(const CommandLine& cmd, const std::filesystem::path& executable) {
    if (cmd.root)
        return std::filesystem::absolute(*cmd.root).lexically_normal();
    return std::filesystem::absolute(executable).parent_path();
}

std::filesystem::path configDirectory(const CommandLine& cmd,
                                      const std::function<const char*(const char*)>& environment) {
    namespace fs = std::filesystem;
    if (cmd.configDir)
        return fs::absolute(*cmd.configDir).lexically_normal();
    const char* xdg = environment("XDG_CONFIG_HOME");
    if (xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "cantorix";
    const char* home = environment("HOME");
    return fs::path(home && *home ? home : ".") / ".config" / "cantorix";
}

} // namespace cantorix::app
