// The record keeper between the window and the store: what the window hands it is never lost,
// whether the store fails for a while or the session ends while the file is still being read.

#include "app/record_keeper.h"
#include "fakes/fake_record_store.h"
#include "fakes/manual_main_thread.h"
#include "songs/song_identity.h"

#include <gtest/gtest.h>

using namespace cantorix;

namespace {

records::Performance sung(std::int64_t total, std::int64_t atMs) {
    records::Performance row;
    row.singerName = "Guest";
    row.key = {songs::songIdentity("Artist", "Title"), 0};
    row.total = total;
    row.sungAtMs = atMs;
    row.finished = true;
    return row;
}

TEST(RecordKeeperTest, ASessionTheStoreRefusedGoesWithTheNextAndTheNewsCountsIt) {
    cantorix::testing::FakeRecordStore store;
    pitch::testing::ManualInvoker invoker;
    std::vector<std::string> notices;
    app::RecordKeeper keeper(&store, invoker, [&](const std::string& m) { notices.push_back(m); });
    keeper.startLoading();
    ASSERT_TRUE(invoker.runNext());
    ASSERT_TRUE(keeper.loaded());

    store.failWrites = true;
    EXPECT_TRUE(keeper.storeSession({sung(100, 1)}).at(0).newSongRecord);
    keeper.flush();
    ASSERT_TRUE(invoker.runNext());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("kept and stored with the next song"), std::string::npos);
    EXPECT_TRUE(store.stored().performances.empty());

    // The refused session still counts: 90 is no record against it.
    store.failWrites = false;
    const records::RecordNews news = keeper.storeSession({sung(90, 2)}).at(0);
    EXPECT_FALSE(news.newSongRecord);
    EXPECT_EQ(news.previousRecord, 100);
    keeper.flush();
    const std::vector<records::Performance> rows = store.stored().performances;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].total, 100);
    EXPECT_EQ(rows[1].total, 90);
}

TEST(RecordKeeperTest, ASessionEndedWhileTheFileIsReadStaysInTheBookAndTheFile) {
    cantorix::testing::FakeRecordStore store;
    store.storeSession({sung(50, 1)});
    pitch::testing::ManualInvoker invoker;
    app::RecordKeeper keeper(&store, invoker);
    keeper.startLoading();
    keeper.storeSession({sung(70, 2)});
    keeper.flush();
    ASSERT_TRUE(invoker.runNext()); // the snapshot read before the session was stored
    ASSERT_TRUE(keeper.loaded());
    EXPECT_EQ(keeper.book().performanceCount(), 2u);
    EXPECT_EQ(keeper.book().best(sung(0, 0).key, 1).at(0).total, 70);
    EXPECT_EQ(store.stored().performances.size(), 2u);
}

// Players renamed, given a picture, removed or added while the file is still being read stay as
// the window left them once the reading lands, and so do the sessions sung meanwhile.
TEST(RecordKeeperTest, PlayersChangedWhileTheFileIsReadStayAsTheyWereLeft) {
    cantorix::testing::FakeRecordStore store;
    const records::Player anna = store.addPlayer({0, "Anna", 1, "", 0});
    const records::Player ben = store.addPlayer({0, "Ben", 2, "", 0});
    records::Performance bens = sung(40, 1);
    bens.playerId = ben.id;
    store.storeSession({bens});
    pitch::testing::ManualInvoker invoker;
    std::vector<std::string> notices;
    app::RecordKeeper keeper(&store, invoker, [&](const std::string& m) { notices.push_back(m); });
    keeper.startLoading();
    keeper.flush(); // read, not yet landed on the window thread

    records::Player renamed = anna;
    renamed.name = "Annie";
    renamed.picture = "annie.png";
    keeper.updatePlayer(renamed);
    keeper.removePlayer(ben.id, false);
    const records::Player cleo = keeper.addPlayer({0, "Cleo", 3, "", 0});
    records::Performance cleos = sung(60, 2);
    cleos.playerId = cleo.id;
    keeper.storeSession({cleos});
    // A rename that clashes is refused when asked, never lost later.
    records::Player clash = cleo;
    clash.name = "annie";
    EXPECT_THROW(keeper.updatePlayer(clash), records::EPlayerNameTaken);
    keeper.flush();
    ASSERT_TRUE(invoker.runNext());
    ASSERT_TRUE(keeper.loaded());

    const records::RecordBook& book = keeper.book();
    ASSERT_NE(book.player(anna.id), nullptr);
    EXPECT_EQ(book.player(anna.id)->name, "Annie");
    EXPECT_EQ(book.player(anna.id)->picture, "annie.png");
    EXPECT_EQ(book.player(ben.id), nullptr);
    ASSERT_NE(book.player(cleo.id), nullptr);
    EXPECT_EQ(book.player(cleo.id)->name, "Cleo");
    EXPECT_EQ(book.performanceCount(), 2u);
    for (const records::Performance& row : book.performances())
        EXPECT_EQ(book.nameOf(row), row.total == 40 ? records::kRemovedPlayerName : "Cleo");
    // The file agrees with the book.
    const records::RecordSnapshot stored = store.stored();
    EXPECT_EQ(stored.players.size(), 2u);
    EXPECT_TRUE(notices.empty());
}

} // namespace
