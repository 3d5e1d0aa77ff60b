#include "fakes/file_bytes.h"
#include "platform/storage/ini_document.h"
#include "platform/storage/ini_profile_file.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace cantorix::platform;
namespace fs = std::filesystem;

using cantorix::testing::readFile;
using cantorix::testing::writeFile;

namespace {} // namespace

TEST(IniDocumentTest, LooksUpIgnoringCaseAndTrimsValues) {
    const IniDocument doc =
        IniDocument::parse("\xEF\xBB\xBF[Score]\r\n  GLScrollbar1_Pos =  3.5 \t\r\n"
                           "; a comment\nistabs_Caption=\r\n"
                           "[score]\nGLScrollbar1_Pos=9\n"
                           "[ Other ]\rkey=a=b\r");
    ASSERT_NE(doc.find("SCORE", "glscrollbar1_pos"), nullptr);
    EXPECT_EQ(*doc.find("SCORE", "glscrollbar1_pos"), "3.5"); // the first section of the name
    EXPECT_EQ(*doc.find("Score", "istabs_Caption"), "");
    EXPECT_EQ(doc.find("Score", "; a comment"), nullptr);
    EXPECT_EQ(*doc.find("other", "KEY"), "a=b");
    EXPECT_EQ(doc.find("Other", "missing"), nullptr);
    EXPECT_EQ(doc.keyNames("Score"),
              (std::vector<std::string>{"GLScrollbar1_Pos", "istabs_Caption"}));
    EXPECT_TRUE(doc.keyNames("Nowhere").empty());
}

TEST(IniDocumentTest, WritesInOrderWithCrLfAndKeepsForeignLines) {
    IniDocument doc =
        IniDocument::parse("; kept\n[Score]\nB=1\n[Score.ListBox1_Items]\nCount=1\nItem0=5:x\n");
    doc.set("score", "b", "2");
    doc.set("Score", "A", "new");
    doc.set("Extra", "K", "line\r\nbreak");
    doc.eraseSection("SCORE.LISTBOX1_ITEMS");
    doc.set("Score.ListBox1_Items", "Count", "0");
    EXPECT_EQ(doc.text(), "; kept\r\n[Score]\r\nB=2\r\nA=new\r\n[Extra]\r\nK=line  break\r\n"
                          "[Score.ListBox1_Items]\r\nCount=0\r\n");
}

TEST(IniDocumentTest, ErasingRemovesEveryCopyOfASection) {
    IniDocument doc = IniDocument::parse("[H]\nItem0=old\n[Score]\nx=1\n[h]\nItem0=older\n");
    doc.eraseSection("H");
    EXPECT_EQ(doc.find("h", "Item0"), nullptr);
    EXPECT_EQ(doc.text(), "[Score]\r\nx=1\r\n");
}

TEST(IniDocumentTest, WrittenTextReadsBackTheSame) {
    const char* inputs[] = {"",
                            "[",
                            "[]",
                            "=",
                            "[a]b]\n=x\n k = v \n[[x]]\nno equals\n",
                            "\r\r\n\n",
                            "key before=section\n[S]\n\x01v=\x02\x7f",
                            "\x01\xEF\xBB\xBF\x01; c\n[a]\n"};
    for (const char* input : inputs) {
        const std::string once = IniDocument::parse(input).text();
        EXPECT_EQ(IniDocument::parse(once).text(), once) << input;
    }
}

class IniProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("cantorix-ini-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_dir);
    }
    std::vector<std::string> folderEntries(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path m_dir;
};

TEST_F(IniProfileFileTest, MissingFileReadsDefaultsAndSavingCreatesFolderAndFile) {
    const fs::path file = m_dir / "new" / "folder" / "Score.ini";
    IniProfileFile ini(file);
    EXPECT_EQ(ini.readError(), "");
    EXPECT_EQ(ini.readString("Score", "FormVersion", " 0 "), "0");
    ini.writeString("Score", "FormVersion", "0");
    ini.writeString("Score", "istabs_Caption", "");
    ini.flush();
    EXPECT_EQ(readFile(file), "[Score]\r\nFormVersion=0\r\nistabs_Caption=\r\n");
    EXPECT_EQ(folderEntries(file.parent_path()), (std::vector<std::string>{"Score.ini"}));

    IniProfileFile again(file);
    EXPECT_EQ(again.readString("score", "ISTABS_CAPTION", "X"), "");
    EXPECT_EQ(again.keyNames("Score").size(), 2u);
}

