#include "songs/medley_part.h"

#include "songs/song_catalog.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace cantorix::songs {

namespace {

// A tag that falls a hair inside a line still names the line's edge: beats written as decimals
// and milliseconds rounded by an editor land within this of it.
constexpr double kEdgeSlackMs = 1.0;

struct LineSpan {
    double startMs = 0;
    double endMs = 0;
    double lastStartMs = 0; // where its last note starts
};

std::vector<LineSpan> lineSpans(const StandardSong& song, const SungVoice& voice) {
    std::vector<LineSpan> spans;
    spans.reserve(voice.lines.size());
    for (const SungLine& line : voice.lines) {
        const double startMs = song.beatToMs(voice.notes[line.first].startBeat);
        LineSpan span{startMs, startMs, startMs};
        for (std::size_t k = line.first; k < line.last; ++k) {
            const StandardNote& note = voice.notes[k];
            span.endMs = std::max(span.endMs,
                                  song.beatToMs(static_cast<double>(note.startBeat) + note.length));
            span.lastStartMs = std::max(span.lastStartMs, song.beatToMs(note.startBeat));
        }
        spans.push_back(span);
    }
    return spans;
}

// The lines a stretch of song time touches: those with a note sounding inside it, and lines
// that lie wholly within it (a line of notes without length has no sounding note). A tag's end
// may name where the part's last note starts, so with `endNamesNote` a line whose first note
// starts right at the end is in it too.
std::optional<LineRun> linesWithin(const std::vector<LineSpan>& spans, double fromMs, double toMs,
                                   bool endNamesNote = false) {
    std::optional<LineRun> run;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const LineSpan& span = spans[i];
        const bool inside = span.startMs >= fromMs && span.endMs <= toMs;
        const bool overlaps =
            span.endMs > fromMs && (span.startMs < toMs || (endNamesNote && span.startMs == toMs));
        if (!inside && !overlaps)
            continue;
        if (!run)
            run = LineRun{i, 0};
        run->count = i - run->first + 1;
    }
    return run;
}

MedleyPart partOf(const std::vector<LineSpan>& spans, const LineRun& run, MedleySource source) {
    MedleyPart part{spans[run.first].startMs, spans[run.first].endMs, source};
    for (std::size_t i = run.first; i < run.first + run.count; ++i)
        part.toMs = std::max(part.toMs, spans[i].endMs);
    return part;
}

std::string msText(double ms) {
    char text[48];
    std::snprintf(text, sizeof text, "%.0f ms", ms);
    return text;
}

// The part the tags name, snapped to whole lines, or nothing with the reason said.
std::optional<MedleyPart> taggedPart(const StandardSong& song, const std::vector<LineSpan>& spans,
                                     std::vector<std::string>& problems) {
    double fromMs = 0, toMs = 0;
    std::string named;
    if (song.medleyStartMs && song.medleyEndMs) {
        fromMs = *song.medleyStartMs;
        toMs = *song.medleyEndMs;
        named = "#MEDLEYSTART/#MEDLEYEND";
    } else if (song.medleyStartBeat && song.medleyEndBeat) {
        fromMs = song.beatToMs(*song.medleyStartBeat);
        toMs = song.beatToMs(*song.medleyEndBeat);
        named = "#MEDLEYSTARTBEAT/#MEDLEYENDBEAT";
    } else {
        if (song.medleyStartMs || song.medleyEndMs || song.medleyStartBeat || song.medleyEndBeat)
            problems.push_back("The song names only one end of its medley part; the tag is "
                               "ignored.");
        return std::nullopt;
    }
    if (!(toMs > fromMs)) {
        problems.push_back("The medley part (" + named + ") ends at " + msText(toMs) +
                           ", not after it starts at " + msText(fromMs) + "; it is ignored.");
        return std::nullopt;
    }
    std::optional<LineRun> run = linesWithin(spans, fromMs, toMs);
    // An end in the pause after the lines found may name the start of the next one's only note.
    if (!run || spans[run->first + run->count - 1].endMs < toMs - kEdgeSlackMs)
        if (const auto named = linesWithin(spans, fromMs, toMs, true))
            run = named;
    if (!run) {
        problems.push_back("The medley part (" + named + ", " + msText(fromMs) + " to " +
                           msText(toMs) + ") holds no note of the song; it is ignored.");
        return std::nullopt;
    }
    const LineSpan& last = spans[run->first + run->count - 1];
    const MedleyPart part = partOf(spans, *run, MedleySource::Tags);
    if (fromMs < spans.front().startMs - kEdgeSlackMs || toMs > spans.back().endMs + kEdgeSlackMs)
        problems.push_back("The medley part (" + named + ", " + msText(fromMs) + " to " +
                           msText(toMs) + ") reaches beyond the song's notes; it is kept to " +
                           msText(part.fromMs) + " to " + msText(part.toMs) + ".");
    // An end at the last note's start or later names the line's end; one before cuts the line.
    else if (fromMs > part.fromMs + kEdgeSlackMs || toMs < last.lastStartMs - kEdgeSlackMs)
        problems.push_back("The medley part (" + named + ", " + msText(fromMs) + " to " +
                           msText(toMs) + ") cuts a line; it is widened to whole lines, " +
                           msText(part.fromMs) + " to " + msText(part.toMs) + ".");
    return part;
}

