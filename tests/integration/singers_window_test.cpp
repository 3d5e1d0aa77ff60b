// The singers screen in the real main window: reached with F2, a slot bound by singing into one
// of two inputs, the same sound on both inputs pointed out, a name typed, a colour clicked, and
// everything found in Score.ini after Escape; without any input both screens say so. Players on
// the screen over a record keeper: slot names adopted, a player made, renamed, pictured, recoloured
// and removed. Phones: the codes of free slots at the chosen address, seated phones by name.

#include "app/player_pictures.h"
#include "app/qt_main_thread_invoker.h"
#include "fakes/blank_image_loader.h"
#include "fakes/fake_glyph_rasterizer.h"
#include "fakes/fake_phone_hall.h"
#include "fakes/fake_record_store.h"
#include "fakes/fake_sound_inputs.h"
#include "fakes/file_bytes.h"
#include "game_window_fixture.h"
#include "platform/storage/ini_profile_file.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>

namespace {

using namespace cantorix;
using cantorix::testing::waitUntil;
namespace fs = std::filesystem;

constexpr std::size_t kTickSamples = 2205;
const session::InputAddress kLeft{"USB", 0}, kRight{"USB", 1};

class SingersWindowTest : public cantorix::testing::GameWindowTest {
protected:
    app::MainWindow& startWithInputs(app::PhoneHall* phones = nullptr) {
        fs::create_directories(m_root / "config");
        m_ini = std::make_unique<platform::IniProfileFile>(m_root / "config" / "Score.ini");
        app::AppServices services{m_root,         *m_pictures, m_glyphs,   m_clock,
                                  m_player,       *m_covers,   *m_capture, m_recorderInput,
                                  m_captureError, m_ini.get()};
        services.inputs = &m_inputs;
        services.phones = phones;
        m_form = std::make_unique<app::MainWindow>(std::move(services));
        m_form->show();
        EXPECT_TRUE(waitUntil([&] { return m_form->startSteps().firstFrameShown(); }));
        return *m_form;
    }
    void key(Qt::Key k) { QTest::keyClick(m_form->viewer(), k); }
    void click(const scene::TGLBaseControl& control) {
        const scene::RectI r = control.globalRect();
        QTest::mouseClick(m_form->viewer(), Qt::LeftButton, {},
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }
    // One 50 ms tick of sound on each input (amplitude 0: silence), then the screen's step.
    void sing(double leftAmplitude, double rightAmplitude, bool sameSound, int ticks) {
        std::normal_distribution<double> voice(0.0, 1.0);
        for (int t = 0; t < ticks; ++t) {
            std::vector<std::int16_t> left(kTickSamples), right(kTickSamples);
            for (std::size_t i = 0; i < kTickSamples; ++i) {
                const double heard = voice(m_random);
                left[i] = static_cast<std::int16_t>(leftAmplitude * heard);
                right[i] = static_cast<std::int16_t>(rightAmplitude *
                                                     (sameSound ? heard : voice(m_random)));
            }
            m_inputs.hub(kLeft).deliver(left.data(), left.size());
            m_inputs.hub(kRight).deliver(right.data(), right.size());
            m_form->singers().monitorTick();
        }
    }

    app::testing::FakeSoundInputs m_inputs;
    std::unique_ptr<platform::IniProfileFile> m_ini;
    std::mt19937 m_random{11};
};

TEST_F(SingersWindowTest, SlotBoundBySingingNamedAndColouredIsKeptInScoreIni) {
    m_inputs.plugIn(kLeft, "USB Receiver — left");
    m_inputs.plugIn(kRight, "USB Receiver — right");
    app::MainWindow& window = startWithInputs();
    app::GameScene& g = window.game();
    EXPECT_FALSE(g.singers.noMicrophoneLine->visible());
    const int relists = m_inputs.relists;
    key(Qt::Key_F2);
    ASSERT_TRUE(window.singers().shown());
    EXPECT_GT(m_inputs.relists, relists); // a receiver plugged in meanwhile is found
    const app::SingerRowNodes& second = g.singers.rows[1];

    // Keyboard alone: down to the second row, along to its Listen, Enter.
    key(Qt::Key_Down);
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    ASSERT_TRUE(second.listen->focused());
    key(Qt::Key_Return);
    EXPECT_EQ(second.listen->caption(), "Stop");
    sing(300, 6000, false, 10); // half a second is not enough
    EXPECT_FALSE(window.singers().roster().slot(1).input);
    sing(300, 6000, false, 12);
    EXPECT_EQ(window.singers().roster().slot(1).input, kRight);
    EXPECT_EQ(second.status->caption(), "Heard: USB Receiver — right");
    EXPECT_EQ(second.input->caption(), "USB Receiver — right");
    EXPECT_FALSE(window.singers().roster().slot(0).input);

    // Calibrate measures the slot it is pressed on, through that slot's input.
    key(Qt::Key_Tab);
    ASSERT_TRUE(second.calibrate->focused());
    key(Qt::Key_Return);
    for (int step = 0; step < 2000 && second.calibrate->caption() != "Calibrate"; ++step)
        window.singers().calibrationStep();
    EXPECT_NEAR(window.singers().roster().slot(1).delayMs, m_inputs.clickDelayMs, 3);
    EXPECT_EQ(window.singers().roster().slot(0).delayMs, 0);

    sing(5000, 5000, true, 45);
    EXPECT_EQ(g.singers.inputsLine->caption(),
              "USB Receiver — left and USB Receiver — right carry the same sound");
    EXPECT_FALSE(second.meter->caption().empty());

    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Left);
    ASSERT_TRUE(second.name->focused());
    key(Qt::Key_End);
    for (int i = 0; i < 8; ++i)
        key(Qt::Key_Backspace);
    QTest::keyClicks(window.viewer(), "Ann");
    // Slot 1's delay, by keyboard, is the options' microphone delay.
    key(Qt::Key_Up);
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Tab);
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_Right);
    EXPECT_EQ(g.singers.rows[0].delayLabel->caption(), "Delay 15 ms");
    EXPECT_EQ(g.options.sound.micDelay->pos(), 15.0f);
    const scene::RectI colour = g.singers.rows[2].colour->globalRect();
    QTest::mouseClick(window.viewer(), Qt::LeftButton, {},
                      QPoint((colour.left + colour.right) / 2, (colour.top + colour.bottom) / 2));
    key(Qt::Key_Escape);
    EXPECT_FALSE(window.singers().shown());
    EXPECT_TRUE(g.selection.form->visible());

    platform::IniProfileFile saved(m_root / "config" / "Score.ini");
    EXPECT_EQ(saved.readString("Singers", "Slot2Input", ""), "USB:1");
    EXPECT_EQ(saved.readString("Singers", "Slot2Name", ""), "Ann");
    EXPECT_EQ(saved.readString("Singers", "Slot3Colour", ""),
              std::to_string(app::singerPalette()[3]));
    EXPECT_EQ(saved.readString("Singers", "Slot1Input", ""), "none");
    EXPECT_EQ(saved.readString("Singers", "Slot1Delay", ""), "15");
}

