// cantorix-tool: runs the game's own code from the command line.

#include "tool_commands.h"

#include <cstdio>
#include <string_view>

namespace cantorix::tools {

// Subcommands register here as they are added.
const std::vector<ToolCommand>& toolCommands() {
    static const std::vector<ToolCommand> commands = {
        {"song", "[--json] FILE    load a song file and list what it yields", runSongCommand},
        {"scan",
         "[--cache FILE] [--stats] DIR...    list the songs found under the folders, through the "
         "game's library cache, with a verdict for each",
         runScanCommand},
        {"pitch", "[--json] FILE.wav | --tones    the detected pitch of each 50 ms of a WAV file",
         runPitchCommand},
        {"export",
         "SONG.mp3 VOICE.wav OUT.mp3    mix a voice recording into a song as the game's Save does",
         runExportCommand},
        {"midi", "[--json] FILE    load a MIDI file and list each track's name and timed events",
         runMidiCommand},
        {"midi2song",
         "FILE --track N [--title T] [--artist A] [--mp3 NAME] [--video NAME]    the song text the "
         "editor makes of a track",
         runMidi2SongCommand},
        {"sing",
         "SONG.txt VOICE.wav [VOICE2.wav ...] [--json] [--difficulty easy|medium|hard] "
         "[--delay MS] [--voice N]...    score recordings as a session would, each WAV channel a "
         "singer",
         runSingCommand},
        {"scores",
         "[--data DIR] [--player NAME] [--song TEXT] [--json] | --export FILE.csv    the stored "
         "performances, oldest first, or all of them as CSV",
         runScoresCommand},
    };
    return commands;
}

} // namespace cantorix::tools

int main(int argc, char** argv) {
    using namespace cantorix::tools;
    const std::string_view name = argc > 1 ? argv[1] : "";
    for (const ToolCommand& c : toolCommands())
        if (name == c.name)
            return c.run(Args(argv + 2, argv + argc));
    std::fprintf(name == "--help" ? stdout : stderr,
                 "Usage: cantorix-tool COMMAND [ARGS]\n\nCommands:\n");
    for (const ToolCommand& c : toolCommands())
        std::fprintf(name == "--help" ? stdout : stderr, "  %s %s\n", c.name, c.usage);
    return name == "--help" ? 0 : 2;
}
