#include "queue_screen.h"

#include "fitted_text.h"

#include <QTimer>
#include <algorithm>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kPageUp = 33, kPageDown = 34;
constexpr int kKeyG = 'G', kKeyL = 'L', kKeyP = 'P', kKeyR = 'R', kKeyT = 'T';
constexpr TColor kChosenColour = 0x0042C8FF; // the game's amber, as BGR
constexpr TColor kNoteColour = 0x00C0C0C0;
constexpr TColor kGoneColour = 0x008080FF;
// The choices of how many songs a guest may hold waiting, and of the party's waits (seconds),
// each stepped through by its button.
constexpr int kPerGuestChoices[] = {1, 2, 3, 4, 5, 10};
constexpr int kScorePageChoices[] = {5, 10, 15, 30, 60};
constexpr int kNextUpChoices[] = {10, 20, 30, 60};

// The choice after `now` (the first after the last, or after a value not among them).
template <std::size_t N> int nextChoice(const int (&choices)[N], int now) {
    const int* next = std::upper_bound(std::begin(choices), std::end(choices), now);
    return next == std::end(choices) ? choices[0] : *next;
}

void setText(TGLLabel& label, const std::string& text, TColor colour,
             TextCut cut = TextCut::Middle) {
    label.setCaption(label.bitmapFont() ? fitToWidth(*label.bitmapFont(), text, label.width(), cut)
                                        : text);
    label.setDefaultColor(colour);
    label.setFocusedColor(colour);
    label.setVisible(true);
}

std::string startsText(std::int64_t ms) {
    if (ms <= 0)
        return "next";
    const std::int64_t minutes = (ms + 30'000) / 60'000;
    return minutes < 1 ? "in 1 min" : "in " + std::to_string(minutes) + " min";
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " & ") + name;
    return text;
}

void pressedOff(TGLBaseControl& sender) {
    static_cast<TGLButton&>(sender).setPressed(false);
}

} // namespace

QueueScreen::QueueScreen(QueueScreenParts parts)
    : m_game(parts.game), m_party(parts.party), m_parts(std::move(parts)) {
    connectButtons();
}

void QueueScreen::connectButtons() {
    QueueNodes& nodes = m_game.queue;
    // Each button's action, then the rows as the queue now stands.
    const auto on = [this](TGLButton* button, std::function<void()> action) {
        button->onButtonClick = [this, action = std::move(action)](TGLBaseControl& sender) {
            pressedOff(sender);
            action();
            refresh();
        };
    };
    nodes.selectionButton->onButtonClick = [this](TGLBaseControl& sender) {
        pressedOff(sender);
        // After the press has been offered to every root: shown at once, the screen's own root
        // would take this press as a click on whatever lies under the pointer.
        QTimer::singleShot(0, [this] { show(); });
    };
    nodes.selectionJukeboxButton->onButtonClick = [this](TGLBaseControl& sender) {
        pressedOff(sender);
        if (m_parts.startJukebox)
            QTimer::singleShot(0, [this] { m_parts.startJukebox(); });
    };
    on(nodes.playNextButton, [this] {
        if (const auto entry = chosenEntry()) {
            m_party.playNext(*entry);
            m_chosen = 0;
            showRows();
        }
    });
    on(nodes.moveUpButton, [this] { moveChosen(-1); });
    on(nodes.moveDownButton, [this] { moveChosen(1); });
    on(nodes.removeButton, [this] { removeChosen(); });
    on(nodes.pauseButton, [this] { m_party.setPaused(!m_party.queue().settings().paused); });
    on(nodes.rotationButton, [this] { m_party.setRotation(!m_party.queue().settings().rotation); });
    on(nodes.perGuestButton, [this] {
        m_party.setMostWaiting(
            nextChoice(kPerGuestChoices, m_party.queue().settings().mostWaitingPerGuest));
    });
    on(nodes.sungRecentlyButton,
       [this] { m_party.setAllowSungRecently(!m_party.queue().settings().allowSungRecently); });
    on(nodes.scorePageButton, [this] {
        const party::QueueSettings& settings = m_party.queue().settings();
        m_party.setWaits(nextChoice(kScorePageChoices, settings.scorePageSeconds),
                         settings.nextUpSeconds);
    });
    on(nodes.nextUpButton, [this] {
        const party::QueueSettings& settings = m_party.queue().settings();
        m_party.setWaits(settings.scorePageSeconds,
                         nextChoice(kNextUpChoices, settings.nextUpSeconds));
    });
    on(nodes.clearButton, [this] { m_party.clear(); });
    on(nodes.takeFromQueueButton,
       [this] { m_party.setTakeFromQueue(!m_party.queue().settings().takeFromQueue); });
    on(nodes.guestsButton, [this] {
        m_guestsPage = !m_guestsPage;
        m_chosen = 0;
        showRows();
    });
    on(nodes.jukeboxButton, [this] {
        if (m_parts.startJukebox)
            QTimer::singleShot(0, [this] { m_parts.startJukebox(); });
    });
    on(nodes.renameButton, [this] { renameChosen(); });
    on(nodes.linkButton, [this] { linkChosen(); });
    on(nodes.removeGuestButton, [this] { removeChosen(); });
    on(nodes.backButton, [this] { leave(); });
}

