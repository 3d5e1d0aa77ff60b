#pragma once
// Performances as CSV (RFC 4180: comma separated, CRLF line ends, fields with a comma, quote or
// line break quoted with quotes doubled; UTF-8 with a header row). Pure; any thread.

#include "records/record_book.h"

#include <ostream>
#include <string>
#include <string_view>

namespace cantorix::records {

// One field as RFC 4180 writes it.
std::string csvField(std::string_view text);

// The header row, then one row per performance of the book, oldest first: player, artist,
// title, voice, difficulty, note points, line bonus, golden points, total, possible, share,
// sung at (ISO 8601 UTC), sung seconds, song seconds, finished.
void writePerformancesCsv(std::ostream& out, const RecordBook& book,
                          const std::vector<Performance>& rows);

} // namespace cantorix::records
