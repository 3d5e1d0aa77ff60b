#pragma once
// Test double for picture loading: every file "loads" as a small grey picture, so a scene that
// names pictures can be built without the files. Records the files asked for.

#include "scene/image.h"

#include <vector>

namespace cantorix::scene::testing {

class BlankImageLoader : public ImageLoader {
public:
    std::vector<std::filesystem::path> requested;

    Image load(const std::filesystem::path& file) override {
        requested.push_back(file);
        Image image(2, 2);
        for (auto& byte : image.rgba)
            byte = 128;
        return image;
    }
};

} // namespace cantorix::scene::testing
