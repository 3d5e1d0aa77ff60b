// The line from a phone's clock to the game's, fitted through the quickest round trip of each
// recent window of game time. A quick trip pins the phone's reading closely (within half its
// length), a slow one loosely, and Wi-Fi delays come in bursts, so the quickest of each window
// carries nearly all there is to know; the fit weighs each of them by how closely it pins.

#include "phones/clock_mapping.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cantorix::phones {

namespace {

// How far back trips still count: long enough to see a drift of a few ppm, short enough that
// a phone warming up (its crystal's rate moves with temperature) is followed.
constexpr double kKeptSeconds = 120;
// A bound on the work of a refit should pings ever come faster than the server plans.
constexpr std::size_t kMostKeptTrips = 128;
// Each window of this much game time offers its quickest trip to the fit.
constexpr double kWindowSeconds = 10;
// Phone clocks are off by a few tens of ppm; a fit further off than this is noise.
constexpr double kMostRateDeviation = 1e-3;
// How firmly the fit holds the rate near 1 before the trips span enough time to measure it:
// the spread of phone clock rates, as a standard deviation. Tighter than the clamp, because a
// slope measured over a minute from trips a few milliseconds off is noisier than the clocks.
constexpr double kExpectedRateDeviation = 1e-4;
// A reading's error is not known to better than this, however quick its trip: the phone's
// audio clock advances in steps of a few milliseconds.
constexpr double kLeastTripError = 0.5e-3;
// A trip further off the current line than its own length explains, by more than this, means
// the phone's clock stepped: it restarted (a new audio context after the page was reloaded), or
// it fell behind because the phone could not keep its sound running in time (a busy phone skips
// whole stretches of its audio clock, losing a few per cent). What was learned before no longer
// applies, and the line starts again from this trip, so frames are placed where that clock now
// is rather than, after a few seconds of it, later than the game waits for them. A crystal's
// drift of 100 ppm moves the line by 12 ms in the two minutes the fit looks back.
constexpr double kClockStepSeconds = 0.02;

// How much a trip counts in the fit: the phone read its clock anywhere within the trip, and an
// error spread evenly over ±halfTrip has a variance of halfTrip² / 3.
double fitWeight(double halfTrip) {
    return 1 / (halfTrip * halfTrip / 3 + kLeastTripError * kLeastTripError);
}

// The weighted mean of points, relative to origin.
struct WeightedMean {
    double phone = 0;
    double game = 0;
};
template <typename Point>
WeightedMean weightedMean(const std::vector<const Point*>& points, const Point& origin) {
    double weights = 0;
    WeightedMean mean;
    for (const Point* point : points) {
        const double weight = fitWeight(point->halfTrip);
        weights += weight;
        mean.phone += weight * (point->phone - origin.phone);
        mean.game += weight * (point->game - origin.game);
    }
    mean.phone /= weights;
    mean.game /= weights;
    return mean;
}

} // namespace

void ClockMapping::add(const RoundTrip& trip) {
    const double roundTrip = trip.gameReceivedSeconds - trip.gameSentSeconds;
    if (!std::isfinite(roundTrip) || !std::isfinite(trip.phoneSeconds) ||
        !std::isfinite(trip.gameSentSeconds) || roundTrip < 0 ||
        roundTrip > kLongestUsefulTripSeconds)
        return;
    const Point point{trip.phoneSeconds, (trip.gameSentSeconds + trip.gameReceivedSeconds) / 2,
                      roundTrip / 2};
    if (m_known) {
        const double expected = m_offset + (point.phone - m_phoneOrigin) / m_rate;
        if (std::fabs(expected - point.game) > point.halfTrip + kClockStepSeconds)
            m_points.clear();
    }
    m_points.push_back(point);
    while (m_points.size() > kMostKeptTrips || m_points.front().game < point.game - kKeptSeconds)
        m_points.pop_front();
    refit();
}

bool ClockMapping::known() const {
    return m_known;
}

std::optional<double> ClockMapping::gameSeconds(double phoneSeconds) const {
    if (!m_known || !std::isfinite(phoneSeconds))
        return std::nullopt;
    return m_offset + (phoneSeconds - m_phoneOrigin) / m_rate;
}

std::optional<double> ClockMapping::gameSecondsNear(double phoneSeconds,
                                                    double gameNowSeconds) const {
    const std::optional<double> game = gameSeconds(phoneSeconds);
    if (!game || !std::isfinite(*game) || !std::isfinite(gameNowSeconds) ||
        std::abs(*game - gameNowSeconds) > kFarthestFromNowSeconds)
        return std::nullopt;
    return game;
}

std::optional<double> ClockMapping::uncertaintySeconds() const {
    if (!m_known)
        return std::nullopt;
    double quickest = m_points.front().halfTrip;
    for (const Point& point : m_points)
        quickest = std::min(quickest, point.halfTrip);
    return quickest;
}

// A weighted least-squares line through the windows' quickest trips, its slope drawn towards 1
// by what is known of phone clocks (a ridge term): with two windows only a few seconds apart
// the slope would otherwise swing by hundreds of ppm on a millisecond of noise. Coordinates are
// taken from the newest trip, so phone clocks at any offset keep their precision.
void ClockMapping::refit() {
    if (m_points.empty())
        return;
    const Point& newest = m_points.back();
    std::vector<const Point*> quickest;
    for (const Point& point : m_points) {
        const auto window = static_cast<std::size_t>(
            std::max(0.0, std::floor((newest.game - point.game) / kWindowSeconds)));
        if (window >= quickest.size())
            quickest.resize(window + 1, nullptr);
        if (quickest[window] == nullptr || point.halfTrip < quickest[window]->halfTrip)
            quickest[window] = &point;
    }
    std::erase(quickest, nullptr);
    m_known = true;
    if (quickest.size() < 2) {
        m_rate = 1;
        m_phoneOrigin = quickest.front()->phone;
        m_offset = quickest.front()->game;
        return;
    }
    const WeightedMean all = weightedMean(quickest, newest);
    double spread = 0, together = 0;
    for (const Point* point : quickest) {
        const double phone = point->phone - newest.phone - all.phone;
        spread += fitWeight(point->halfTrip) * phone * phone;
        together += fitWeight(point->halfTrip) * phone * (point->game - newest.game - all.game);
    }
    const double pull = 1 / (kExpectedRateDeviation * kExpectedRateDeviation);
    const double slope = (together + pull) / (spread + pull);
    m_rate = std::clamp(1 / slope, 1 - kMostRateDeviation, 1 + kMostRateDeviation);
    // Whatever the slope, the best line through points passes through their weighted mean.
    m_phoneOrigin = newest.phone + all.phone;
    m_offset = newest.game + all.game;
}

} // namespace cantorix::phones
