#include "capture_hub.h"

#include <stdexcept>
#include <thread>

namespace cantorix::platform {

CaptureHub::Subscription::~Subscription() {
    m_hub.unsubscribe(this);
}

std::unique_ptr<CaptureHub::Subscription> CaptureHub::subscribe(std::size_t capacityFrames) {
    std::unique_ptr<Subscription> subscription(new Subscription(*this, capacityFrames));
    std::lock_guard lock(m_slotsMutex);
    for (auto& slot : m_slots) {
        if (slot.load() == nullptr) {
            slot.store(subscription.get());
            return subscription;
        }
    }
    throw std::runtime_error("too many capture subscribers");
}

void CaptureHub::unsubscribe(Subscription* subscription) {
    {
        std::lock_guard lock(m_slotsMutex);
        for (auto& slot : m_slots) {
            if (slot.load() == subscription)
                slot.store(nullptr);
        }
    }
    // Sequentially consistent with deliver(): a delivery that began before the slot was
    // cleared shows an odd count here, and any later one cannot see the subscription.
    const std::uint64_t seq = m_deliverSeq.load();
    if (seq % 2 == 0)
        return;
    while (m_deliverSeq.load() == seq)
        std::this_thread::yield();
}

void CaptureHub::deliver(const std::int16_t* frames, std::size_t count) noexcept {
    m_deliverSeq.fetch_add(1);
    for (auto& slot : m_slots) {
        Subscription* subscription = slot.load();
        if (subscription == nullptr)
            continue;
        const std::size_t pushed = subscription->m_queue.write(frames, count);
        if (pushed < count)
            subscription->m_dropped.fetch_add(count - pushed, std::memory_order_relaxed);
    }
    m_delivered.fetch_add(count, std::memory_order_relaxed);
    m_deliverSeq.fetch_add(1);
}

} // namespace cantorix::platform
