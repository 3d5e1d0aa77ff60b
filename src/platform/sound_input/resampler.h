#pragma once
// A streaming mono sample-rate converter over libsoxr with 16-bit output; the filter state
// carries across calls, so a stream converted in pieces sounds like one converted whole.
// Equal rates pass straight through. One thread.

#include <cstddef>
#include <cstdint>
#include <vector>

struct soxr;

namespace cantorix::platform {

class MonoResampler {
public:
    enum class Input { Int16, Float32 };

    // Throws std::runtime_error when the converter cannot be made (rates outside what it takes).
    MonoResampler(double inputRate, double outputRate, Input input);
    ~MonoResampler();
    MonoResampler(const MonoResampler&) = delete;
    MonoResampler& operator=(const MonoResampler&) = delete;

    // samples holds count values of the input type; appends the converted samples to out.
    // Float input is taken as −1 … 1 and clipped.
    void process(const void* samples, std::size_t count, std::vector<std::int16_t>& out);
    // End of input: appends what the filter still holds.
    void flush(std::vector<std::int16_t>& out);

private:
    void passThrough(const void* samples, std::size_t count, std::vector<std::int16_t>& out) const;

    soxr* m_soxr = nullptr;
    double m_ratio;
    Input m_input;
};

} // namespace cantorix::platform
