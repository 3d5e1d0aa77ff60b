#include "options_form.h"

#include "session/round_half_even.h"

#include <QColorDialog>
#include <QMessageBox>
#include <QWidget>
#include <algorithm>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr const char* kOn = "X";
constexpr TColor kToggleCaptionColour = 8454016; // light green
constexpr const char* kColourButtonPicture = "ColourButton";
constexpr int kColourPictureSide = 32;
constexpr int kCalibrationPollMs = 10;

int rounded(float pos) {
    return static_cast<int>(session::roundHalfEven(pos));
}

// The picture under a colour button's "II": a dark square any chosen colour stands out on. It
// is drawn a little wider than it is, so it has no border that would show the stretch.
Image colourButtonPicture() {
    Image image(kColourPictureSide, kColourPictureSide);
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] = image.rgba[i + 1] = image.rgba[i + 2] = 40;
        image.rgba[i + 3] = 255;
    }
    return image;
}

// Page coordinates: the tables place the controls in form pixels; a page is their parent.
struct Place {
    TGLPanel& page;
    int left, top;
};

TGLLabel& addLabel(GameScene& g, const Place& at, const char* name, const char* caption,
                   int width) {
    auto& label = at.page.addNewChild<TGLLabel>(name);
    label.setBounds(at.left - at.page.left(), at.top - at.page.top(), width, 25);
    label.setCaption(caption);
    label.setBitmapFont(&g.fonts.menu);
    label.setDefaultColor(clWhite);
    label.setFocusedColor(clWhite);
    return label;
}

TGLButton& addOptionButton(GameScene& g, const Place& at, const char* name) {
    auto& b = at.page.addNewChild<TGLButton>(name);
    b.setBounds(at.left - at.page.left(), at.top - at.page.top(), 40, 40);
    b.setBitmapFont(&g.fonts.menu);
    b.setGuiLayout(&g.guiLayout);
    b.setGuiLayoutName("button_down");
    b.setGuiLayoutNamePressed("button_down");
    return b;
}

TGLButton& addToggle(GameScene& g, const Place& at, const char* name) {
    TGLButton& b = addOptionButton(g, at, name);
    b.setCaption(kOn);
    b.setDefaultColor(kToggleCaptionColour);
    b.setFocusedColor(kToggleCaptionColour);
    b.onButtonClick = &toggleClick;
    return b;
}

TGLButton& addColourButton(GameScene& g, const Place& at, const char* name) {
    TGLButton& b = addOptionButton(g, at, name);
    b.setCaption("II");
    b.setDefaultColor(clWhite);
    b.setFocusedColor(clWhite);
    b.setBitBtn({&g.materials.stuff, kColourButtonPicture});
    b.setLogicSize(34, 30);
    b.setOffsets(3, 5);
    return b;
}

TGLScrollbar& addScrollbar(GameScene& g, const Place& at, const char* name, float max,
                           float pageSize, float pos) {
    auto& bar = at.page.addNewChild<TGLScrollbar>(name);
    bar.setBounds(at.left - at.page.left(), at.top - at.page.top(), 240, 30);
    bar.setGuiLayout(&g.guiLayout);
    bar.setGuiLayoutName("edit");
    bar.setGuiLayoutKnobName("button_up");
    bar.setMin(1);
    bar.setMax(max);
    bar.setPageSize(pageSize);
    bar.setStep(1);
    bar.setPos(pos);
    return bar;
}

