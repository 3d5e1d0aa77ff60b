// The record keeper between the window and the store: what the window hands it is never lost,
// whether the store fails for a while or the session ends while the file is still being read.

#include "app/party_host.h"
#include "app/record_keeper.h"
#include "fakes/fake_record_store.h"
#include "fakes/manual_main_thread.h"
#include "platform/storage/sqlite_record_store.h"
#include "songs/song_identity.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A keeper over a store whose reading blocks until the test releases it, as a large or busy file
// does: every player change must return while the worker is stuck in it (a change that waited
// would hold the test until the fake's bound, and fail).
struct SlowFile {
    cantorix::testing::FakeRecordStore store;
    pitch::testing::ManualInvoker invoker;
    std::vector<std::string> notices;
    app::RecordKeeper keeper{&store, invoker,
                             [this](const std::string& m) { notices.push_back(m); }};

    void startReading() {
        store.holdLoads();
        keeper.startLoading();
        ASSERT_TRUE(store.waitForLoad());
    }
    // Lets the reading land, and everything the worker found after it.
    void land() {
        store.releaseLoads();
        keeper.flush();
        invoker.runPending();
        ASSERT_TRUE(keeper.loaded());
        ASSERT_FALSE(store.loadOutwaited);
    }
    std::size_t noticesWith(const std::string& text) const {
        return static_cast<std::size_t>(std::count_if(notices.begin(), notices.end(), [&](auto& m) {
            return m.find(text) != std::string::npos;
        }));
    }
};

// Players renamed, given a picture, removed or added while the file is still being read stay as
// the window left them once the reading lands, and so do the sessions sung meanwhile.
TEST(RecordKeeperTest, PlayersChangedWhileTheFileIsReadStayAsTheyWereLeft) {
    SlowFile slow;
    const records::Player anna = slow.store.addPlayer({0, "Anna", 1, "", 0});
    const records::Player ben = slow.store.addPlayer({0, "Ben", 2, "", 0});
    slow.store.removePlayer(slow.store.addPlayer({0, "Gone", 4, "", 0}).id, true);
    records::Performance bens = sung(40, 1);
    bens.playerId = ben.id;
    slow.store.storeSession({bens});
    slow.startReading();

    records::Player renamed = anna;
    renamed.name = "Annie";
    renamed.picture = "annie.png";
    slow.keeper.updatePlayer(renamed);
    slow.keeper.removePlayer(ben.id, false);
    const records::Player cleo = slow.keeper.addPlayer({0, "Cleo", 3, "", 0});
    records::Performance cleos = sung(60, 2);
    cleos.playerId = cleo.id;
    slow.keeper.storeSession({cleos});
    // What the book shows already is refused at once.
    records::Player clash = cleo;
    clash.name = "annie";
    EXPECT_THROW(slow.keeper.updatePlayer(clash), records::EPlayerNameTaken);
    // The screens show the changes before the file is read.
    EXPECT_EQ(slow.keeper.book().player(anna.id)->name, "Annie");
    EXPECT_EQ(slow.keeper.book().player(cleo.id)->name, "Cleo");
    slow.land();

    const records::RecordBook& book = slow.keeper.book();
    ASSERT_NE(book.player(anna.id), nullptr);
    EXPECT_EQ(book.player(anna.id)->name, "Annie");
    EXPECT_EQ(book.player(anna.id)->picture, "annie.png");
    EXPECT_EQ(book.player(ben.id), nullptr);
    // Cleo was numbered by the file, above every id it handed out (the removed player's too).
    const std::int64_t cleoId = slow.keeper.settledId(cleo.id);
    EXPECT_GT(cleoId, 3);
    ASSERT_NE(book.player(cleoId), nullptr);
    EXPECT_EQ(book.player(cleoId)->name, "Cleo");
    EXPECT_EQ(book.players().size(), 2u);
    EXPECT_EQ(book.performanceCount(), 2u);
    for (const records::Performance& row : book.performances())
        EXPECT_EQ(book.nameOf(row), row.total == 40 ? records::kRemovedPlayerName : "Cleo");
    // The file agrees with the book, Cleo's session bound to her.
    const records::RecordSnapshot stored = slow.store.stored();
    EXPECT_EQ(stored.players, book.players());
    ASSERT_EQ(stored.performances.size(), 2u);
    EXPECT_EQ(stored.performances[1].playerId, cleoId);
    EXPECT_TRUE(slow.notices.empty());
    // After the reading the keeper hands out ids the file takes as they are.
    const records::Player dana = slow.keeper.addPlayer({0, "Dana", 5, "", 0});
    slow.keeper.flush();
    EXPECT_EQ(slow.invoker.runPending(), 0);
    EXPECT_EQ(slow.store.stored().players.back(), dana);
}