bool QueueScreen::shown() const {
    return m_game.queue.group->visible();
}

void QueueScreen::show() {
    GameScene& g = m_game;
    if (shown())
        return;
    g.selection.form->setVisible(false);
    g.selection.ring->setVisible(false);
    g.queue.group->setVisible(true);
    g.selection.guiRoot->setTag(0);
    g.queue.guiRoot->setTag(1);
    m_guestsPage = false;
    m_chosen = 0;
    m_firstShown = 0;
    if (m_parts.drawCodes)
        m_parts.drawCodes();
    showRows();
}

void QueueScreen::leave() {
    GameScene& g = m_game;
    if (!shown())
        return;
    g.queue.group->setVisible(false);
    g.queue.guiRoot->setTag(0);
    g.selection.form->setVisible(true);
    g.selection.ring->setVisible(true);
    g.selection.guiRoot->setTag(1);
    if (m_parts.left)
        m_parts.left();
}

void QueueScreen::refresh() {
    if (shown())
        showRows();
}

void QueueScreen::keyDown(int key) {
    if (!shown())
        return;
    switch (key) {
    case keys::Escape:
        leave();
        return;
    case keys::Up:
        step(-1);
        return;
    case keys::Down:
        step(1);
        return;
    case kPageUp:
        moveChosen(-1);
        return;
    case kPageDown:
        moveChosen(1);
        return;
    case keys::Delete:
        removeChosen();
        return;
    case kKeyG:
        m_game.queue.guestsButton->onButtonClick(*m_game.queue.guestsButton);
        return;
    default:
        break;
    }
    if (m_guestsPage) {
        if (key == keys::Enter)
            renameChosen();
        else if (key == kKeyL)
            linkChosen();
        refresh();
        return;
    }
    QueueNodes& nodes = m_game.queue;
    const auto click = [](TGLButton* button) { button->onButtonClick(*button); };
    if (key == keys::Enter)
        click(nodes.playNextButton);
    else if (key == kKeyP)
        click(nodes.pauseButton);
    else if (key == kKeyR)
        click(nodes.rotationButton);
    else if (key == kKeyT)
        click(nodes.takeFromQueueButton);
}

std::optional<party::EntryId> QueueScreen::chosenEntry() const {
    const std::vector<party::EntryId> order = m_party.queue().order();
    if (m_guestsPage || m_chosen >= order.size())
        return std::nullopt;
    return order[m_chosen];
}

std::optional<party::GuestId> QueueScreen::chosenGuest() const {
    const std::vector<party::Guest>& guests = m_party.queue().guests();
    if (!m_guestsPage || m_chosen >= guests.size())
        return std::nullopt;
    return guests[m_chosen].id;
}

void QueueScreen::step(int by) {
    const std::size_t count =
        m_guestsPage ? m_party.queue().guests().size() : m_party.queue().order().size();
    if (count == 0)
        return;
    const auto next = static_cast<std::ptrdiff_t>(m_chosen) + by;
    m_chosen = static_cast<std::size_t>(
        std::clamp<std::ptrdiff_t>(next, 0, static_cast<std::ptrdiff_t>(count) - 1));
    showRows();
}

