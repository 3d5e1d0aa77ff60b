#pragma once
// The subcommands of cantorix-tool. Each takes the arguments after its name and returns the
// process exit status; output goes to standard output, errors to standard error.

#include <string>
#include <vector>

namespace cantorix::tools {

using Args = std::vector<std::string>;

struct ToolCommand {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

// The registered subcommands, in the order the help lists them.
const std::vector<ToolCommand>& toolCommands();

int runSongCommand(const Args& args);      // song_command.cpp
int runScanCommand(const Args& args);      // scan_command.cpp
int runPitchCommand(const Args& args);     // pitch_command.cpp
int runExportCommand(const Args& args);    // export_command.cpp
int runMidiCommand(const Args& args);      // midi_command.cpp
int runMidi2SongCommand(const Args& args); // midi2song_command.cpp
int runSingCommand(const Args& args);      // sing_command.cpp
int runScoresCommand(const Args& args);    // scores_command.cpp

} // namespace cantorix::tools
