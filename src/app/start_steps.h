#pragma once
// The game's start as named steps. What the first frame of the selection screen shows is made at
// once; the rest (the preview, the inputs' listening, the records, the library's scan behind its
// cached list, the phones' server) waits until that frame has been drawn, so the player sees the
// game about as soon as a bare window could show a picture. Each step is timed on the clock it is
// given; the list of what ran before the first frame is what the start-up benchmark prints and a
// test checks against the steps allowed there. Main thread.

#include "scene/cadencer.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cantorix::app {

class StartSteps {
public:
    struct Step {
        std::string name;
        double startSeconds = 0; // on the clock, from the first step's start
        double seconds = 0;
        bool beforeFirstFrame = true;
    };

    explicit StartSteps(scene::SteadyClock& clock);

    // Runs step now, timed, under name; its exception passes on, the step kept as run.
    void run(std::string name, const std::function<void()>& step);
    // For straight-line code: a step named name starts now and lasts until the next begin() or
    // end().
    void begin(std::string name);
    void end();
    // Runs step once the first frame has been drawn, after those given before it; at once when
    // the frame is already on screen.
    void afterFirstFrame(std::string name, std::function<void()> step);
    // The first frame is on screen: the waiting steps run in their order. A step that throws is
    // reported to onFailure (when set) and the others still run. Later calls do nothing.
    void firstFrameDrawn();
    void onFailure(std::function<void(const std::exception&)> report) {
        m_onFailure = std::move(report);
    }

    bool firstFrameShown() const { return m_firstFrameAt.has_value(); }
    std::optional<double> firstFrameSeconds() const { return m_firstFrameAt; }
    const std::vector<Step>& steps() const { return m_steps; }
    std::vector<std::string> namesBeforeFirstFrame() const;
    // One line a step ("  12.3 ms  +4.5 ms  library from the cache") and the first frame's.
    std::string report() const;

private:
    double now();
    void runTimed(std::string name, const std::function<void()>& step);

    scene::SteadyClock& m_clock;
    std::optional<double> m_origin;
    std::optional<std::size_t> m_open; // the step begin() started
    std::optional<double> m_firstFrameAt;
    std::vector<Step> m_steps;
    std::vector<std::pair<std::string, std::function<void()>>> m_waiting;
    std::function<void(const std::exception&)> m_onFailure;
};

} // namespace cantorix::app
