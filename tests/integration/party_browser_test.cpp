// A party as its guests live it, in the real main window: a guest in headless Chromium opens the
// song book's code, searches a song, taps "Sing this" and adds it under a name they type (and
// asks for a medley, which the demo songs cannot make); two more guests' phones (test clients
// speaking the song book's protocol) add theirs, one a duet with a partner named on the spot. All
// three phones must show the same queue and start times. The host turns "Take songs" on; the game
// shows the browser guest's song as Next up and calls them, the page shows "You're up: tap to
// sing", the tap joins the page as a microphone, the game seats it and the song starts with the
// phone singing; the next guest's phone is told "You're next". The phone's page (390 x 844) and the
// Next up screen are kept as screenshots (in $CANTORIX_SCREENSHOTS, else
// cantorix-party-screenshots/ in the temporary folder).

#include "app/qt_main_thread_invoker.h"
#include "fakes/file_bytes.h"
#include "fakes/phone_test_client.h"
#include "game_window_fixture.h"
#include "headless_chromium.h"
#include "platform/phones/phone_server.h"
#include "platform/sound_input/capture_input_set.h"
#include "platform/storage/sqlite_record_store.h"
#include "platform/voice/aubio_semitone_tracker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>

namespace {

using namespace cantorix;
using cantorix::testing::HeadlessChromium;
using cantorix::testing::PhoneTestClient;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

const char* const kKey = "00112233445566778899aabbccddeeff";
const char* const kAnnSong = "Cantorix - Paper Kites";
const char* const kBeaSong = "Cantorix - Harbour Lights";
const char* const kCalSong = "Cantorix - Two Lighthouses";
// Chromium takes seconds to start, and a page to load, on a busy machine.
constexpr int kBrowserMs = 60000;
constexpr int kPhoneWidth = 390, kPhoneHeight = 844;

// A steady C4, longer than the seconds the test sings.
void writeToneWav(const fs::path& file) {
    constexpr int kRate = 48000;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kRate) * 60);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(
            12000 * std::sin(2 * std::numbers::pi * 261.63 * static_cast<double>(i) / kRate)));
    cantorix::testing::writeMonoWav(file, samples, kRate);
}

fs::path screenshotFolder() {
    const char* folder = std::getenv("CANTORIX_SCREENSHOTS");
    const fs::path place =
        folder ? fs::path(folder) : fs::temp_directory_path() / "cantorix-party-screenshots";
    fs::create_directories(place);
    return place;
}

