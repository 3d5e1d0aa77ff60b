#pragma once
// Test double for the media player: the test moves time with advance(), chooses each file's
// length, makes chosen files fail to open, and reads back the calls in order.

#include "songs/media_player_port.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace cantorix::songs::testing {

class FakeMediaPlayer : public MediaPlayer {
public:
    std::vector<std::string> calls; // "open song.mp3", "play", "setStartPosition 700", …
    std::map<std::filesystem::path, std::int64_t> lengths; // ms; other files have defaultLength
    std::int64_t defaultLength = 180000;
    std::set<std::filesystem::path> failing; // open() throws for these

    std::filesystem::path fileName;
    bool isOpen = false;
    bool playing = false;
    std::int64_t currentPosition = 0;
    std::int64_t currentLength = 0;

    // Moves the position on by ms while playing, up to the length.
    void advance(std::int64_t ms) {
        if (playing)
            currentPosition = std::min(currentPosition + ms, currentLength);
    }

    void setFileName(const std::filesystem::path& name) override { fileName = name; }

    void open() override {
        close();
        calls.push_back("open " + fileName.string());
        if (failing.count(fileName))
            throw EMediaPlayerError("Cannot play '" + fileName.string() + "': not an MP3 file");
        const auto found = lengths.find(fileName);
        currentLength = found != lengths.end() ? found->second : defaultLength;
        currentPosition = 0;
        isOpen = true;
    }

    // Opens as a file named "medley" of the segments' whole length, unless a song's file fails.
    void openMedley(const std::vector<std::filesystem::path>& audioFiles,
                    const std::vector<MedleySegment>& segments) override {
        close();
        calls.push_back("openMedley " + std::to_string(audioFiles.size()));
        for (const std::filesystem::path& file : audioFiles)
            if (failing.count(file))
                throw EMediaPlayerError("Cannot play '" + file.string() + "': not an MP3 file");
        fileName = "medley";
        currentLength = medleyLengthMs(segments);
        currentPosition = 0;
        isOpen = true;
    }

    void play() override {
        calls.push_back("play");
        requireOpen();
        playing = true;
    }
    void pause() override {
        calls.push_back("pause");
        playing = false;
    }
    void resume() override {
        calls.push_back("resume");
        requireOpen();
        playing = true;
    }
    void stop() override {
        calls.push_back("stop");
        playing = false;
    }
    void close() override {
        if (!isOpen)
            return;
        calls.push_back("close");
        isOpen = playing = false;
        currentPosition = currentLength = 0;
    }

    std::int64_t position() const override { return currentPosition; }
    std::int64_t length() const override { return currentLength; }

    void setStartPosition(std::int64_t ms) override {
        calls.push_back("setStartPosition " + std::to_string(ms));
        requireOpen();
        currentPosition = std::clamp<std::int64_t>(ms, 0, currentLength);
    }

private:
    void requireOpen() const {
        if (!isOpen)
            throw EMediaPlayerError("Cannot play: no file is open");
    }
};

} // namespace cantorix::songs::testing
