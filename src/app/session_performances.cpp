#include "session_performances.h"

#include "songs/song_identity.h"

#include <algorithm>
#include <cmath>

namespace cantorix::app {

MedleyPartTally medleyPartTally(const session::Scoring& scoring,
                                const songs::MedleyStretch& stretch) {
    // A line starts at its first note; a hair of rounding on the medley's clock is allowed.
    constexpr double kSlackMs = 1.0;
    MedleyPartTally tally;
    for (const session::LineTally& line : scoring.lines()) {
        if (line.startMs < stretch.partFromMs - kSlackMs || line.startMs >= stretch.partToMs)
            continue;
        tally.notePoints += line.points;
        tally.lineBonus += line.bonus;
        tally.goldenPoints += line.golden;
        tally.possible += line.possible;
    }
    return tally;
}

namespace {

// A singer's share of one song of a medley: the lines that start within its part.
records::Performance medleyPartRow(const SingerOutcome& outcome, const SessionFacts& facts,
                                   const songs::MedleyStretch& stretch, std::size_t voices) {
    records::Performance row;
    row.playerId = outcome.playerId;
    row.singerName = outcome.name;
    row.colour = outcome.colour;
    const bool duet = voices > 1;
    row.key = {songs::songIdentity(stretch.artist, stretch.title),
               duet ? static_cast<int>(outcome.voice) + 1 : 0};
    row.artist = stretch.artist;
    row.title = stretch.title;
    row.folder = stretch.audioFolder;
    row.difficulty = facts.difficulty;
    const MedleyPartTally tally = medleyPartTally(outcome.scoring, stretch);
    row.notePoints = tally.notePoints;
    row.lineBonus = tally.lineBonus;
    row.goldenPoints = tally.goldenPoints;
    row.possible = tally.possible;
    row.total = std::int64_t{row.notePoints} + row.lineBonus;
    row.share = row.possible > 0 ? static_cast<double>(row.notePoints) / row.possible : 0.0;
    row.sungAtMs = facts.startedAtMs;
    row.songMs = std::llround(stretch.partToMs - stretch.partFromMs);
    row.sungMs =
        std::clamp<std::int64_t>(facts.sungMs - std::llround(stretch.partFromMs), 0, row.songMs);
    row.finished = facts.finished && !outcome.lost;
    row.medleyPart = true;
    return row;
}

} // namespace

std::vector<records::Performance> sessionPerformances(const std::vector<SingerOutcome>& outcomes,
                                                      const SessionFacts& facts) {
    std::vector<records::Performance> rows;
    if (!facts.judged)
        return rows;
    if (facts.medley) {
        for (std::size_t k = 0; k < facts.medley->stretches.size(); ++k)
            for (const SingerOutcome& outcome : outcomes)
                rows.push_back(medleyPartRow(outcome, facts, facts.medley->stretches[k],
                                             facts.medley->stretches[k].voices));
        return rows;
    }
    const std::string song = songs::songIdentity(facts.artist, facts.title);
    for (const SingerOutcome& outcome : outcomes) {
        const session::Scoring& scoring = outcome.scoring;
        records::Performance row;
        row.playerId = outcome.playerId;
        row.singerName = outcome.name;
        row.colour = outcome.colour;
        row.key = {song, facts.duet ? static_cast<int>(outcome.voice) + 1 : 0};
        row.artist = facts.artist;
        row.title = facts.title;
        row.folder = facts.folder;
        row.difficulty = facts.difficulty;
        row.notePoints = scoring.notePoints();
        row.lineBonus = scoring.lineBonus();
        row.goldenPoints = scoring.goldenPoints();
        row.total = scoring.total();
        row.possible = scoring.possible();
        row.share = scoring.possible() > 0
                        ? static_cast<double>(scoring.notePoints()) / scoring.possible()
                        : 0.0;
        row.sungAtMs = facts.startedAtMs;
        row.sungMs = facts.sungMs;
        row.songMs = facts.songMs;
        // A singer whose microphone was lost did not sing the song to its end.
        row.finished = facts.finished && !outcome.lost;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace cantorix::app
