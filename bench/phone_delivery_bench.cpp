// Timed run: how soon a phone's sound reaches the game. One or eight test phones stream a tone
// in 20 ms frames over loopback into the real phone server; a reader polls each seat's capture
// every millisecond and times every 20 ms of sound from the moment its first sample was
// captured (the seat's recording mark ties the capture's samples to the steady clock) to the
// moment it could be read. Prints p50/p95/p99/max per run, and what was lost: frames the phones
// did not send, samples the seat dropped as late, frames it refused, and stretches of the tone
// that came through as silence. Asserts nothing.
//
//   phone_delivery_bench [1|8] [--seconds N | --minutes N]      (default: 8 phones, 60 s)

#include "fakes/manual_main_thread.h"
#include "fakes/phone_test_client.h"
#include "platform/phones/phone_server.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace cantorix;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kPhoneRate = 48000;
constexpr int kHubRate = platform::CaptureHub::kSampleRate;
constexpr int kStretchSamples = kHubRate / 50; // 20 ms
constexpr double kToneReplaySeconds = 30;
constexpr double kToneSeconds = 35; // longer than the replay period: the tone never stops
constexpr int kQuietRun = 44;       // 1 ms under kQuietLevel: no tone there
constexpr int kQuietLevel = 16;
constexpr const char* kKey = "0123456789abcdef0123456789abcdef";

std::vector<std::int16_t> tone() {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kToneSeconds * kPhoneRate));
    for (std::size_t k = 0; k < samples.size(); ++k)
        samples[k] = static_cast<std::int16_t>(std::lround(
            8000 * std::sin(2 * std::numbers::pi * 440.0 * static_cast<double>(k) / kPhoneRate)));
    return samples;
}

// One seat as the reader sees it: what arrived, the stretches timed, the silences in the tone.
struct Seat {
    platform::PhoneInput* input = nullptr;
    std::unique_ptr<platform::CaptureHub::Subscription> subscription;
    std::int64_t received = 0;
    std::optional<session::RecordingMark> mark;
    Clock::time_point startedOver;
    std::int64_t toneFrom = -1; // the first loud sample: the stream has begun
    std::int64_t quietRun = 0;
    std::int64_t quietSamples = 0; // within runs of kQuietRun or more, after toneFrom
    std::int64_t quietUntilIndex = 0;
    std::vector<std::int16_t> buffer;

    Clock::time_point capturedAt(std::int64_t index) const {
        const double seconds =
            static_cast<double>(mark->recordingFrames + index - mark->capturedSamples) / kHubRate;
        return startedOver +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }
};

double percentile(std::vector<double>& values, double fraction) {
    if (values.empty())
        return 0;
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at),
                     values.end());
    return values[at];
}

void readSeat(Seat& seat, Clock::time_point now, Clock::time_point countQuietBefore,
              std::vector<double>& latenciesMs) {
    const std::size_t waiting = seat.subscription->available();
    if (waiting == 0)
        return;
    seat.buffer.resize(waiting);
    const std::size_t got = seat.subscription->read(seat.buffer.data(), waiting);
    for (std::size_t k = 0; k < got; ++k) {
        const std::int64_t index = seat.received + static_cast<std::int64_t>(k);
        const bool loud = std::abs(seat.buffer[k]) > kQuietLevel;
        if (seat.toneFrom < 0 && loud)
            seat.toneFrom = index;
        if (seat.toneFrom < 0 || !seat.mark)
            continue;
        if (index % kStretchSamples == 0) {
            const std::chrono::duration<double, std::milli> latency = now - seat.capturedAt(index);
            latenciesMs.push_back(latency.count());
        }
        if (seat.capturedAt(index) >= countQuietBefore)
            continue;
        seat.quietRun = loud ? 0 : seat.quietRun + 1;
        if (seat.quietRun == kQuietRun)
            seat.quietSamples += kQuietRun;
        else if (seat.quietRun > kQuietRun)
            ++seat.quietSamples;
    }
    seat.received += static_cast<std::int64_t>(got);
}

