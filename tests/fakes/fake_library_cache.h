#pragma once
// The library cache in memory: what the last store left, and how often the scanner stored.

#include "songs/library_cache_port.h"
#include "songs/song_catalog.h"

#include <map>
#include <stdexcept>
#include <string>

namespace cantorix::testing {

class FakeLibraryCache : public songs::LibraryCache {
public:
    std::vector<songs::SongSummary> load() override {
        std::vector<songs::SongSummary> all;
        for (const auto& [folder, summary] : songs)
            all.push_back(summary);
        return all;
    }
    void store(const std::vector<songs::SongSummary>& changed,
               const std::vector<std::filesystem::path>& removed) override {
        ++stores;
        if (failStores)
            throw std::runtime_error("The library cache cannot be written");
        for (const songs::SongSummary& s : changed)
            songs[s.folder] = s;
        for (const auto& folder : removed)
            songs.erase(folder.native());
        lastChanged = changed.size();
    }

    std::map<std::string, songs::SongSummary> songs;
    int stores = 0;
    std::size_t lastChanged = 0;
    bool failStores = false;
};

} // namespace cantorix::testing
