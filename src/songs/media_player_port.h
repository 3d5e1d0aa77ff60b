#pragma once
// Port: MediaPlayer. Adapter: platform/media/file_media_player.h;
// fake: tests/fakes/fake_media_player.h.
// The music player: one song file at a time, played to the sound output, with positions in
// milliseconds as the listener hears them. Used by the song preview and the singing session;
// main thread only.

#include "songs/medley_layout.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace cantorix::songs {

// A file that cannot be played; the message names the file and says why.
class EMediaPlayerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The sound output could not take the music (no device, or one held by another program): the
// file itself may be fine, so nobody should remember it as unplayable.
class ESoundOutputError : public EMediaPlayerError {
public:
    using EMediaPlayerError::EMediaPlayerError;
};

class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    // The file that the next open() opens.
    virtual void setFileName(const std::filesystem::path& fileName) = 0;
    // Closes the file that is open, if any, then opens the named one at position 0, not
    // playing. Throws EMediaPlayerError when it is missing, unreadable or holds no sound the
    // player can decode.
    virtual void open() = 0;
    // As open(), for a medley's music: the stretch of each song's audio file its segment names,
    // faded and overlapped as the segments lay them out, played as one stream whose positions
    // are the medley's. Every file is opened here, so nothing is opened between two songs.
    // Throws EMediaPlayerError naming the first file that cannot be played.
    virtual void openMedley(const std::vector<std::filesystem::path>& audioFiles,
                            const std::vector<MedleySegment>& segments) = 0;
    // Plays from the current position. Throws EMediaPlayerError when no file is open.
    virtual void play() = 0;
    // Holds the position; resume() continues from it.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Ends playback; the position stays. Does nothing when no file is open.
    virtual void stop() = 0;
    // Releases the file and the sound stream. Does nothing when no file is open.
    virtual void close() = 0;

    // What the listener has heard so far, in ms; 0 when no file is open. Equals length()
    // exactly once the last sample has been heard, and stays there.
    virtual std::int64_t position() const = 0;
    // Length of the open file in ms; 0 when no file is open.
    virtual std::int64_t length() const = 0;
    // Moves the position to ms (clamped to 0 … length); playing, paused or stopped, playback
    // continues from there. Throws EMediaPlayerError when no file is open.
    virtual void setStartPosition(std::int64_t ms) = 0;
};

} // namespace cantorix::songs
