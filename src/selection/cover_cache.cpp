#include "selection/cover_cache.h"

#include <algorithm>

namespace cantorix::selection {

namespace fs = std::filesystem;

CoverCache::CoverCache(scene::TGLMaterialLibrary& covers, scene::ImageLoader& loader,
                       const fs::path& fallback, std::size_t slots)
    : m_covers(covers), m_loader(loader) {
    m_covers.addTextureMaterial(std::string(kFallbackCoverMaterial), loader.load(fallback),
                                fallback);
    // The slots exist from the start and only their pictures change, so the renderer keeps one
    // texture per slot however many covers pass through.
    for (std::size_t i = 0; i < std::max<std::size_t>(slots, 1); ++i) {
        m_slots.push_back({"cover-slot-" + std::to_string(i), {}});
        m_covers.addTextureMaterial(m_slots.back().material, scene::Image(1, 1));
        m_recent.push_back(i);
    }
    m_worker = std::jthread([this](const std::stop_token& stop) { work(stop); });
}

CoverCache::~CoverCache() {
    m_worker.request_stop();
    m_wake.notify_all();
}

bool CoverCache::holds(const fs::path& cover) const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [&](const Slot& s) { return !cover.empty() && s.cover == cover; });
}

std::string CoverCache::materialFor(const fs::path& cover) {
    if (cover.empty())
        return std::string(kFallbackCoverMaterial);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].cover != cover)
            continue;
        m_recent.remove(i);
        m_recent.push_front(i);
        return m_slots[i].material;
    }
    return std::string(kFallbackCoverMaterial);
}

void CoverCache::want(const std::vector<fs::path>& covers) {
    std::vector<fs::path> missing;
    const std::size_t limit = std::min(covers.size(), m_slots.size());
    // Held covers are touched least wanted first, so the most wanted ends up most recent.
    for (std::size_t i = limit; i-- > 0;) {
        const fs::path& cover = covers[i];
        if (cover.empty() || m_unreadable.count(cover))
            continue;
        if (holds(cover))
            materialFor(cover);
        else if (std::find(missing.begin(), missing.end(), cover) == missing.end())
            missing.insert(missing.begin(), cover);
    }
    {
        std::lock_guard lock(m_mutex);
        for (const fs::path& stale : m_queue)
            m_inFlight.erase(stale);
        m_queue.clear();
        for (const fs::path& cover : missing)
            if (m_inFlight.insert(cover).second)
                m_queue.push_back(cover);
    }
    m_wake.notify_one();
}

CoverCache::Slot& CoverCache::slotForNewCover() {
    const std::size_t index = m_recent.back();
    m_recent.pop_back();
    m_recent.push_front(index);
    return m_slots[index];
}

bool CoverCache::collect() {
    std::vector<std::pair<fs::path, scene::Image>> done;
    {
        std::lock_guard lock(m_mutex);
        done.swap(m_done);
    }
    for (auto& [cover, picture] : done) {
        if (picture.empty()) {
            m_unreadable.insert(cover);
            continue;
        }
        if (holds(cover))
            continue;
        Slot& slot = slotForNewCover();
        slot.cover = cover;
        scene::TGLLibMaterial* material = m_covers.materialByName(slot.material);
        material->texture().setImage(std::move(picture));
        material->texture().setFileName(cover);
    }
    return !done.empty();
}

void CoverCache::work(const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        fs::path cover;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop, [this] { return !m_queue.empty(); }))
                return;
            cover = m_queue.front();
            m_queue.pop_front();
        }
        scene::Image picture;
        try {
            picture = m_loader.load(cover);
        } catch (...) {
            // An unreadable picture (or no memory for it) shows the fallback; the game goes on.
            picture = {};
        }
        std::lock_guard lock(m_mutex);
        m_inFlight.erase(cover);
        m_done.emplace_back(std::move(cover), std::move(picture));
    }
}

} // namespace cantorix::selection
