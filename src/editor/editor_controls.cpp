#include "editor/editor_controls.h"

namespace cantorix::editor {

using namespace scene;

namespace {

// The track rows start here on the screen, one row of this height per track.
constexpr int kTrackButtonLeft = 92, kTrackStripLeft = 222, kTrackTop = 272, kTrackRowHeight = 20;
constexpr int kTrackButtonWidth = 130, kTrackStripWidth = 450;
constexpr int kPictureLogicWidth = 445, kPictureLogicHeight = 17, kPictureYOffset = 2;
constexpr TColor kMarkerBlue = 0x00FF0000;
constexpr int kNoteLeft = 600;

struct Builder {
    TGLBaseControl& root;
    const EditorLook& look;

    template <class T> T& add(const char* name, int left, int top, int width, int height) {
        T& control = root.addNewChild<T>(name);
        control.setBounds(left, top, width, height);
        control.setGuiLayout(&look.layout);
        return control;
    }
    TGLPanel& panel(const char* name, int left, int top, int width, int height) {
        TGLPanel& p = add<TGLPanel>(name, left, top, width, height);
        p.setGuiLayoutName("panel");
        return p;
    }
    TGLLabel& label(const char* name, const char* caption, int left, int top, int width,
                    TGLBitmapFont& font) {
        TGLLabel& l = add<TGLLabel>(name, left, top, width, 25);
        l.setCaption(caption);
        l.setBitmapFont(&font);
        l.setDefaultColor(clWhite);
        l.setFocusedColor(clWhite);
        return l;
    }
    TGLButton& button(const char* name, const char* caption, int left, int top, int width,
                      int height, const char* skin = "button_up") {
        TGLButton& b = add<TGLButton>(name, left, top, width, height);
        b.setCaption(caption);
        b.setBitmapFont(&look.boldFont);
        b.setDefaultColor(clWhite);
        b.setFocusedColor(clWhite);
        b.setGuiLayoutName(skin);
        b.setGuiLayoutNamePressed(std::string(skin) == "panel" ? "panel" : "button_down");
        return b;
    }
    // A name display: the chosen file's short name in black on a sunken field.
    TGLButton& display(const char* name, int left, int top) {
        TGLButton& b = add<TGLButton>(name, left, top, 150, 25);
        b.setBitmapFont(&look.plainFont);
        b.setDefaultColor(clBlack);
        b.setFocusedColor(clBlack);
        b.setGuiLayoutName("edit");
        b.setGuiLayoutNamePressed("edit");
        return b;
    }
    TGLButton& picker(const char* name, int left, int top) {
        return button(name, "...", left, top, 25, 25);
    }
    TGLEdit& edit(const char* name, int left, int top) {
        TGLEdit& e = add<TGLEdit>(name, left, top, 185, 25);
        e.setCaption("None");
        e.setBitmapFont(&look.plainFont);
        e.setDefaultColor(clWhite);
        e.setFocusedColor(clWhite);
        e.setGuiLayoutName("button_down");
        return e;
    }
};

void addTickMaterial(TGLMaterialLibrary& stuff) {
    Image blue(1, 1);
    std::uint8_t* p = blue.pixel(0, 0);
    p[0] = kMarkerBlue & 0xFF;
    p[1] = (kMarkerBlue >> 8) & 0xFF;
    p[2] = (kMarkerBlue >> 16) & 0xFF;
    p[3] = 255;
    TGLLibMaterial& m = stuff.addTextureMaterial(kTickMaterial, std::move(blue));
    m.setLightingOff(true);
    m.texture().setFilters(TextureFilter::Nearest, TextureFilter::Nearest);
    m.texture().setMode(TextureMode::Replace);
}

} // namespace

void TTrackButton::internalMouseDown(TMouseButton button, int x, int y) {
    const auto alive = lifeToken();
    TGLBaseControl::internalMouseDown(button, x, y);
    if (*alive && button == TMouseButton::mbLeft && !pressed())
        setPressed(true);
}

void TTrackButton::internalMouseUp(TMouseButton button, int x, int y) {
    TGLBaseControl::internalMouseUp(button, x, y);
}

void TTickMarker::internalMouseDown(TMouseButton button, int x, int y) {
    if (m_beneath)
        m_beneath->mouseDown(button, x, y);
}

void TTickMarker::internalMouseUp(TMouseButton button, int x, int y) {
    if (m_beneath)
        m_beneath->mouseUp(button, x, y);
}

void TTrackButton::internalKeyDown(int key) {
    TGLBaseControl::internalKeyDown(key);
}

void TTrackButton::internalKeyUp(int key) {
    TGLBaseControl::internalKeyUp(key);
}

EditorControls buildEditorControls(TGLBaseControl& root, const EditorLook& look) {
    Builder b{root, look};
    EditorControls c;
    c.topBar = &b.panel("GLBaseControl2", 80, 10, 600, 50);
    c.backButton = &b.button("GLButton13", "Back", 100, 20, 70, 30, "panel");
    c.nextButton = &b.button("GLButton12", "Next", 600, 20, 70, 30, "panel");
    c.sourcePanel = &b.panel("First", 61, 80, 644, 585);
    c.headingLabel =
        &b.label("GLLabel15", "Create A Song File From MIDI", 90, 80, 400, look.boldFont);

    c.midiFileLabel = &b.label("GLLabel16", "Midi File", 90, 110, 150, look.plainFont);
    c.midiFileDisplay = &b.display("GLButton14", 90, 145);
    c.midiFilePicker = &b.picker("GLButton15", 250, 145);
    c.mp3FileLabel = &b.label("GLLabel20", "MP3 File", 290, 110, 150, look.plainFont);
    c.mp3FileDisplay = &b.display("GLButton16", 290, 145);
    c.mp3FilePicker = &b.picker("GLButton17", 450, 145);
    c.videoFileLabel = &b.label("GLLabel22", "Video Clip File", 490, 110, 150, look.plainFont);
    c.videoFileDisplay = &b.display("GLButton18", 490, 145);
    c.videoFilePicker = &b.picker("GLButton19", 650, 145);
    // The notes follow their headings: at the heading's place plus 45 down they would sit on
    // the name display, white on the light field.
    c.videoNoteLabel = &b.label("GLLabel23", "(If available)", kNoteLeft, 115, 90, look.smallFont);
    c.coverFileLabel = &b.label("GLLabel24", "Cover Image", 490, 180, 150, look.plainFont);
    c.coverFileDisplay = &b.display("GLButton20", 490, 215);
    c.coverFilePicker = &b.picker("GLButton21", 650, 215);
    c.coverNoteLabel = &b.label("GLLabel25", "(If available)", kNoteLeft, 185, 90, look.smallFont);

    c.songTitleLabel = &b.label("GLLabel26", "Song Title", 90, 180, 150, look.plainFont);
    c.songTitleEdit = &b.edit("GLEdit3", 90, 215);
    c.songArtistLabel = &b.label("GLLabel27", "Song Artist", 290, 180, 150, look.plainFont);
    c.songArtistEdit = &b.edit("GLEdit4", 290, 215);

    c.trackList = &b.panel("Tracklist", 90, 270, 585, 380);
    addTickMaterial(look.stuff);
    c.tickMarker = &b.add<TTickMarker>("Tick", 226, 270, 50, 50);
    c.tickMarker->setBeneath(c.trackList);
    c.tickMarker->setBitBtn({&look.stuff, kTickMaterial});
    c.tickMarker->setLogicSize(3, 1);
    c.tickMarker->setOffsets(4, -2);
    // Nothing to mark until a file's tracks are listed.
    c.tickMarker->setVisible(false);

    c.playbackBar = &b.panel("GLBaseControl5", 61, 672, 644, 50);
    c.playAllButton = &b.button("PLAYA", "Play All", 80, 680, 130, 30);
    c.playSelectedButton = &b.button("GLButton22", "Play Selected", 215, 680, 130, 30);
    c.rewindButton = &b.button("GLButton24", "Rewind", 350, 680, 130, 30);
    c.tempoLabel = &b.label("GLLabel28", "Play Tempo", 486, 670, 105, look.plainFont);
    c.tempoBar = &b.add<TGLScrollbar>("GLScrollbar4", 595, 680, 90, 30);
    TGLScrollbar& bar = *c.tempoBar;
    bar.setHorizontal(true);
    bar.setGuiLayoutName("edit");
    bar.setGuiLayoutKnobName("button_up");
    bar.setMin(1);
    bar.setMax(500);
    bar.setPageSize(100);
    bar.setStep(1);
    bar.setPos(8);
    return c;
}

void addTrackRow(TGLPanel& tracklist, const EditorLook& look, int track, const std::string& caption,
                 const std::string& pictureMaterial) {
    const int top = kTrackTop + kTrackRowHeight * track;
    const RectI list = tracklist.globalRect();
    auto& button = tracklist.addNewChild<TTrackButton>("Track" + std::to_string(track));
    button.setBounds(kTrackButtonLeft - list.left, top - list.top, kTrackButtonWidth,
                     kTrackRowHeight);
    button.setGuiLayout(&look.layout);
    button.setGuiLayoutName("panel");
    button.setGuiLayoutNamePressed("button_up");
    button.setBitmapFont(&look.smallFont);
    button.setDefaultColor(clWhite);
    button.setFocusedColor(clWhite);
    button.setCaption(caption);
    button.setGroup(1);

    auto& strip = tracklist.addNewChild<TTrackButton>("Strip" + std::to_string(track));
    strip.setBounds(kTrackStripLeft - list.left, top - list.top, kTrackStripWidth, kTrackRowHeight);
    strip.setGuiLayout(&look.layout);
    strip.setGuiLayoutName("panel");
    strip.setGuiLayoutNamePressed("button_down");
    strip.setGroup(2);
    strip.setBitBtn({&look.stuff, pictureMaterial});
    strip.setLogicSize(kPictureLogicWidth, kPictureLogicHeight);
    strip.setOffsets(0, kPictureYOffset);
    strip.setTag(1);
}

} // namespace cantorix::editor