void buildGameplayPage(GameScene& g) {
    TGLPanel& page = *g.options.gameplay.page;
    const auto at = [&page](int left, int top) { return Place{page, left, top}; };
    g.options.gameplay.tabsLabel = &addLabel(g, at(420, 210), "GLLabel1", "Tabs", 190);
    g.options.gameplay.tabsToggle = &addToggle(g, at(620, 215), "istabs");
    g.options.gameplay.lyricsLabel = &addLabel(g, at(420, 260), "GLLabel2", "Lyrics", 190);
    g.options.gameplay.lyricsToggle = &addToggle(g, at(620, 265), "GLButton1");
    g.options.gameplay.oscilloscopeLabel =
        &addLabel(g, at(420, 310), "GLLabel3", "Oscilloscope", 190);
    g.options.gameplay.oscilloscopeToggle = &addToggle(g, at(620, 315), "GLButton2");
    g.options.gameplay.timeLabel = &addLabel(g, at(420, 360), "GLLabel4", "Time", 190);
    g.options.gameplay.timeToggle = &addToggle(g, at(620, 365), "GLButton3");
    g.options.gameplay.videoSpeedLabel =
        &addLabel(g, at(420, 410), "GLLabel5", "Video Speed (0-Auto Fps)", 240);
    g.options.gameplay.videoSpeed = &addScrollbar(g, at(420, 455), "GLScrollbar1", 100, 10, 1);
    g.options.gameplay.videoQualityLabel =
        &addLabel(g, at(420, 480), "GLLabel6", "Video quality", 240);
    g.options.gameplay.videoQuality = &addScrollbar(g, at(420, 525), "GLScrollbar2", 4, 1.5f, 1);
    g.options.gameplay.difficulty = &addScrollbar(g, at(420, 595), "Difficulty", 3, 1, 2);
    g.options.gameplay.difficultyLabel =
        &addLabel(g, at(420, 550), "DifficultyLabel",
                  difficultyCaption(g.options.gameplay.difficulty->pos()).c_str(), 240);

    TGLLabel& speed = *g.options.gameplay.videoSpeedLabel;
    g.options.gameplay.videoSpeed->onChange = [&speed](TGLBaseControl& bar) {
        speed.setCaption(videoSpeedCaption(static_cast<TGLScrollbar&>(bar).pos()));
    };
    g.options.gameplay.songOrderLabel =
        &addLabel(g, at(420, 640), "SongOrderLabel", "Song order", 120);
    auto& order = page.addNewChild<TGLButton>("SongOrder");
    // Wide enough for "Recently sung", its right edge in line with the toggles above it.
    order.setBounds(532 - page.left(), 635 - page.top(), 128, 35);
    order.setCaption(songOrderCaption(songs::SongOrder::ByArtist));
    order.setBitmapFont(&g.fonts.menu);
    order.setDefaultColor(kToggleCaptionColour);
    order.setFocusedColor(kToggleCaptionColour);
    order.setGuiLayout(&g.guiLayout);
    order.setGuiLayoutName("button_down");
    order.setGuiLayoutNamePressed("button_down");
    order.onButtonClick = &songOrderClick;
    g.options.gameplay.songOrder = &order;

    TGLLabel& quality = *g.options.gameplay.videoQualityLabel;
    g.options.gameplay.videoQuality->onChange = [&quality](TGLBaseControl& bar) {
        quality.setCaption(videoQualityCaption(static_cast<TGLScrollbar&>(bar).pos()));
    };
    TGLLabel& difficulty = *g.options.gameplay.difficultyLabel;
    g.options.gameplay.difficulty->onChange = [&difficulty](TGLBaseControl& bar) {
        difficulty.setCaption(difficultyCaption(static_cast<TGLScrollbar&>(bar).pos()));
    };
}

