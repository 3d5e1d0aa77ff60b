#pragma once
// Steps the scene once per displayed frame: advances every node's progress event by the seconds
// elapsed since the previous step, then raises its own progress event. The clock is a port so
// tests step it by hand. Main thread only.

#include <functional>

namespace cantorix::scene {

class TGLBaseSceneObject;

class SteadyClock {
public:
    virtual ~SteadyClock() = default;
    virtual double seconds() = 0; // monotonic
};

class TGLCadencer {
public:
    using ProgressEvent = std::function<void(double deltaTime, double newTime)>;

    TGLCadencer(TGLBaseSceneObject& scene, SteadyClock& clock) : m_scene(scene), m_clock(clock) {}

    bool enabled() const { return m_enabled; }
    // Enabling restarts the time base, so a pause does not arrive as one huge step.
    void setEnabled(bool on);
    // One step; the first after enabling has deltaTime 0.
    void progress();
    double currentTime() const { return m_currentTime; }

    ProgressEvent onProgress;

private:
    TGLBaseSceneObject& m_scene;
    SteadyClock& m_clock;
    bool m_enabled = false;
    bool m_started = false;
    double m_last = 0;
    double m_currentTime = 0;
};

} // namespace cantorix::scene
