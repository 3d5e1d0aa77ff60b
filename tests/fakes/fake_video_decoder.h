#pragma once
// Test double for the video decoder: a clip of synthetic frames, each a flat picture whose
// blue byte is its index, with chosen files and frames failing and the requests recorded.

#include "session/video_decoder_port.h"

#include <set>
#include <vector>

namespace cantorix::session::testing {

class FakeVideoDecoder : public VideoDecoder {
public:
    VideoStreamInfo clip{25, 1, 0, 10, 16, 8}; // what every openable file holds
    std::set<std::filesystem::path> failing;   // open() fails for these
    std::set<std::int64_t> brokenFrames;       // frame() fails for these
    std::vector<std::int64_t> requests;        // every frame() call, in order
    std::vector<std::filesystem::path> opened; // every open() call, in order
    bool isOpen = false;

    bool open(const std::filesystem::path& file) override {
        opened.push_back(file);
        isOpen = !failing.contains(file);
        return isOpen;
    }
    void close() override { isOpen = false; }
    VideoStreamInfo info() const override { return isOpen ? clip : VideoStreamInfo{}; }
    bool frame(std::int64_t index, VideoFrame& out) override {
        requests.push_back(index);
        if (!isOpen || index < clip.start || index >= clip.start + clip.length ||
            brokenFrames.contains(index))
            return false;
        out = flatFrame(clip.width, clip.height, static_cast<std::uint8_t>(index));
        return true;
    }

    // Every pixel blue = `blue`, green 20, red 40.
    static VideoFrame flatFrame(int width, int height, std::uint8_t blue) {
        VideoFrame f{width, height, {}};
        f.rows.assign(f.stride() * static_cast<std::size_t>(height), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = f.rows.data() + f.stride() * static_cast<std::size_t>(y) +
                                  static_cast<std::size_t>(x) * 3;
                p[0] = blue;
                p[1] = 20;
                p[2] = 40;
            }
        return f;
    }
};

} // namespace cantorix::session::testing
