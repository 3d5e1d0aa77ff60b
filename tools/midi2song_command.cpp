// `cantorix-tool midi2song FILE --track N [--title T] [--artist A] [--mp3 NAME] [--video NAME]`:
// loads a MIDI file as the editor does and prints the song text the editor's Next puts into the
// lyric viewer for track N (lines ended by CR LF, as the viewer saves them).

#include "editor/editor_tables.h"
#include "editor/song_draft.h"
#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "tool_commands.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

namespace cantorix::tools {

namespace {

struct Midi2SongArgs {
    std::string file;
    std::optional<int> track;
    editor::SongDraftFields fields{"None", "None", "", std::nullopt};
};

// The parsed arguments, or nothing after printing what is wrong.
std::optional<Midi2SongArgs> parse(const Args& args) {
    Midi2SongArgs out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue =
            a == "--track" || a == "--title" || a == "--artist" || a == "--mp3" || a == "--video";
        if (takesValue && i + 1 >= args.size()) {
            std::fprintf(stderr, "cantorix-tool midi2song: %s needs a value\n", a.c_str());
            return std::nullopt;
        }
        if (a == "--track") {
            const std::string& v = args[++i];
            int n = -1;
            const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (error != std::errc() || end != v.data() + v.size() || n < 0) {
                std::fprintf(stderr, "cantorix-tool midi2song: not a track number: %s\n",
                             v.c_str());
                return std::nullopt;
            }
            out.track = n;
        } else if (a == "--title") {
            out.fields.title = args[++i];
        } else if (a == "--artist") {
            out.fields.artist = args[++i];
        } else if (a == "--mp3") {
            out.fields.mp3Name = args[++i];
        } else if (a == "--video") {
            out.fields.videoName = args[++i];
        } else if (out.file.empty() && !a.starts_with("--")) {
            out.file = a;
        } else {
            std::fprintf(stderr, "cantorix-tool midi2song: unexpected argument: %s\n", a.c_str());
            return std::nullopt;
        }
    }
    if (out.file.empty() || !out.track) {
        std::fprintf(stderr, "Usage: cantorix-tool midi2song FILE --track N [--title T] "
                             "[--artist A] [--mp3 NAME] [--video NAME]\n");
        return std::nullopt;
    }
    return out;
}

} // namespace

int runMidi2SongCommand(const Args& args) {
    const std::optional<Midi2SongArgs> parsed = parse(args);
    if (!parsed)
        return 2;
    midi::TMidiData data;
    data.setFileName(parsed->file);
    try {
        data.setActive(true);
    } catch (const midi::EMidiLoadError& e) {
        std::fprintf(stderr, "cantorix-tool midi2song: %s\n", e.what());
        return 1;
    }
    if (*parsed->track >= data.TrackCount()) {
        std::fprintf(stderr,
                     "cantorix-tool midi2song: the file has %d tracks; there is no track %d\n",
                     data.TrackCount(), *parsed->track);
        return 1;
    }
    const editor::TrackTables tables = editor::tabulateTrack(data, *parsed->track, 0);
    if (tables.noteCount == 0) {
        std::fprintf(stderr, "cantorix-tool midi2song: track %d has no notes\n", *parsed->track);
        return 1;
    }
    try {
        const std::string text = editor::composeSongDraft(parsed->fields, tables);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cantorix-tool midi2song: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace cantorix::tools
