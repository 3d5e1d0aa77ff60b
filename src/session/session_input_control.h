#pragma once
// What a singing session tells an input that plays a recording instead of a live voice, so the
// recording lines up with the song: its first sample is heard as the song's audio starts, it
// holds while the song is paused, and the menus hear silence. A live microphone has no use for
// it. Called on the main thread; the input applies each call at the moment it is made.

namespace cantorix::session {

class SessionInputControl {
public:
    virtual ~SessionInputControl() = default;
    // The song's audio starts now: the recording plays again from its first sample.
    virtual void startOver() = 0;
    // The song is paused: silence until resume() continues where the recording stopped.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // The session is over: silence until the next startOver().
    virtual void silence() = 0;
};

} // namespace cantorix::session
