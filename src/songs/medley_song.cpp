#include "songs/medley_song.h"

#include <algorithm>
#include <cmath>

namespace cantorix::songs {

namespace {

std::int32_t medleyBeat(double medleyMs) {
    return static_cast<std::int32_t>(std::llround(medleyMs / kMedleyBeatMs));
}

// The voice of a song that voice v of the medley sings.
std::size_t songVoiceFor(const StandardSong& cut, std::size_t v) {
    return v < cut.voices.size() && !cut.voices[v].notes.empty() ? v : 0;
}

} // namespace

std::string medleyName(std::size_t songCount) {
    return "Medley (" + std::to_string(songCount) + ")";
}

MedleySong buildMedleySong(const std::vector<MedleyPiece>& pieces, const MedleyTiming& timing) {
    MedleySong medley;
    std::vector<MedleySongPart> parts;
    std::size_t voices = 1;
    for (const MedleyPiece& piece : pieces) {
        parts.push_back({piece.audioLengthMs, piece.part.fromMs, piece.part.toMs});
        voices = std::max(voices, piece.song.voices.size());
    }
    medley.segments = layOutMedley(parts, timing);

    StandardSong& song = medley.song;
    song.version = "1.0.0";
    song.encoding = "utf-8";
    song.title = medleyName(pieces.size());
    song.bpm = 15000 / kMedleyBeatMs;
    song.beatMs = kMedleyBeatMs;
    song.endMs = static_cast<double>(medleyLengthMs(medley.segments));
    song.voices.resize(voices);
    for (std::size_t v = 0; v < voices; ++v) {
        song.voices[v].name = "P" + std::to_string(v + 1);
        for (const MedleyPiece& piece : pieces)
            if (piece.song.voices.size() == voices) {
                song.voices[v].name = piece.song.voices[v].name;
                break;
            }
    }

    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const MedleyPiece& piece = pieces[k];
        const MedleySegment& segment = medley.segments[k];
        const StandardSong cut = medleyPartOf(piece.song, piece.part);
        // Song time plus this is medley time.
        const double offset = static_cast<double>(segment.medleyFromMs - segment.audioFromMs);
        const double endMs = static_cast<double>(segment.medleyToMs());
        for (std::size_t v = 0; v < voices; ++v) {
            const SungVoice sung = sungVoice(cut, songVoiceFor(cut, v));
            StandardVoice& into = song.voices[v];
            for (std::size_t line = 0; line < sung.lines.size(); ++line) {
                const SungLine& l = sung.lines[line];
                // A song's first line shows from its lead-in on; later ones at their own breaks.
                if (line == 0 && k > 0)
                    into.breaks.push_back(medleyBeat(static_cast<double>(segment.medleyFromMs)));
                else if (line > 0 && l.breakBeat)
                    into.breaks.push_back(medleyBeat(cut.beatToMs(*l.breakBeat) + offset));
                for (std::size_t n = l.first; n < l.last; ++n) {
                    StandardNote note = sung.notes[n];
                    const double startMs = cut.beatToMs(note.startBeat) + offset;
                    if (startMs >= endMs)
                        continue; // sung past the end of its music
                    const double noteEndMs =
                        cut.beatToMs(static_cast<double>(note.startBeat) + note.length) + offset;
                    note.startBeat = medleyBeat(startMs);
                    note.length = std::max(0, medleyBeat(noteEndMs) - note.startBeat);
                    into.notes.push_back(std::move(note));
                }
            }
        }
        song.artist += (k ? " · " : "") + piece.song.title;
        medley.audioFiles.push_back(piece.audio);
        medley.stretches.push_back({piece.song.artist, piece.song.title, piece.part.fromMs + offset,
                                    std::min(piece.part.toMs + offset, endMs), piece.video,
                                    piece.background, piece.song.videoGapMs, segment.audioFromMs,
                                    piece.song.voices.size(), piece.audio.parent_path().string()});
    }
    return medley;
}

} // namespace cantorix::songs
