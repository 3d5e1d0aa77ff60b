// The singers screen's keyboard: the focus moves between rows and fields, Left and Right set a
// focused delay, Enter renames a slot's player, F5 opens and closes the phones panel, Escape
// closes the panel or leaves.

#include "singers_screen.h"

namespace cantorix::app {

using namespace cantorix::scene;

namespace {

constexpr int kDelayStepMs = 5;
constexpr TColor kFocusedDelayColour = 0x0080D0FF;
constexpr TColor kDelayColour = 0x00C0C0C0;

} // namespace

TGLBaseControl* SingersScreen::fieldControl(std::size_t row, int field) const {
    const SingersNodes& nodes = m_game.singers;
    if (row >= nodes.rows.size())
        return nodes.backButton;
    const SingerRowNodes& r = nodes.rows[row];
    TGLBaseControl* const fields[kFieldCount] = {r.colour, r.name,          r.input,
                                                 r.listen, r.calibrate,     r.delay,
                                                 r.player, r.choosePicture, r.remove};
    return fields[field];
}

int SingersScreen::fieldCount() const {
    return m_records ? kFieldCount : kPlayer;
}

void SingersScreen::focus(std::size_t row, int field) {
    SingersNodes& nodes = m_game.singers;
    const std::size_t before = m_focusRow;
    const bool leftName = before < nodes.rows.size() && m_focusField == kName;
    m_focusRow = std::min(row, nodes.rows.size());
    m_focusField = std::clamp(field, 0, fieldCount() - 1);
    fieldControl(m_focusRow, m_focusField)->setFocus();
    // A player's name left without Enter shows the stored name again.
    if (leftName && (before != m_focusRow || m_focusField != kName))
        showRow(before);
    for (std::size_t i = 0; i < nodes.rows.size(); ++i) {
        nodes.rows[i].focusMark->setVisible(i == m_focusRow);
        // A scrollbar draws no focus of its own: its label shows it.
        const bool delayFocused = i == m_focusRow && m_focusField == kDelay;
        nodes.rows[i].delayLabel->setDefaultColor(delayFocused ? kFocusedDelayColour
                                                               : kDelayColour);
    }
}

void SingersScreen::keyDown(int key) {
    if (!shown())
        return;
    if (m_phones && key == kPhonesKey) {
        showPhones(!m_phonesShown);
        return;
    }
    // Over the panel only Escape counts: the rows' keys would move about controls out of sight.
    if (m_phonesShown) {
        if (key == keys::Escape)
            showPhones(false);
        return;
    }
    const std::size_t rows = m_game.singers.rows.size() + 1; // and Back
    const bool onDelay = m_focusRow < rows - 1 && m_focusField == kDelay;
    const bool onName = m_focusRow < rows - 1 && m_focusField == kName;
    switch (key) {
    case keys::Escape:
        leave();
        return;
    case keys::Up:
        focus((m_focusRow + rows - 1) % rows, m_focusField);
        return;
    case keys::Down:
        focus((m_focusRow + 1) % rows, m_focusField);
        return;
    case keys::Enter:
        if (onName)
            commitName(m_focusRow);
        return;
    case keys::Tab:
        if (m_focusRow == rows - 1)
            focus(0, kColour);
        else if (m_focusField + 1 == fieldCount())
            focus(m_focusRow + 1, kColour);
        else
            focus(m_focusRow, m_focusField + 1);
        return;
    case keys::Left:
    case keys::Right:
        if (onDelay) {
            TGLScrollbar& delay = *m_game.singers.rows[m_focusRow].delay;
            delay.setPos(delay.pos() + (key == keys::Left ? -kDelayStepMs : kDelayStepMs));
        } else if (!onName && m_focusRow < rows - 1) {
            focus(m_focusRow, m_focusField + (key == keys::Left ? -1 : 1));
        }
        return;
    default:
        return;
    }
}

} // namespace cantorix::app
