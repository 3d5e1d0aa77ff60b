// Replacing a file in one step: contents, permissions, links, and what a failure leaves.

#include "base/atomic_file.h"
#include "fakes/file_bytes.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace cantorix::base;
namespace fs = std::filesystem;

using cantorix::testing::readFile;
using cantorix::testing::writeFile;

namespace {

// Files larger than `bytes` cannot be written while it lives, as on a nearly full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-base-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "real");
    }
    void TearDown() override { fs::remove_all(m_dir); }
    // Every name in the folder, hidden ones included.
    std::vector<std::string> entries(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path m_dir;
};

TEST_F(AtomicFileTest, NewAndExistingFilesGetTheBytesAndTheRightPermissions) {
    const mode_t oldMask = ::umask(027);
    const fs::path fresh = m_dir / "real" / "fresh.ini";
    replaceFileAtomically(fresh, "first\r\n");
    const fs::path kept = m_dir / "real" / "kept.txt";
    writeFile(kept, "old");
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    replaceFileAtomically(kept, std::string(100000, 'k'));
    ::umask(oldMask);

    EXPECT_EQ(readFile(fresh), "first\r\n");
    // A new file is made like any other of the user's: the umask applies.
    EXPECT_EQ(fs::status(fresh).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(readFile(kept), std::string(100000, 'k'));
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(entries(m_dir / "real"), (std::vector<std::string>{"fresh.ini", "kept.txt"}));
}

TEST_F(AtomicFileTest, ALinkStaysALinkAndTheFileItNamesIsReplaced) {
    // A relative link to a link in another folder: the chain is followed to its end.
    const fs::path real = m_dir / "real" / "Score.ini";
    writeFile(real, "old");
    fs::create_symlink("real/Score.ini", m_dir / "middle.ini");
    fs::create_directories(m_dir / "config");
    const fs::path link = m_dir / "config" / "Score.ini";
    fs::create_symlink("../middle.ini", link);

    AtomicFile file(link);
    EXPECT_EQ(file.temporaryPath().parent_path(), fs::canonical(m_dir / "real"));
    file.write("new");
    file.commit();

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(m_dir / "middle.ini"));
    EXPECT_EQ(readFile(real), "new");
    EXPECT_EQ(entries(m_dir / "real"), (std::vector<std::string>{"Score.ini"}));
    EXPECT_EQ(entries(m_dir / "config"), (std::vector<std::string>{"Score.ini"}));
}

TEST_F(AtomicFileTest, FailuresKeepTheOldFileAndLeaveNoTemporaryFile) {
    const fs::path file = m_dir / "real" / "song.txt";
    writeFile(file, "old text");
    fs::create_directory(m_dir / "real" / "folder");
    const auto errorOf = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const std::system_error& e) {
            return e.code().value();
        }
        return 0;
    };

    {
        const FileSizeLimit nearlyFull(1024);
        EXPECT_EQ(errorOf([&] { replaceFileAtomically(file, std::string(4096, 'x')); }), EFBIG);
    }
    EXPECT_EQ(errorOf([&] { replaceFileAtomically(m_dir / "real" / "folder", "x"); }), EISDIR);
    EXPECT_EQ(errorOf([&] { replaceFileAtomically(m_dir / "missing" / "song.txt", "x"); }), ENOENT);
    {
        AtomicFile abandoned(file);
        abandoned.write("never committed");
        EXPECT_TRUE(fs::exists(abandoned.temporaryPath()));
    }

    EXPECT_EQ(readFile(file), "old text");
    EXPECT_EQ(entries(m_dir / "real"), (std::vector<std::string>{"folder", "song.txt"}));
}

} // namespace
