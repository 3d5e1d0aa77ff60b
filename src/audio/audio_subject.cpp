#include "audio_subject.h"

#include <algorithm>

namespace cantorix::audio {

TdeAudioObserver::~TdeAudioObserver() {
    setSubject(nullptr);
}

void TdeAudioObserver::setSubject(TdeAudioSubject* subject) {
    if (subject == m_subject)
        return;
    if (m_subject != nullptr)
        m_subject->detach(*this);
    if (subject != nullptr)
        subject->attach(*this);
}

TdeAudioSubject::~TdeAudioSubject() {
    for (TdeAudioObserver* observer : m_observers)
        observer->m_subject = nullptr;
}

void TdeAudioSubject::attach(TdeAudioObserver& observer) {
    if (observer.m_subject == this)
        return;
    if (observer.m_subject != nullptr)
        observer.m_subject->detach(observer);
    m_observers.push_back(&observer);
    observer.m_subject = this;
}

void TdeAudioSubject::detach(TdeAudioObserver& observer) {
    std::erase(m_observers, &observer);
    if (observer.m_subject == this)
        observer.m_subject = nullptr;
}

void TdeAudioSubject::notify(const TdeWaveFormat& format, std::span<const std::uint8_t> data) {
    // An observer may detach itself (or others) while being told.
    const auto observers = m_observers;
    for (TdeAudioObserver* observer : observers) {
        if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
            continue;
        try {
            observer->audioData(format, data);
        } catch (...) {
            if (!onObserverError)
                throw;
            onObserverError(std::current_exception());
        }
    }
}

} // namespace cantorix::audio
