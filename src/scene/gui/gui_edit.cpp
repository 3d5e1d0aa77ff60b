#include "../node_visitor.h"
#include "gui_control.h"

#include <algorithm>

namespace cantorix::scene {

namespace {

// A character starts at every byte that is not a UTF-8 continuation byte, so a valid sequence is
// never split and a stray byte of malformed text counts as a character of its own or with the
// one before it.
bool startsCharacter(std::string_view text, std::size_t at) {
    return at == 0 || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

int characterCount(std::string_view text) {
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        n += startsCharacter(text, i) ? 1 : 0;
    return n;
}

// Byte offset of the 0-based character index; the text's size when index is the count.
std::size_t byteOffset(std::string_view text, int index) {
    int seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (startsCharacter(text, i) && seen++ == index)
            return i;
    return text.size();
}

bool isPrintable(char32_t ch) {
    return ch >= 0x20 && ch != 0x7F && !(ch >= 0x80 && ch < 0xA0) &&
           !(ch >= 0xD800 && ch <= 0xDFFF) && ch <= 0x10FFFF;
}

std::string utf8Bytes(char32_t ch) {
    std::string out;
    const auto put = [&](unsigned v) { out.push_back(static_cast<char>(v)); };
    if (ch < 0x80) {
        put(ch);
    } else if (ch < 0x800) {
        put(0xC0 | (ch >> 6));
        put(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        put(0xE0 | (ch >> 12));
        put(0x80 | ((ch >> 6) & 0x3F));
        put(0x80 | (ch & 0x3F));
    } else {
        put(0xF0 | (ch >> 18));
        put(0x80 | ((ch >> 12) & 0x3F));
        put(0x80 | ((ch >> 6) & 0x3F));
        put(0x80 | (ch & 0x3F));
    }
    return out;
}

} // namespace

int TGLEdit::selStart() const {
    // The caption can change under the caret through setCaption.
    return std::clamp(m_selStart, 1, characterCount(caption()) + 1);
}

void TGLEdit::setSelStart(int caret) {
    assignChanged(*this, m_selStart, std::clamp(caret, 1, characterCount(caption()) + 1));
}

std::string_view TGLEdit::textBeforeCaret() const {
    const std::string_view text = caption();
    return text.substr(0, byteOffset(text, selStart() - 1));
}

void TGLEdit::edit(const std::string& text, int caret) {
    setCaption(text);
    setSelStart(caret);
    raise(onChange, *this);
}

void TGLEdit::internalMouseDown(TMouseButton button, int x, int y) {
    setFocus();
    TGLBaseControl::internalMouseDown(button, x, y);
}

void TGLEdit::internalKeyDown(int key) {
    const auto alive = lifeToken();
    TGLBaseControl::internalKeyDown(key);
    if (!*alive)
        return;
    const std::string& text = caption();
    const int caret = selStart();
    const int length = characterCount(text);
    switch (key) {
    case keys::Home:
        setSelStart(1);
        break;
    case keys::End:
        setSelStart(length + 1);
        break;
    case keys::Left:
        setSelStart(caret - 1);
        break;
    case keys::Right:
        setSelStart(caret + 1);
        break;
    case keys::Backspace:
    case keys::Delete: {
        // Backspace is handled here only; its character 8 arrives as a key press and is ignored.
        const int removed = key == keys::Backspace ? caret - 1 : caret; // 1-based
        if (m_readOnly || removed < 1 || removed > length)
            break;
        const std::size_t from = byteOffset(text, removed - 1);
        const std::size_t to = byteOffset(text, removed);
        edit(text.substr(0, from) + text.substr(to), removed);
        break;
    }
    default:
        break;
    }
}

void TGLEdit::internalKeyPress(char32_t ch) {
    const auto alive = lifeToken();
    TGLBaseControl::internalKeyPress(ch);
    if (!*alive || m_readOnly || !isPrintable(ch))
        return;
    const std::string& text = caption();
    const int caret = selStart();
    const std::size_t at = byteOffset(text, caret - 1);
    edit(text.substr(0, at) + utf8Bytes(ch) + text.substr(at), caret + 1);
}

void TGLEdit::accept(NodeVisitor& visitor) {
    visitor.visit(*this);
}

} // namespace cantorix::scene