TEST_F(IniProfileFileTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    const fs::path file = m_dir / "Score.ini";
    writeFile(file, "[Score]\r\nFormVersion=0\r\n");
    IniProfileFile ini(file);
    ini.writeString("Score", "Big", std::string(4096, 'x'));
    // A file size limit makes the write fail even for root; the signal would end the test.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(ini.flush(), cantorix::app::EProfileError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(readFile(file), "[Score]\r\nFormVersion=0\r\n");
    EXPECT_EQ(folderEntries(m_dir), (std::vector<std::string>{"Score.ini"}));
    ini.flush(); // the same store saves once the disk takes it
    EXPECT_NE(readFile(file).find("Big=xxxx"), std::string::npos);
}

TEST_F(IniProfileFileTest, UnwritableFolderFailsWithAMessageNamingTheFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const fs::path file = m_dir / "Score.ini";
    writeFile(file, "[Score]\r\nold=1\r\n");
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    IniProfileFile ini(file);
    ini.writeString("Score", "old", "2");
    try {
        ini.flush();
        FAIL() << "no error";
    } catch (const cantorix::app::EProfileError& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(file), "[Score]\r\nold=1\r\n");
}

TEST_F(IniProfileFileTest, AFileThatCannotBeReadIsNeverOverwritten) {
    const fs::path file = m_dir / "Score.ini";
    fs::create_directory(file); // opens, but is no file
    IniProfileFile ini(file);
    EXPECT_NE(ini.readError(), "");
    EXPECT_EQ(ini.readString("Score", "FormVersion", "0"), "0");
    ini.writeString("Score", "FormVersion", "0");
    EXPECT_THROW(ini.flush(), cantorix::app::EProfileError);
    EXPECT_TRUE(fs::is_directory(file));
}

// Reading must not wait on what is at the path: a regression shows as a failure, not a hang,
// because a blocked read is released by opening the pipe's other end.
TEST_F(IniProfileFileTest, APipeOrAnOversizedFileIsRefusedAtOnceAndLeftAsItIs) {
    const fs::path pipe = m_dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const fs::path big = m_dir / "big.ini";
    writeFile(big, "[Score]\r\n");
    fs::resize_file(big, IniProfileFile::kMaxFileSize + 1);
    const struct {
        fs::path file;
        const char* reason;
    } cases[] = {
        {pipe, "it is a named pipe, not a regular file"},
        {big, "it is larger than 4 MiB, more than a profile file of this game ever holds"}};
    for (const auto& c : cases) {
        std::packaged_task<std::string()> read([&c] {
            IniProfileFile ini(c.file);
            ini.writeString("Score", "FormVersion", "0");
            try {
                ini.flush();
            } catch (const cantorix::app::EProfileError& e) {
                return ini.readError() + " | " + e.what();
            }
            return ini.readError() + " | saved";
        });
        auto result = read.get_future();
        std::thread reader(std::move(read));
        if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "reading " << c.file << " waits";
            ::close(::open(c.file.c_str(), O_WRONLY | O_NONBLOCK));
        }
        reader.join();
        const std::string text = result.get();
        EXPECT_EQ(text.substr(0, text.find(" | ")), c.reason);
        EXPECT_NE(text.find("so it is left as it is"), std::string::npos) << text;
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(fs::file_size(big), IniProfileFile::kMaxFileSize + 1);
    EXPECT_EQ(folderEntries(m_dir), (std::vector<std::string>{"big.ini", "pipe.ini"}));
}

TEST_F(IniProfileFileTest, ALinkedFileStaysLinkedAndKeepsItsMode) {
    const fs::path real = m_dir / "real.ini";
    writeFile(real, "[Score]\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    const fs::path link = m_dir / "Score.ini";
    fs::create_symlink(real, link);
    IniProfileFile ini(link);
    ini.writeString("Score", "k", "v");
    ini.flush();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), "[Score]\r\nk=v\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}
