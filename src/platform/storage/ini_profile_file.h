#pragma once
// The profile store over one INI file on disk. Reads the whole file when created and keeps it
// in memory; flush() replaces the file in one step (base/atomic_file.h), creating the folder
// when it is missing. Main thread only.

#include "app/profile_store_port.h"
#include "ini_document.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace cantorix::platform {

class IniProfileFile : public app::ProfileStore {
public:
    // A profile file is a few kilobytes; a hall of fame of a hundred thousand entries stays
    // below this, and a file of this size still restores well within a second at start-up.
    static constexpr std::uintmax_t kMaxFileSize = 4 * 1024 * 1024;

    // Never throws: a missing file reads as empty, an unreadable one too (see readError()).
    explicit IniProfileFile(std::filesystem::path file);

    const std::filesystem::path& path() const { return m_path; }
    // Why an existing file could not be read; empty when it was read or did not exist. Only a
    // regular file of at most kMaxFileSize bytes is read, never waited for; one that is refused is
    // never overwritten, so what it holds (or what it is) is not lost to a save.
    const std::string& readError() const { return m_readError; }

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const override;
    std::vector<std::string> keyNames(std::string_view section) const override;
    void writeString(std::string_view section, std::string_view key,
                     std::string_view value) override;
    void eraseSection(std::string_view section) override;
    void flush() override;

private:
    void load();
    void replaceFile(const std::string& text);

    std::filesystem::path m_path;
    std::string m_readError;
    IniDocument m_document;
};

} // namespace cantorix::platform
