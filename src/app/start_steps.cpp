#include "app/start_steps.h"

#include <cstdio>
#include <exception>

namespace cantorix::app {

StartSteps::StartSteps(scene::SteadyClock& clock) : m_clock(clock) {}

double StartSteps::now() {
    const double seconds = m_clock.seconds();
    if (!m_origin)
        m_origin = seconds;
    return seconds - *m_origin;
}

void StartSteps::runTimed(std::string name, const std::function<void()>& step) {
    const double start = now();
    m_steps.push_back({std::move(name), start, 0, !firstFrameShown()});
    const std::size_t index = m_steps.size() - 1;
    // Timed even when it throws: a failing step's cost is part of the start.
    struct Stop {
        StartSteps& steps;
        std::size_t index;
        double start;
        ~Stop() { steps.m_steps[index].seconds = steps.now() - start; }
    } stop{*this, index, start};
    step();
}

void StartSteps::run(std::string name, const std::function<void()>& step) {
    end();
    runTimed(std::move(name), step);
}

void StartSteps::begin(std::string name) {
    end();
    m_steps.push_back({std::move(name), now(), 0, !firstFrameShown()});
    m_open = m_steps.size() - 1;
}

void StartSteps::end() {
    if (!m_open)
        return;
    Step& step = m_steps[*m_open];
    step.seconds = now() - step.startSeconds;
    m_open.reset();
}

void StartSteps::afterFirstFrame(std::string name, std::function<void()> step) {
    if (firstFrameShown()) {
        end();
        runTimed(std::move(name), step);
        return;
    }
    m_waiting.emplace_back(std::move(name), std::move(step));
}

void StartSteps::firstFrameDrawn() {
    if (firstFrameShown())
        return;
    end();
    m_firstFrameAt = now();
    // A step given while these run runs at once, the frame being on screen.
    for (std::size_t i = 0; i < m_waiting.size(); ++i) {
        auto [name, step] = std::move(m_waiting[i]);
        try {
            runTimed(std::move(name), step);
        } catch (const std::exception& e) {
            if (m_onFailure)
                m_onFailure(e);
        }
    }
    m_waiting.clear();
}

std::vector<std::string> StartSteps::namesBeforeFirstFrame() const {
    std::vector<std::string> names;
    for (const Step& step : m_steps)
        if (step.beforeFirstFrame)
            names.push_back(step.name);
    return names;
}

std::string StartSteps::report() const {
    std::string text;
    char line[160];
    bool frameWritten = false;
    const auto writeFrame = [&] {
        std::snprintf(line, sizeof line, "%8.1f ms            first frame drawn\n",
                      *m_firstFrameAt * 1000);
        text += line;
        frameWritten = true;
    };
    for (const Step& step : m_steps) {
        if (!step.beforeFirstFrame && !frameWritten && m_firstFrameAt)
            writeFrame();
        std::snprintf(line, sizeof line, "%8.1f ms %+8.1f ms  %s\n", step.startSeconds * 1000,
                      step.seconds * 1000, step.name.c_str());
        text += line;
    }
    if (!frameWritten && m_firstFrameAt)
        writeFrame();
    return text;
}

} // namespace cantorix::app