int parseArguments(int argc, char** argv, std::size_t& phones, double& seconds) {
    for (int k = 1; k < argc; ++k) {
        const std::string word = argv[k];
        if ((word == "--seconds" || word == "--minutes") && k + 1 < argc)
            seconds = std::atof(argv[++k]) * (word == "--minutes" ? 60 : 1);
        else if (word == "1" || word == "8")
            phones = static_cast<std::size_t>(std::stoi(word));
        else
            return 1;
    }
    return seconds > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t phoneCount = 8;
    double seconds = 60;
    if (parseArguments(argc, argv, phoneCount, seconds) != 0) {
        std::fprintf(stderr, "usage: phone_delivery_bench [1|8] [--seconds N | --minutes N]\n");
        return 2;
    }
    QCoreApplication application(argc, argv);
    std::string pattern = (fs::temp_directory_path() / "phone-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const struct Folder {
        fs::path path;
        ~Folder() { fs::remove_all(path); }
    } folder{pattern};
    pitch::testing::ManualInvoker invoker;
    {
        platform::PhoneServer server({.port = 0,
                                      .identityFolder = folder.path,
                                      .invoker = &invoker,
                                      // Every phone here comes from the one loopback address.
                                      .limits = {.connectionsPerPeer = 8},
                                      .key = kKey});
        if (!server.listening()) {
            std::fprintf(stderr, "no server: %s\n", server.problem().c_str());
            return 1;
        }
        const std::string url =
            "wss://127.0.0.1:" + std::to_string(server.port()) + "/socket?k=" + kKey;
        const std::vector<platform::PhoneServer::SeatInput> inputs = server.seatInputs();
        std::vector<Seat> seats(phoneCount);
        std::vector<std::unique_ptr<testing::PhoneTestClient>> phones;
        for (std::size_t p = 0; p < phoneCount; ++p) {
            seats[p].input = &server.seatSound(p + 1);
            seats[p].subscription = inputs[p].capture->subscribe(1 << 18);
            phones.push_back(std::make_unique<testing::PhoneTestClient>(
                testing::PhoneTestClientOptions{.url = url,
                                                .name = "Bench " + std::to_string(p + 1),
                                                .slot = p + 1,
                                                .sampleRate = kPhoneRate,
                                                .frameMs = 20,
                                                .offsetSeconds = 1000.0 * static_cast<double>(p),
                                                .driftPpm = p % 2 == 0 ? 50.0 : -50.0}));
        }
        for (auto& phone : phones)
            if (!phone->waitWelcome()) {
                std::fprintf(stderr, "a phone was not welcomed: %s\n",
                             phone->refusal().value_or("no answer").c_str());
                return 1;
            }
        const std::vector<std::int16_t> sound = tone();
        for (std::size_t p = 0; p < phoneCount; ++p) {
            const auto before = Clock::now();
            seats[p].input->startOver();
            seats[p].startedOver = before + (Clock::now() - before) / 2;
            phones[p]->play(sound);
        }

        std::vector<double> latenciesMs;
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds));
        // The tone's last stretch may still be on its way when the run ends.
        const auto countQuietBefore = end - std::chrono::milliseconds(500);
        auto nextReplay = start + std::chrono::seconds(static_cast<int>(kToneReplaySeconds));
        while (Clock::now() < end) {
            const auto now = Clock::now();
            invoker.runPending();
            for (Seat& seat : seats) {
                if (!seat.mark && now - seat.startedOver > std::chrono::milliseconds(200))
                    seat.mark = seat.input->mark([&seat] {
                        return seat.received +
                               static_cast<std::int64_t>(seat.subscription->available());
                    });
                readSeat(seat, now, countQuietBefore, latenciesMs);
            }
            if (now >= nextReplay) {
                for (auto& phone : phones)
                    phone->play(sound);
                nextReplay += std::chrono::seconds(static_cast<int>(kToneReplaySeconds));
            }
            std::this_thread::sleep_until(now + std::chrono::milliseconds(1));
        }
        const std::chrono::duration<double> ran = Clock::now() - start;

        std::uint64_t sent = 0, late = 0, refused = 0, dropped = 0;
        std::int64_t quiet = 0;
        for (std::size_t p = 0; p < phoneCount; ++p) {
            sent += phones[p]->framesSent();
            late += seats[p].input->lateSamples();
            refused += seats[p].input->refusedFrames();
            dropped += seats[p].subscription->dropped();
            quiet += seats[p].quietSamples;
        }
        const double expectedFrames = static_cast<double>(phoneCount) * ran.count() * 50;
        const std::size_t timed = latenciesMs.size();
        const double p50 = percentile(latenciesMs, 0.50);
        const double p95 = percentile(latenciesMs, 0.95);
        const double p99 = percentile(latenciesMs, 0.99);
        const double worst =
            latenciesMs.empty() ? 0 : *std::max_element(latenciesMs.begin(), latenciesMs.end());
        std::printf("%zu phone(s), %.0f s: capture to hub per 20 ms of sound (%zu timed): "
                    "p50 %.1f ms, p95 %.1f ms, p99 %.1f ms, max %.1f ms\n",
                    phoneCount, ran.count(), timed, p50, p95, p99, worst);
        std::printf("frames sent %llu of about %.0f captured; late samples %llu, refused frames "
                    "%llu, hub queue drops %llu, tone heard as silence %.1f ms\n",
                    static_cast<unsigned long long>(sent), expectedFrames,
                    static_cast<unsigned long long>(late), static_cast<unsigned long long>(refused),
                    static_cast<unsigned long long>(dropped),
                    static_cast<double>(quiet) * 1e3 / kHubRate);
        phones.clear();
        seats.clear();
    }
    return 0;
}
