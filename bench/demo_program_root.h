#pragma once
// A program directory of a timed run's own under the temporary folder: the build's pictures
// shared through links and one demo song folder linked in, removed again when it goes.

#include <filesystem>
#include <string>
#include <unistd.h>

namespace cantorix::bench {

class DemoProgramRoot {
public:
    DemoProgramRoot(const std::string& name, const std::string& song) {
        namespace fs = std::filesystem;
        const fs::path program(CANTORIX_PROGRAM_DIR);
        m_path = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        fs::remove_all(m_path);
        fs::create_directories(m_path / "songs");
        fs::create_directories(m_path / "data");
        fs::create_directory_symlink(program / "data/gfx", m_path / "data/gfx");
        fs::create_directory_symlink(program / "data/skins", m_path / "data/skins");
        fs::create_directory_symlink(program / "songs" / song, m_path / "songs" / song);
    }
    ~DemoProgramRoot() { std::filesystem::remove_all(m_path); }
    DemoProgramRoot(const DemoProgramRoot&) = delete;
    DemoProgramRoot& operator=(const DemoProgramRoot&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace cantorix::bench