std::optional<MedleyPart> refrainPart(const SungVoice& voice, const std::vector<LineSpan>& spans) {
    std::unordered_map<std::string, std::uint32_t> lyricNumbers;
    std::vector<RefrainLine> lines;
    lines.reserve(spans.size());
    for (std::size_t i = 0; i < voice.lines.size(); ++i) {
        std::string text;
        for (std::size_t k = voice.lines[i].first; k < voice.lines[i].last; ++k)
            text += voice.notes[k].text;
        // "~" holds the syllable before it: how long a word is held is no part of the lyrics.
        std::replace(text.begin(), text.end(), '~', ' ');
        std::string folded;
        for (const std::string& word : searchWords(text))
            folded += (folded.empty() ? "" : " ") + word;
        std::uint32_t lyrics = RefrainLine::kNoLyrics;
        if (!folded.empty())
            lyrics = lyricNumbers.try_emplace(folded, lyricNumbers.size() + 1).first->second;
        lines.push_back({lyrics, spans[i].startMs, spans[i].endMs});
    }
    const std::optional<LineRun> run = findRefrain(lines);
    if (!run)
        return std::nullopt;
    return partOf(spans, *run, MedleySource::Refrain);
}

} // namespace

const char* medleySourceName(MedleySource source) {
    switch (source) {
    case MedleySource::Tags:
        return "tags";
    case MedleySource::Refrain:
        return "refrain";
    case MedleySource::None:
        break;
    }
    return "";
}

std::optional<LineRun> findRefrain(const std::vector<RefrainLine>& lines) {
    const std::size_t n = lines.size();
    if (n < 2 || n > kRefrainMostLines)
        return std::nullopt;
    // A run's end is where the latest of its lines ends, even should an earlier line outlast a
    // later one.
    std::vector<double> endBy(n);
    for (std::size_t i = 0; i < n; ++i)
        endBy[i] = std::max(lines[i].endMs, i ? endBy[i - 1] : lines[i].endMs);
    const auto lasting = [&](std::size_t first, std::size_t count) {
        return endBy[first + count - 1] - lines[first].startMs;
    };
    // Whether line i + 1 follows line i closely enough to be sung in one run with it.
    std::vector<bool> flowsOn(n, false);
    for (std::size_t i = 0; i + 1 < n; ++i)
        flowsOn[i] = lines[i + 1].startMs - endBy[i] <= kRefrainLongestPauseMs;

    // common[j]: how many lines from i on equal those from j on (j > i); the row for i + 1 is
    // what the row for i is built from, so one row is kept.
    std::vector<std::size_t> common(n + 1, 0);
    std::optional<LineRun> best;
    double bestMs = 0;
    for (std::size_t i = n - 1; i-- > 0;) {
        for (std::size_t j = i + 1; j < n; ++j)
            common[j] =
                lines[i].lyrics != RefrainLine::kNoLyrics && lines[i].lyrics == lines[j].lyrics
                    ? 1 + (flowsOn[i] && flowsOn[j] ? common[j + 1] : 0)
                    : 0;
        for (std::size_t j = i + 1; j < n; ++j) {
            // The later occurrence starts after this one ends.
            std::size_t most = std::min(common[j], j - i);
            if (most == 0)
                continue;
            // The longest prefix of the run within the longest a refrain may last.
            std::size_t low = 1;
            if (lasting(i, 1) > kRefrainLongestMs)
                continue;
            while (low < most) {
                const std::size_t mid = (low + most + 1) / 2;
                if (lasting(i, mid) <= kRefrainLongestMs)
                    low = mid;
                else
                    most = mid - 1;
            }
            const double ms = lasting(i, low);
            // Going from the end, an equally long run found later is an earlier one.
            if (ms >= kRefrainShortestMs && (!best || ms >= bestMs)) {
                best = LineRun{i, low};
                bestMs = ms;
            }
        }
    }
    return best;
}

MedleyFinding findMedleyPart(const StandardSong& song) {
    MedleyFinding found;
    if (song.voices.empty())
        return found;
    const SungVoice voice = sungVoice(song, 0);
    const std::vector<LineSpan> spans = lineSpans(song, voice);
    found.part = taggedPart(song, spans, found.problems);
    if (!found.part && song.calcMedley)
        found.part = refrainPart(voice, spans);
    return found;
}

StandardSong medleyPartOf(const StandardSong& song, const MedleyPart& part) {
    StandardSong cut = song;
    for (std::size_t v = 0; v < song.voices.size(); ++v) {
        const SungVoice voice = sungVoice(song, v);
        const std::vector<LineSpan> spans = lineSpans(song, voice);
        StandardVoice& kept = cut.voices[v];
        kept.notes.clear();
        kept.breaks.clear();
        const std::optional<LineRun> run = linesWithin(spans, part.fromMs, part.toMs);
        if (!run)
            continue;
        for (std::size_t i = run->first; i < run->first + run->count; ++i) {
            const SungLine& line = voice.lines[i];
            if (i > run->first && line.breakBeat)
                kept.breaks.push_back(*line.breakBeat);
            kept.notes.insert(kept.notes.end(),
                              voice.notes.begin() + static_cast<std::ptrdiff_t>(line.first),
                              voice.notes.begin() + static_cast<std::ptrdiff_t>(line.last));
        }
    }
    return cut;
}

} // namespace cantorix::songs