TEST_F(SingersWindowTest, WithoutAnyInputBothScreensSayNoMicrophone) {
    app::MainWindow& window = startWithInputs();
    app::GameScene& g = window.game();
    EXPECT_TRUE(g.singers.noMicrophoneLine->visible());
    EXPECT_EQ(g.singers.noMicrophoneLine->caption(), "no microphone");
    QTest::mouseClick(window.viewer(), Qt::LeftButton, {},
                      QPoint(g.singers.selectionButton->globalRect().left + 20,
                             g.singers.selectionButton->globalRect().top + 10));
    ASSERT_TRUE(waitUntil([&] { return window.singers().shown(); }));
    EXPECT_EQ(g.singers.inputsLine->caption(), "no microphone");
    // Binding by singing with nothing to hear says so instead of waiting for ever.
    scene::TGLButton::NotifyEvent(g.singers.rows[0].listen->onButtonClick)(
        *g.singers.rows[0].listen);
    EXPECT_EQ(g.singers.rows[0].status->caption(), "no microphone");
    EXPECT_EQ(g.singers.rows[0].input->caption(), "none");
    // Back by keyboard: up from the first row, Enter; the song behind is not started.
    key(Qt::Key_Up);
    ASSERT_TRUE(g.singers.backButton->focused());
    key(Qt::Key_Return);
    EXPECT_FALSE(window.singers().shown());
    EXPECT_FALSE(g.singing.group->visible());
}