// Names the file held that the book could not show yet: a rename is undone (the player keeps
// the name the file holds, with the rest of the change), a new player is kept as "Name (2)";
// each is told once, and the file agrees with the book.
TEST(RecordKeeperTest, ANameTheFileHeldIsToldWhenTheReadingLandsAndNothingIsLost) {
    SlowFile slow;
    slow.store.addPlayer({0, "Anna", 1, "", 0});
    const records::Player ben = slow.store.addPlayer({0, "Ben", 2, "", 0});
    slow.startReading();

    records::Player renamed = ben;
    renamed.name = "ANNA";
    slow.keeper.updatePlayer(renamed);
    renamed.picture = "ben.png"; // given while the book still shows the refused name
    slow.keeper.updatePlayer(renamed);
    const records::Player newBen = slow.keeper.addPlayer({0, "ben", 7, "", 0});
    records::Performance newBens = sung(80, 3);
    newBens.playerId = newBen.id;
    slow.keeper.storeSession({newBens});
    slow.land();

    const records::RecordBook& book = slow.keeper.book();
    ASSERT_NE(book.player(ben.id), nullptr);
    EXPECT_EQ(book.player(ben.id)->name, "Ben");
    EXPECT_EQ(book.player(ben.id)->picture, "ben.png");
    const records::Player* added = book.player(slow.keeper.settledId(newBen.id));
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->name, "ben (2)");
    EXPECT_EQ(added->colour, 7u);
    EXPECT_EQ(slow.noticesWith("\"ANNA\" is taken"), 1u);
    EXPECT_EQ(slow.noticesWith("\"ben (2)\""), 1u);
    EXPECT_EQ(slow.notices.size(), 2u);
    const records::RecordSnapshot stored = slow.store.stored();
    EXPECT_EQ(stored.players, book.players());
    ASSERT_EQ(stored.performances.size(), 1u);
    EXPECT_EQ(stored.performances[0].playerId, added->id);
    EXPECT_EQ(book.nameOf(book.performances().at(0)), "ben (2)");
}

// A write the file cannot take now is told and stays queued in order: the book keeps the change,
// and the next write stores it, a new player before the session that names them.
TEST(RecordKeeperTest, APlayerChangeTheFileRefusedIsToldAndStoredWithTheNext) {
    SlowFile slow;
    const records::Player anna = slow.store.addPlayer({0, "Anna", 1, "", 0});
    slow.startReading();
    slow.land();

    slow.store.failWrites = true;
    records::Player renamed = anna;
    renamed.name = "Annie";
    slow.keeper.updatePlayer(renamed);
    const records::Player cleo = slow.keeper.addPlayer({0, "Cleo", 3, "", 0});
    records::Performance cleos = sung(60, 2);
    cleos.playerId = cleo.id;
    slow.keeper.storeSession({cleos});
    slow.keeper.flush();
    slow.invoker.runPending();
    EXPECT_EQ(slow.noticesWith("\"Annie\" could not be stored: "), 3u); // one per try
    EXPECT_EQ(slow.keeper.book().player(anna.id)->name, "Annie");
    EXPECT_EQ(slow.store.stored().players.at(0).name, "Anna");

    slow.store.failWrites = false;
    slow.keeper.storeSession({sung(10, 3)});
    slow.keeper.flush();
    const records::RecordSnapshot stored = slow.store.stored();
    EXPECT_EQ(stored.players, slow.keeper.book().players());
    ASSERT_EQ(stored.performances.size(), 2u);
    EXPECT_EQ(stored.performances[0].playerId, cleo.id);
}

