#include "songs/medley_layout.h"

#include <algorithm>
#include <cmath>

namespace cantorix::songs {

std::vector<MedleySegment> layOutMedley(const std::vector<MedleySongPart>& songs,
                                        const MedleyTiming& timing) {
    std::vector<MedleySegment> segments;
    segments.reserve(songs.size());
    std::int64_t nextStartMs = 0;
    for (const MedleySongPart& song : songs) {
        const std::int64_t length = std::max<std::int64_t>(song.audioLengthMs, 0);
        const std::int64_t partFrom = std::clamp<std::int64_t>(
            static_cast<std::int64_t>(std::floor(song.partFromMs)), 0, length);
        const std::int64_t partTo = std::clamp<std::int64_t>(
            static_cast<std::int64_t>(std::ceil(song.partToMs)), partFrom, length);
        MedleySegment segment;
        segment.audioFromMs = std::max<std::int64_t>(partFrom - timing.leadInMs, 0);
        segment.audioToMs = std::min(partTo + timing.fadeMs, length);
        segment.medleyFromMs = nextStartMs;
        segment.fadeInMs = std::min(timing.fadeMs, partFrom - segment.audioFromMs);
        segment.fadeOutMs = segment.audioToMs - partTo;
        // The next lead-in starts as this part's last note ends.
        nextStartMs = segment.medleyFromMs + (partTo - segment.audioFromMs);
        segments.push_back(segment);
    }
    return segments;
}

std::int64_t medleyLengthMs(const std::vector<MedleySegment>& segments) {
    std::int64_t end = 0;
    for (const MedleySegment& segment : segments)
        end = std::max(end, segment.medleyToMs());
    return end;
}

std::optional<MedleyPlace> medleyPlaceAt(const std::vector<MedleySegment>& segments,
                                         std::int64_t medleyMs) {
    for (std::size_t k = segments.size(); k-- > 0;) {
        const MedleySegment& segment = segments[k];
        if (medleyMs >= segment.medleyFromMs && medleyMs < segment.medleyToMs())
            return MedleyPlace{k, segment.audioFromMs + (medleyMs - segment.medleyFromMs)};
    }
    return std::nullopt;
}

} // namespace cantorix::songs
