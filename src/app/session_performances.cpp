#include "session_performances.h"

#include "songs/song_identity.h"

namespace cantorix::app {

std::vector<records::Performance> sessionPerformances(const std::vector<SingerOutcome>& outcomes,
                                                      const SessionFacts& facts) {
    std::vector<records::Performance> rows;
    if (!facts.judged)
        return rows;
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
