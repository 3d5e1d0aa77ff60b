#pragma once
// The controls of the editor screen under its root `Root5`, at the places the screen's layout
// gives them, and the stay-pressed buttons of the track list. Built once with the scene; the
// screen logic (editor_screen.h) fills and drives them. Main thread only.

#include "scene/bitmap_font.h"
#include "scene/gui/gui_control.h"
#include "scene/material.h"

namespace cantorix::editor {

using scene::TGLBaseControl;
using scene::TGLButton;
using scene::TGLEdit;
using scene::TGLLabel;
using scene::TGLPanel;
using scene::TGLScrollbar;

// A track button or strip: pressed by a click and kept pressed until another of its group is,
// so the list always shows which track is chosen. A click on a pressed one does nothing.
class TTrackButton : public TGLButton {
public:
    using TGLButton::TGLButton;

protected:
    void internalMouseDown(scene::TMouseButton button, int x, int y) override;
    void internalMouseUp(scene::TMouseButton button, int x, int y) override;
    void internalKeyDown(int key) override;
    void internalKeyUp(int key) override;
};

// The play position marker. Its box is larger than the line it draws and lies over the track
// list, so mouse events pass on to the list beneath: the strips stay clickable under it.
class TTickMarker : public TGLButton {
public:
    using TGLButton::TGLButton;
    void setBeneath(TGLBaseControl* control) { m_beneath = control; }

protected:
    void internalMouseDown(scene::TMouseButton button, int x, int y) override;
    void internalMouseUp(scene::TMouseButton button, int x, int y) override;

private:
    TGLBaseControl* m_beneath = nullptr;
};

// What the editor's controls are drawn with.
struct EditorLook {
    scene::TGLGuiLayout& layout;      // GLGuiLayout2
    scene::TGLBitmapFont& boldFont;   // Arial 16 px bold
    scene::TGLBitmapFont& plainFont;  // Arial 16 px
    scene::TGLBitmapFont& smallFont;  // GLStoredBitmapFont4, MS Sans Serif 11 px
    scene::TGLMaterialLibrary& stuff; // the track pictures and the marker's colour
};

// The editor's controls, one member per control; the scene node names (the strings given to
// buildEditorControls) are what skins and tests look the nodes up by.
struct EditorControls {
    TGLPanel* topBar = nullptr; // holds Back and Next
    TGLButton *backButton = nullptr, *nextButton = nullptr;
    TGLPanel* sourcePanel = nullptr; // the files, the title and artist and the track list
    TGLLabel* headingLabel = nullptr;
    // For each source file a heading, a display of the chosen name and a "..." picker.
    TGLLabel *midiFileLabel = nullptr, *mp3FileLabel = nullptr, *videoFileLabel = nullptr,
             *coverFileLabel = nullptr;
    TGLButton *midiFileDisplay = nullptr, *mp3FileDisplay = nullptr, *videoFileDisplay = nullptr,
              *coverFileDisplay = nullptr;
    TGLButton *midiFilePicker = nullptr, *mp3FilePicker = nullptr, *videoFilePicker = nullptr,
              *coverFilePicker = nullptr;
    TGLLabel *videoNoteLabel = nullptr, *coverNoteLabel = nullptr; // "(If available)"
    TGLLabel *songTitleLabel = nullptr, *songArtistLabel = nullptr;
    TGLEdit *songTitleEdit = nullptr, *songArtistEdit = nullptr;
    TGLPanel* trackList = nullptr;
    TTickMarker* tickMarker = nullptr;
    TGLPanel* playbackBar = nullptr; // the play buttons and the tempo
    TGLButton *playAllButton = nullptr, *playSelectedButton = nullptr, *rewindButton = nullptr;
    TGLLabel* tempoLabel = nullptr;
    TGLScrollbar* tempoBar = nullptr;
};

// The marker's material in the library `Stuff`.
inline constexpr const char* kTickMaterial = "TickMarker";

// Adds every control of the screen to root, in drawing order.
EditorControls buildEditorControls(TGLBaseControl& root, const EditorLook& look);

// Adds track i's button and strip to the track list (left and top as on the screen, stored
// relative to the list) and gives the strip the picture material `pictureMaterial`.
void addTrackRow(TGLPanel& tracklist, const EditorLook& look, int track, const std::string& caption,
                 const std::string& pictureMaterial);

} // namespace cantorix::editor
