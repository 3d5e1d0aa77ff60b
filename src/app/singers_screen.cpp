#include "singers_screen.h"

#include "error_guard.h"
#include "form_storage.h"
#include "session/round_half_even.h"

#include <algorithm>
#include <iostream>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kMonitorIntervalMs = 50;
constexpr int kCalibrationIntervalMs = 10;
constexpr const char* kNoInput = "none";
constexpr const char* kNotConnected = "not connected";
// The meter: one stroke per 3 dB from the floor up to full scale.
constexpr double kMeterFloorDb = -60.0;
constexpr double kMeterStepDb = 3.0;

std::string delayText(int ms) {
    return "Delay " + std::to_string(ms) + " ms";
}

std::string meterText(double levelDb) {
    const auto strokes =
        static_cast<std::size_t>(std::clamp((levelDb - kMeterFloorDb) / kMeterStepDb, 0.0, 20.0));
    return std::string(strokes, '|');
}

} // namespace

SingersScreen::SingersScreen(SingersScreenParts parts)
    : m_game(parts.game), m_inputs(parts.inputs), m_profile(parts.profile),
      m_relist(std::move(parts.relistInputs)), m_left(std::move(parts.left)),
      m_records(parts.records), m_picturesFolder(std::move(parts.picturesFolder)),
      m_choosePicture(parts.choosePicture ? std::move(parts.choosePicture) : askForPicture),
      m_askRemove(parts.askRemove ? std::move(parts.askRemove) : askBeforeRemoving),
      m_preview(parts.preview), m_monitor(std::move(parts.makeTracker)), m_phones(parts.phones) {
    if (m_profile) {
        const std::optional<float> legacy = parseProfileFloat(
            m_profile->readString(kOptionsSection, storedKey(kMicDelayProperty), "0"));
        m_roster.load(*m_profile, static_cast<int>(session::roundHalfEven(legacy.value_or(0))));
    }
    // A binding kept in a former release's form is written anew once its input is found.
    if (m_roster.placeMicFiles(m_inputs))
        storeRoster();
    SingersNodes& nodes = m_game.singers;
    for (std::size_t slot = 0; slot < nodes.rows.size(); ++slot)
        connectRow(slot);
    connectPhones();
    connectSelection(parts.options);
    // The options' microphone delay is slot 1's.
    TGLScrollbar& optionsDelay = *m_game.options.sound.micDelay;
    optionsDelay.setPos(static_cast<float>(m_roster.slot(0).delayMs));
    optionsDelay.onChange = [this, labelIt = optionsDelay.onChange](TGLBaseControl& bar) {
        if (labelIt)
            labelIt(bar);
        m_roster.slot(0).delayMs = static_cast<int>(
            std::clamp<std::int64_t>(session::roundHalfEven(static_cast<TGLScrollbar&>(bar).pos()),
                                     0, SingerRoster::kMaxDelayMs));
        storeRoster();
    };
    m_monitorTimer.setInterval(kMonitorIntervalMs);
    // A failing step is said once: the live readings stop, the screen goes on working.
    QObject::connect(&m_monitorTimer, &QTimer::timeout, [this] {
        runGuarded(nullptr, [this] {
            m_monitorTimer.stop();
            monitorTick();
            m_monitorTimer.start();
        });
    });
    m_calibrationTimer.setInterval(kCalibrationIntervalMs);
    QObject::connect(&m_calibrationTimer, &QTimer::timeout,
                     [this] { runGuarded(nullptr, [this] { calibrationStep(); }); });
    updateSelectionLine();
}

void SingersScreen::inputsListedAtStart() {
    updateSelectionLine();
    // No box at start-up: the selection screen says it, and the log for whoever started us.
    if (m_game.singers.noMicrophoneLine->visible())
        std::cerr << "cantorix: no microphone: sessions play unscored until one is connected\n";
}

