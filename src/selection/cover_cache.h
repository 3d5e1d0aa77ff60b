#pragma once
// The covers the selection screen shows, decoded only when wanted: a few texture slots in the
// covers library, reused least recently used first, filled by one worker thread that decodes
// the wanted pictures newest request first. Every cover not decoded yet, and every one that
// cannot be read, shows the one shared fallback. Construct, ask and collect on the main thread;
// the worker touches only its queue and the loader (which is safe to call from any thread).

#include "scene/image.h"
#include "scene/material.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace cantorix::selection {

// The one material that every cover not decoded yet, and every one that cannot be read, shows.
inline constexpr std::string_view kFallbackCoverMaterial = "c-fallback";

class CoverCache {
public:
    // Decodes the fallback at once: scene::EImageError naming it when it cannot be read.
    CoverCache(scene::TGLMaterialLibrary& covers, scene::ImageLoader& loader,
               const std::filesystem::path& fallback, std::size_t slots = 16);
    ~CoverCache();
    CoverCache(const CoverCache&) = delete;
    CoverCache& operator=(const CoverCache&) = delete;

    // The material to draw for a cover now (empty path: the fallback). A held cover becomes the
    // most recently used; one not held is not asked for here (see want()).
    std::string materialFor(const std::filesystem::path& cover);
    // The covers to have ready, most wanted first (at most as many as there are slots); earlier
    // requests not started yet are dropped.
    void want(const std::vector<std::filesystem::path>& covers);
    // Puts finished pictures into slots; true when any arrived.
    bool collect();

    bool holds(const std::filesystem::path& cover) const;
    std::size_t slotCount() const { return m_slots.size(); }

private:
    struct Slot {
        std::string material;
        std::filesystem::path cover; // empty: free
    };
    void work(const std::stop_token& stop);
    Slot& slotForNewCover();

    scene::TGLMaterialLibrary& m_covers;
    scene::ImageLoader& m_loader;
    std::vector<Slot> m_slots;
    std::list<std::size_t> m_recent; // slot indices, most recently used first
    std::set<std::filesystem::path> m_unreadable;

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::deque<std::filesystem::path> m_queue;  // guarded
    std::set<std::filesystem::path> m_inFlight; // guarded: queued or decoding
    std::vector<std::pair<std::filesystem::path, scene::Image>>
        m_done; // guarded; empty: unreadable
    std::jthread m_worker;
};

} // namespace cantorix::selection