std::string withoutBreaks(std::string text) {
    std::erase(text, '\n');
    return text;
}

TEST_F(SingersWindowTest, PhonesPanelShowsFreeSlotsCodesAtTheChosenAddressAndSeatedPhones) {
    app::testing::FakePhoneHall hall;
    hall.addressList = {"192.168.1.20", "10.0.0.5"};
    app::MainWindow& window = startWithInputs(&hall);
    app::GameScene& g = window.game();
    const app::PhonesPanelNodes& panel = g.singers.phones;
    key(Qt::Key_F2);
    ASSERT_TRUE(window.singers().shown());
    ASSERT_TRUE(g.singers.phonesButton->guiVisible());
    click(*g.singers.phonesButton);
    ASSERT_TRUE(window.singers().phonesShown());
    EXPECT_FALSE(g.singers.rows[0].name->guiVisible());
    EXPECT_EQ(g.singers.title->caption(), "Phones");
    EXPECT_EQ(panel.port->caption(), "Port 8443");
    EXPECT_EQ(panel.fingerprint->caption(), "Certificate SHA-256 AB:CD");

    // Every code drawn one texture pixel to one screen pixel, at least 3 a module, its modules
    // black and its quiet zone white; the address written beneath is the code's own.
    const auto expectCodesAt = [&](const std::string& address) {
        for (std::size_t slot = 0; slot < panel.codes.size(); ++slot) {
            SCOPED_TRACE(slot);
            const app::PhoneCodeNodes& cell = panel.codes[slot];
            const app::JoinCode code = hall.joinCode(slot + 1, address);
            ASSERT_TRUE(cell.code->guiVisible());
            EXPECT_FALSE(cell.seat->guiVisible());
            EXPECT_EQ(withoutBreaks(cell.url->caption()), code.url);
            const scene::Image& image = cell.code->bitBtn().resolve()->texture().image();
            const int modules = code.size + 8;
            ASSERT_EQ(image.width % modules, 0);
            const int pixels = image.width / modules;
            EXPECT_GE(pixels, 3);
            EXPECT_EQ(cell.code->width(), image.width);
            EXPECT_EQ(cell.code->logicWidth(), image.width);
            const auto dark = [&](int x, int y) {
                return image.pixel((x + 4) * pixels + pixels / 2,
                                   (y + 4) * pixels + pixels / 2)[0] < 128;
            };
            for (int y = -4; y < code.size + 4; ++y)
                for (int x = -4; x < code.size + 4; ++x) {
                    const bool inside = x >= 0 && y >= 0 && x < code.size && y < code.size;
                    ASSERT_EQ(dark(x, y), inside && code.modules[y * code.size + x])
                        << x << "," << y;
                }
        }
    };
    expectCodesAt("192.168.1.20");
    click(*panel.address);
    expectCodesAt("10.0.0.5");
    click(*panel.address);
    EXPECT_NE(panel.address->caption().find("192.168.1.20"), std::string::npos);

    // A seated phone's cell names it; dropped out, it is coming back; its slot is told its singer.
    window.singers().roster().slot(2).input = app::phoneInputAddress(3);
    hall.seat({{.slot = 3, .name = "Dana", .connected = true}});
    window.singers().phonesChanged();
    EXPECT_FALSE(panel.codes[2].code->guiVisible());
    EXPECT_EQ(panel.codes[2].seat->caption(), "Dana\nconnected");
    EXPECT_TRUE(panel.codes[3].code->guiVisible());
    if (const char* folder = std::getenv("CANTORIX_SCREENSHOTS"))
        window.viewer()->grabFramebuffer().save(QString(folder) + "/phones_panel.png");
    hall.seat({{.slot = 3, .name = "Dana", .connected = false}});
    window.singers().phonesChanged();
    EXPECT_EQ(panel.codes[2].seat->caption(), "Dana\ncoming back");
    key(Qt::Key_F5);
    ASSERT_FALSE(window.singers().phonesShown());
    EXPECT_TRUE(g.singers.rows[2].colour->guiVisible());
    const std::uint32_t before = hall.singerShown.at(3).second;
    click(*g.singers.rows[2].colour);
    EXPECT_NE(hall.singerShown.at(3).second, before);
    EXPECT_EQ(hall.singerShown.at(3).first, window.singers().roster().slot(2).name);

    // A hall that cannot listen says why instead of showing codes; Escape goes back, then leaves.
    hall.problemText = "Port 8443 to 8463 are taken";
    key(Qt::Key_F5);
    EXPECT_TRUE(panel.problem->guiVisible());
    EXPECT_EQ(panel.problem->caption(), hall.problemText);
    EXPECT_FALSE(panel.codes[0].code->guiVisible());
    key(Qt::Key_Escape);
    EXPECT_TRUE(window.singers().shown());
    EXPECT_TRUE(g.singers.rows[0].name->guiVisible());
    key(Qt::Key_Escape);
    EXPECT_FALSE(window.singers().shown());
}

