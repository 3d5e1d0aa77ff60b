// The statistics screen's nodes, and its button on the selection screen.

#include "game_scene.h"

namespace cantorix::app {

using namespace cantorix::scene;

void GameScene::buildStatisticsScreen() {
    statistics.group = &m_scene.addNewChild<TGLDummyCube>("Statistics");
    statistics.group->setVisible(false);
    statistics.guiRoot = &addRoot(*statistics.group, "StatisticsRoot", 1000, 1000, 0);
}

} // namespace cantorix::app
