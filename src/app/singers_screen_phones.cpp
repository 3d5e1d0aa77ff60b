// The singers screen's phones panel, shown over the rows by its button or F5: a join code for
// each free slot (the QR code drawn pixel for pixel inside its white quiet zone, what it says
// written beneath), the phone's name where a phone holds the slot, the address the codes lead
// to, the port and the certificate's fingerprint; or why phones cannot join. "Free slot" beneath a
// seated phone gives its slot back. The phone that sings in a slot is told the slot's singer
// whenever the screen changes them.

#include "join_code_picture.h"
#include "player_pictures.h"
#include "singers_screen.h"

#include <QImage>
#include <algorithm>

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr TColor kConnectedColour = 0x0060E060;
constexpr TColor kComingBackColour = 0x0080D0FF;
constexpr const char* kEllipsis = "\xE2\x80\xA6";

// The text over as many lines as it takes to stay within width; a line breaks between whole
// characters, since an address has no spaces to break at.
std::string brokenToWidth(TGLBitmapFont& font, const std::string& text, int width) {
    std::string lines, line;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t next = at + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
            ++next;
        const std::string character = text.substr(at, next - at);
        if (!line.empty() && font.textWidth(line + character) > width) {
            lines += line + '\n';
            line.clear();
        }
        line += character;
        at = next;
    }
    return lines + line;
}

// The text cut to width with an ellipsis, whole characters kept.
std::string shortenedToWidth(TGLBitmapFont& font, std::string text, int width) {
    if (font.textWidth(text) <= width)
        return text;
    while (!text.empty() && font.textWidth(text + kEllipsis) > width) {
        std::size_t cut = text.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.erase(cut);
    }
    return text + kEllipsis;
}

// The game keeps colours as 0x00BBGGRR; phones take 0xRRGGBB.
std::uint32_t rgbOf(TColor colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

const PhoneSeatView* seatOf(const std::vector<PhoneSeatView>& seats, std::size_t slotNumber) {
    const auto found = std::find_if(seats.begin(), seats.end(), [&](const PhoneSeatView& seat) {
        return seat.slot == slotNumber;
    });
    return found == seats.end() ? nullptr : &*found;
}

} // namespace

void SingersScreen::connectPhones() {
    SingersNodes& nodes = m_game.singers;
    nodes.phonesButton->setVisible(m_phones != nullptr);
    nodes.phonesButton->onButtonClick = [this](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        showPhones(!m_phonesShown);
    };
    nodes.phones.address->onButtonClick = [this](TGLBaseControl& sender) {
        static_cast<TGLButton&>(sender).setPressed(false);
        nextPhoneAddress();
    };
    for (std::size_t slot = 0; slot < nodes.phones.codes.size(); ++slot)
        nodes.phones.codes[slot].release->onButtonClick = [this, slot](TGLBaseControl& sender) {
            static_cast<TGLButton&>(sender).setPressed(false);
            // The seat goes on the server's thread; the seats' change then clears the binding.
            if (m_phones)
                m_phones->freeSlot(slot + 1);
        };
    // Back from the panel returns to the rows; from the rows it leaves the screen.
    nodes.backButton->onButtonClick = [this](TGLBaseControl&) {
        m_phonesShown ? showPhones(false) : leave();
    };
}

bool SingersScreen::phonesShown() const {
    return shown() && m_phonesShown;
}

void SingersScreen::showPhones(bool show) {
    SingersNodes& nodes = m_game.singers;
    m_phonesShown = show && m_phones != nullptr;
    nodes.phones.panel->setVisible(m_phonesShown);
    nodes.title->setCaption(m_phonesShown ? "Phones" : "Singers");
    nodes.hint->setCaption(m_phonesShown ? SingersNodes::kPhonesHint : SingersNodes::kRowsHint);
    showRowControls(!m_phonesShown);
    if (m_phonesShown) {
        showPhonesPanel();
        // Keys go to the buttons below, not to a hidden row's name field.
        focus(nodes.rows.size(), 0);
    } else {
        for (std::size_t slot = 0; slot < nodes.rows.size(); ++slot)
            showRow(slot);
        focus(0, kName);
    }
    nodes.guiRoot->applyChanges();
}

