#pragma once
// What a session's results mean against what was sung before: a new song record, a personal
// best, the best to beat. Pure functions; any thread.

#include "records/performance.h"
#include "records/record_book.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace cantorix::records {

struct RecordNews {
    // The best finished total of the song's voice by anyone, before this session: beaten, or
    // the first finished total above 0 ever.
    bool newSongRecord = false;
    // A player's (never a guest's) finished total above their best finished total of the song's
    // voice before this session; none on their first finished performance of it.
    bool personalBest = false;
    // The player's best finished total of the song's voice before this session.
    std::optional<std::int64_t> previousBest;
    // The best finished total of the song's voice by anyone before this session.
    std::optional<std::int64_t> previousRecord;

    bool operator==(const RecordNews&) const = default;
};

// One piece of news per row of the session, in its order, judged against `before` (the book
// without this session). An unfinished row has no record and no personal best. Within a
// session, a new song record goes to the highest total of the voice; singers tied at it share
// it.
std::vector<RecordNews> judgeRecords(const RecordBook& before,
                                     const std::vector<Performance>& session);

} // namespace cantorix::records
