// The guests' song book over a library of 30,000 songs: how long the game takes to answer one
// query of a guest typing (search and the page of 50 it hands out), as the 95th percentile and
// the worst of many queries typed letter by letter, and how long building the book takes when
// the library changes. Prints the figures; asserts nothing.

#include "generated_summaries.h"
#include "party/song_book.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using cantorix::songs::SongSummary;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main() {
    const std::vector<SongSummary> library = cantorix::bench::generatedSummaries(30000);
    const auto built = Clock::now();
    const cantorix::party::SongBook book(library, 99);
    std::printf("book of %zu songs built in %.1f ms\n", book.size(), msSince(built));

    // Guests type an artist or a title letter by letter, sometimes two words, and page on.
    std::vector<double> times;
    for (std::size_t i = 0; i < 200; ++i) {
        const SongSummary& wanted = library[(i * 7919) % library.size()];
        const std::string typed = i % 3 == 0 ? wanted.artist + " " + wanted.title : wanted.title;
        for (std::size_t letters = 1; letters <= std::min<std::size_t>(typed.size(), 14);
             ++letters) {
            const auto start = Clock::now();
            const auto page = book.search(typed.substr(0, letters), letters % 5 == 0 ? 1 : 0);
            times.push_back(msSince(start));
            if (page.total > library.size())
                return 1;
        }
    }
    std::sort(times.begin(), times.end());
    const auto at = [&](double share) {
        return times[std::min(times.size() - 1, static_cast<std::size_t>(share * times.size()))];
    };
    std::printf("%zu queries: median %.2f ms, 95th percentile %.2f ms, worst %.2f ms\n",
                times.size(), at(0.5), at(0.95), times.back());
    return 0;
}