void SingersScreen::showRowControls(bool show) {
    SingersNodes& nodes = m_game.singers;
    for (std::size_t slot = 0; slot < nodes.rows.size(); ++slot) {
        SingerRowNodes& row = nodes.rows[slot];
        for (int field = 0; field < kFieldCount; ++field)
            fieldControl(slot, field)->setVisible(show && (field < kPlayer || m_records));
        for (TGLBaseControl* control :
             {static_cast<TGLBaseControl*>(row.picture), static_cast<TGLBaseControl*>(row.status),
              static_cast<TGLBaseControl*>(row.meter), static_cast<TGLBaseControl*>(row.note),
              static_cast<TGLBaseControl*>(row.delayLabel)})
            control->setVisible(show);
        row.focusMark->setVisible(show && slot == m_focusRow);
    }
    nodes.inputsLine->setVisible(show);
}

void SingersScreen::nextPhoneAddress() {
    const std::size_t count = m_phones ? m_phones->addresses().size() : 0;
    m_phoneAddress = count == 0 ? 0 : (m_phoneAddress + 1) % count;
    showPhonesPanel();
    m_game.singers.guiRoot->applyChanges();
}

void SingersScreen::showPhonesPanel() {
    if (!m_phones || !m_phonesShown)
        return;
    PhonesPanelNodes& nodes = m_game.singers.phones;
    const std::vector<std::string> addresses = m_phones->addresses();
    const bool listening = m_phones->listening() && !addresses.empty();
    nodes.problem->setVisible(!listening);
    m_game.singers.hint->setCaption(listening ? SingersNodes::kPhonesHint
                                              : "Phones cannot join at the moment.");
    nodes.problem->setCaption(m_phones->listening()
                                  ? "No network address phones could reach the game at was found."
                                  : m_phones->problem());
    for (TGLBaseControl* line :
         {static_cast<TGLBaseControl*>(nodes.address), static_cast<TGLBaseControl*>(nodes.port),
          static_cast<TGLBaseControl*>(nodes.fingerprint)})
        line->setVisible(listening);
    if (!listening) {
        for (PhoneCodeNodes& cell : nodes.codes)
            for (TGLBaseControl* control :
                 {static_cast<TGLBaseControl*>(cell.heading),
                  static_cast<TGLBaseControl*>(cell.code), static_cast<TGLBaseControl*>(cell.url),
                  static_cast<TGLBaseControl*>(cell.seat),
                  static_cast<TGLBaseControl*>(cell.release)})
                control->setVisible(false);
        return;
    }
    m_phoneAddress = std::min(m_phoneAddress, addresses.size() - 1);
    const std::string& address = addresses[m_phoneAddress];
    // One address needs no choosing: the button then only says it.
    const std::string count = addresses.size() > 1
                                  ? "  (" + std::to_string(m_phoneAddress + 1) + "/" +
                                        std::to_string(addresses.size()) + ")"
                                  : std::string();
    // A long IPv6 address is cut to the button; the codes and their lines say it whole.
    TGLBitmapFont& font = *nodes.address->bitmapFont();
    const int room = nodes.address->width() - 12 - font.textWidth(count);
    nodes.address->setCaption(shortenedToWidth(font, "Address: " + address, room) + count);
    nodes.port->setCaption("Port " + std::to_string(m_phones->port()));
    // The full fingerprint is on stderr since the server started; this is to compare by eye.
    nodes.fingerprint->setCaption(shortenedToWidth(*nodes.fingerprint->bitmapFont(),
                                                   "Certificate " + m_phones->fingerprint(),
                                                   nodes.fingerprint->width()));
    const std::vector<PhoneSeatView> seats = m_phones->seats();
    for (std::size_t slot = 0; slot < nodes.codes.size(); ++slot)
        showPhoneCell(slot, seats, address);
}

