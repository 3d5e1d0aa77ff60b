#include "key_codes.h"

#include "scene/gui/gui_control.h"

#include <QList>
#include <Qt>

namespace cantorix::app {

namespace keys = scene::keys;

int gameKeyCode(int qtKey) {
    // Letters and digits share their codes with the ASCII upper-case characters.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return keys::Backspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return keys::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return keys::Enter;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_Escape:
        return keys::Escape;
    case Qt::Key_Space:
        return keys::Space;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return keys::End;
    case Qt::Key_Home:
        return keys::Home;
    case Qt::Key_Left:
        return keys::Left;
    case Qt::Key_Up:
        return keys::Up;
    case Qt::Key_Right:
        return keys::Right;
    case Qt::Key_Down:
        return keys::Down;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return keys::Delete;
    default:
        return 0;
    }
}

std::u32string keyPressCharacters(int qtKey, const QString& text) {
    if (!text.isEmpty()) {
        std::u32string chars;
        for (char32_t ch : text.toUcs4())
            chars += ch;
        return chars;
    }
    switch (qtKey) {
    case Qt::Key_Escape:
        return std::u32string(1, U'\x1b');
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return std::u32string(1, U'\r');
    case Qt::Key_Backspace:
        return std::u32string(1, U'\b');
    case Qt::Key_Tab:
        return std::u32string(1, U'\t');
    default:
        return {};
    }
}

} // namespace cantorix::app
