#pragma once
// The relation between a phone's audio clock and the game's steady clock, learned from round
// trips: the game sends a ping at g0, the phone answers with its clock p, the answer arrives at
// g1. The phone read p somewhere between g0 and g1, so p matches (g0 + g1) / 2 within half the
// round trip; the quickest round trips bound it best. Phone clocks also run a little fast or
// slow (100 ppm is common), so the relation is a line through the quickest trips of recent
// windows, not a constant offset. Values only; one thread.

#include <cstddef>
#include <deque>
#include <optional>

namespace cantorix::phones {

struct RoundTrip {
    double gameSentSeconds = 0;     // g0, the game's steady clock
    double phoneSeconds = 0;        // p, the phone's audio clock
    double gameReceivedSeconds = 0; // g1
};

class ClockMapping {
public:
    // Round trips longer than this say little about the clocks and are not used.
    static constexpr double kLongestUsefulTripSeconds = 0.5;
    // A frame placed further than this from the game's present is no sound of this session.
    static constexpr double kFarthestFromNowSeconds = 60;

    void add(const RoundTrip& trip);
    // Whether enough trips have arrived to place samples (at least one useful one).
    bool known() const;
    // The game's time of the phone's time phoneSeconds; nothing until known().
    std::optional<double> gameSeconds(double phoneSeconds) const;
    // As gameSeconds, but nothing for a time that is not finite or lies further than
    // kFarthestFromNowSeconds from gameNowSeconds: checked before any other arithmetic on it.
    std::optional<double> gameSecondsNear(double phoneSeconds, double gameNowSeconds) const;
    // Half the quickest recent round trip: a bound of the mapping's error from the trips alone.
    std::optional<double> uncertaintySeconds() const;
    // The phone clock's rate against the game's, as estimated (1.0001: 100 ppm fast).
    double rate() const { return m_rate; }

private:
    void refit();

    struct Point {
        double phone;
        double game;
        double halfTrip;
    };
    std::deque<Point> m_points; // the useful trips of the last few minutes, oldest first
    double m_offset = 0;        // game = m_offset + (phone - m_phoneOrigin) / m_rate
    double m_phoneOrigin = 0;
    double m_rate = 1.0;
    bool m_known = false;
};

} // namespace cantorix::phones
