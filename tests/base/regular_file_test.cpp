// Reading a file as data only when it is a regular file: every other kind of file is refused with
// its reason, at once, and a file over the cap is refused before any byte of it is read.

#include "base/regular_file.h"
#include "fakes/file_bytes.h"
#include "fakes/special_files.h"

#include <fcntl.h>
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

TEST_F(RegularFileTest, EveryKindOfFileIsReadOrRefusedWithItsReasonWithoutWaiting) {
    using namespace cantorix::testing;
    using enum ReadOutcome;
    const auto sparse = [&](const char* name, std::uintmax_t size) {
        writeFile(m_dir / name, "");
        fs::resize_file(m_dir / name, size); // takes no disk space
        return m_dir / name;
    };
    const auto fifo = [&](const char* name) {
        makeFifo(m_dir / name);
        return m_dir / name;
    };
    const auto link = [&](const fs::path& target, const char* name) {
        fs::create_symlink(target, m_dir / name);
        return m_dir / name;
    };
    writeFile(m_dir / "song.txt", "#TITLE:x\n");
    makeSocket(m_dir / "s.txt");
    const struct {
        fs::path path;
        ReadOutcome outcome;
        const char* reason; // a part of the reason given; empty for a file that is read
    } cases[] = {
        {m_dir / "song.txt", Read, ""},
        {sparse("a", kCap), Read, ""},
        {fifo("pipe.txt"), NotOpened, "it is a named pipe, not a regular file"},
        {m_dir / "s.txt", NotOpened, "it is a socket, not a regular file"},
        {"/dev/zero", NotOpened, "it is a device, not a regular file"},
        {link("/dev/zero", "z.txt"), NotOpened, "it is a device, not a regular file"},
        {m_dir, NotOpened, "it is a folder, not a regular file"},
        {link(fifo("p"), "l.txt"), NotOpened, "it is a named pipe, not a regular file"},
        {m_dir / "gone.txt", NotOpened, "No such file or directory"},
        {sparse("b", kCap + 1), TooLarge, "(4.0 MiB, 4194305 bytes; the limit is 4.0 MiB)"},
        {sparse("c", 140'000'000), TooLarge,
         "it is too large to be read (133.5 MiB, 140000000 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const fs::path& path = c.path;
        std::string bytes = "left over", reason;
        EXPECT_EQ(readRegularFileInto(path, kCap, bytes, reason), c.outcome);
        // A caller's word that the file is regular spares only the look before opening: what
        // was opened is still refused, and the stamp given is that of the file read.
        std::string hinted, hintedReason;
        OpenedFile opened;
        EXPECT_EQ(readRegularFileInto(path, kCap, hinted, hintedReason, FileKind::Regular, &opened),
                  c.outcome);
        EXPECT_EQ(hinted, bytes);
        if (c.outcome != NotOpened) {
            EXPECT_EQ(opened.size, static_cast<std::int64_t>(fs::file_size(path)));
        }
        if (c.outcome == Read) {
            EXPECT_EQ(bytes, readFile(path));
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
        EXPECT_EQ(file == nullptr, c.outcome == NotOpened);
        if (file)
            std::fclose(file);
    }
}

} // namespace
