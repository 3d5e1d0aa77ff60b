#pragma once
// Translates the window system's keys into the game's key codes and key-press characters, so
// the in-scene controls see the same codes on every platform. Pure functions; any thread.

#include <QString>
#include <string>

namespace cantorix::app {

// The game's code for a Qt key, or 0 when the game has no code for it.
int gameKeyCode(int qtKey);

// The characters a key press types: the event's text, or the control character of Escape,
// Enter, Backspace and Tab when the window system sends none for them.
std::u32string keyPressCharacters(int qtKey, const QString& text);

} // namespace cantorix::app