// The screen over a GameScene of its own: the window has no record keeper to hand it.
class SingersPlayersTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "Score.ini") << "[Singers]\r\nSlot1Name=anna\r\nSlot2Name=Ben\r\n";
        m_ini = std::make_unique<platform::IniProfileFile>(m_dir / "Score.ini");
        records::Performance sung;
        sung.playerId = m_store.addPlayer({0, "Ben", 0x00FF00, "", 0}).id;
        m_store.storeSession({sung});
        m_inputs.plugIn(kLeft, "USB");
        app::SingersScreenParts parts{.game = m_game, .inputs = m_inputs, .profile = m_ini.get()};
        parts.records = &m_keeper;
        parts.picturesFolder = m_dir / "pictures";
        parts.choosePicture = [this] { return m_picked; };
        parts.askRemove = [this](const std::string& name) {
            m_asked.push_back(name);
            return m_answer;
        };
        m_screen = std::make_unique<app::SingersScreen>(std::move(parts));
        m_keeper.setChanged([this] { m_screen->recordsChanged(); });
        m_keeper.startLoading();
        ASSERT_TRUE(waitUntil([&] { return m_keeper.loaded(); }));
    }
    void TearDown() override { fs::remove_all(m_dir); }
    const app::SingerRowNodes& row(std::size_t slot) const { return m_game.singers.rows[slot]; }
    // The players in the file once the keeper's worker has written what it was given.
    std::vector<std::string> storedNames() {
        m_keeper.flush();
        std::vector<std::string> names;
        for (const records::Player& player : m_store.stored().players)
            names.push_back(player.name);
        return names;
    }

    fs::path m_dir = fs::temp_directory_path() / ("cantorix-players-" + std::to_string(::getpid()));
    scene::testing::BlankImageLoader m_loader;
    scene::testing::FakeGlyphRasterizer m_glyphs;
    app::GameScene m_game{m_loader, m_glyphs, "/nowhere"};
    app::testing::FakeSoundInputs m_inputs;
    std::unique_ptr<platform::IniProfileFile> m_ini;
    cantorix::testing::FakeRecordStore m_store;
    app::QtMainThreadInvoker m_invoker;
    app::RecordKeeper m_keeper{&m_store, m_invoker};
    std::unique_ptr<app::SingersScreen> m_screen;
    fs::path m_picked;
    std::vector<std::string> m_asked;
    app::RemoveAnswer m_answer = app::RemoveAnswer::Cancel;
};

void press(scene::TGLButton* button) {
    scene::TGLButton::NotifyEvent(button->onButtonClick)(*button);
}