void buildSoundPage(GameScene& g) {
    TGLPanel& page = *g.options.sound.page;
    const auto at = [&page](int left, int top) { return Place{page, left, top}; };
    g.options.sound.recordLabel = &addLabel(g, at(420, 280), "GLLabel7", "Record", 190);
    g.options.sound.recordToggle = &addToggle(g, at(620, 285), "GLButton4");
    g.options.sound.exportNameLabel =
        &addLabel(g, at(420, 330), "GLLabel9", "Default Filename", 240);
    auto& edit = page.addNewChild<TGLEdit>("GLEdit1");
    edit.setBounds(420 - page.left(), 375 - page.top(), 240, 30);
    edit.setCaption("Mysong.wav");
    edit.setBitmapFont(&g.fonts.menuPlain);
    edit.setDefaultColor(clWhite);
    edit.setFocusedColor(clWhite);
    edit.setGuiLayout(&g.guiLayout);
    edit.setGuiLayoutName("button_down");
    g.options.sound.exportName = &edit;

    TGLScrollbar& delay = addScrollbar(g, at(420, 465), "MicDelay", kMaxMicDelayMs, 1, 0);
    delay.setMin(0);
    delay.setPos(0);
    delay.setStep(5);
    delay.setBounds(delay.left(), delay.top(), 150, 30);
    g.options.sound.micDelay = &delay;
    g.options.sound.micDelayLabel =
        &addLabel(g, at(420, 420), "MicDelayLabel", micDelayCaption(0).c_str(), 240);
    TGLLabel& delayLabel = *g.options.sound.micDelayLabel;
    delay.onChange = [&delayLabel](TGLBaseControl& bar) {
        delayLabel.setCaption(micDelayCaption(static_cast<TGLScrollbar&>(bar).pos()));
    };
    auto& calibrate = page.addNewChild<TGLButton>("Calibrate");
    calibrate.setBounds(580 - page.left(), 465 - page.top(), 80, 30);
    calibrate.setCaption("Calibrate");
    calibrate.setBitmapFont(&g.fonts.menuPlain);
    calibrate.setDefaultColor(clWhite);
    calibrate.setFocusedColor(0x0080D0FF);
    calibrate.setGuiLayout(&g.guiLayout);
    calibrate.setGuiLayoutName("button_up");
    calibrate.setGuiLayoutNamePressed("button_down");
    g.options.sound.calibrateButton = &calibrate;
    g.options.sound.phonesLabel = &addLabel(g, at(420, 515), "PhonesLabel", "Phones may join", 190);
    g.options.sound.phonesToggle = &addToggle(g, at(620, 520), "PhonesMayJoin");
    // Off by default: the game opens no port until the player asks for it.
    g.options.sound.phonesToggle->setCaption("");
}

void buildAppearancePage(GameScene& g) {
    TGLPanel& page = *g.options.appearance.page;
    const auto at = [&page](int left, int top) { return Place{page, left, top}; };
    g.options.appearance.tabColourLabel =
        &addLabel(g, at(420, 210), "GLLabel8", "Default Tab Color", 190);
    g.options.appearance.tabColourButton = &addColourButton(g, at(620, 215), "GLButton5");
    g.options.appearance.actualTabColourLabel =
        &addLabel(g, at(420, 260), "GLLabel10", "Actual Tab Color", 190);
    g.options.appearance.actualTabColourButton = &addColourButton(g, at(620, 265), "GLButton6");
    g.options.appearance.voiceTabColourLabel =
        &addLabel(g, at(420, 310), "GLLabel12", "Voice Tab Color", 190);
    g.options.appearance.voiceTabColourButton = &addColourButton(g, at(620, 315), "GLButton10");
    g.options.appearance.textColourLabel =
        &addLabel(g, at(420, 360), "GLLabel13", "Text Color", 190);
    g.options.appearance.textColourButton = &addColourButton(g, at(620, 365), "GLButton11");
    g.options.appearance.transparency = &addScrollbar(g, at(420, 455), "GLScrollbar3", 99, 10, 8);
    // The label tells the transparency the session will use from the start, not a stale 60 %.
    g.options.appearance.transparencyLabel =
        &addLabel(g, at(420, 410), "GLLabel14",
                  transparencyCaption(g.options.appearance.transparency->pos()).c_str(), 240);
    TGLLabel& transparency = *g.options.appearance.transparencyLabel;
    g.options.appearance.transparency->onChange = [&transparency](TGLBaseControl& bar) {
        transparency.setCaption(transparencyCaption(static_cast<TGLScrollbar&>(bar).pos()));
    };
    // Two lines: the caption is wider than the page's label column.
    g.options.appearance.showUnplayableLabel =
        &addLabel(g, at(420, 500), "ShowUnplayableLabel", "Show songs that\ncannot be played", 190);
    g.options.appearance.showUnplayableLabel->setHeight(45);
    g.options.appearance.showUnplayable = &addToggle(g, at(620, 505), "ShowUnplayable");
    // Off by default: a collection full of songs without audio still opens on songs to sing.
    g.options.appearance.showUnplayable->setCaption("");
}

} // namespace

