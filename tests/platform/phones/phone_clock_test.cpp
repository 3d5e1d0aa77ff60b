// Phones whose clocks are far from the game's and drift as cheap ones do stream clicks over
// loopback into the real server; each click must land in the game's timeline (the seat's
// capture, lined up by its recording mark) within 5 ms of the moment the phone captured it.

#include "fakes/manual_main_thread.h"
#include "fakes/phone_test_client.h"
#include "platform/phones/phone_server.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <numbers>
#include <thread>
#include <unistd.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPhoneRate = 48000;
constexpr int kHubRate = CaptureHub::kSampleRate;
constexpr int kClicks = 20;
constexpr double kFirstClickSeconds = 1.0; // lets the clock pings of the join settle
constexpr double kClickEverySeconds = 0.5;
constexpr double kClickSeconds = 0.02;
constexpr double kLandWithinSeconds = 0.005;
constexpr const char* kKey = "00112233445566778899aabbccddeeff";

// Clicks of a 1 kHz tone: kClicks of them, kClickEverySeconds apart from kFirstClickSeconds.
std::vector<std::int16_t> clickTrack() {
    const auto length =
        static_cast<std::size_t>((kFirstClickSeconds + kClicks * kClickEverySeconds) * kPhoneRate);
    std::vector<std::int16_t> track(length, 0);
    for (int click = 0; click < kClicks; ++click) {
        const auto first = static_cast<std::size_t>(
            std::lround((kFirstClickSeconds + click * kClickEverySeconds) * kPhoneRate));
        for (int k = 0; k < kClickSeconds * kPhoneRate; ++k)
            track[first + static_cast<std::size_t>(k)] = static_cast<std::int16_t>(
                std::lround(20000 * std::sin(2 * std::numbers::pi * 1000.0 * k / kPhoneRate)));
    }
    return track;
}

// What one seat's capture received since the test subscribed.
struct HeardSeat {
    std::unique_ptr<CaptureHub::Subscription> subscription;
    std::vector<std::int16_t> samples;

    void readAll() {
        const std::size_t waiting = subscription->available();
        const std::size_t start = samples.size();
        samples.resize(start + waiting);
        samples.resize(start + subscription->read(samples.data() + start, waiting));
    }
    std::int64_t received() const {
        return static_cast<std::int64_t>(samples.size() + subscription->available());
    }
};

// The first sample of each click heard: loud after a stretch of quiet.
std::vector<std::size_t> clickOnsets(const std::vector<std::int16_t>& samples) {
    std::vector<std::size_t> onsets;
    const auto quietBefore = static_cast<std::size_t>(0.2 * kHubRate);
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::abs(samples[i]) > 8000 && (onsets.empty() || i > onsets.back() + quietBefore))
            onsets.push_back(i);
    return onsets;
}

struct DriftingPhone {
    std::size_t slot;
    double offsetSeconds;
    double driftPpm;
};

TEST(PhoneClockTest, ClicksOfOffsetAndDriftingPhonesLandWhereTheyWereCaptured) {
    static int argc = 1;
    static char name[] = "phone_clock_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        static QCoreApplication application(argc, argv);

    std::string pattern = (fs::temp_directory_path() / "phone-clock-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const struct Folder {
        fs::path path;
        ~Folder() { fs::remove_all(path); }
    } identity{pattern};
    // Declared before the server, so tasks it posted late die unrun after it.
    pitch::testing::ManualInvoker invoker;
    {
        PhoneServer server(
            {.port = 0, .identityFolder = identity.path, .invoker = &invoker, .key = kKey});
        ASSERT_TRUE(server.listening()) << server.problem();
        const std::string url =
            "wss://127.0.0.1:" + std::to_string(server.port()) + "/socket?k=" + kKey;

        const std::vector<DriftingPhone> phones = {{1, 12345.678, 100.0}, {2, -777.125, -100.0}};
        std::vector<std::unique_ptr<testing::PhoneTestClient>> clients;
        std::vector<HeardSeat> heard(phones.size());
        const std::vector<PhoneServer::SeatInput> seats = server.seatInputs();
        for (std::size_t p = 0; p < phones.size(); ++p) {
            heard[p].subscription = seats[phones[p].slot - 1].capture->subscribe(1 << 20);
            clients.push_back(std::make_unique<testing::PhoneTestClient>(
                testing::PhoneTestClientOptions{.url = url,
                                                .slot = phones[p].slot,
                                                .sampleRate = kPhoneRate,
                                                .offsetSeconds = phones[p].offsetSeconds,
                                                .driftPpm = phones[p].driftPpm}));
        }
        for (auto& client : clients)
            ASSERT_TRUE(client->waitWelcome()) << client->refusal().value_or("no welcome");

        // The game's timeline starts at startOver(); the phones start their clicks just after.
        std::vector<Clock::time_point> startedOver;
        std::vector<double> playedFrom;
        for (std::size_t p = 0; p < phones.size(); ++p) {
            // Made first: the phone's clock is read as the track starts, not before it is made.
            std::vector<std::int16_t> track = clickTrack();
            const auto before = Clock::now();
            server.seatSound(phones[p].slot).startOver();
            startedOver.push_back(before + (Clock::now() - before) / 2);
            playedFrom.push_back(clients[p]->phoneSecondsNow());
            clients[p]->play(std::move(track));
        }
        const double playSeconds = kFirstClickSeconds + kClicks * kClickEverySeconds;
        const auto listenUntil = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(playSeconds + 1));
        while (Clock::now() < listenUntil) {
            invoker.runPending();
            for (auto& seat : heard)
                seat.readAll();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }

        for (std::size_t p = 0; p < phones.size(); ++p) {
            SCOPED_TRACE("phone of slot " + std::to_string(phones[p].slot));
            PhoneInput& input = server.seatSound(phones[p].slot);
            const auto mark = input.mark([&] { return heard[p].received(); });
            ASSERT_TRUE(mark.has_value());
            heard[p].readAll();
            const std::vector<std::size_t> onsets = clickOnsets(heard[p].samples);
            double worst = 0;
            for (int click = 0; click < kClicks; ++click) {
                const double phoneTime =
                    playedFrom[p] + kFirstClickSeconds + click * kClickEverySeconds;
                const std::chrono::duration<double> captured =
                    clients[p]->steadyAt(phoneTime) - startedOver[p];
                // The onset heard nearest to where the click belongs; the clicks are far apart.
                double error = kClickEverySeconds;
                for (const std::size_t onset : onsets) {
                    const double placed = static_cast<double>(mark->recordingFrames +
                                                              static_cast<std::int64_t>(onset) -
                                                              mark->capturedSamples) /
                                          kHubRate;
                    if (std::abs(placed - captured.count()) < std::abs(error))
                        error = placed - captured.count();
                }
                worst = std::max(worst, std::abs(error));
                EXPECT_LT(std::abs(error), kLandWithinSeconds) << "click " << click;
            }
            EXPECT_EQ(onsets.size(), static_cast<std::size_t>(kClicks));
            std::printf("slot %zu: worst placement error %.2f ms\n", phones[p].slot, worst * 1e3);
            EXPECT_EQ(input.refusedFrames(), 0u);
        }
    }
}

} // namespace
} // namespace cantorix::platform
