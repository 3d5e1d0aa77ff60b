#pragma once
// Which screen of the main window's scene is shown and takes input: the click handlers that
// switch screens, the hover effects of the image buttons and the routing of keys to the GUI
// roots. Borrows the scene and the hall-of-fame list from the main window. Main thread only.

#include "game_scene.h"
#include "session/hall_of_fame.h"

#include <functional>
#include <set>

namespace cantorix::app {

class Screens {
public:
    // Connects the screen buttons' click and hover events.
    Screens(GameScene& game, const session::HallOfFameList& hallOfFame);

    // Run by the Start click and by Escape during a session; the session code provides them.
    std::function<void()> startSession;
    std::function<void()> endSession;
    // Asked before Start begins a session: false leaves the song selection as it is (the song
    // library says why the selected song cannot be sung).
    std::function<bool()> mayStart;
    // The song list's keys (searching, stepping, the duet's voice), offered only while the song
    // list itself is shown: in the options a key may be typed into a field.
    std::function<void(int key)> songListKeyDown;
    std::function<void(char32_t ch)> songListKeyPress;
    bool songListShown() const;
    // The singers screen: the song list's key that opens it, and its keys while it shows.
    int singersKey = 0;
    std::function<void()> showSingers;
    std::function<void(int key)> singersKeyDown;
    // The statistics screen, likewise.
    int statisticsKey = 0;
    std::function<void()> showStatistics;
    std::function<void(int key)> statisticsKeyDown;
    // The Queue screen and the jukebox, likewise; the Next up screen's keys while it shows.
    int queueKey = 0;
    std::function<void()> showQueue;
    std::function<void(int key)> queueKeyDown;
    int jukeboxKey = 0;
    std::function<void()> startJukebox;
    // The selection screen's key that asks for a medley.
    int medleyKey = 0;
    std::function<void()> askMedley;
    std::function<void(int key)> nextUpKeyDown;
    // The keys while a song is sung, heard before Escape ends it.
    std::function<void(int key)> singingKeyDown;

    void startSong();
    void showHallOfFame();
    void showEditor();
    void showOptions();
    void backToSelection(); // Back on the score page
    // Told after the score page was left for the selection screen.
    std::function<void()> leftScorePage;
    void leaveHallOfFame(); // Back in the hall of fame
    void leaveEditor();     // Back in the editor
    void leaveOptions();    // Back in the options
    void showGameplayPage();
    void showSoundPage();
    void showAppearancePage();

    static void StartMouseMove(scene::TGLBaseControl& sender);
    static void StartMouseLeave(scene::TGLBaseControl& sender);
    void LeftarrowMouseMove(scene::TGLBaseControl& sender);
    void LeftarrowMouseLeave(scene::TGLBaseControl& sender);

    // The main window's keys in the game's codes. Keys go to the roots that edit text or may
    // one day (song selection, score page, editor); the hall of fame and singing get none.
    void keyDown(int key);
    void keyPress(char32_t ch);
    void keyUp(int key);
    // The window lost the keyboard: no key counts as held any more.
    void releaseKeys() { m_keysDown.clear(); }
    bool keyIsDown(int key) const { return m_keysDown.count(key) > 0; }

private:
    void connectButtons();
    void connectHover();
    void setArrowGamma(scene::TGLBaseControl& sender, float gamma);
    std::vector<scene::TGLBaseControl*> keyRoots() const;

    GameScene& m_game;
    const session::HallOfFameList& m_hallOfFame;
    std::set<int> m_keysDown;
};

} // namespace cantorix::app
