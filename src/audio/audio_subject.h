#pragma once
// `TdeAudioSubject` and `TdeAudioObserver`: a converter (or display source) hands every block
// of audio it produces to the observers registered with it. Either side may go first; the other
// forgets it. Main thread only.

#include "wave_format.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <vector>

namespace cantorix::audio {

class TdeAudioSubject;

class TdeAudioObserver {
public:
    TdeAudioObserver() = default;
    virtual ~TdeAudioObserver();
    TdeAudioObserver(const TdeAudioObserver&) = delete;
    TdeAudioObserver& operator=(const TdeAudioObserver&) = delete;

    // A block of audio in format from the subject.
    virtual void audioData(const TdeWaveFormat& format, std::span<const std::uint8_t> data) = 0;

    // Watches subject (nullptr: none); detaches from the previous one.
    void setSubject(TdeAudioSubject* subject);
    TdeAudioSubject* subject() const { return m_subject; }

private:
    friend class TdeAudioSubject;
    TdeAudioSubject* m_subject = nullptr;
};

class TdeAudioSubject {
public:
    // Decides what an observer's exception does; the default rethrows it.
    using ErrorHandler = std::function<void(std::exception_ptr)>;

    TdeAudioSubject() = default;
    virtual ~TdeAudioSubject();
    TdeAudioSubject(const TdeAudioSubject&) = delete;
    TdeAudioSubject& operator=(const TdeAudioSubject&) = delete;

    void attach(TdeAudioObserver& observer);
    void detach(TdeAudioObserver& observer);
    std::size_t observerCount() const { return m_observers.size(); }

    // Calls every observer in registration order.
    void notify(const TdeWaveFormat& format, std::span<const std::uint8_t> data);

    ErrorHandler onObserverError;

private:
    std::vector<TdeAudioObserver*> m_observers;
};

} // namespace cantorix::audio
