#pragma once
// The selection screen's keys: letters typed open a search field and build its text, and the
// navigation keys turn into moves through the listed songs. Holds the search text only; what a
// command does to the list is the caller's. Main thread only.

#include <algorithm>
#include <cstddef>
#include <string>

namespace cantorix::selection {

struct SelectionCommand {
    enum Kind {
        None, // the key means nothing here (Escape without a search keeps its old meaning)
        QueryChanged,
        Step, // by `steps` songs, clamped to the ends
        First,
        Last,
        Random,
        NextVoice, // a duet's other voice sings: every singer's, or `singer`'s alone
        Start,     // sing the selected song
    };
    Kind kind = None;
    int steps = 0;
    int singer = 0; // NextVoice: 1 … 8 for that singer's number key, 0 for V
    bool operator==(const SelectionCommand&) const = default;
};

class SongSearchInput {
public:
    // Keys that are no characters: the arrows step, Page Up / Page Down jump ten songs, Home and
    // End go to the ends, F3 picks a song at random, Enter starts, Backspace edits the search and
    // Escape clears it. V chooses a duet's voice, but only while a duet is selected and no search
    // is open (the label naming the key shows just then); otherwise it is a letter like any other.
    // So are the digits 1 … n while n singers sing a selected duet: each chooses that singer's.
    static constexpr int kPageStep = 10;
    static constexpr int kRandomKey = 114; // F3
    static constexpr int kVoiceKey = 'V';

    void setVoiceShortcut(bool active, std::size_t singers = 0) {
        m_voiceShortcut = active;
        m_voiceSingers = active ? std::min<std::size_t>(singers, 9) : 0;
    }

    SelectionCommand keyDown(int key);
    // A typed character: any printable one opens the search, a space only extends an open one.
    SelectionCommand keyPress(char32_t ch);

    bool open() const { return !m_text.empty(); }
    const std::string& text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    std::string m_text; // UTF-8
    bool m_voiceShortcut = false;
    std::size_t m_voiceSingers = 0;  // singers whose number key chooses their voice
    bool m_swallowCharacter = false; // the character of a key taken as a shortcut
};

} // namespace cantorix::selection
