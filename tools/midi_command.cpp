// `cantorix-tool midi [--json] FILE`: loads a MIDI file as the editor does (RIFF-wrapped when
// the name ends in ".rmi" or ".riff") and prints every track's name and events, each with the
// millisecond time a position bound to the data reports for its tick.

#include "json_text.h"
#include "midi/midi_data.h"
#include "midi/midi_errors.h"
#include "midi/midi_position.h"
#include "songs/text_encoding.h"
#include "tool_commands.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace cantorix::tools {

namespace {

using midi::TMidiData;
using midi::TMidiEvent;
using midi::TMidiPosition;
using midi::TMidiTrackStream;

std::string display(const std::string& bytes) {
    return songs::toDisplayText(bytes, songs::detectTextEncoding(bytes));
}

// Each event's time as the editor computes it: one position moved to each tick in event order.
std::vector<std::int32_t> eventTimes(const TMidiData& data, const TMidiTrackStream& track) {
    TMidiPosition position(&data);
    std::vector<std::int32_t> times;
    times.reserve(track.events().size());
    for (const TMidiEvent& e : track.events()) {
        position.SetTicks(e.position);
        times.push_back(position.Time());
    }
    return times;
}

void printJson(const TMidiData& data) {
    std::ostringstream out;
    out << "{\"ppqn\": " << data.PPQN() << ", \"songLength\": " << TMidiPosition(&data).SongLength()
        << ", \"tracks\": [";
    for (std::int32_t t = 0; t < data.TrackCount(); ++t) {
        const TMidiTrackStream& track = *data.Tracks(t);
        const auto times = eventTimes(data, track);
        out << (t ? ", " : "") << "{\"name\": " << jsonString(display(track.TrackName()))
            << ", \"events\": [";
        for (std::size_t i = 0; i < times.size(); ++i) {
            const TMidiEvent& e = track.events()[i];
            out << (i ? ", " : "") << "[" << e.position << ", " << times[i] << ", "
                << unsigned{e.event.status} << ", " << unsigned{e.event.data1} << ", "
                << unsigned{e.event.data2} << "]";
        }
        out << "]}";
    }
    out << "]}\n";
    std::fputs(out.str().c_str(), stdout);
}

std::string describeBlock(const TMidiTrackStream& track, const TMidiEvent& e) {
    const auto block = track.block(e);
    if (e.event.isSysex())
        return "sysex, " + std::to_string(block.size()) + " bytes";
    if (block.empty())
        return "";
    char type[16];
    std::snprintf(type, sizeof type, "meta %02X", unsigned{block[0]});
    std::string text(block.begin() + 1, block.end());
    const bool printable = block[0] >= 0x01 && block[0] <= 0x0F;
    return std::string(type) + ", " + std::to_string(block.size() - 1) + " bytes" +
           (printable ? " \"" + display(text) + "\"" : "");
}

void printListing(const TMidiData& data) {
    std::printf("Format %u, %d tracks, PPQN %u, song length %d ticks\n", unsigned{data.format()},
                data.TrackCount(), unsigned{data.PPQN()}, TMidiPosition(&data).SongLength());
    for (std::int32_t t = 0; t < data.TrackCount(); ++t) {
        const TMidiTrackStream& track = *data.Tracks(t);
        std::printf("\nTrack %d \"%s\": %d events, first program %u, first channel %u\n", t,
                    display(track.TrackName()).c_str(), track.EventCount(),
                    unsigned{track.firstProgram()}, unsigned{track.firstChannel()});
        const auto times = eventTimes(data, track);
        for (std::size_t i = 0; i < times.size(); ++i) {
            const TMidiEvent& e = track.events()[i];
            const std::string partner =
                e.partner == midi::kNoPartner ? "" : "  partner " + std::to_string(e.partner);
            std::printf("%6zu  tick %8d  %8d ms  %02X %3u %3u  %s%s\n", i, e.position, times[i],
                        unsigned{e.event.status}, unsigned{e.event.data1}, unsigned{e.event.data2},
                        describeBlock(track, e).c_str(), partner.c_str());
        }
    }
}

} // namespace

int runMidiCommand(const Args& args) {
    const bool json = !args.empty() && args[0] == "--json";
    if (args.size() != (json ? 2u : 1u)) {
        std::fprintf(stderr, "Usage: cantorix-tool midi [--json] FILE\n");
        return 2;
    }
    TMidiData data;
    data.setFileName(args.back());
    try {
        data.setActive(true);
    } catch (const midi::EMidiLoadError& e) {
        const std::string message = songs::toDisplayText(e.what(), songs::TextEncoding::Utf8);
        if (json)
            std::printf("{\"error\": %s}\n", jsonString(message).c_str());
        else
            std::fprintf(stderr, "cantorix-tool midi: %s\n", message.c_str());
        return 1;
    }
    if (json)
        printJson(data);
    else
        printListing(data);
    return 0;
}

} // namespace cantorix::tools
