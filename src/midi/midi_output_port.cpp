#include "midi_output_port.h"

namespace cantorix::midi {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kController = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kFirstSystemStatus = 0xF0;

} // namespace

TMidiOutputPort::TMidiOutputPort(PhysicalPortRegistry& registry) : m_registry(registry) {}

TMidiOutputPort::~TMidiOutputPort() {
    Lock lock(m_registry.mutex());
    if (m_connection)
        deactivate();
}

int TMidiOutputPort::PortId() const {
    Lock lock(m_registry.mutex());
    return m_portId;
}

void TMidiOutputPort::setPortId(int portId) {
    Lock lock(m_registry.mutex());
    if (portId == m_portId)
        return;
    const bool active = m_connection != nullptr;
    if (active)
        deactivate();
    m_portId = portId;
    if (active)
        activate();
}

bool TMidiOutputPort::Active() const {
    Lock lock(m_registry.mutex());
    return m_connection != nullptr;
}

void TMidiOutputPort::setActive(bool active) {
    Lock lock(m_registry.mutex());
    if (active == (m_connection != nullptr))
        return;
    if (active)
        activate();
    else
        deactivate();
}

void TMidiOutputPort::activate() {
    m_connection = &m_registry.attach(m_portId, *this);
}

void TMidiOutputPort::deactivate() {
    AllNotesOff();
    m_connection->ResetControllers();
    TPhysicalOutputPort* connection = m_connection;
    m_connection = nullptr;
    m_registry.detach(*connection, *this);
}

void TMidiOutputPort::SendEvent(const TEventData& event) {
    Lock lock(m_registry.mutex());
    if (!m_connection || event.status >= kFirstSystemStatus)
        return;
    m_connection->send(event);
    const int channel = event.channel();
    if (event.isNoteOn()) {
        ++m_notes[channel][event.data1 & 0x7F];
    } else if (event.isNoteOff()) {
        std::int32_t& count = m_notes[channel][event.data1 & 0x7F];
        if (count > 0)
            --count;
    } else if (event.kind() == kController) {
        m_connection->setController(channel, event.data1 & 0x7F, event.data2);
    } else if (event.kind() == kProgramChange) {
        m_connection->setProgram(channel, event.data1);
    }
}

void TMidiOutputPort::AllNotesOff() {
    Lock lock(m_registry.mutex());
    // Inactive, nothing can be sent, so nothing can have been started either.
    if (!m_connection)
        return;
    for (int channel = 0; channel < TPhysicalOutputPort::kChannels; ++channel)
        for (int note = 0; note < 128; ++note)
            while (m_notes[channel][note] > 0)
                SendEvent({static_cast<std::uint8_t>(kNoteOff | channel),
                           static_cast<std::uint8_t>(note), 0});
    constexpr int kSustain = TPhysicalOutputPort::kSustain;
    const std::uint8_t released = TPhysicalOutputPort::defaultController(kSustain);
    for (int channel = 0; channel < TPhysicalOutputPort::kChannels; ++channel)
        if (m_connection->controller(channel, kSustain) != released)
            SendEvent({static_cast<std::uint8_t>(kController | channel), kSustain, released});
}

void TMidiOutputPort::ResetControllers() {
    Lock lock(m_registry.mutex());
    if (m_connection)
        m_connection->ResetControllers();
}

void TMidiOutputPort::SetPatch(int /*bank*/, int program, int channel) {
    Lock lock(m_registry.mutex());
    if (!m_connection || channel < 0 || channel >= TPhysicalOutputPort::kChannels)
        return;
    const auto value = static_cast<std::uint8_t>(program & 0x7F);
    if (m_connection->program(channel) == value)
        return;
    SendEvent({static_cast<std::uint8_t>(kProgramChange | channel), value, 0});
}

int TMidiOutputPort::soundingNotes(int channel, int note) const {
    Lock lock(m_registry.mutex());
    return m_notes[channel][note];
}

const TPhysicalOutputPort* TMidiOutputPort::connection() const {
    Lock lock(m_registry.mutex());
    return m_connection;
}

} // namespace cantorix::midi