TEST_F(SingersPlayersTest, PlayersAreMadeRenamedPicturedAndRemovedOnTheRows) {
    app::SingersScreen& screen = *m_screen;
    screen.adoptSlotNamesAsPlayers();
    screen.adoptSlotNamesAsPlayers(); // once only
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Ben", "anna"}));
    EXPECT_EQ(m_ini->readString("Singers", "Slot2Player", ""), "1");
    screen.show();
    ASSERT_EQ(row(0).name->caption(), "anna");

    // A guest's Player button: both players sing elsewhere, so a new one is made and bound.
    press(row(2).player);
    EXPECT_EQ(row(2).name->caption(), "Player 1");
    // Renamed by keyboard; a name taken ignoring case is refused and the name stays.
    screen.keyDown(scene::keys::Down);
    screen.keyDown(scene::keys::Down);
    row(2).name->setCaption("BEN");
    screen.keyDown(scene::keys::Enter);
    EXPECT_EQ(row(2).status->caption(), "That name is taken");
    EXPECT_EQ(row(2).name->caption(), "Player 1");
    row(2).name->setCaption("  Cleo ");
    screen.keyDown(scene::keys::Enter);
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Ben", "anna", "Cleo"}));

    // Two pictures for anna (the second takes the first's place), one refused; a new colour.
    m_picked = m_dir / "anna.png";
    QImage(600, 300, QImage::Format_RGB32).save(QString::fromStdString(m_picked.string()));
    press(row(0).choosePicture);
    press(row(0).choosePicture);
    m_keeper.flush();
    const records::Player anna = m_store.stored().players[1];
    const fs::path kept = m_dir / "pictures" / anna.picture;
    EXPECT_EQ(QImage(QString::fromStdString(kept.string())).size(), QSize(256, 128));
    EXPECT_EQ(std::vector(fs::directory_iterator(m_dir / "pictures"), fs::directory_iterator()),
              std::vector{fs::directory_entry(kept)});
    EXPECT_EQ(row(0).picture->bitBtn().resolve()->texture().image().width, 28);
    m_picked = m_dir / "Score.ini";
    press(row(0).choosePicture);
    EXPECT_TRUE(row(0).status->caption().find("not a PNG or JPEG") != std::string::npos);
    press(row(0).colour);
    screen.roster().slot(0).input = kLeft;
    const std::vector<app::BoundSinger> bound = screen.roster().boundSingers(m_inputs);
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0].name, "anna");
    m_keeper.flush();
    EXPECT_EQ(bound[0].colour, m_store.stored().players[1].colour);
    EXPECT_NE(bound[0].colour, anna.colour);

    // Removing asks; cancelled nothing goes, kept the performances stay as "removed player".
    press(row(1).remove);
    m_answer = app::RemoveAnswer::KeepPerformances;
    press(row(1).remove);
    press(row(0).remove);
    EXPECT_EQ(m_asked, (std::vector<std::string>{"Ben", "Ben", "anna"}));
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Cleo"}));
    EXPECT_TRUE(fs::is_empty(m_dir / "pictures"));
    EXPECT_EQ(m_store.stored().performances.at(0).singerName, "removed player");
    EXPECT_EQ(row(1).name->caption(), "Singer 2");
    // A guest's button offers the free players before making a new one.
    press(row(2).player);
    press(row(0).player);
    EXPECT_EQ(screen.roster().slot(0).playerId, 3);
    EXPECT_EQ(storedNames().size(), 1u);
}

// The file is busy with another game's long write: slot names become players, a player is made
// and renamed on the rows at once, and the file gets them all once it is free.
TEST_F(SingersPlayersTest, PlayersAreMadeAndRenamedAtOnceWhileTheFileIsBusy) {
    app::SingersScreen& screen = *m_screen;
    screen.show();
    m_store.holdWrites();
    screen.adoptSlotNamesAsPlayers();
    press(row(2).player);
    ASSERT_EQ(row(2).name->caption(), "Player 1");
    screen.keyDown(scene::keys::Down);
    screen.keyDown(scene::keys::Down);
    row(2).name->setCaption("Cleo");
    screen.keyDown(scene::keys::Enter);
    EXPECT_EQ(row(0).name->caption(), "anna");
    EXPECT_EQ(row(2).name->caption(), "Cleo");
    EXPECT_EQ(m_store.stored().players.size(), 1u); // nothing written yet

    m_store.releaseWrites();
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"Ben", "anna", "Cleo"}));
    EXPECT_FALSE(m_store.loadOutwaited); // no click waited for the file
    // The ids bound in Score.ini are the file's.
    const std::vector<records::Player> stored = m_store.stored().players;
    EXPECT_EQ(m_ini->readString("Singers", "Slot1Player", ""), std::to_string(stored[1].id));
    EXPECT_EQ(screen.roster().slot(2).playerId, stored[2].id);
}

} // namespace

