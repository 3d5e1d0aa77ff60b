#include "selection/song_search_input.h"

#include "scene/gui/gui_control.h"
#include "songs/text_encoding.h"

#include <utility>

namespace cantorix::selection {

namespace keys = scene::keys;

namespace {

constexpr int kPageUp = 33, kPageDown = 34;

// Removes the last whole character of a UTF-8 text.
void dropLastCharacter(std::string& text) {
    std::size_t end = text.size();
    while (end > 0 && (static_cast<unsigned char>(text[end - 1]) & 0xC0) == 0x80)
        --end;
    text.resize(end > 0 ? end - 1 : 0);
}

} // namespace

SelectionCommand SongSearchInput::keyDown(int key) {
    using K = SelectionCommand;
    m_swallowCharacter = false;
    if (key == kVoiceKey && m_voiceShortcut && !open()) {
        m_swallowCharacter = true;
        return {K::NextVoice};
    }
    if (key > '0' && static_cast<std::size_t>(key - '0') <= m_voiceSingers && !open()) {
        m_swallowCharacter = true;
        return {K::NextVoice, 0, key - '0'};
    }
    switch (key) {
    case keys::Left:
    case keys::Up:
        return {K::Step, -1};
    case keys::Right:
    case keys::Down:
        return {K::Step, +1};
    case kPageUp:
        return {K::Step, -kPageStep};
    case kPageDown:
        return {K::Step, +kPageStep};
    case keys::Home:
        return {K::First};
    case keys::End:
        return {K::Last};
    case kRandomKey:
        return {K::Random};
    case keys::Enter:
        return {K::Start};
    case keys::Backspace:
        if (!open())
            return {};
        dropLastCharacter(m_text);
        return {K::QueryChanged};
    case keys::Escape:
        if (!open())
            return {};
        m_text.clear();
        return {K::QueryChanged};
    default:
        return {};
    }
}

SelectionCommand SongSearchInput::keyPress(char32_t ch) {
    if (std::exchange(m_swallowCharacter, false))
        return {};
    // Control characters (Backspace, Enter, Escape, Tab) come as key-downs; Delete is not text.
    if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0) || ch > 0x10FFFF ||
        (ch >= 0xD800 && ch <= 0xDFFF))
        return {};
    if (ch == U' ' && !open())
        return {};
    songs::appendUtf8(m_text, ch);
    return {SelectionCommand::QueryChanged};
}

} // namespace cantorix::selection
