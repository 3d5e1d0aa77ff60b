#pragma once
// Finds the buttons of the screen that takes the mouse that a click at their middle would not
// reach, because another control lies over them.

#include "app/game_scene.h"

#include <string>
#include <vector>

namespace cantorix::testing {

inline void collectShownButtons(const scene::TGLBaseSceneObject& node,
                                std::vector<const scene::TGLButton*>& buttons) {
    for (int i = 0; i < node.count(); ++i) {
        const scene::TGLBaseSceneObject& child = node.child(i);
        if (const auto* button = dynamic_cast<const scene::TGLButton*>(&child);
            button && button->guiVisible())
            buttons.push_back(button);
        collectShownButtons(child, buttons);
    }
}

// The buttons of the screen that takes the mouse now that a click at their middle does not reach
// (another control lies over them); empty when every one takes its own clicks.
inline std::vector<std::string> coveredButtons(const app::GameScene& g) {
    std::vector<std::string> covered;
    for (scene::TGLBaseControl* root : g.roots()) {
        if (root->tag() != 1)
            continue;
        std::vector<const scene::TGLButton*> buttons;
        collectShownButtons(*root, buttons);
        for (const scene::TGLButton* button : buttons) {
            const scene::RectI r = button->globalRect();
            const scene::TGLBaseControl* reached =
                root->controlAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            if (reached != button)
                covered.push_back(button->caption() + " (" + button->name() + ") under " +
                                  (reached ? reached->name() : std::string("nothing")));
        }
    }
    return covered;
}

} // namespace cantorix::testing
