#include "selection/cover_ring.h"

namespace cantorix::selection {

CoverRing::CoverRing(songs::TSongList& songs, scene::TGLCube& cover,
                     scene::TGLMaterialLibrary& covers, std::function<void()> selectSong,
                     std::function<std::string(int)> materialOf)
    : m_songs(songs), m_cover(cover), m_covers(covers), m_selectSong(std::move(selectSong)),
      m_materialOf(std::move(materialOf)) {}

void CoverRing::turnLeft() {
    arrowClick(-1);
}

void CoverRing::turnRight() {
    arrowClick(+1);
}

void CoverRing::arrowClick(int direction) {
    // At either end the index stays, but the turn and the new preview still happen.
    const int index = m_songs.itemIndex();
    if (direction < 0 && index > 0)
        jumpTo(index - 1, direction);
    else if (direction > 0 && index < m_songs.count() - 1)
        jumpTo(index + 1, direction);
    else
        jumpTo(index, direction);
}

void CoverRing::jumpTo(int index, int direction) {
    m_turning = true;
    m_cover.setTag(direction < 0 ? -1 : 1);
    m_songs.setItemIndex(index);
    m_selectSong();
}

void CoverRing::stepCover(double deltaTime) {
    if (!m_turning)
        return;
    // A left turn runs down to −180, wraps to near +180 and so ends here as well.
    if (m_cover.turnAngle() >= kTurnEnd) {
        m_turning = false;
        m_cover.setTurnAngle(0);
        // A click that lands as a turn reaches its end stops it before any frame of its own, so
        // the slab would keep showing the song before; it faces front with the selected cover.
        refreshCover();
        return;
    }
    m_cover.setTurnAngle(
        static_cast<float>(m_cover.turnAngle() + deltaTime * kTurnSpeed * m_cover.tag()));
    refreshCover();
}

void CoverRing::refreshCover() {
    if (m_songs.itemIndex() >= 0)
        m_cover.setMaterial({&m_covers, m_materialOf(m_songs.itemIndex())});
}

} // namespace cantorix::selection