void SingersScreen::connectSelection(OptionsForm* options) {
    GameScene& g = m_game;
    g.singers.selectionButton->onButtonClick = [this](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        // After the press has been offered to every root: shown at once, the screen's own root
        // would take this press as a click on whatever lies under the pointer.
        QTimer::singleShot(0, [this] { show(); });
    };
    // A session lists the inputs again: back from its score page the line follows.
    g.scorePage.backButton->onButtonClick =
        [this, back = g.scorePage.backButton->onButtonClick](TGLBaseControl& sender) {
            if (back)
                back(sender);
            updateSelectionLine();
        };
    if (!options)
        return;
    g.selection.optionsButton->onButtonClick =
        [this, options, open = g.selection.optionsButton->onButtonClick](TGLBaseControl& sender) {
            const std::vector<BoundSinger> bound = m_roster.boundSingers(m_inputs);
            if (!bound.empty() && bound.front().slot == 0)
                if (session::ClickPlayer* clicks =
                        m_inputs.clicksThrough(bound.front().input->address))
                    options->setClickPlayer(clicks);
            if (open)
                open(sender);
        };
}

SingersScreen::~SingersScreen() {
    m_calibrationTimer.stop();
    m_monitorTimer.stop();
    m_calibration.reset();
    m_monitor.stop();
}

void SingersScreen::connectRow(std::size_t slot) {
    SingerRowNodes& row = m_game.singers.rows[slot];
    connectClick(*row.colour, slot, &SingersScreen::recolour);
    connectClick(*row.input, slot, &SingersScreen::chooseNextInput);
    connectClick(*row.listen, slot, &SingersScreen::listen);
    connectClick(*row.calibrate, slot, &SingersScreen::calibrate);
    // A guest's name is kept as typed; a player is renamed by Enter.
    row.name->onChange = [this, slot](TGLBaseControl& edit) {
        if (m_roster.slot(slot).playerId)
            return;
        m_roster.slot(slot).name = edit.caption();
        storeRoster();
    };
    row.delay->onChange = [this, slot](TGLBaseControl& bar) {
        const auto ms = static_cast<int>(
            std::clamp<std::int64_t>(session::roundHalfEven(static_cast<TGLScrollbar&>(bar).pos()),
                                     0, SingerRoster::kMaxDelayMs));
        m_roster.slot(slot).delayMs = ms;
        m_game.singers.rows[slot].delayLabel->setCaption(delayText(ms));
        // Slot 1's delay is the options' too, and Score.ini keeps it under both keys alike.
        if (slot == 0)
            m_game.options.sound.micDelay->setPos(static_cast<float>(ms));
        storeRoster();
    };
    // Focus follows the mouse into a row, so the keys go on from where the player clicked.
    for (int field = 0; field < kFieldCount; ++field)
        fieldControl(slot, field)->onMouseDown =
            [this, slot, field](TGLBaseControl&, TMouseButton, int, int) { focus(slot, field); };
    connectPlayerRow(slot);
}

void SingersScreen::connectClick(TGLButton& button, std::size_t slot,
                                 void (SingersScreen::*handler)(std::size_t)) {
    button.onButtonClick = [this, slot, handler](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        (this->*handler)(slot);
    };
}

bool SingersScreen::shown() const {
    return m_game.singers.group->visible();
}

void SingersScreen::show() {
    GameScene& g = m_game;
    if (shown())
        return;
    holdPreview(true);
    // Listing again closes every stream: never while a session runs, which this screen is not.
    m_relist ? m_relist() : m_inputs.relist();
    if (m_roster.placeMicFiles(m_inputs))
        storeRoster();
    // The input slot 1 sings through when nobody chose is shown, and kept, as its binding.
    if (const std::vector<BoundSinger> bound = m_roster.boundSingers(m_inputs);
        bound.size() == 1 && !m_roster.slot(0).input)
        m_roster.slot(0).input = bound.front().input->address;
    m_monitor.start(m_inputs);
    m_said.fill({});
    g.selection.form->setVisible(false);
    g.selection.ring->setVisible(false);
    g.singers.group->setVisible(true);
    g.selection.guiRoot->setTag(0);
    g.singers.guiRoot->setTag(1);
    for (std::size_t slot = 0; slot < g.singers.rows.size(); ++slot)
        showRow(slot);
    showInputsLine();
    focus(0, kName);
    g.singers.guiRoot->applyChanges();
    m_monitorTimer.start();
}

void SingersScreen::leave() {
    GameScene& g = m_game;
    if (!shown())
        return;
    if (m_phonesShown)
        showPhones(false);
    m_monitorTimer.stop();
    if (m_calibration)
        endCalibration();
    m_monitor.stop();
    m_listeningSlot.reset();
    for (std::size_t slot = 0; slot < g.singers.rows.size(); ++slot)
        if (m_roster.slot(slot).name.empty())
            m_roster.slot(slot).name = defaultSingerName(slot);
    save();
    g.singers.group->setVisible(false);
    g.singers.guiRoot->setTag(0);
    g.selection.form->setVisible(true);
    g.selection.ring->setVisible(true);
    g.selection.guiRoot->setTag(1);
    updateSelectionLine();
    holdPreview(false);
    if (m_left)
        m_left();
}

