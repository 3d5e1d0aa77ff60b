// The song book's cover thumbnails over loopback: found by a song's identifier alone, served as
// small JPEGs the phone's browser may keep, and refused (404) for anything else, while the
// server goes on serving.

#include "fakes/file_bytes.h"
#include "fakes/https_get.h"
#include "platform/phones/phone_server.h"
#include "platform/pictures/cover_thumbnail.h"
#include "platform/pictures/jpeg_decoder.h"
#include "platform/pictures/png_decoder.h"
#include "scene/picture_loader.h"

#include <QCoreApplication>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdlib.h>

namespace cantorix::platform {
namespace {

namespace fs = std::filesystem;

const std::string kKey = "00112233445566778899aabbccddeeff";
const fs::path kDemoSongs = fs::path(CANTORIX_PROGRAM_DIR) / "songs";

void ensureApplication() {
    static int argc = 1;
    static char name[] = "phone_server_covers_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        static QCoreApplication application(argc, argv);
}

std::string percentEncoded(const std::string& text) {
    return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

scene::Image decodedJpeg(const std::string& bytes) {
    LibJpegDecoder decoder;
    return decoder.decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

class PhoneServerCoversTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        std::string pattern = (fs::temp_directory_path() / "phone-covers-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        PhoneServer::Options options;
        options.port = 0;
        options.identityFolder = m_folder;
        options.listNetworks = [] { return std::vector<LocalNetwork>{}; };
        options.key = kKey;
        options.thumbnail = [this](const std::string& cover) { return m_maker.make(cover); };
        m_server = std::make_unique<PhoneServer>(std::move(options));
        ASSERT_TRUE(m_server->listening()) << m_server->problem();
    }
    void TearDown() override {
        m_server.reset();
        fs::remove_all(m_folder);
    }

    songs::SongSummary& add(const std::string& title, const fs::path& cover) {
        songs::SongSummary& song = m_library.emplace_back();
        song.artist = "Cantorix";
        song.title = title;
        song.folder = (m_folder / title).string();
        song.songFile = song.folder + "/song.txt";
        song.cover = cover.string();
        song.coverStamp = songs::fileStamp(cover);
        return song;
    }
    // The identifier the song book gives the song of this title.
    std::string idOf(const party::SongBook& book, const std::string& title) {
        const party::BookPage page = book.search(title, 0);
        return page.songs.empty() ? std::string() : page.songs.front()->id;
    }
    testing::HttpsResponse cover(const std::string& id) {
        return testing::httpsGet(m_server->port(), "/cover?song=" + id + "&k=" + kKey);
    }

    fs::path m_folder;
    CoverThumbnailMaker m_maker;
    std::vector<songs::SongSummary> m_library;
    std::unique_ptr<PhoneServer> m_server;
};

TEST_F(PhoneServerCoversTest, ADemoSongsCoverComesAsAJpegWithin96PixelsKeptByTheBrowser) {
    const struct {
        const char* title;
        fs::path cover;
    } rows[] = {
        {"Paper Kites", kDemoSongs / "Cantorix - Paper Kites/cover.jpg"},
        {"Two Lighthouses", kDemoSongs / "Cantorix - Two Lighthouses/lighthouses.png"},
    };
    for (const auto& row : rows)
        add(row.title, row.cover);
    const auto book = std::make_shared<const party::SongBook>(m_library, 11);
    m_server->openSongBook(book);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title);
        ASSERT_TRUE(fs::is_regular_file(row.cover)) << "the demo songs are built";
        const testing::HttpsResponse response = cover(idOf(*book, row.title));
        ASSERT_EQ(response.status, 200) << response.headers << response.body;
        EXPECT_EQ(response.header("Content-Type"), "image/jpeg");
        EXPECT_EQ(response.header("Cache-Control"), "private, max-age=3600");
        const scene::Image thumbnail = decodedJpeg(response.body);
        EXPECT_LE(thumbnail.width, 96);
        EXPECT_LE(thumbnail.height, 96);
        EXPECT_EQ(std::max(thumbnail.width, thumbnail.height), 96);
        // The cover's shape, within a pixel of rounding.
        LibJpegDecoder jpeg;
        LibPngDecoder png;
        const scene::Image original = scene::PictureFileLoader(jpeg, png).load(row.cover);
        EXPECT_NEAR(static_cast<double>(thumbnail.width) / thumbnail.height,
                    static_cast<double>(original.width) / original.height, 0.03);
    }
}

TEST_F(PhoneServerCoversTest, OnlyASongsIdentifierFindsACoverAndABadCoverStopsNothing) {
    const fs::path good = kDemoSongs / "Cantorix - Paper Kites/cover.jpg";
    cantorix::testing::writeFile(m_folder / "notes.jpg", "not a picture");
    add("Good", good);
    add("Not a picture", m_folder / "notes.jpg");
    add("Folder", m_folder);
    add("No cover", {});
    songs::SongSummary& refused = add("Refused", good);
    refused.error = "the song text was refused";
    const auto book = std::make_shared<const party::SongBook>(m_library, 12);
    const std::string goodId = idOf(*book, "Good");
    EXPECT_EQ(cover(goodId).status, 404) << "no book open yet";
    m_server->openSongBook(book);

    const struct {
        const char* what;
        std::string target;
        int status;
    } rows[] = {
        {"not a picture", "/cover?song=" + idOf(*book, "Not a picture") + "&k=" + kKey, 404},
        {"a folder", "/cover?song=" + idOf(*book, "Folder") + "&k=" + kKey, 404},
        {"no cover", "/cover?song=" + idOf(*book, "No cover") + "&k=" + kKey, 404},
        {"unknown id", "/cover?song=0123456789abcdef&k=" + kKey, 404},
        {"no id", "/cover?k=" + kKey, 404},
        {"a path as id", "/cover?song=" + percentEncoded(good.string()) + "&k=" + kKey, 404},
        {"a climbing path", "/cover?song=..%2F..%2Fetc%2Fpasswd&k=" + kKey, 404},
        {"a song that is not offered",
         "/cover?song=" + percentEncoded(m_library.back().songFile) + "&k=" + kKey, 404},
        {"no key", "/cover?song=" + goodId, 403},
        {"a wrong key", "/cover?song=" + goodId + "&k=ffffffffffffffffffffffffffffffff", 403},
        {"the good cover after all that", "/cover?song=" + goodId + "&k=" + kKey, 200},
    };
    for (const auto& row : rows) {
        const testing::HttpsResponse response = testing::httpsGet(m_server->port(), row.target);
        EXPECT_EQ(response.status, row.status) << row.what << "\n" << response.headers;
        if (response.status != 200) {
            EXPECT_EQ(response.body.find("\xFF\xD8"), std::string::npos) << row.what;
        }
    }
    EXPECT_EQ(idOf(*book, "Refused"), "") << "a refused song is not in the book";
}

} // namespace
} // namespace cantorix::platform