// Another game at the same file: a player it removed leaves the book at the next change, and an
// id it took first moves the new player to another id, both told.
TEST(RecordKeeperTest, WhatAnotherGameChangedIsFollowedAndTold) {
    SlowFile slow;
    const records::Player anna = slow.store.addPlayer({0, "Anna", 1, "", 0});
    slow.startReading();
    slow.land();

    slow.store.removePlayer(anna.id, false);
    const records::Player zed = slow.store.addPlayer({0, "Zed", 9, "", 0});
    records::Player renamed = anna;
    renamed.name = "Annie";
    slow.keeper.updatePlayer(renamed);
    const records::Player cleo = slow.keeper.addPlayer({0, "Cleo", 3, "", 0});
    EXPECT_EQ(cleo.id, zed.id);
    slow.keeper.flush();
    slow.invoker.runPending();

    const records::RecordBook& book = slow.keeper.book();
    EXPECT_EQ(book.player(anna.id), nullptr);
    const std::int64_t cleoId = slow.keeper.settledId(cleo.id);
    EXPECT_GT(cleoId, zed.id);
    ASSERT_NE(book.player(cleoId), nullptr);
    EXPECT_EQ(book.player(cleoId)->name, "Cleo");
    EXPECT_EQ(book.player(zed.id), nullptr);
    EXPECT_EQ(slow.noticesWith("\"Annie\" is no longer in the records"), 1u);
    EXPECT_EQ(slow.noticesWith("under a new number"), 1u);
    EXPECT_EQ(slow.store.stored().players.back().name, "Cleo");
}

} // namespace

// The party's queue as the window keeps it: a game that adds and reorders songs and is then
// killed, with no chance to close anything, comes back with the same queue in the same order.
TEST(RecordKeeperTest, APartysQueueOutlivesAGameKilledAfterItsChanges) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("cantorix-queue-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const fs::path file = folder / "records.sqlite3";
    const std::vector<songs::SongSummary> library = [] {
        std::vector<songs::SongSummary> songs;
        for (const char* title : {"Alpha", "Beta", "Gamma"}) {
            songs::SongSummary& s = songs.emplace_back();
            s.folder = std::string("/songs/") + title;
            s.songFile = s.folder + "/song.txt";
            s.title = title;
        }
        return songs;
    }();

    const pid_t game = ::fork();
    ASSERT_NE(game, -1);
    if (game == 0) {
        platform::SqliteRecordStore store(file);
        pitch::testing::ManualInvoker invoker;
        app::RecordKeeper keeper(&store, invoker);
        keeper.setQueueStore(&store);
        app::PartyHost host({.hall = nullptr,
                             .now = [] { return std::int64_t{1000}; },
                             .keep = [&](const party::KeptQueue& q) { keeper.keepQueue(q); }});
        host.restore({});
        host.openSongBook(std::make_shared<const party::SongBook>(library, 1));
        const party::GuestId ann = *host.addGuest("Ann"), ben = *host.addGuest("Ben");
        host.addSong(ann, "/songs/Alpha/song.txt");
        host.addSong(ben, "/songs/Beta/song.txt");
        host.addSong(ann, "/songs/Gamma/song.txt");
        host.playNext(host.queue().order().back());
        keeper.flush();
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(game, &status, 0), game);
    ASSERT_TRUE(WIFSIGNALED(status));

    platform::SqliteRecordStore store(file);
    pitch::testing::ManualInvoker invoker;
    app::RecordKeeper keeper(&store, invoker);
    keeper.setQueueStore(&store);
    app::PartyHost again({.hall = nullptr, .now = [] { return std::int64_t{2000}; }});
    keeper.loadQueue([&](party::KeptQueue queue) { again.restore(std::move(queue)); });
    ASSERT_TRUE(invoker.runNext());
    again.openSongBook(std::make_shared<const party::SongBook>(library, 1));
    std::vector<std::string> titles;
    for (const party::QueueRow& row : again.rows())
        titles.push_back(row.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Gamma", "Alpha", "Beta"}));
    fs::remove_all(folder);
}