void SingersScreen::updateSelectionLine() {
    const bool anyOpen = std::any_of(m_inputs.inputs().begin(), m_inputs.inputs().end(),
                                     [](const SoundInput& input) { return input.capture; });
    m_game.singers.noMicrophoneLine->setVisible(!anyOpen);
}

void SingersScreen::showRow(std::size_t slot) {
    SingerRowNodes& row = m_game.singers.rows[slot];
    const SingerSlot& s = m_roster.slot(slot);
    row.colour->setDefaultColor(s.colour);
    row.colour->setFocusedColor(s.colour);
    // A player's name being typed stays until Enter or until the focus leaves it.
    if (!row.name->focused() || (!s.playerId && row.name->caption() != s.name))
        row.name->setCaption(s.name);
    row.player->setCaption(s.playerId ? "Player" : "Guest");
    showPicture(slot);
    const SoundInput* input = s.input ? m_inputs.find(*s.input) : nullptr;
    row.input->setCaption(input     ? input->name
                          : s.input ? session::inputAddressText(*s.input)
                                    : kNoInput);
    row.delay->setPos(static_cast<float>(s.delayMs));
    row.delayLabel->setCaption(delayText(s.delayMs));
    std::string status = m_said[slot];
    if (status.empty() && m_roster.notConnected(slot, m_inputs))
        status = input && !input->problem.empty()
                     ? std::string(kNotConnected) + ": " + input->problem
                     : kNotConnected;
    row.status->setCaption(status);
    row.listen->setCaption(m_listeningSlot == slot ? "Stop" : "Listen");
    tellPhone(slot);
}

void SingersScreen::showInputsLine() {
    std::string line;
    if (!std::any_of(m_inputs.inputs().begin(), m_inputs.inputs().end(),
                     [](const SoundInput& input) { return input.capture; }))
        line = "no microphone";
    for (const auto& [first, second] : m_monitor.sameSignalPairs()) {
        if (!line.empty())
            line += "; ";
        line += first->name + " and " + second->name + " carry the same sound";
    }
    m_game.singers.inputsLine->setCaption(line);
}

void SingersScreen::chooseNextInput(std::size_t slot) {
    // none, then every listed input in order, then none again.
    const std::vector<SoundInput>& listed = m_inputs.inputs();
    const std::optional<session::InputAddress>& bound = m_roster.slot(slot).input;
    std::optional<session::InputAddress> next;
    const auto at = std::find_if(listed.begin(), listed.end(), [&](const SoundInput& input) {
        return bound && input.address == *bound;
    });
    if (!bound || at == listed.end())
        next = listed.empty() ? std::nullopt : std::optional(listed.front().address);
    else if (at + 1 != listed.end())
        next = (at + 1)->address;
    m_said[slot].clear();
    bind(slot, next);
}

void SingersScreen::bind(std::size_t slot, const std::optional<session::InputAddress>& address) {
    // One input, one singer: the slot that had it before lets it go.
    if (address)
        for (std::size_t other = 0; other < session::kSingerSlots; ++other)
            if (other != slot && m_roster.slot(other).input == address) {
                m_roster.slot(other).input.reset();
                m_said[other].clear();
                showRow(other);
            }
    m_roster.slot(slot).input = address;
    storeRoster();
    showRow(slot);
}

void SingersScreen::listen(std::size_t slot) {
    const std::optional<std::size_t> before = m_listeningSlot;
    m_listeningSlot.reset();
    m_monitor.stopListening();
    if (before)
        showRow(*before);
    if (before == slot)
        return;
    if (!m_monitor.running()) {
        setStatus(slot, "no microphone");
        return;
    }
    m_listeningSlot = slot;
    m_monitor.listen();
    setStatus(slot, "Sing now: the microphone that hears you is this singer's.");
}

void SingersScreen::setStatus(std::size_t slot, const std::string& text) {
    m_said[slot] = text;
    showRow(slot);
}

