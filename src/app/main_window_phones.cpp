// Phones as microphones in the window: a phone that takes a seat sings in that slot.

#include "error_guard.h"
#include "join_code_picture.h"
#include "main_window.h"
#include "player_pictures.h"

#include <algorithm>
#include <memory>

namespace cantorix::app {

namespace {

// The slot's colour as the phone's page writes it: 0xRRGGBB from the scene's 0x00BBGGRR.
std::uint32_t rgbOf(scene::TColor colour) {
    const auto c = static_cast<std::uint32_t>(colour);
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

} // namespace

void MainWindow::openSongBook() {
    // Once each scan is done (a song's text may have changed), and again whenever the songs
    // that can be sung change.
    if (!m_library)
        return;
    if (m_library->scanning()) {
        m_scannedSinceSongBook = true;
        return;
    }
    const selection::SongBrowser& browser = m_library->browser();
    const std::pair shape{browser.total(), browser.unplayableCount()};
    if (m_songBookShape == shape && !m_scannedSinceSongBook)
        return;
    m_songBookShape = shape;
    m_scannedSinceSongBook = false;
    // Folding and sorting 30,000 songs takes a tenth of a second: not on the window's thread.
    if (m_songBookBuild.valid())
        m_songBookBuild.wait();
    const bool scanned = m_library->scanned();
    m_songBookBuild =
        std::async(std::launch::async, [this, scanned, songs = browser.songs(),
                                        phones = m_services.phones, salt = m_songBookSalt] {
            auto book = std::make_shared<const party::SongBook>(songs, salt);
            if (phones)
                phones->openSongBook(book);
            // The queue checks its songs against the same book, on the window's thread, once a
            // scan has gone through every folder: a song of the queue not found yet is not gone.
            if (scanned)
                m_invoker.post([this, book] { m_party->openSongBook(book); });
        });
}

bool MainWindow::drawPartyCode(const JoinCode& code, const PartyCodePlace& place) {
    if (!drawable(code)) {
        place.sprite.setVisible(false);
        place.caption.setVisible(false);
        return false;
    }
    const int modules = code.size + 2 * kQuietModules;
    const int pixels = std::max(kLeastModulePixels, place.most / modules);
    const QImage picture = joinCodePicture(code, pixels);
    m_game->materials.skin.addTextureMaterial(place.material, toSceneImage(picture));
    place.sprite.setWidth(static_cast<float>(picture.width()));
    place.sprite.setHeight(static_cast<float>(picture.height()));
    place.sprite.setVisible(true);
    place.caption.setPosition({place.x, place.y + static_cast<float>(picture.height()) / 2 + 4, 0});
    place.caption.setVisible(true);
    return true;
}

void MainWindow::showSongBookCode() {
    SelectionNodes& selection = m_game->selection;
    PhoneHall* phones = m_services.phones;
    const std::vector<std::string> addresses =
        phones && phones->listening() ? phones->addresses() : std::vector<std::string>{};
    const JoinCode code = addresses.empty() ? JoinCode{} : phones->joinCode(0, addresses.front());
    drawPartyCode(code, {*selection.songBookCode, *selection.songBookCaption, "SongBookCode",
                         kSongBookCodeMost, kSongBookCodeX, kSongBookCodeY});
}

void MainWindow::connectPhonesOption() {
    m_game->options.sound.phonesToggle->onButtonClick = [this](scene::TGLBaseControl& sender) {
        toggleClick(sender);
        if (toggleIsOn(sender) && !m_services.phones)
            presentNotice(this, QStringLiteral("Phones can join from the next start of the game."));
    };
}

void MainWindow::followPhoneSeats() {
    PhoneHall* phones = m_services.phones;
    if (!phones || !m_singers)
        return;
    const std::vector<PhoneSeatView> seats = phones->seats();
    SingerRoster& roster = m_singers->roster();
    for (std::size_t index = 0; index < session::kSingerSlots; ++index) {
        const std::size_t slot = index + 1;
        const session::InputAddress phone = phoneInputAddress(slot);
        const auto seat = std::find_if(seats.begin(), seats.end(),
                                       [slot](const PhoneSeatView& s) { return s.slot == slot; });
        SingerSlot& singer = roster.slot(index);
        // A seat taken before the server heard the slot was the host's: the slot stays theirs.
        const bool hosts = singer.input ? singer.input != phone : singer.playerId.has_value();
        if (seat != seats.end() && hosts)
            continue;
        if (seat != seats.end()) {
            if (singer.input != phone) {
                singer.input = phone;
                singer.nameBeforePhone = singer.name;
            }
            if (!singer.playerId && !seat->name.empty())
                singer.name = seat->name;
            phones->showSinger(slot, singer.name, rgbOf(singer.colour));
        } else if (singer.input == phone) {
            // The seat is free again: its code may be scanned by anyone.
            singer.input.reset();
            if (!singer.playerId)
                singer.name = singer.nameBeforePhone.empty() ? defaultSingerName(index)
                                                             : singer.nameBeforePhone;
            singer.nameBeforePhone.clear();
        }
    }
    phones->reserveSlots(phoneSlotReservations(roster));
    m_inputs->refreshNames();
    m_singers->phonesChanged();
    if (m_session->party().empty())
        showWhoSings();
    // A guest called to sing has joined: the Next up screen shows them seated.
    if (m_game->nextUp.group->visible() && m_partyFlow->entry())
        showNextUp(*m_partyFlow->entry(), false);
}

} // namespace cantorix::app
