#pragma once
// The singers screen's controls as the scene holds them (game_scene_singers.cpp builds them):
// one row per singer slot (with its player's picture and buttons), the line about missing or
// doubled inputs, Back, the phones panel, and the selection screen's button and "no microphone"
// line that belong with it. Main thread only.

#include "scene/gui/gui_control.h"
#include "scene/scene_nodes.h"
#include "session/singer_inputs.h"

#include <array>

namespace cantorix::app {

struct SingerRowNodes {
    // The focused row's mark: the keyboard's place on the screen.
    scene::TGLLabel* focusMark = nullptr;
    // The slot's number drawn in its colour; a click or Enter takes the next colour.
    scene::TGLButton* colour = nullptr;
    scene::TGLEdit* name = nullptr;
    // The bound input's name; a click or Enter takes the next listed input (or none).
    scene::TGLButton* input = nullptr;
    scene::TGLButton* listen = nullptr;
    scene::TGLButton* calibrate = nullptr;
    scene::TGLScrollbar* delay = nullptr;
    scene::TGLLabel* delayLabel = nullptr;
    // Below the colour: the player's picture, or their initials on their colour.
    scene::TGLButton* picture = nullptr;
    // Steps through the free players, a guest, and a new player.
    scene::TGLButton* player = nullptr;
    // Choose the player's picture; remove the player (after asking).
    scene::TGLButton* choosePicture = nullptr;
    scene::TGLButton* remove = nullptr;
    // "not connected", what was heard, why the input cannot be opened, a refused name.
    scene::TGLLabel* status = nullptr;
    // The input's live level as a bar of strokes, and the note sung into it.
    scene::TGLLabel* meter = nullptr;
    scene::TGLLabel* note = nullptr;
};

// One slot on the phones panel: its join code while the slot is free, the phone's name while a
// phone holds it.
struct PhoneCodeNodes {
    // The slot's number and name, in its colour.
    scene::TGLLabel* heading = nullptr;
    // The QR code, drawn pixel for pixel so a phone's camera reads it from across the room.
    scene::TGLButton* code = nullptr;
    // What the code says, written out over a few lines for whoever types it instead.
    scene::TGLLabel* url = nullptr;
    // A seated phone: the guest's name and "connected" or "coming back".
    scene::TGLLabel* seat = nullptr;
    // Beneath a seated phone: gives the slot back, the phone told and disconnected.
    scene::TGLButton* release = nullptr;
};

// The phones panel, shown over the rows: where guests join, and who has joined.
struct PhonesPanelNodes {
    scene::TGLPanel* panel = nullptr;
    // "Address: 192.168.1.20"; a click takes the next address the game can be reached at.
    scene::TGLButton* address = nullptr;
    scene::TGLLabel* port = nullptr;
    // "Certificate SHA-256 AB:CD:…", shortened to the panel's width.
    scene::TGLLabel* fingerprint = nullptr;
    // Why phones cannot join, in place of the codes.
    scene::TGLLabel* problem = nullptr;
    std::array<PhoneCodeNodes, session::kSingerSlots> codes;
};

struct SingersNodes {
    scene::TGLDummyCube* group = nullptr;
    scene::TGLBaseControl* guiRoot = nullptr;
    scene::TGLLabel* title = nullptr;
    // What to do on the screen: kRowsHint, or kPhonesHint over the phones panel.
    scene::TGLLabel* hint = nullptr;
    static constexpr const char* kRowsHint =
        "Listen, then sing: the microphone heard is the singer's.";
    static constexpr const char* kPhonesHint = "Scan a code with a phone's camera to sing into it.";
    std::array<SingerRowNodes, session::kSingerSlots> rows;
    // "no microphone", or the inputs that carry the same sound.
    scene::TGLLabel* inputsLine = nullptr;
    scene::TGLButton* backButton = nullptr;
    // Beside Back when phones may join: opens and closes the phones panel.
    scene::TGLButton* phonesButton = nullptr;
    PhonesPanelNodes phones;
    // On the selection screen: the way here, and "no microphone" while no input is open.
    scene::TGLButton* selectionButton = nullptr;
    scene::TGLLabel* noMicrophoneLine = nullptr;
};

} // namespace cantorix::app