void QueueScreen::moveChosen(int by) {
    const auto entry = chosenEntry();
    if (!entry || (by < 0 && m_chosen == 0))
        return;
    const std::size_t to = by < 0 ? m_chosen - 1 : m_chosen + 1;
    if (to >= m_party.queue().order().size())
        return;
    m_party.move(*entry, to);
    m_chosen = to;
    showRows();
}

void QueueScreen::removeChosen() {
    if (const auto entry = chosenEntry())
        m_party.remove(*entry);
    else if (const auto guest = chosenGuest())
        m_party.removeGuest(*guest);
    else
        return;
    const std::size_t count =
        m_guestsPage ? m_party.queue().guests().size() : m_party.queue().order().size();
    m_chosen = count == 0 ? 0 : std::min(m_chosen, count - 1);
    showRows();
}

void QueueScreen::renameChosen() {
    const auto guest = chosenGuest();
    if (!guest || !m_parts.askName)
        return;
    const std::optional<std::string> name = m_parts.askName(m_party.queue().guest(*guest)->name);
    if (name)
        m_party.renameGuest(*guest, *name);
}

void QueueScreen::linkChosen() {
    const auto guest = chosenGuest();
    if (!guest || !m_parts.players)
        return;
    // Steps through the players, then back to none.
    const std::vector<QueuePlayerChoice> players = m_parts.players();
    const std::optional<std::int64_t> now = m_party.queue().guest(*guest)->playerId;
    auto next = players.begin();
    if (now) {
        next = std::find_if(players.begin(), players.end(),
                            [&](const QueuePlayerChoice& p) { return p.id == *now; });
        if (next != players.end())
            ++next;
    }
    m_party.linkGuest(*guest, next == players.end() ? std::nullopt : std::optional(next->id));
}

void QueueScreen::showRows() {
    QueueNodes& nodes = m_game.queue;
    for (QueueRowNodes& row : nodes.rows)
        for (TGLLabel* label : {row.place, row.song, row.singers, row.starts})
            label->setVisible(false);
    nodes.emptyLine->setVisible(false);
    for (TGLButton* button :
         {nodes.playNextButton, nodes.moveUpButton, nodes.moveDownButton, nodes.removeButton,
          nodes.pauseButton, nodes.rotationButton, nodes.perGuestButton, nodes.clearButton,
          nodes.sungRecentlyButton, nodes.scorePageButton, nodes.nextUpButton})
        button->setVisible(!m_guestsPage);
    for (TGLButton* button : {nodes.renameButton, nodes.linkButton, nodes.removeGuestButton})
        button->setVisible(m_guestsPage);
    const party::QueueSettings& settings = m_party.queue().settings();
    nodes.pauseButton->setCaption(settings.paused ? "Resume (P)" : "Pause (P)");
    nodes.rotationButton->setCaption(settings.rotation ? "Rotation: on (R)" : "Rotation: off (R)");
    nodes.perGuestButton->setCaption(
        std::to_string(settings.mostWaitingPerGuest) +
        (settings.mostWaitingPerGuest == 1 ? " song a guest" : " songs a guest"));
    nodes.takeFromQueueButton->setCaption(settings.takeFromQueue ? "Take songs: on (T)"
                                                                 : "Take songs: off (T)");
    nodes.guestsButton->setCaption(m_guestsPage ? "The queue (G)" : "Guests (G)");
    nodes.sungRecentlyButton->setCaption(settings.allowSungRecently ? "Sung recently: allowed"
                                                                    : "Sung recently: refused");
    nodes.scorePageButton->setCaption("Score page: " + std::to_string(settings.scorePageSeconds) +
                                      " s");
    nodes.nextUpButton->setCaption("Next up: " + std::to_string(settings.nextUpSeconds) + " s");
    // The jukebox fills an empty queue's evening.
    nodes.jukeboxButton->setVisible(!m_guestsPage && m_party.queue().entries().empty());
    if (m_guestsPage)
        showGuestRows();
    else
        showQueueRows();
}

void QueueScreen::keepChosenInView(std::size_t count) {
    m_chosen = std::min(m_chosen, count - 1);
    if (m_chosen < m_firstShown)
        m_firstShown = m_chosen;
    if (m_chosen >= m_firstShown + kQueueRows)
        m_firstShown = m_chosen + 1 - kQueueRows;
}

