#include "track_outputs.h"

#include "midi/midi_iterator.h"

#include <algorithm>

namespace cantorix::midi {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

TTrackOutput::TTrackOutput(TTrackOutputs& owner, const TMidiTrackStream& track, int portId)
    : m_owner(owner), m_track(track), m_port(owner.registry()) {
    m_port.setPortId(portId);
    m_port.setActive(true);
}

bool TTrackOutput::Muted() const {
    Lock lock(m_owner.registry().mutex());
    return m_muted;
}

void TTrackOutput::setMuted(bool muted) {
    Lock lock(m_owner.registry().mutex());
    if (muted == m_muted)
        return;
    if (muted)
        m_port.AllNotesOff();
    m_muted = muted;
}

TTrackOutputs::TTrackOutputs(PhysicalPortRegistry& registry, base::MainThreadInvoker* invoker)
    : m_registry(registry), m_invoker(invoker), m_self(std::make_shared<TTrackOutputs*>(this)) {}

TTrackOutputs::~TTrackOutputs() {
    Lock lock(m_registry.mutex());
    m_self.reset();
    m_outputs.clear();
}

const TMidiData* TTrackOutputs::MidiData() const {
    Lock lock(m_registry.mutex());
    return m_data;
}

void TTrackOutputs::setMidiData(const TMidiData* data) {
    Lock lock(m_registry.mutex());
    if (data == m_data)
        return;
    m_data = data;
    if (m_active) {
        setActive(false);
        setActive(true);
    }
}

int TTrackOutputs::DefaultOutputPort() const {
    Lock lock(m_registry.mutex());
    return m_defaultOutputPort;
}

void TTrackOutputs::setDefaultOutputPort(int portId) {
    Lock lock(m_registry.mutex());
    if (portId == m_defaultOutputPort)
        return;
    m_defaultOutputPort = portId;
    if (m_active) {
        setActive(false);
        setActive(true);
    }
}

bool TTrackOutputs::Active() const {
    Lock lock(m_registry.mutex());
    return m_active;
}

void TTrackOutputs::setActive(bool active) {
    Lock lock(m_registry.mutex());
    if (active == m_active)
        return;
    if (active) {
        build();
    } else {
        m_outputs.clear();
    }
    m_active = active;
}

void TTrackOutputs::build() {
    m_outputs.clear();
    if (!m_data)
        return;
    try {
        const std::int32_t count = std::min(m_data->TrackCount(), kMaxTrackOutputs);
        for (std::int32_t i = 0; i < count; ++i)
            m_outputs.push_back(
                std::make_unique<TTrackOutput>(*this, *m_data->Tracks(i), m_defaultOutputPort));
    } catch (...) {
        m_outputs.clear();
        throw;
    }
}

int TTrackOutputs::outputCount() const {
    Lock lock(m_registry.mutex());
    return static_cast<int>(m_outputs.size());
}

TTrackOutput* TTrackOutputs::Outputs(int index) const {
    Lock lock(m_registry.mutex());
    if (index < 0 || index >= static_cast<int>(m_outputs.size()))
        return nullptr;
    return m_outputs[static_cast<std::size_t>(index)].get();
}

void TTrackOutputs::AllNotesOff() {
    Lock lock(m_registry.mutex());
    for (auto& output : m_outputs)
        output->port().AllNotesOff();
}

void TTrackOutputs::ResetControllers() {
    Lock lock(m_registry.mutex());
    for (auto& output : m_outputs)
        output->port().ResetControllers();
}

void TTrackOutputs::RewindOutputs() {
    Lock lock(m_registry.mutex());
    for (auto& output : m_outputs)
        output->nextIndex = 0;
}

void TTrackOutputs::SendPatches() {
    Lock lock(m_registry.mutex());
    for (auto& output : m_outputs)
        output->port().SetPatch(0, output->track().firstProgram(), output->track().firstChannel());
}

void TTrackOutputs::setOnEvent(EventHandler handler) {
    Lock lock(m_registry.mutex());
    m_onEvent = std::move(handler);
}

void TTrackOutputs::eventSent(TMidiIterator& sender, int index, const TEventData& event,
                              bool deferred) {
    if (!m_onEvent)
        return;
    if (!deferred || !m_invoker) {
        m_onEvent(sender, index, event);
        return;
    }
    m_invoker->post(
        [outputs = std::weak_ptr(m_self), iterator = sender.lifeToken(), &sender, index, event] {
            const auto self = outputs.lock();
            if (!self || iterator.expired())
                return;
            TTrackOutputs& owner = **self;
            EventHandler handler;
            {
                Lock lock(owner.m_registry.mutex());
                handler = owner.m_onEvent;
            }
            if (handler)
                handler(sender, index, event);
        });
}

} // namespace cantorix::midi