void toggleClick(TGLBaseControl& sender) {
    sender.setCaption(sender.caption() != kOn ? kOn : "");
}

std::string videoSpeedCaption(float pos) {
    if (pos == 1.0f)
        return "Video Speed (0-Auto Fps)";
    return "Video Speed (" + std::to_string(rounded(pos)) + "-Fps)";
}

std::string videoQualityCaption(float pos) {
    static const char* const kNames[] = {"Ultra low", "Low", "Medium", "High"};
    const int level = std::clamp(rounded(pos), 1, 4);
    return std::string("Video Quality (") + kNames[level - 1] + ")";
}

std::string transparencyCaption(float pos) {
    return "Tab Transparenty (" + std::to_string(rounded(pos) + 10) + "%)";
}

std::string difficultyCaption(float pos) {
    return std::string("Difficulty (") + session::difficultyName(difficultyAt(pos)) + ")";
}

std::string micDelayCaption(float pos) {
    return "Microphone delay (" + std::to_string(std::clamp(rounded(pos), 0, kMaxMicDelayMs)) +
           " ms)";
}

std::string songOrderCaption(songs::SongOrder order) {
    switch (order) {
    case songs::SongOrder::ByTitle:
        return "Title";
    case songs::SongOrder::ByFolder:
        return "Folder";
    case songs::SongOrder::MostSung:
        return "Most sung";
    case songs::SongOrder::RecentlySung:
        return "Recently sung";
    default:
        return "Artist";
    }
}

songs::SongOrder songOrderOf(std::string_view caption) {
    for (songs::SongOrder order : kSongOrderCycle)
        if (caption == songOrderCaption(order))
            return order;
    return songs::SongOrder::ByArtist;
}

void songOrderClick(TGLBaseControl& sender) {
    const songs::SongOrder now = songOrderOf(sender.caption());
    const auto at = std::find(kSongOrderCycle.begin(), kSongOrderCycle.end(), now);
    const auto next = at + 1 == kSongOrderCycle.end() ? kSongOrderCycle.begin() : at + 1;
    sender.setCaption(songOrderCaption(*next));
}

bool toggleIsOn(const TGLBaseControl& toggle) {
    return toggle.caption() == kOn;
}

void setToggle(TGLBaseControl& toggle, bool on) {
    toggle.setCaption(on ? kOn : "");
}

bool showsUnplayableSongs(const GameScene& game) {
    return toggleIsOn(*game.options.appearance.showUnplayable);
}

void setShowsUnplayableSongs(GameScene& game, bool show) {
    setToggle(*game.options.appearance.showUnplayable, show);
}

session::Difficulty difficultyAt(float pos) {
    switch (std::clamp(rounded(pos), 1, 3)) {
    case 1:
        return session::Difficulty::Easy;
    case 3:
        return session::Difficulty::Hard;
    default:
        return session::Difficulty::Medium;
    }
}

void buildOptionsControls(GameScene& g) {
    g.materials.stuff.addTextureMaterial(kColourButtonPicture, colourButtonPicture());
    buildGameplayPage(g);
    buildSoundPage(g);
    buildAppearancePage(g);
}

SessionOptions readSessionOptions(const GameScene& g) {
    SessionOptions o;
    o.showTabs = g.options.gameplay.tabsToggle->caption() == kOn;
    o.showLyrics = g.options.gameplay.lyricsToggle->caption() == kOn;
    o.showOscilloscope = g.options.gameplay.oscilloscopeToggle->caption() == kOn;
    o.showTime = g.options.gameplay.timeToggle->caption() == kOn;
    o.defaultTabColour = g.options.appearance.tabColourButton->defaultColor();
    o.actualTabColour = g.options.appearance.actualTabColourButton->defaultColor();
    o.textColour = g.options.appearance.textColourButton->defaultColor();
    o.tabAlpha =
        static_cast<float>(rounded(g.options.appearance.transparency->pos()) + 10) / 100.0f;
    o.videoSpeedPosition = rounded(g.options.gameplay.videoSpeed->pos());
    o.videoQuality = rounded(g.options.gameplay.videoQuality->pos());
    o.exportFileName = g.options.sound.exportName->caption();
    o.difficulty = difficultyAt(g.options.gameplay.difficulty->pos());
    o.micDelayMs = std::clamp(rounded(g.options.sound.micDelay->pos()), 0, kMaxMicDelayMs);
    return o;
}

