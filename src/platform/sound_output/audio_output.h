#pragma once
// The sound output: a device (or its silent stand-in) that pulls interleaved stereo float
// frames from an AudioSource on a thread of its own. Created once by the program entry and
// shared by everything that plays sound; its streams must not outlive it.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>

namespace cantorix::platform {

constexpr int kOutputChannels = 2;

// A sound output that cannot be used; the message says why.
class EAudioOutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Produces the samples an output stream plays.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Device thread: fills frames × kOutputChannels samples. Must not allocate, lock, block,
    // log or throw.
    virtual void render(float* out, std::size_t frames) noexcept = 0;
};

// One open stream of an output, stopped until start(). Main thread.
class AudioStream {
public:
    virtual ~AudioStream() = default; // stops and closes the stream
    virtual void start() = 0;
    // When it returns, the source is no longer called; samples not yet played are dropped.
    virtual void stop() = 0;
    virtual int sampleRate() const = 0;
    // Frames between the sample the source renders and the one the listener hears.
    virtual std::size_t latencyFrames() const = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // How the output introduces itself to the user, e.g. "PortAudio 'default'".
    virtual std::string name() const = 0;
    // Opens a stream at sampleRate when the device supports that rate, else at a rate the
    // device prefers (the caller converts). Throws EAudioOutputError when no stream opens.
    virtual std::unique_ptr<AudioStream> openStream(int sampleRate, AudioSource& source) = 0;
};

// The output the game uses: the default PortAudio device, or the silent real-time output when
// `silent` is set or no output device can be opened. Writes one line to `log` saying which.
std::unique_ptr<AudioOutput> chooseAudioOutput(bool silent, std::ostream& log);

} // namespace cantorix::platform