namespace {

// Slot 1 holds Anna's microphone in Score.ini: phones are told it is hers and cannot take it. A
// phone that sits in free slot 2 (named "Bob", bound to nothing) and is freed by the host's click
// gives it back as it was: after the singers screen is left, Score.ini's slots 1 and 2 read as
// before.
TEST_F(SingersWindowTest, APhoneTakesOnlyAFreeSlotAndLeavesScoreIniAsItWas) {
    fs::create_directories(m_root / "config");
    {
        platform::IniProfileFile ini(m_root / "config" / "Score.ini");
        ini.writeString("Singers", "PlayersAdopted", "1");
        ini.writeString("Singers", "Slot1Name", "Anna");
        ini.writeString("Singers", "Slot1Input", "USB:0:0");
        ini.writeString("Singers", "Slot1Delay", "40");
        ini.writeString("Singers", "Slot2Name", "Bob");
        ini.writeString("Singers", "Slot2Input", "none");
        ini.flush();
    }
    const auto storedSlots = [&] {
        platform::IniProfileFile ini(m_root / "config" / "Score.ini");
        std::vector<std::string> values;
        for (const char* slot : {"Slot1", "Slot2"})
            for (const char* field : {"Name", "Colour", "Input", "Delay", "Player"})
                values.push_back(ini.readString("Singers", std::string(slot) + field, "-"));
        return values;
    };
    m_inputs.plugIn({"USB", 0, 0}, "USB Receiver — left");
    app::testing::FakePhoneHall hall;
    app::MainWindow& window = startWithInputs(&hall);
    key(Qt::Key_F2);
    ASSERT_TRUE(window.singers().shown());
    key(Qt::Key_Escape);
    ASSERT_FALSE(window.singers().shown());
    const std::vector<std::string> before = storedSlots();
    ASSERT_EQ(hall.reserved.size(), session::kSingerSlots);
    EXPECT_EQ(hall.reserved[0], "Slot 1 is Anna's.");
    EXPECT_EQ(hall.reserved[1], "");

    // A seat the server gave before it heard the slot was Anna's never takes her microphone.
    hall.seat({{1, "Eve", true}});
    EXPECT_EQ(window.singers().roster().slot(0).input, (session::InputAddress{"USB", 0, 0}));
    EXPECT_EQ(window.singers().roster().slot(0).name, "Anna");
    hall.seat({{2, "Pia", true}});
    EXPECT_EQ(window.singers().roster().slot(1).input, app::phoneInputAddress(2));
    EXPECT_EQ(window.singers().roster().slot(1).name, "Pia");
    key(Qt::Key_F2);
    key(Qt::Key_F5);
    const app::PhoneCodeNodes& cell = window.game().singers.phones.codes[1];
    ASSERT_TRUE(cell.release->guiVisible());
    EXPECT_FALSE(window.game().singers.phones.codes[2].release->guiVisible());
    click(*cell.release);
    EXPECT_EQ(hall.freed, (std::vector<std::size_t>{2}));
    EXPECT_FALSE(window.singers().roster().slot(1).input);
    EXPECT_EQ(window.singers().roster().slot(1).name, "Bob");
    EXPECT_TRUE(cell.code->guiVisible());
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    ASSERT_FALSE(window.singers().shown());
    EXPECT_EQ(storedSlots(), before);
    EXPECT_EQ(window.singers().roster().slot(0).name, "Anna");
}

} // namespace
