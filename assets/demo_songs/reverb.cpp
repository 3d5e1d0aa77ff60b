#include "reverb.h"

#include <array>
#include <vector>

namespace cantorix::assets::demo {

namespace {

constexpr std::array<std::size_t, 4> kCombLengths{1116, 1188, 1277, 1356};
constexpr std::array<std::size_t, 2> kAllPassLengths{556, 441};
constexpr std::size_t kStereoSpread = 23;
constexpr float kFeedback = 0.8f;
constexpr float kDamping = 0.25f;
constexpr float kAllPassGain = 0.5f;

class Comb {
public:
    explicit Comb(std::size_t length) : m_buffer(length) {}
    float process(float input) {
        const float output = m_buffer[m_index];
        m_filtered = output * (1.0f - kDamping) + m_filtered * kDamping;
        m_buffer[m_index] = input + m_filtered * kFeedback;
        m_index = (m_index + 1) % m_buffer.size();
        return output;
    }

private:
    std::vector<float> m_buffer;
    std::size_t m_index = 0;
    float m_filtered = 0.0f;
};

class AllPass {
public:
    explicit AllPass(std::size_t length) : m_buffer(length) {}
    float process(float input) {
        const float delayed = m_buffer[m_index];
        const float output = delayed - input;
        m_buffer[m_index] = input + delayed * kAllPassGain;
        m_index = (m_index + 1) % m_buffer.size();
        return output;
    }

private:
    std::vector<float> m_buffer;
    std::size_t m_index = 0;
};

void reverberate(const std::vector<float>& in, std::vector<float>& out, std::size_t spread,
                 float wet) {
    std::vector<Comb> combs;
    for (std::size_t length : kCombLengths)
        combs.emplace_back(length + spread);
    std::vector<AllPass> allPasses;
    for (std::size_t length : kAllPassLengths)
        allPasses.emplace_back(length + spread);
    for (std::size_t i = 0; i < in.size(); ++i) {
        float sum = 0.0f;
        for (Comb& comb : combs)
            sum += comb.process(in[i]);
        for (AllPass& allPass : allPasses)
            sum = allPass.process(sum);
        out[i] += wet * sum / float(kCombLengths.size());
    }
}

} // namespace

void applyReverb(Mix& mix, double wet) {
    reverberate(mix.send.left, mix.dry.left, 0, static_cast<float>(wet));
    reverberate(mix.send.right, mix.dry.right, kStereoSpread, static_cast<float>(wet));
}

} // namespace cantorix::assets::demo
