#pragma once
// The options form's pages: their toggles, colour buttons, scrollbars, labels and the export
// name field, the handlers that keep them, and the values the game reads from them when a
// session starts. The options are the controls' own properties; nothing here keeps a copy.
// Main thread only.

#include "game_scene.h"

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace cantorix::app {

// Adds every option control to the pages Menu1, Menu2 and Menu3 with its design values and
// connects the toggles and the scrollbars' labels. The colour buttons need OptionsForm.
void buildOptionsControls(GameScene& game);

// The toggles' click: "X" (on) becomes empty (off) and anything else becomes "X".
void istabsButtonClick(TGLBaseControl& sender);

// Label texts for a scrollbar position.
std::string videoSpeedCaption(float pos);   // auto only at exactly 1
std::string videoQualityCaption(float pos); // by the rounded position 1 … 4
std::string transparencyCaption(float pos); // rounded position + 10 percent

// The options as a session start reads them.
struct SessionOptions {
    bool showTabs = true, showLyrics = true, showOscilloscope = true, showTime = true;
    TColor defaultTabColour = clWhite; // material "Knob1": the note bars
    TColor actualTabColour = clWhite;  // "Knob2": the bar being sung
    TColor textColour = clWhite;       // "Knob3" and the lyric texts
    float tabAlpha = 0.18f;            // of all three: (rounded transparency position + 10) / 100
    int videoSpeedPosition = 1;        // rounded; 1 plays the clip at its own rate, else frames/s
    int videoQuality = 1;              // rounded, 1 (ultra low) … 4 (high)
    std::string exportFileName = "Mysong.wav";
};
SessionOptions readSessionOptions(const GameScene& game);

// Asks the player for a colour starting from initial; nothing when the player cancels.
using ColourChooser = std::function<std::optional<TColor>(TColor initial)>;

// Runs the colour dialog for the colour buttons. The dialog starts from the last colour chosen
// in it (black at first). Tests replace the dialog so no modal window blocks them.
class OptionsForm {
public:
    // Connects GLButton5, GLButton6, GLButton10 and GLButton11; the dialog's parent is window.
    OptionsForm(GameScene& game, QWidget* window);

    void setColourChooser(ColourChooser chooser) { m_chooser = std::move(chooser); }
    TColor dialogColour() const { return m_dialogColour; }

    void GLButton5ButtonClick(TGLBaseControl& sender);

private:
    ColourChooser m_chooser;
    TColor m_dialogColour = clBlack;
};

} // namespace cantorix::app
