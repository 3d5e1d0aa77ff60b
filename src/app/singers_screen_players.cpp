// The singers screen's players: a slot steps through the free players, a guest and a new player;
// a player is renamed, recoloured, pictured or removed from their row, and the rows follow the
// book as it changes.

#include "player_pictures.h"
#include "singers_screen.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <iostream>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kRowPictureSide = 28;

} // namespace

std::filesystem::path SingersScreen::askForPicture() {
    const QString file = QFileDialog::getOpenFileName(
        QApplication::activeWindow(), "A picture of the player", QString(),
        "Pictures (*.png *.jpg *.jpeg *.PNG *.JPG *.JPEG);;All files (*)");
    return file.isEmpty() ? std::filesystem::path() : std::filesystem::path(file.toStdString());
}

RemoveAnswer SingersScreen::askBeforeRemoving(const std::string& name) {
    QMessageBox box(QMessageBox::Question, "Remove a player",
                    QString::fromStdString("Remove the player \"" + name + "\"?"),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setInformativeText("Their performances can stay, listed as \"removed player\", or go "
                           "with them.");
    QPushButton* keep = box.addButton("Remove, keep performances", QMessageBox::AcceptRole);
    QPushButton* both = box.addButton("Remove with performances", QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton("Cancel", QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == keep   ? RemoveAnswer::KeepPerformances
           : box.clickedButton() == both ? RemoveAnswer::DeletePerformances
                                         : RemoveAnswer::Cancel;
}

void SingersScreen::connectPlayerRow(std::size_t slot) {
    SingerRowNodes& row = m_game.singers.rows[slot];
    connectClick(*row.player, slot, &SingersScreen::stepPlayer);
    connectClick(*row.choosePicture, slot, &SingersScreen::choosePicture);
    connectClick(*row.remove, slot, &SingersScreen::removePlayer);
    // Without records there are no players to choose, picture or remove.
    for (TGLBaseControl* control : {row.player, row.choosePicture, row.remove})
        control->setVisible(m_records != nullptr);
}

const records::Player* SingersScreen::playerOf(std::size_t slot) const {
    const std::optional<std::int64_t> id = m_roster.slot(slot).playerId;
    return m_records && id ? m_records->book().player(*id) : nullptr;
}

bool SingersScreen::changeRecords(std::size_t slot, const std::function<void()>& change) {
    // Any other change to the slot starts the Player button's steps afresh.
    m_playerStep[slot] = PlayerStep::None;
    try {
        change();
        m_said[slot].clear();
        return true;
    } catch (const records::EPlayerNameTaken&) {
        m_said[slot] = "That name is taken";
    } catch (const std::exception& e) {
        m_said[slot] = e.what();
    }
    // What was typed goes back to what is stored.
    m_game.singers.rows[slot].name->setCaption(m_roster.slot(slot).name);
    showRow(slot);
    return false;
}

void SingersScreen::recolour(std::size_t slot) {
    const scene::TColor colour = nextSingerColour(m_roster.slot(slot).colour);
    if (const records::Player* player = playerOf(slot)) {
        records::Player changed = *player;
        changed.colour = colour;
        if (!changeRecords(slot, [&] { m_records->updatePlayer(changed); }))
            return;
    }
    m_roster.slot(slot).colour = colour;
    storeRoster();
    showRow(slot);
}

void SingersScreen::stepPlayer(std::size_t slot) {
    if (!m_records || !m_records->loaded()) {
        setStatus(slot, "The players are still being read.");
        return;
    }
    // The players free for this slot, then a guest, then a new player.
    std::vector<const records::Player*> free;
    for (const records::Player& player : m_records->book().players())
        if (const std::optional<std::size_t> at = m_roster.slotOf(player.id); !at || *at == slot)
            free.push_back(&player);
    const std::size_t guest = free.size(), made = free.size() + 1;
    const PlayerStep step = std::exchange(m_playerStep[slot], PlayerStep::None);
    const std::optional<std::int64_t> id = m_roster.slot(slot).playerId;
    std::size_t now = free.empty() ? guest : made;
    if (id && step != PlayerStep::Made)
        now = static_cast<std::size_t>(
            std::find_if(free.begin(), free.end(),
                         [&](const records::Player* p) { return p->id == *id; }) -
            free.begin());
    else if (!id && step == PlayerStep::GuestAfterPlayers)
        now = guest;
    const std::size_t next = (now + 1) % (made + 1);
    m_said[slot].clear();
    if (next < guest) {
        m_roster.bindPlayer(slot, *free[next]);
    } else if (next == guest) {
        m_roster.makeGuest(slot);
        m_playerStep[slot] = PlayerStep::GuestAfterPlayers;
    } else {
        records::Player player;
        for (int n = 1; player.name.empty() || m_records->book().playerNamed(player.name); ++n)
            player.name = "Player " + std::to_string(n);
        player.colour = m_roster.slot(slot).colour;
        if (!changeRecords(slot, [&] { player = m_records->addPlayer(player); }))
            return;
        m_roster.bindPlayer(slot, player);
        m_playerStep[slot] = PlayerStep::Made;
    }
    m_game.singers.rows[slot].name->setCaption(m_roster.slot(slot).name);
    storeRoster();
    showRow(slot);
}

void SingersScreen::commitName(std::size_t slot) {
    const records::Player* player = playerOf(slot);
    if (!player)
        return;
    records::Player renamed = *player;
    renamed.name = records::cleanPlayerName(m_game.singers.rows[slot].name->caption());
    if (renamed.name.empty()) {
        m_said[slot] = "A player needs a name";
        m_game.singers.rows[slot].name->setCaption(m_roster.slot(slot).name);
        showRow(slot);
        return;
    }
    if (renamed.name != player->name &&
        changeRecords(slot, [&] { m_records->updatePlayer(renamed); }))
        m_roster.bindPlayer(slot, renamed);
    m_game.singers.rows[slot].name->setCaption(m_roster.slot(slot).name);
    storeRoster();
    showRow(slot);
}

void SingersScreen::choosePicture(std::size_t slot) {
    const records::Player* player = playerOf(slot);
    if (!player) {
        setStatus(slot, "A guest has no picture: choose a player first.");
        return;
    }
    if (m_picturesFolder.empty()) {
        setStatus(slot, "There is no folder to keep pictures in.");
        return;
    }
    const std::filesystem::path file = m_choosePicture();
    player = playerOf(slot); // the dialog ran the event loop
    if (file.empty() || !player)
        return;
    records::Player changed = *player;
    const std::string before = player->picture;
    try {
        changed.picture = storePlayerPicture(file, m_picturesFolder, changed.id);
    } catch (const std::exception& e) {
        setStatus(slot, e.what());
        return;
    }
    if (!changeRecords(slot, [&] { m_records->updatePlayer(changed); })) {
        forgetPicture(changed.picture);
        return;
    }
    forgetPicture(before);
    recordsChanged();
}

void SingersScreen::removePlayer(std::size_t slot) {
    const records::Player* player = playerOf(slot);
    if (!player) {
        setStatus(slot, "A guest is no player to remove.");
        return;
    }
    const std::string name = player->name;
    const RemoveAnswer answer = m_askRemove(name);
    player = playerOf(slot); // the question ran the event loop
    if (answer == RemoveAnswer::Cancel || !player || player->name != name)
        return;
    const records::Player gone = *player;
    if (!changeRecords(slot, [&] {
            m_records->removePlayer(gone.id, answer == RemoveAnswer::DeletePerformances);
        }))
        return;
    forgetPicture(gone.picture);
    m_roster.makeGuest(slot);
    m_said[slot] = "\"" + gone.name + "\" was removed";
    recordsChanged();
}

void SingersScreen::forgetPicture(const std::string& fileName) const {
    const std::filesystem::path file = keptPictureFile(m_picturesFolder, fileName);
    if (file.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

std::filesystem::path SingersScreen::pictureFileOf(std::size_t slot) const {
    const records::Player* player = playerOf(slot);
    return player ? keptPictureFile(m_picturesFolder, player->picture) : std::filesystem::path();
}

void SingersScreen::showPicture(std::size_t slot) {
    const SingerSlot& s = m_roster.slot(slot);
    const records::Player* player = playerOf(slot);
    const std::string picture = player ? player->picture : std::string();
    const std::string shown = picture + '\n' + s.name + '\n' + std::to_string(s.colour);
    TGLLibMaterial* material = m_game.singers.rows[slot].picture->bitBtn().resolve();
    if (!material || m_pictureShown[slot] == shown)
        return;
    m_pictureShown[slot] = shown;
    QImage image;
    if (const std::filesystem::path file = keptPictureFile(m_picturesFolder, picture);
        !file.empty()) {
        try {
            image = squarePicture(readPictureFile(file), kRowPictureSide);
        } catch (const std::exception& e) {
            std::cerr << "cantorix: " << s.name << "'s picture: " << e.what() << '\n';
        }
    }
    if (image.isNull())
        image = initialsPicture(s.name, s.colour, kRowPictureSide);
    material->texture().setImage(toSceneImage(image));
}

void SingersScreen::recordsChanged() {
    if (!m_records || !m_records->loaded())
        return;
    // Score.ini is written only for a change: a first start leaves it to the options' order.
    if (m_roster.followPlayers(m_records->book()))
        storeRoster();
    for (std::size_t slot = 0; slot < m_game.singers.rows.size(); ++slot)
        showRow(slot);
    if (shown())
        m_game.singers.guiRoot->applyChanges();
}

void SingersScreen::adoptSlotNamesAsPlayers() {
    if (!m_records || !m_records->loaded() || m_slotNamesAdopted)
        return;
    if (!m_profile || m_profile->readString(SingerRoster::kSection, kAdoptedKey, "") == "1" ||
        m_profile->keyNames(SingerRoster::kSection).empty()) {
        // Done before, or nothing kept to adopt: names typed for guests from now on stay guests'.
        m_slotNamesAdopted = true;
        recordsChanged();
        return;
    }
    const std::vector<SingerRoster::Unadopted> unadopted =
        m_roster.adoptNamesAsPlayers(m_records->book(), [this](const records::Player& player) {
            return m_records->addPlayer(player);
        });
    for (const SingerRoster::Unadopted& slot : unadopted)
        m_said[slot.slot] = "Not kept as a player: " + slot.reason;
    // What could not be stored is tried again at the next start.
    m_slotNamesAdopted = unadopted.empty();
    recordsChanged();
    save();
}

} // namespace cantorix::app
