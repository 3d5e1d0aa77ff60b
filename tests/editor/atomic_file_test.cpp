// Saving through a temporary file and a rename, and rewriting the video line of a song file.

#include "editor/atomic_file.h"
#include "editor/video_attach.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace cantorix::editor;
namespace fs = std::filesystem;

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-editor-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }
    fs::path m_dir;
};

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// Files larger than `bytes` cannot be written while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

TEST_F(AtomicFileTest, WritesAndOverwritesLeavingNoTemporaryFile) {
    const fs::path file = m_dir / "song.txt";
    writeFileAtomically(file, "first\r\n");
    writeFileAtomically(file, "second\r\n");
    EXPECT_EQ(readWholeFile(file), "second\r\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, ASongFileThatIsALinkStaysOne) {
    fs::create_directories(m_dir / "library");
    const fs::path real = m_dir / "library" / "song.txt";
    writeFileAtomically(real, "old\r\n");
    const fs::path link = m_dir / "song.txt";
    fs::create_symlink(real, link);
    writeFileAtomically(link, "new\r\n");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readWholeFile(real), "new\r\n");
}

TEST_F(AtomicFileTest, FailedSaveKeepsTheOldFile) {
    const fs::path file = m_dir / "song.txt";
    writeFileAtomically(file, "old text\r\n");
    {
        FileSizeLimit limit(16);
        const std::string message =
            messageOf([&] { writeFileAtomically(file, std::string(4096, 'x')); });
        EXPECT_EQ(message.rfind("Cannot create file \"" + file.string() + "\". ", 0), 0u)
            << message;
    }
    EXPECT_EQ(readWholeFile(file), "old text\r\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(AtomicFileTest, UnwritablePlaceAndUnreadableFileGiveTheirMessages) {
    const fs::path nowhere = m_dir / "missing" / "song.txt";
    EXPECT_EQ(messageOf([&] { writeFileAtomically(nowhere, "x"); }),
              "Cannot create file \"" + nowhere.string() + "\". No such file or directory");
    EXPECT_EQ(messageOf([&] { readWholeFile(nowhere); }),
              "Cannot open file \"" + nowhere.string() + "\". No such file or directory");
}

TEST_F(AtomicFileTest, VideoLineIsReplacedAndMovedToTheThirdLine) {
    const fs::path file = m_dir / "song.txt";
    writeFileAtomically(file, "#VIDEO:old.avi\r\n#TITLE:T\r\n#ARTIST:A\r\n#MP3:s.mp3\r\n"
                              "#BPM:125\r\n#GAP:0\r\n: 0 1 20 la\r\nE\r\n");
    attachVideo(file, "/videos/new clip.avi");
    EXPECT_EQ(readWholeFile(file), "#TITLE:T\r\n#ARTIST:A\r\n#VIDEO:new clip.avi\r\n#MP3:s.mp3\r\n"
                                   "#BPM:125\r\n#GAP:0\r\n: 0 1 20 la\r\nE\r\n");
}

TEST_F(AtomicFileTest, ShortSongKeepsItsVideoLineAndGetsASecond) {
    const fs::path file = m_dir / "song.txt";
    writeFileAtomically(file, "#TITLE:T\r\n#VIDEO:a.avi\r\n: 0 1 20 la\r\nE\r\n");
    attachVideo(file, "b.avi");
    EXPECT_EQ(readWholeFile(file),
              "#TITLE:T\r\n#VIDEO:a.avi\r\n#VIDEO:b.avi\r\n: 0 1 20 la\r\nE\r\n");
}

TEST_F(AtomicFileTest, VideoEditorFailuresWriteNothing) {
    EXPECT_EQ(messageOf([] { attachVideo({}, "a.avi"); }),
              "Cannot open file \"\". No song file has been read yet");
    const fs::path file = m_dir / "one line.txt";
    writeFileAtomically(file, "#TITLE:T\r\n");
    EXPECT_EQ(messageOf([&] { attachVideo(file, "a.avi"); }), "List index out of bounds (2)");
    EXPECT_EQ(readWholeFile(file), "#TITLE:T\r\n");
    const fs::path missing = m_dir / "gone.txt";
    EXPECT_EQ(messageOf([&] { attachVideo(missing, "a.avi"); }),
              "Cannot open file \"" + missing.string() + "\". No such file or directory");
    EXPECT_FALSE(fs::exists(missing));
}
