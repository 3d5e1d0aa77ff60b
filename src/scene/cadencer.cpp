#include "cadencer.h"

#include "scene_object.h"

namespace cantorix::scene {

void TGLCadencer::setEnabled(bool on) {
    m_enabled = on;
    m_started = false;
}

void TGLCadencer::progress() {
    if (!m_enabled)
        return;
    const double now = m_clock.seconds();
    const double delta = m_started ? now - m_last : 0.0;
    m_started = true;
    m_last = now;
    m_currentTime += delta;
    m_scene.doProgress(delta);
    if (onProgress)
        onProgress(delta, m_currentTime);
}

} // namespace cantorix::scene
