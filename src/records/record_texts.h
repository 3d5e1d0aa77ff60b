#pragma once
// How the records' values read wherever they are shown or written: difficulties by name, days
// and times. Pure; any thread.

#include <cstdint>
#include <string>

namespace cantorix::records {

// "Easy", "Medium", "Hard" for 1, 2, 3; the number itself for anything else.
std::string difficultyName(int difficulty);

// The local day of a moment (milliseconds since the epoch), "2026-12-08"; "?" when the
// calendar cannot say.
std::string localDay(std::int64_t msSinceEpoch);

// The moment in UTC as ISO 8601 to the second, "2026-12-08T21:05:00Z"; moments before 1970 are
// cut towards the past.
std::string utcTime(std::int64_t msSinceEpoch);

} // namespace cantorix::records