OptionsForm::OptionsForm(GameScene& game, QWidget* window) : m_game(game) {
    m_chooser = [window](TColor initial) -> std::optional<TColor> {
        const QColor chosen = QColorDialog::getColor(
            QColor(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                   static_cast<int>((initial >> 16) & 0xFF)),
            window);
        if (!chosen.isValid())
            return std::nullopt;
        return static_cast<TColor>(chosen.red()) | static_cast<TColor>(chosen.green()) << 8 |
               static_cast<TColor>(chosen.blue()) << 16;
    };
    for (TGLButton* b :
         {game.options.appearance.tabColourButton, game.options.appearance.actualTabColourButton,
          game.options.appearance.voiceTabColourButton, game.options.appearance.textColourButton})
        b->onButtonClick = [this](TGLBaseControl& sender) { chooseColour(sender); };
    m_notify = [window](const std::string& text) {
        QMessageBox::information(window, QStringLiteral("Cantorix"), QString::fromStdString(text));
    };
    game.options.sound.calibrateButton->onButtonClick = [this](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        calibrate();
    };
    m_calibrationTimer.setInterval(kCalibrationPollMs);
    QObject::connect(&m_calibrationTimer, &QTimer::timeout, [this] { calibrationStep(); });
}

void OptionsForm::calibrate() {
    if (calibrating())
        return;
    if (!m_clickPlayer) {
        m_notify("There is no sound output to play the calibration clicks through.");
        return;
    }
    m_calibration = std::make_unique<session::DelayCalibration>(*m_clickPlayer);
    if (m_quiet)
        m_quiet(true);
    try {
        m_calibration->start();
    } catch (const std::exception& e) {
        m_calibration.reset();
        if (m_quiet)
            m_quiet(false);
        m_notify(std::string("The calibration clicks cannot be played: ") + e.what());
        return;
    }
    m_game.options.sound.calibrateButton->setCaption("...");
    m_calibrationTimer.start();
}

void OptionsForm::calibrationStep() {
    if (m_calibration && m_calibration->step())
        endCalibration();
}

void OptionsForm::endCalibration() {
    m_calibrationTimer.stop();
    const std::optional<double> measured = m_calibration->finish();
    m_calibration.reset();
    m_game.options.sound.calibrateButton->setCaption("Calibrate");
    if (m_quiet)
        m_quiet(false);
    if (!measured) {
        // Headphones, no microphone or a silent output: the value the player had stays.
        m_notify("No click was heard through the microphone (headphones on, no microphone, or a "
                 "silent sound output). The microphone delay stays at " +
                 std::to_string(readSessionOptions(m_game).micDelayMs) + " ms.");
        return;
    }
    const std::int64_t heard = session::roundHalfEven(*measured);
    const int delay = static_cast<int>(std::clamp<std::int64_t>(heard, 0, kMaxMicDelayMs));
    m_game.options.sound.micDelay->setPos(static_cast<float>(delay));
    std::string text = "The microphone delay is now " + std::to_string(delay) + " ms";
    if (heard != delay)
        text += " (the clicks came back after " + std::to_string(heard) + " ms)";
    m_notify(text + ".");
}

void OptionsForm::chooseColour(TGLBaseControl& sender) {
    // The dialog takes the mouse release; the button must not stay down behind it.
    if (auto* button = dynamic_cast<TGLButton*>(&sender))
        button->setPressed(false);
    const std::optional<TColor> chosen = m_chooser ? m_chooser(m_dialogColour) : std::nullopt;
    if (!chosen)
        return;
    m_dialogColour = *chosen;
    sender.setDefaultColor(*chosen);
    sender.setFocusedColor(*chosen);
}

} // namespace cantorix::app
