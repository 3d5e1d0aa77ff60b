// The cover of a standard song's folder: the tag, then cover.jpg, then a picture named as one.

#include "songs/song_media.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace cantorix::songs;
namespace fs = std::filesystem;

namespace {

const std::string kJpeg = "\xFF\xD8\xFF\xE0 jpeg";
const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + " png";

} // namespace

TEST(SongMediaTest, TheCoverIsTheTagThenCoverJpgThenAPictureNamedAsOne) {
    const fs::path root =
        fs::temp_directory_path() / ("cantorix_cover_" + std::to_string(getpid()));
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, std::string>> files;
        const char* tag;
        const char* expected; // empty: none, the fallback shows
    };
    const Case cases[] = {
        {"tag wins", {{"front.png", kPng}, {"cover.jpg", kJpeg}}, "front.png", "front.png"},
        {"tag in another case", {{"Front.PNG", kPng}}, "front.png", "Front.PNG"},
        {"tag by content", {{"front.jpg", kPng}}, "front.jpg", "front.jpg"},
        {"tag not a picture",
         {{"front.png", "text"}, {"cover.jpg", kJpeg}},
         "front.png",
         "cover.jpg"},
        {"tag missing", {{"cover.jpg", kJpeg}}, "gone.png", "cover.jpg"},
        {"tag outside", {{"cover.jpg", kJpeg}}, "../outside.png", "cover.jpg"},
        {"no tag", {{"Cover.JPG", kJpeg}, {"a [CO].png", kPng}}, "", "Cover.JPG"},
        {"named [CO]",
         {{"b [co].png", kPng}, {"song.mp3", "x"}, {"z.jpg", kJpeg}},
         "",
         "b [co].png"},
        {"first by name",
         {{"Song COVER.jpg", kJpeg}, {"Song [CO].png", kPng}},
         "",
         "Song COVER.jpg"},
        {"named but not a picture",
         {{"cover.txt", "text"}, {"my cover.png", kPng}},
         "",
         "my cover.png"},
        {"none", {{"front.png", kPng}, {"song.txt", "#TITLE:x"}}, "", ""},
        {"a folder named cover", {{"cover/x", kJpeg}}, "", ""},
    };
    for (const Case& c : cases) {
        fs::remove_all(root);
        const fs::path folder = root / "Song";
        fs::create_directories(folder);
        std::ofstream(root / "outside.png", std::ios::binary) << kPng;
        for (const auto& [name, content] : c.files) {
            fs::create_directories((folder / name).parent_path());
            std::ofstream(folder / name, std::ios::binary) << content;
        }
        const fs::path expected = *c.expected ? folder / c.expected : fs::path();
        EXPECT_EQ(findCoverFile(folder, c.tag), expected) << c.name;
    }
    fs::remove_all(root);
}
