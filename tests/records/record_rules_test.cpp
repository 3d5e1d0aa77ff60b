#include "records/record_rules.h"

#include <gtest/gtest.h>

using namespace cantorix::records;

namespace {

Performance sung(std::optional<std::int64_t> player, std::int64_t total, bool finished = true,
                 int voice = 0) {
    Performance p;
    p.playerId = player;
    p.key = {"artist\x1ftitle", voice};
    p.total = total;
    p.finished = finished;
    return p;
}

} // namespace

TEST(RecordRulesTest, NewsOfEachRowAgainstTheBookBefore) {
    struct Case {
        const char* what;
        std::vector<Performance> before, session;
        std::vector<RecordNews> news; // newSongRecord, personalBest, previousBest, previousRecord
    };
    const Case cases[] = {
        {"first ever", {}, {sung(1, 50)}, {{true, false, {}, {}}}},
        {"first ever, no points", {}, {sung(1, 0)}, {{false, false, {}, {}}}},
        {"beaten", {sung(1, 40), sung(2, 60)}, {sung(1, 70)}, {{true, true, 40, 60}}},
        {"tied with the record", {sung(2, 60)}, {sung(2, 60)}, {{false, false, 60, 60}}},
        {"own best only", {sung(1, 40), sung(2, 60)}, {sung(1, 50)}, {{false, true, 40, 60}}},
        {"unfinished never", {sung(1, 40)}, {sung(1, 90, false)}, {{false, false, 40, 40}}},
        {"unfinished before never counted",
         {sung(1, 90, false)},
         {sung(1, 50)},
         {{true, false, {}, {}}}},
        {"guest never a personal best", {sung({}, 40)}, {sung({}, 50)}, {{true, false, {}, 40}}},
        {"tied at the top of the session",
         {sung(3, 60)},
         {sung(1, 80), sung(2, 80), sung(3, 70)},
         {{true, false, {}, 60}, {true, false, {}, 60}, {false, true, 60, 60}}},
        {"only the session's highest",
         {sung(3, 60)},
         {sung(1, 70), sung(2, 80)},
         {{false, false, {}, 60}, {true, false, {}, 60}}},
        {"duet voices apart",
         {sung(1, 90, true, 1)},
         {sung(1, 50, true, 2), sung(2, 95, true, 1)},
         {{true, false, {}, {}}, {true, false, {}, 90}}},
    };
    for (const Case& c : cases) {
        RecordBook before;
        before.assign({}, c.before);
        EXPECT_EQ(judgeRecords(before, c.session), c.news) << c.what;
    }
}