QJsonObject parsed(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// The latest message of a type a test client received.
std::optional<QJsonObject> latest(const PhoneTestClient& phone, const char* type) {
    const std::vector<std::string> texts = phone.texts();
    for (auto it = texts.rbegin(); it != texts.rend(); ++it)
        if (const QJsonObject message = parsed(*it); message.value("type").toString() == type)
            return message;
    return std::nullopt;
}

// A row of the queue as a phone's page shows it.
struct ShownRow {
    std::string title, who, when;
    bool mine = false;
    bool operator==(const ShownRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ShownRow& row) {
    return out << "{" << row.title << " | " << row.who << " | " << row.when
               << (row.mine ? " | mine" : "") << "}";
}

// What the page says of a start this far off: the guest reads minutes, not milliseconds.
std::string startsText(std::int64_t ms) {
    if (ms <= 0)
        return "next";
    // Rounded as the page's Math.round does, halves up.
    const std::int64_t minutes = (ms + 30000) / 60000;
    return minutes < 1 ? "in under a minute" : "in about " + std::to_string(minutes) + " min";
}

// What a page shows for a queue row a test client received, its start `elapsedMs` later (the
// page counts its start times down between the game's pushes).
ShownRow shownFor(const QJsonObject& row, std::int64_t elapsedMs) {
    std::string singers;
    for (const QJsonValue& name : row.value("singers").toArray())
        singers += (singers.empty() ? "" : " & ") + name.toString().toStdString();
    const auto startsIn = static_cast<std::int64_t>(row.value("startsIn").toDouble());
    return {row.value("title").toString().toStdString(),
            row.value("artist").toString().toStdString() + " \xC2\xB7 " + singers,
            startsText(std::max<std::int64_t>(0, startsIn - elapsedMs)),
            row.value("mine").toBool()};
}

// Without the viewer's own "mine": what every phone is told alike.
QJsonArray sharedRows(const QJsonObject& queue) {
    QJsonArray rows;
    for (const QJsonValue& row : queue.value("rows").toArray()) {
        QJsonObject shared = row.toObject();
        shared.remove("mine");
        rows.append(shared);
    }
    return rows;
}

class PartyBrowserTest : public cantorix::testing::SingingWindowTest {
protected:
    // The browser goes first: its profile lies in the program folder the fixture removes.
    void TearDown() override {
        m_browser.reset();
        SingingWindowTest::TearDown();
    }
    void shootGame(const std::string& name) {
        m_form->viewer()->update();
        QTest::qWait(100);
        const fs::path file = screenshotFolder() / (name + ".png");
        m_form->viewer()->grabFramebuffer().save(QString::fromStdString(file.string()));
        std::cout << "screenshot " << file.string() << "\n";
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }

    // The tab of the guest's page, found by the game's address in it.
    std::string page() const { return "127.0.0.1:" + std::to_string(m_phones->port()); }
    std::optional<QJsonValue> inPage(const std::string& expression) const {
        return m_browser->evaluate(page(), expression);
    }
    bool pageShows(const std::string& id, const std::string& text) const {
        const std::optional<QJsonValue> shown =
            inPage("(() => { const e = document.getElementById('" + id +
                   "'); return e && e.getClientRects().length > 0 ? e.textContent : null; })()");
        return shown && shown->toString().toStdString() == text;
    }
    std::vector<ShownRow> pageRows() const {
        const std::optional<QJsonValue> rows =
            inPage("[...document.querySelectorAll('#queueList > li')].map((li) => ({"
                   " title: li.querySelector('.title').textContent,"
                   " who: li.querySelector('.artist').textContent,"
                   " when: li.querySelector('.when').textContent,"
                   " mine: li.classList.contains('mine') }))");
        std::vector<ShownRow> shown;
        for (const QJsonValue& row : rows ? rows->toArray() : QJsonArray()) {
            const QJsonObject r = row.toObject();
            shown.push_back({r.value("title").toString().toStdString(),
                             r.value("who").toString().toStdString(),
                             r.value("when").toString().toStdString(), r.value("mine").toBool()});
        }
        return shown;
    }

    std::string songId(const std::string& title) const {
        const party::SongBook* book = m_form->party().songBook();
        const party::BookPage found = book ? book->search(title, 0) : party::BookPage{};
        return found.songs.size() == 1 ? found.songs.front()->id : std::string();
    }

    // A guest's phone with the song book open, in line under `name`; nothing when the game did
    // not take it.
    std::unique_ptr<PhoneTestClient> guestPhone(const std::string& name) {
        auto phone = std::make_unique<PhoneTestClient>(cantorix::testing::PhoneTestClientOptions{
            .url = "wss://127.0.0.1:" + std::to_string(m_phones->port()) + "/socket?k=" + kKey,
            .join = false});
        if (!phone->waitOpen())
            return nullptr;
        phone->sendText(R"({"type":"guest","name":")" + name + R"(","token":"","host":""})");
        if (!waitUntil([&] {
                const std::optional<QJsonObject> welcome = latest(*phone, "guest");
                return welcome && welcome->value("guest").toInt() > 0;
            }))
            return nullptr;
        return phone;
    }

    const party::QueueEntry* entryOf(const std::string& title) const {
        for (const party::QueueEntry& entry : m_form->party().queue().entries())
            if (const party::BookSong* song = m_form->party().songOf(entry))
                if (song->title == title)
                    return &entry;
        return nullptr;
    }

    app::QtMainThreadInvoker m_phoneEvents;
    std::ostringstream m_phoneLog;
    std::unique_ptr<platform::PhoneServer> m_phones;
    std::unique_ptr<platform::CaptureInputSet> m_inputs;
    std::unique_ptr<platform::SqliteRecordStore> m_records;
    std::unique_ptr<HeadlessChromium> m_browser;
};

TEST_F(PartyBrowserTest, ThreeGuestsQueueSongsAndTheBrowserGuestIsCalledToSing) {
    const fs::path program(CANTORIX_PROGRAM_DIR);
    for (const char* song : {kAnnSong, kBeaSong, kCalSong})
        if (!fs::exists(program / "songs" / song))
            GTEST_SKIP() << "the demo songs have not been built";
    if (!fs::exists(cantorix::testing::kChromium))
        GTEST_SKIP() << "no Chromium at " << cantorix::testing::kChromium;
    m_root = cantorix::testing::makeProgramRoot("cantorix-party", {kAnnSong, kBeaSong, kCalSong});
    const fs::path tone = m_root / "tone.wav";
    writeToneWav(tone);

    // Phones on, reached on this computer alone; every phone of the test is one loopback peer.
    m_phones = std::make_unique<platform::PhoneServer>(platform::PhoneServer::Options{
        .port = 0,
        .loopbackOnly = true,
        .identityFolder = m_root / "identity",
        .invoker = &m_phoneEvents,
        .log = &m_phoneLog,
        .listNetworks = [] { return std::vector<platform::LocalNetwork>{}; },
        .limits = {.connectionsPerPeer = 16},
        .key = kKey});
    ASSERT_TRUE(m_phones->listening()) << m_phones->problem();
    m_inputs = std::make_unique<platform::CaptureInputSet>(platform::CaptureInputSet::Options{
        .micWavs = {},
        .listDevices = [] { return std::vector<platform::AlsaCaptureDevice>{}; },
        .systemDefaultInput = false,
        .externalInputs = [this] { return platform::phoneSeatInputs(*m_phones); }});
    m_inputs->relist();
    m_records = std::make_unique<platform::SqliteRecordStore>(m_root / "data" / "records.sqlite3");
    app::AppServices services = this->services();
    services.inputs = m_inputs.get();
    services.phones = m_phones.get();
    services.recordStore = m_records.get();
    services.makeSemitoneTracker = [] {
        return std::make_unique<platform::AubioSemitoneTracker>();
    };
    ASSERT_TRUE(showWindow(services));
    app::GameScene& g = *m_game;
    app::PartyHost& party = m_form->party();
    ASSERT_TRUE(waitUntil([&] { return party.songBook() && party.songBook()->size() == 3; }));

    // Ann scans the song book's code, searches, taps "Sing this", types her name and adds it.
    m_browser =
        std::make_unique<HeadlessChromium>(m_root, tone, m_phones->joinCode(0, "127.0.0.1").url);
    ASSERT_TRUE(m_browser->started());
    // The book opens with every song listed.
    ASSERT_TRUE(waitUntil([&] { return pageShows("bookCount", "3 songs"); }, kBrowserMs))
        << m_browser->logTail();
    ASSERT_TRUE(m_browser->tap(page(), "document.getElementById('bookSearch')"));
    ASSERT_TRUE(m_browser->type(page(), "paper"));
    const std::string singThis =
        "[...document.querySelectorAll('#bookList li')].find((li) =>"
        " li.querySelector('.title').textContent === 'Paper Kites')?.querySelector('.sing-this')";
    ASSERT_TRUE(waitUntil([&] { return pageShows("bookCount", "1 song"); }))
        << m_browser->logTail();
    ASSERT_TRUE(m_browser->tap(page(), singThis));
    ASSERT_TRUE(waitUntil([&] { return pageShows("queueFormTitle", "Paper Kites"); }));
    ASSERT_TRUE(m_browser->tap(page(), "document.getElementById('queueName')"));
    ASSERT_TRUE(m_browser->type(page(), "Ann"));
    ASSERT_TRUE(m_browser->tap(page(), "document.getElementById('queueAdd')"));
    ASSERT_TRUE(waitUntil([&] { return entryOf("Paper Kites") != nullptr; }))
        << m_phoneLog.str() << m_browser->logTail();
    EXPECT_EQ(party.queue().guest(entryOf("Paper Kites")->owner)->name, "Ann");
    // She asks for a medley too: the demo songs have no medley parts, and the game says so.
    ASSERT_TRUE(m_browser->tap(page(), "document.getElementById('queueMedley')"));
    EXPECT_TRUE(waitUntil([&] {
        return pageShows("queueStatus", "There are too few songs with a medley part for a medley.");
    })) << m_browser->logTail();
    EXPECT_EQ(party.queue().entries().size(), 1u);

    // Bea and Cal add theirs from their own phones; Cal's is the duet, with Dee, not in line.
    const std::unique_ptr<PhoneTestClient> bea = guestPhone("Bea");
    ASSERT_TRUE(bea) << m_phoneLog.str();
    const std::unique_ptr<PhoneTestClient> cal = guestPhone("Cal");
    ASSERT_TRUE(cal) << m_phoneLog.str();
    const std::string harbour = songId("Harbour Lights"), lighthouses = songId("Two Lighthouses");
    ASSERT_FALSE(harbour.empty());
    ASSERT_FALSE(lighthouses.empty());
    bea->sendText(R"({"type":"add","song":")" + harbour + R"("})");
    ASSERT_TRUE(waitUntil([&] { return entryOf("Harbour Lights") != nullptr; }));
    cal->sendText(R"({"type":"add","song":")" + lighthouses +
                  R"(","partnerName":"Dee","voice":0})");
    ASSERT_TRUE(waitUntil([&] { return entryOf("Two Lighthouses") != nullptr; }))
        << ::testing::PrintToString(cal->texts());

    // Every phone is told the same queue: the same songs, singers and start times, each its own
    // song marked; the page shows what the others were told.
    const auto sameQueue = [&] {
        const std::optional<QJsonObject> b = latest(*bea, "queue"), c = latest(*cal, "queue");
        return b && c && sharedRows(*b) == sharedRows(*c) && b->value("rows").toArray().size() == 3;
    };
    ASSERT_TRUE(waitUntil(sameQueue)) << ::testing::PrintToString(bea->texts()) << "\n"
                                      << ::testing::PrintToString(cal->texts());
    const QJsonArray told = latest(*bea, "queue")->value("rows").toArray();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Paper Kites", "Cantorix \xC2\xB7 Ann"},
        {"Harbour Lights", "Cantorix \xC2\xB7 Bea"},
        {"Two Lighthouses", "Cantorix \xC2\xB7 Cal & Dee"}};
    std::vector<ShownRow> forAnn;
    std::int64_t lastStart = -1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const QJsonObject row = told[static_cast<qsizetype>(i)].toObject();
        ShownRow shown = shownFor(row, 0);
        EXPECT_EQ(shown.title, expected[i].first);
        EXPECT_EQ(shown.who, expected[i].second);
        EXPECT_EQ(row.value("mine").toBool(), i == 1) << "Bea's own song, row " << i;
        EXPECT_EQ(latest(*cal, "queue")->value("rows")[static_cast<qsizetype>(i)]["mine"].toBool(),
                  i == 2)
            << "Cal's own song, row " << i;
        // Each song starts after the one before it has been sung.
        const auto startsIn = static_cast<std::int64_t>(row.value("startsIn").toDouble());
        EXPECT_GT(startsIn, lastStart) << "row " << i;
        lastStart = startsIn;
        shown.mine = i == 0;
        forAnn.push_back(shown);
    }
    EXPECT_EQ(forAnn[0].when, "next");
    // The page counts the start times down by itself between pushes; within the seconds this
    // check may take, a row reads as it did when told or as a little later.
    std::vector<ShownRow> onPage;
    ASSERT_TRUE(waitUntil([&] {
        onPage = pageRows();
        if (onPage.size() != forAnn.size())
            return false;
        for (std::size_t i = 0; i < onPage.size(); ++i) {
            bool agrees = false;
            for (std::int64_t later = 0; later <= 20000 && !agrees; later += 1000) {
                ShownRow expectedRow = shownFor(told[static_cast<qsizetype>(i)].toObject(), later);
                expectedRow.mine = forAnn[i].mine;
                agrees = onPage[i] == expectedRow;
            }
            if (!agrees)
                return false;
        }
        return true;
    })) << ::testing::PrintToString(onPage)
        << " against " << ::testing::PrintToString(forAnn);
    EXPECT_TRUE(pageShows("queueNext", "You're next: Paper Kites \xE2\x80\x94 get ready"));
    // A guest's page holds none of the host's actions.
    EXPECT_EQ(inPage("document.getElementById('queueHost').getClientRects().length")
                  .value_or(QJsonValue(-1))
                  .toInt(),
              0);
    m_browser->screenshot(page(), kPhoneWidth, kPhoneHeight,
                          screenshotFolder() / "party-queue-390x844.png");

    // The host turns "Take songs" on at the Queue screen and goes back to the song list.
    key(Qt::Key_F6);
    ASSERT_TRUE(waitUntil([&] { return m_form->queueScreen().shown(); }));
    key(Qt::Key_T);
    EXPECT_EQ(g.queue.takeFromQueueButton->caption(), "Take songs: on (T)");
    ASSERT_TRUE(party.queue().settings().takeFromQueue);
    key(Qt::Key_Escape);

    // Next up: Ann's song, Ann called to tap on her phone, whose page says so.
    ASSERT_TRUE(waitUntil([&] { return g.nextUp.group->visible(); }));
    EXPECT_EQ(g.nextUp.title->caption(), "Paper Kites");
    const std::string called =
        "Ann \xE2\x80\x94 tap \xE2\x80\x9CYou're up\xE2\x80\x9D on your phone";
    EXPECT_EQ(g.nextUp.singers[0]->caption(), called);
    ASSERT_TRUE(waitUntil([&] { return pageShows("queueUp", "You're up: tap to sing"); }))
        << m_browser->logTail();
    const int slot = inPage("Number(document.getElementById('queueUp').dataset.slot)")
                         .value_or(QJsonValue(0))
                         .toInt();
    ASSERT_GE(slot, 1);
    ASSERT_LE(slot, 8);
    m_browser->screenshot(page(), kPhoneWidth, kPhoneHeight,
                          screenshotFolder() / "party-up-390x844.png");

    // The tap joins the page as the slot's microphone; the game seats Ann there.
    ASSERT_TRUE(m_browser->tap(page(), "document.getElementById('queueUp')"));
    const std::string seated = "Ann \xE2\x80\x94 singer " + std::to_string(slot);
    ASSERT_TRUE(waitUntil([&] { return g.nextUp.singers[0]->caption() == seated; }, kBrowserMs))
        << g.nextUp.singers[0]->caption() << "\n"
        << m_phoneLog.str() << m_browser->uncaughtPageErrors() << m_browser->logTail();
    ASSERT_TRUE(g.nextUp.group->visible()) << "the countdown ran out before Ann was seated";
    bool seatedConnected = false;
    for (const app::PhoneSeatView& seat : m_phones->seats())
        seatedConnected |=
            seat.slot == static_cast<std::size_t>(slot) && seat.connected && seat.name == "Ann";
    EXPECT_TRUE(seatedConnected);
    EXPECT_FALSE(g.nextUp.unseated->visible());
    shootGame("party-next-up");
    m_browser->screenshot(page(), kPhoneWidth, kPhoneHeight,
                          screenshotFolder() / "party-singing-390x844.png");

    // The host starts it at once: Ann sings through her phone, alone.
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return g.singing.group->visible(); }));
    const std::vector<app::PartyMember>& members = m_form->session().party().members();
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].singer.slot, static_cast<std::size_t>(slot - 1));
    EXPECT_EQ(members[0].singer.name, "Ann");
    ASSERT_NE(members[0].singer.input, nullptr);
    EXPECT_EQ(members[0].singer.input->address,
              app::phoneInputAddress(static_cast<std::size_t>(slot)));
    // Her phone's microphone reaches her singer: the loop hears a voice.
    EXPECT_TRUE(waitUntil([&] { return members[0].loop->heldSungValue() != 255; }, 30000))
        << m_phoneLog.str() << m_browser->logTail();

    // Her song taken, Bea's is next, and Bea's phone says so.
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<QJsonObject> queue = latest(*bea, "queue");
        return queue && queue->value("next").toString().toStdString() ==
                            "You're next: Harbour Lights \xE2\x80\x94 get ready";
    })) << ::testing::PrintToString(bea->texts());
    EXPECT_EQ(latest(*cal, "queue")->value("next").toString(), "");

    // The song ends by the player's key; Ann's performance is hers.
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return g.scorePage.group->visible(); }));
    const std::vector<app::SingerOutcome>& outcomes = m_form->session().outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].name, "Ann");
    EXPECT_FALSE(outcomes[0].lost);
    EXPECT_EQ(m_browser->uncaughtPageErrors(), "");
    m_browser.reset();
}

} // namespace
