#include "records/record_texts.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace cantorix::records {

std::string difficultyName(int difficulty) {
    switch (difficulty) {
    case 1:
        return "Easy";
    case 2:
        return "Medium";
    case 3:
        return "Hard";
    default:
        return std::to_string(difficulty);
    }
}

std::string localDay(std::int64_t msSinceEpoch) {
    // Cut towards the past, so a moment before 1970 keeps its own day.
    const auto seconds =
        static_cast<std::time_t>(msSinceEpoch / 1000 - (msSinceEpoch % 1000 < 0 ? 1 : 0));
    std::tm day{};
    if (!localtime_r(&seconds, &day))
        return "?";
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1,
                  day.tm_mday);
    return text.data();
}

std::string utcTime(std::int64_t msSinceEpoch) {
    using namespace std::chrono;
    const sys_seconds at{floor<seconds>(milliseconds(msSinceEpoch))};
    const sys_days day = floor<days>(at);
    const year_month_day date(day);
    const hh_mm_ss time(at - day);
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02lld:%02lld:%02lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(time.hours().count()),
                  static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()));
    return text.data();
}

} // namespace cantorix::records
