// Reading a file as data only when it is a regular file: every other kind of file is refused with
// its reason, at once, and a file over the cap is refused before any byte of it is read.

#include "base/regular_file.h"
#include "fakes/file_bytes.h"
#include "fakes/special_files.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace cantorix::base;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kCap = 4 * 1024 * 1024;

class RegularFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-regular-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        // A refused pipe that did block would otherwise hold the test run for ever.
        ::alarm(60);
    }
    void TearDown() override {
        ::alarm(0);
        fs::remove_all(m_dir);
    }

    fs::path m_dir;
};

struct FileCase {
    const char* name;
    std::function<fs::path(const fs::path& dir)> make;
    ReadOutcome outcome;
    const char* reason; // a part of the reason given; empty for a file that is read
};

// A file of `size` bytes that takes no disk space.
fs::path sparseFile(const fs::path& path, std::uintmax_t size) {
    cantorix::testing::writeFile(path, "");
    fs::resize_file(path, size);
    return path;
}

fs::path fifo(const fs::path& path) {
    cantorix::testing::makeFifo(path);
    return path;
}

fs::path link(const fs::path& target, const fs::path& path) {
    fs::create_symlink(target, path);
    return path;
}

TEST_F(RegularFileTest, EveryKindOfFileIsReadOrRefusedWithItsReasonWithoutWaiting) {
    const FileCase cases[] = {
        {"regular file",
         [](const fs::path& d) {
             cantorix::testing::writeFile(d / "song.txt", "#TITLE:x\n");
             return d / "song.txt";
         },
         ReadOutcome::Read, ""},
        {"file of exactly the cap", [](const fs::path& d) { return sparseFile(d / "a", kCap); },
         ReadOutcome::Read, ""},
        {"named pipe", [](const fs::path& d) { return fifo(d / "pipe.txt"); },
         ReadOutcome::NotOpened, "it is a named pipe, not a regular file"},
        {"socket",
         [](const fs::path& d) {
             cantorix::testing::makeSocket(d / "s.txt");
             return d / "s.txt";
         },
         ReadOutcome::NotOpened, "it is a socket, not a regular file"},
        {"device", [](const fs::path&) { return fs::path("/dev/zero"); }, ReadOutcome::NotOpened,
         "it is a device, not a regular file"},
        {"link to a device", [](const fs::path& d) { return link("/dev/zero", d / "z.txt"); },
         ReadOutcome::NotOpened, "it is a device, not a regular file"},
        {"folder", [](const fs::path& d) { return d; }, ReadOutcome::NotOpened,
         "it is a folder, not a regular file"},
        {"link to a named pipe", [](const fs::path& d) { return link(fifo(d / "p"), d / "l.txt"); },
         ReadOutcome::NotOpened, "it is a named pipe, not a regular file"},
        {"missing file", [](const fs::path& d) { return d / "gone.txt"; }, ReadOutcome::NotOpened,
         "No such file or directory"},
        {"one byte over the cap", [](const fs::path& d) { return sparseFile(d / "b", kCap + 1); },
         ReadOutcome::TooLarge, "(4.0 MiB, 4194305 bytes; the limit is 4.0 MiB)"},
        {"140 MB", [](const fs::path& d) { return sparseFile(d / "c", 140'000'000); },
         ReadOutcome::TooLarge, "it is too large to be read (133.5 MiB, 140000000 bytes"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = c.make(m_dir);
        std::string bytes = "left over", reason;
        EXPECT_EQ(readRegularFileInto(path, kCap, bytes, reason), c.outcome);
        if (c.outcome == ReadOutcome::Read) {
            EXPECT_EQ(bytes, cantorix::testing::readFile(path));
            std::string openReason;
            const UniqueFd fd = openRegularFile(path, openReason);
            ASSERT_TRUE(fd);
            // Set back to blocking: a caller's read must not fail with EAGAIN.
            EXPECT_EQ(::fcntl(fd.get(), F_GETFL) & O_NONBLOCK, 0);
            continue;
        }
        EXPECT_TRUE(bytes.empty());
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        try {
            readRegularFile(path, kCap);
            ADD_FAILURE() << "read";
        } catch (const RegularFileError& e) {
            EXPECT_EQ(e.what(), "Cannot read '" + path.string() + "': " + reason);
        }
        std::string stdioReason;
        std::FILE* file = openRegularStdioFile(path, stdioReason);
        EXPECT_EQ(file == nullptr, c.outcome == ReadOutcome::NotOpened);
        if (file)
            std::fclose(file);
    }
}

} // namespace
