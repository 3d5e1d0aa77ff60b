#include "physical_output_port.h"

#include <algorithm>

namespace cantorix::midi {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr std::uint8_t kControllerMessage = 0xB0;

} // namespace

std::uint8_t TPhysicalOutputPort::defaultController(int controller) {
    switch (controller) {
    case 7:
        return 90;
    case 10:
        return 64;
    case 11:
        return 127;
    case 91:
        return 40;
    default:
        return 0;
    }
}

TPhysicalOutputPort::TPhysicalOutputPort(int deviceNumber, std::unique_ptr<MidiOutputDevice> device)
    : m_deviceNumber(deviceNumber), m_device(std::move(device)) {
    for (auto& channel : m_controllers)
        for (int c = 0; c < kControllers; ++c)
            channel[c] = defaultController(c);
}

TPhysicalOutputPort::~TPhysicalOutputPort() {
    m_device->reset();
}

void TPhysicalOutputPort::send(const TEventData& event) {
    m_device->sendShortMessage(event.shortMessage());
}

void TPhysicalOutputPort::ResetControllers() {
    for (int channel = 0; channel < kChannels; ++channel)
        for (int c = 0; c < kControllers; ++c) {
            const std::uint8_t value = defaultController(c);
            if (m_controllers[channel][c] == value)
                continue;
            send({static_cast<std::uint8_t>(kControllerMessage | channel),
                  static_cast<std::uint8_t>(c), value});
            m_controllers[channel][c] = value;
        }
}

PhysicalPortRegistry::PhysicalPortRegistry(MidiOutputDevices& devices) : m_devices(devices) {}

PhysicalPortRegistry::~PhysicalPortRegistry() = default;

TPhysicalOutputPort& PhysicalPortRegistry::attach(int deviceNumber, TMidiOutputPort& port) {
    Lock lock(m_mutex);
    auto found = m_connections.find(deviceNumber);
    if (found == m_connections.end()) {
        std::unique_ptr<MidiOutputDevice> device = m_devices.open(deviceNumber);
        if (!device)
            throw EMidiOutputPort("Unable to open port");
        found = m_connections
                    .emplace(deviceNumber,
                             std::make_unique<TPhysicalOutputPort>(deviceNumber, std::move(device)))
                    .first;
    }
    found->second->m_users.push_back(&port);
    return *found->second;
}

void PhysicalPortRegistry::detach(TPhysicalOutputPort& connection, TMidiOutputPort& port) {
    Lock lock(m_mutex);
    auto& users = connection.m_users;
    users.erase(std::remove(users.begin(), users.end(), &port), users.end());
    if (users.empty())
        m_connections.erase(connection.deviceNumber());
}

const TPhysicalOutputPort* PhysicalPortRegistry::find(int deviceNumber) const {
    Lock lock(m_mutex);
    const auto found = m_connections.find(deviceNumber);
    return found == m_connections.end() ? nullptr : found->second.get();
}

int PhysicalPortRegistry::openCount() const {
    Lock lock(m_mutex);
    return static_cast<int>(m_connections.size());
}

} // namespace cantorix::midi