void SingersScreen::showPhoneCell(std::size_t slot, const std::vector<PhoneSeatView>& seats,
                                  const std::string& address) {
    PhoneCodeNodes& cell = m_game.singers.phones.codes[slot];
    const SingerSlot& s = m_roster.slot(slot);
    cell.heading->setVisible(true);
    cell.heading->setCaption(std::to_string(slot + 1) + "  " + s.name);
    cell.heading->setDefaultColor(s.colour);
    cell.heading->setFocusedColor(s.colour);
    // A slot another input sings through, or one a phone holds, has no code to offer.
    const PhoneSeatView* seat = seatOf(seats, slot + 1);
    const bool boundElsewhere =
        s.input && !(s.input->card == kPhoneInputCard && !seatOf(seats, s.input->channel + 1));
    const bool free = !seat && !boundElsewhere;
    cell.seat->setVisible(!free);
    cell.release->setVisible(seat != nullptr);
    cell.code->setVisible(free);
    cell.url->setVisible(free);
    if (!free) {
        const TColor colour = !seat || seat->connected ? kConnectedColour : kComingBackColour;
        cell.seat->setCaption(seat ? seat->name + "\n" +
                                         (seat->connected ? "connected" : "coming back")
                                   : "sings through\n" + inputName(*s.input));
        cell.seat->setDefaultColor(colour);
        cell.seat->setFocusedColor(colour);
        return;
    }
    const JoinCode code = m_phones->joinCode(slot + 1, address);
    TGLLibMaterial* material = cell.code->bitBtn().resolve();
    if (!drawable(code) || !material) {
        // A code that does not add up is not drawn: a wrong code would send the guest astray.
        cell.code->setVisible(false);
        cell.url->setCaption("This slot's code cannot be drawn");
        m_codeShown[slot].clear();
        return;
    }
    cell.url->setCaption(brokenToWidth(*cell.url->bitmapFont(), code.url, cell.url->width()));
    // Centred in the square between the heading and the address below it.
    const int areaLeft = cell.heading->left();
    const int areaTop = cell.heading->top() + cell.heading->height();
    const int area = std::min(cell.heading->width(), cell.url->top() - areaTop);
    const int modules = code.size + 2 * kQuietModules;
    const int pixels = std::max(kLeastModulePixels, area / modules);
    const int side = modules * pixels;
    cell.code->setBounds(areaLeft + (cell.heading->width() - side) / 2,
                         areaTop + std::max(0, (area - side) / 2), side, side);
    cell.code->setLogicSize(side, side);
    const std::string shown = code.url + '\n' + std::to_string(pixels);
    if (m_codeShown[slot] != shown) {
        m_codeShown[slot] = shown;
        material->texture().setImage(toSceneImage(joinCodePicture(code, pixels)));
    }
}

std::string SingersScreen::inputName(const session::InputAddress& address) const {
    const SoundInput* input = m_inputs.find(address);
    return input ? input->name : session::inputAddressText(address);
}

void SingersScreen::phonesChanged() {
    if (!m_phones)
        return;
    // A phone that joined or came back has been told nothing yet.
    m_phoneTold.fill({});
    for (std::size_t slot = 0; slot < m_game.singers.rows.size(); ++slot)
        tellPhone(slot);
    if (!shown())
        return;
    if (m_phonesShown)
        showPhonesPanel();
    else
        for (std::size_t slot = 0; slot < m_game.singers.rows.size(); ++slot)
            showRow(slot);
    m_game.singers.guiRoot->applyChanges();
}

void SingersScreen::tellPhone(std::size_t slot) {
    const SingerSlot& s = m_roster.slot(slot);
    if (!m_phones || !s.input || s.input->card != kPhoneInputCard || s.input->channel < 0)
        return;
    // The phone whose voice this slot sings with, which is the slot's own seat as phones join.
    const auto seat = static_cast<std::size_t>(s.input->channel) + 1;
    const std::string told = std::to_string(seat) + '\n' + s.name + '\n' + std::to_string(s.colour);
    if (m_phoneTold[slot] == told)
        return;
    m_phoneTold[slot] = told;
    m_phones->showSinger(seat, s.name, rgbOf(s.colour));
}

} // namespace cantorix::app