void SingersScreen::monitorTick() {
    m_monitor.tick();
    GameScene& g = m_game;
    for (std::size_t slot = 0; slot < g.singers.rows.size(); ++slot) {
        SingerRowNodes& row = g.singers.rows[slot];
        const std::optional<session::InputAddress>& bound = m_roster.slot(slot).input;
        const auto reading = std::find_if(
            m_monitor.readings().begin(), m_monitor.readings().end(),
            [&](const InputReading& r) { return bound && r.input->address == *bound; });
        const bool live = reading != m_monitor.readings().end();
        row.meter->setCaption(live ? meterText(reading->levelDb) : "");
        row.note->setCaption(live && reading->midiNote ? noteName(*reading->midiNote) : "");
    }
    if (const SoundInput* heard = m_monitor.heard(); heard && m_listeningSlot) {
        const std::size_t slot = *m_listeningSlot;
        m_listeningSlot.reset();
        bind(slot, heard->address);
        setStatus(slot, "Heard: " + heard->name);
    }
    showInputsLine();
    g.singers.guiRoot->applyChanges();
}

void SingersScreen::calibrate(std::size_t slot) {
    if (m_calibration)
        return;
    const std::optional<session::InputAddress>& bound = m_roster.slot(slot).input;
    session::ClickPlayer* clicks = bound ? m_inputs.clicksThrough(*bound) : nullptr;
    if (!clicks) {
        setStatus(slot, bound && m_inputs.find(*bound) && m_inputs.find(*bound)->capture
                            ? "There is no sound output to play the calibration clicks through."
                            : "Calibrate needs an input that is connected.");
        return;
    }
    m_calibration = std::make_unique<session::DelayCalibration>(*clicks);
    try {
        m_calibration->start();
    } catch (const std::exception& e) {
        m_calibration.reset();
        setStatus(slot, std::string("The calibration clicks cannot be played: ") + e.what());
        return;
    }
    m_calibratingSlot = slot;
    m_game.singers.rows[slot].calibrate->setCaption("...");
    setStatus(slot, "Listening for the clicks…");
    m_calibrationTimer.start();
}

void SingersScreen::calibrationStep() {
    if (m_calibration && m_calibration->step())
        endCalibration();
}

void SingersScreen::endCalibration() {
    m_calibrationTimer.stop();
    const std::optional<double> measured = m_calibration->finish();
    m_calibration.reset();
    const std::size_t slot = *std::exchange(m_calibratingSlot, std::nullopt);
    m_game.singers.rows[slot].calibrate->setCaption("Calibrate");
    if (!measured) {
        setStatus(slot, "No click was heard: the delay stays at " +
                            std::to_string(m_roster.slot(slot).delayMs) + " ms.");
        return;
    }
    const std::int64_t heard = session::roundHalfEven(*measured);
    // Through the row's scrollbar, so its label and slot 1's option follow.
    m_game.singers.rows[slot].delay->setPos(
        static_cast<float>(std::clamp<std::int64_t>(heard, 0, SingerRoster::kMaxDelayMs)));
    setStatus(slot, "The clicks came back after " + std::to_string(heard) + " ms.");
}

void SingersScreen::holdPreview(bool hold) {
    if (!m_preview)
        return;
    try {
        if (hold) {
            m_previewHeld = m_preview->length() > 0 && m_preview->position() < m_preview->length();
            if (m_previewHeld)
                m_preview->pause();
        } else if (std::exchange(m_previewHeld, false)) {
            m_preview->resume();
        }
    } catch (const std::exception& e) {
        // The preview is a nicety: without it the screen works all the same.
        std::cerr << "cantorix: the song preview: " << e.what() << '\n';
    }
}

void SingersScreen::storeRoster() {
    if (!m_profile)
        return;
    m_roster.save(*m_profile);
    if (m_phones)
        m_phones->reserveSlots(phoneSlotReservations(m_roster));
    if (m_slotNamesAdopted)
        m_profile->writeString(SingerRoster::kSection, kAdoptedKey, "1");
}

bool SingersScreen::save() {
    if (!m_profile)
        return true;
    try {
        storeRoster();
        m_profile->flush();
        return true;
    } catch (const std::exception& e) {
        // The singers stay as set for this run; the file keeps what it had.
        std::cerr << "cantorix: the singers were not saved: " << e.what() << '\n';
        return false;
    }
}

} // namespace cantorix::app