void QueueScreen::showQueueRows() {
    QueueNodes& nodes = m_game.queue;
    const party::QueueSettings& settings = m_party.queue().settings();
    const std::vector<party::QueueRow> rows = m_party.rows();
    setText(*nodes.title, "Queue", clWhite);
    std::string status = rows.size() == 1 ? "1 song" : std::to_string(rows.size()) + " songs";
    status += settings.rotation ? " \xC2\xB7 fair rotation" : " \xC2\xB7 first come, first served";
    if (settings.paused)
        status += " \xC2\xB7 paused";
    if (settings.takeFromQueue)
        status += " \xC2\xB7 the game sings them in turn";
    setText(*nodes.statusLine, status, kNoteColour);
    if (rows.empty()) {
        setText(*nodes.emptyLine,
                "The queue is empty: guests add songs from their phones' song book.", kNoteColour);
        return;
    }
    keepChosenInView(rows.size());
    for (std::size_t i = 0; i < kQueueRows && m_firstShown + i < rows.size(); ++i) {
        const std::size_t index = m_firstShown + i;
        const party::QueueRow& row = rows[index];
        QueueRowNodes& shown = nodes.rows[i];
        const TColor colour = index == m_chosen ? kChosenColour : clWhite;
        setText(*shown.place, std::to_string(index + 1), colour);
        // A medley's caption comes first, and its list of songs is cut at its end.
        const party::QueueEntry* entry = m_party.queue().entry(row.entry);
        setText(*shown.song,
                row.gone ? "no longer in the library" : row.title + " \xE2\x80\x93 " + row.artist,
                row.gone ? kGoneColour : colour,
                entry && entry->medley ? TextCut::End : TextCut::Middle);
        setText(*shown.singers, joined(row.singers), colour);
        setText(*shown.starts, startsText(row.startsInMs), kNoteColour);
    }
}

void QueueScreen::showGuestRows() {
    QueueNodes& nodes = m_game.queue;
    const std::vector<party::Guest>& guests = m_party.queue().guests();
    setText(*nodes.title, "Guests", clWhite);
    setText(*nodes.statusLine,
            guests.size() == 1 ? "1 guest" : std::to_string(guests.size()) + " guests",
            kNoteColour);
    if (guests.empty()) {
        setText(*nodes.emptyLine, "No guest has joined the queue yet.", kNoteColour);
        return;
    }
    const std::vector<QueuePlayerChoice> players =
        m_parts.players ? m_parts.players() : std::vector<QueuePlayerChoice>{};
    keepChosenInView(guests.size());
    for (std::size_t i = 0; i < kQueueRows && m_firstShown + i < guests.size(); ++i) {
        const std::size_t index = m_firstShown + i;
        const party::Guest& guest = guests[index];
        QueueRowNodes& shown = nodes.rows[i];
        const TColor colour = index == m_chosen ? kChosenColour : clWhite;
        setText(*shown.place, std::to_string(index + 1), colour);
        setText(*shown.song, guest.name, colour);
        const int waiting = m_party.queue().waitingOf(guest.id);
        setText(*shown.singers, std::to_string(waiting) + " waiting", colour);
        std::string linked;
        if (guest.playerId)
            for (const QueuePlayerChoice& player : players)
                if (player.id == *guest.playerId)
                    linked = player.name;
        setText(*shown.starts, linked.empty() ? "guest" : linked, kNoteColour);
    }
}

std::vector<std::string> QueueScreen::shownLines() const {
    const QueueNodes& nodes = m_game.queue;
    std::vector<std::string> lines{nodes.title->caption(), nodes.statusLine->caption()};
    if (nodes.emptyLine->visible())
        lines.push_back(nodes.emptyLine->caption());
    for (std::size_t i = 0; i < nodes.rows.size(); ++i) {
        const QueueRowNodes& row = nodes.rows[i];
        if (!row.place->visible())
            continue;
        const bool chosen = m_firstShown + i == m_chosen;
        lines.push_back((chosen ? "> " : "") + row.place->caption() + " | " + row.song->caption() +
                        " | " + row.singers->caption() + " | " + row.starts->caption());
    }
    return lines;
}

} // namespace cantorix::app
