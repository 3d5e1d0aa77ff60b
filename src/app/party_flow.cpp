#include "party_flow.h"

namespace cantorix::app {

PartyFlow::PartyFlow(PartyHost& party, PartyFlowHooks hooks,
                     std::function<std::chrono::steady_clock::time_point()> now)
    : m_party(party), m_hooks(std::move(hooks)), m_now(std::move(now)) {}

std::chrono::steady_clock::time_point PartyFlow::deadlineAfter(int seconds) const {
    return m_now() + std::chrono::seconds(seconds);
}

void PartyFlow::scorePageShown() {
    if (m_stage == Stage::Singing)
        m_entry.reset();
    m_stage = Stage::Waiting;
    m_held = false;
    // Without songs waiting the score page stays, as it does outside a party.
    if (!m_party.queue().settings().takeFromQueue || !m_party.nextUp())
        return;
    m_stage = Stage::ScorePage;
    m_deadline = deadlineAfter(m_party.queue().settings().scorePageSeconds);
}

void PartyFlow::scorePageLeft() {
    if (m_stage == Stage::ScorePage)
        m_stage = Stage::Waiting;
    tick();
}

void PartyFlow::moveOn() {
    if (m_stage == Stage::ScorePage) {
        m_stage = Stage::Waiting;
        if (m_hooks.leaveScorePage)
            m_hooks.leaveScorePage();
        showNext();
    } else if (m_stage == Stage::NextUp) {
        startEntry();
    }
}

void PartyFlow::skip() {
    if (m_stage != Stage::NextUp || !m_entry)
        return;
    m_party.skip(m_entry->id);
    showNext();
}

void PartyFlow::stop() {
    if (m_stage != Stage::NextUp)
        return;
    m_stage = Stage::Waiting;
    m_entry.reset();
    m_held = true;
    if (m_hooks.hideNextUp)
        m_hooks.hideNextUp();
}

void PartyFlow::sessionStarted() {
    if (m_starting)
        return;
    // A song chosen at the keyboard: sung outside the queue, whatever the walk was doing.
    if (m_stage == Stage::NextUp && m_hooks.hideNextUp)
        m_hooks.hideNextUp();
    m_stage = Stage::Waiting;
    m_entry.reset();
}

void PartyFlow::showNext() {
    const std::optional<party::QueueEntry> next = m_party.nextUp();
    if (!next) {
        if (m_stage == Stage::NextUp && m_hooks.hideNextUp)
            m_hooks.hideNextUp();
        m_stage = Stage::Waiting;
        m_entry.reset();
        return;
    }
    m_entry = next;
    m_stage = Stage::NextUp;
    const int seconds = m_party.queue().settings().nextUpSeconds;
    m_deadline = deadlineAfter(seconds);
    if (m_hooks.showNextUp)
        m_hooks.showNextUp(*next);
    m_shownSeconds = seconds;
    if (m_hooks.showCountdown)
        m_hooks.showCountdown(seconds);
}

void PartyFlow::startEntry() {
    if (!m_entry)
        return;
    const party::QueueEntry entry = *m_entry;
    if (m_hooks.hideNextUp)
        m_hooks.hideNextUp();
    m_stage = Stage::Singing;
    m_starting = true;
    const bool started = m_hooks.start && m_hooks.start(entry);
    m_starting = false;
    if (started) {
        m_party.takeNext();
        return;
    }
    // A song that cannot be sung now goes back (out, the second time) and the walk goes on.
    m_stage = Stage::Waiting;
    m_entry.reset();
    m_party.skip(entry.id);
}

void PartyFlow::tick() {
    const party::QueueSettings& settings = m_party.queue().settings();
    const bool taking = settings.takeFromQueue;
    if (taking && !m_wasTaking)
        m_held = false;
    m_wasTaking = taking;
    const auto now = m_now();
    switch (m_stage) {
    case Stage::ScorePage:
        if (!taking)
            m_stage = Stage::Waiting;
        else if (now >= m_deadline)
            moveOn();
        return;
    case Stage::NextUp: {
        const std::optional<party::QueueEntry> next = taking ? m_party.nextUp() : std::nullopt;
        if (!next) {
            stop();
            m_held = false;
            return;
        }
        // The host moved another song to the front meanwhile: that one is next.
        if (next->id != m_entry->id) {
            m_entry = next;
            if (m_hooks.showNextUp)
                m_hooks.showNextUp(*next);
        }
        const auto left = std::chrono::ceil<std::chrono::seconds>(m_deadline - now).count();
        if (left <= 0) {
            startEntry();
        } else if (left != m_shownSeconds) {
            m_shownSeconds = static_cast<int>(left);
            if (m_hooks.showCountdown)
                m_hooks.showCountdown(m_shownSeconds);
        }
        return;
    }
    case Stage::Waiting:
        if (taking && !m_held && m_hooks.idle && m_hooks.idle() && m_party.nextUp())
            showNext();
        return;
    case Stage::Singing:
        return;
    }
}

} // namespace cantorix::app
