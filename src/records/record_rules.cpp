#include "records/record_rules.h"

#include <map>

namespace cantorix::records {

std::vector<RecordNews> judgeRecords(const RecordBook& before,
                                     const std::vector<Performance>& session) {
    // The session's top finished total per song voice: only a row reaching it can take the
    // record, so two singers who both beat the old record do not both get it.
    std::map<RecordKey, std::int64_t> sessionTop;
    for (const Performance& row : session) {
        if (!row.countsAsRecord())
            continue;
        const auto [at, inserted] = sessionTop.emplace(row.key, row.total);
        if (!inserted && row.total > at->second)
            at->second = row.total;
    }
    std::vector<RecordNews> news;
    news.reserve(session.size());
    for (const Performance& row : session) {
        RecordNews item;
        const std::vector<Performance> record = before.best(row.key, 1);
        if (!record.empty())
            item.previousRecord = record.front().total;
        if (row.playerId) {
            if (const std::optional<Performance> own = before.bestOf(row.key, *row.playerId))
                item.previousBest = own->total;
        }
        if (row.countsAsRecord()) {
            item.newSongRecord =
                row.total == sessionTop.at(row.key) &&
                (item.previousRecord ? row.total > *item.previousRecord : row.total > 0);
            item.personalBest = item.previousBest && row.total > *item.previousBest;
        }
        news.push_back(item);
    }
    return news;
}

} // namespace cantorix::records
