#include "sub_stream.h"

#include <algorithm>

namespace cantorix::audio {

namespace {

void check(bool condition, const char* what) {
    if (!condition)
        throw EAssertionFailed(std::string("Assertion failed: ") + what);
}

} // namespace

TdeSubStream::TdeSubStream(Stream* parent, std::int64_t start, std::int64_t length,
                           OwnerCallback onDestroy)
    : m_parent(parent), m_start(start), m_length(length), m_onDestroy(std::move(onDestroy)) {
    check(parent != nullptr, "sub stream without a parent");
    const std::int64_t parentSize = parent->size();
    check(start > 0 && start < parentSize, "sub stream start outside its parent");
    check(length >= 0 && start + length - 1 < parentSize, "sub stream end outside its parent");
    m_parent->setPosition(m_start);
}

TdeSubStream::~TdeSubStream() {
    if (m_onDestroy)
        m_onDestroy(*this);
}

std::size_t TdeSubStream::read(void* buffer, std::size_t count) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(std::min<std::size_t>(count, INT64_MAX)), m_length - m_position));
    if (n == 0)
        return 0;
    // Other users of the parent may have moved it since.
    m_parent->setPosition(m_start + m_position);
    const std::size_t got = m_parent->read(buffer, n);
    m_position += static_cast<std::int64_t>(got);
    return got;
}

std::size_t TdeSubStream::write(const void* buffer, std::size_t count) {
    if (count > static_cast<std::size_t>(m_length - m_position))
        throw ESubStreamError("Write past end of sub stream.");
    m_parent->setPosition(m_start + m_position);
    const std::size_t written = m_parent->write(buffer, count);
    m_position += static_cast<std::int64_t>(written);
    return written;
}

std::int64_t TdeSubStream::seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t base = origin == SeekOrigin::Begin     ? 0
                              : origin == SeekOrigin::Current ? m_position
                                                              : m_length;
    // Saturate instead of overflowing on absurd offsets.
    std::int64_t target = base;
    if (offset > 0)
        target = offset > m_length - base ? m_length : base + offset;
    else if (offset < 0)
        target = offset < -base ? 0 : base + offset;
    m_position = std::clamp<std::int64_t>(target, 0, m_length);
    m_parent->setPosition(m_start + m_position);
    return m_position;
}

} // namespace cantorix::audio
