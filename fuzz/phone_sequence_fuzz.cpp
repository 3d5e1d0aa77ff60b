// Plays any sequence of what a phone and the network can do to the game, in any order: text
// messages (joins, clock answers, leaves, nonsense), sound frames with any stamp, round trips of
// any times, time passing, the session starting, pausing and ending, the seat dropping out. Each
// step goes through the same pieces, in the same order, as the server's link does: the message
// readers, the seats, the clock fit with its check of a frame's stamp, and the seat's timeline.
// Nothing may crash or overflow, and the samples handed out only ever move on.

#include "phones/clock_mapping.h"
#include "phones/phone_protocol.h"
#include "phones/phone_seats.h"
#include "phones/phone_timeline.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <string>
#include <variant>
#include <vector>

using namespace cantorix::phones;
using namespace std::chrono;

namespace {

struct Game {
    PhoneSeats seats{[n = 0]() mutable { return "token" + std::to_string(++n); }};
    ClockMapping clock;
    PhoneTimeline timeline{PlacingRules{}};
    std::optional<std::size_t> slot;
    PhoneId phone = 1;
    nanoseconds now{0}; // since the timeline's origin, which is 1000 s of the game's clock
    static constexpr double kOriginSeconds = 1000;

    double nowSeconds() const { return kOriginSeconds + duration<double>(now).count(); }

    void text(const std::string& bytes) {
        const ParsedText parsed = parsePhoneText(bytes);
        if (!parsed.message)
            return;
        if (const auto* join = std::get_if<JoinRequest>(&*parsed.message)) {
            const auto claimed = seats.claim(phone, join->slot, join->name, join->resumeToken,
                                             steady_clock::time_point(now));
            if (const auto* taken = std::get_if<SeatTaken>(&claimed)) {
                slot = taken->seat.slot;
                clock = {};
                timeline.breakContinuity();
            }
        } else if (const auto* answer = std::get_if<ClockAnswer>(&*parsed.message)) {
            if (slot)
                clock.add({nowSeconds() - 0.01, answer->phoneSeconds, nowSeconds()});
        } else if (slot) {
            seats.left(phone);
            slot.reset();
        }
    }

    void frame(const std::vector<std::uint8_t>& bytes) {
        const ParsedFrame parsed = parseAudioFrame(bytes.data(), bytes.size());
        if (!parsed.frame || !slot || !clock.known())
            return;
        const std::optional<double> game =
            clock.gameSecondsNear(parsed.frame->firstSampleSeconds, nowSeconds());
        if (!game)
            return;
        const auto time = duration_cast<nanoseconds>(duration<double>(*game - kOriginSeconds));
        timeline.place(time, parsed.frame->samples, now);
    }

    void handOut() {
        const std::int64_t before = timeline.handedOut();
        for (int round = 0; round < 4; ++round) {
            const std::span<const std::int16_t> due = timeline.due(now);
            if (due.empty())
                break;
            timeline.consume(due.size());
        }
        if (timeline.handedOut() < before)
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Game game;
    for (int step = 0; step < 256 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 8)) {
        case 0:
            game.text(input.ConsumeRandomLengthString(300));
            break;
        case 1:
            game.frame(input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 3000)));
            break;
        case 2:
            game.clock.add({input.ConsumeFloatingPoint<double>(),
                            input.ConsumeFloatingPoint<double>(),
                            input.ConsumeFloatingPoint<double>()});
            break;
        case 3:
            game.now += milliseconds(input.ConsumeIntegralInRange(0, 5000));
            break;
        case 4:
            game.handOut();
            break;
        case 5:
            // The phone drops out, or the host frees a slot, maybe its own.
            if (input.ConsumeBool())
                (void)game.seats.release(input.ConsumeIntegralInRange<std::size_t>(0, 9));
            else
                game.seats.dropped(game.phone, steady_clock::time_point(game.now));
            game.slot.reset();
            ++game.phone;
            break;
        case 6:
            game.timeline.startOver(game.now);
            game.seats.sessionStarted();
            break;
        case 7:
            if (input.ConsumeBool())
                game.timeline.pause(game.now);
            else
                game.timeline.resume(game.now);
            break;
        default:
            game.timeline.silence();
            game.seats.sessionEnded();
            (void)game.timeline.sessionFrames();
            break;
        }
    }
    return 0;
}
