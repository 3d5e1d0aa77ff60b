#include "ini_profile_file.h"

#include "base/atomic_file.h"
#include "base/regular_file.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace cantorix::platform {

IniProfileFile::IniProfileFile(std::filesystem::path file) : m_path(std::move(file)) {
    load();
}

void IniProfileFile::load() {
    // A missing file is a first start, not a fault.
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0 && errno == ENOENT)
        return;
    // A named pipe at this path would otherwise hold the game before its window shows, waiting
    // for a writer that may never come.
    std::string bytes;
    switch (base::readRegularFileInto(m_path, kMaxFileSize, bytes, m_readError)) {
    case base::ReadOutcome::Read:
        m_document = IniDocument::parse(bytes);
        break;
    case base::ReadOutcome::TooLarge:
        m_readError = "it is larger than " + std::to_string(kMaxFileSize >> 20) +
                      " MiB, more than a profile file of this game ever holds";
        break;
    case base::ReadOutcome::NotOpened:
    case base::ReadOutcome::ReadFailed:
        break;
    }
}

std::string IniProfileFile::readString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
    if (const std::string* value = m_document.find(section, key))
        return *value;
    return std::string(trimBlanks(defaultValue));
}

std::vector<std::string> IniProfileFile::keyNames(std::string_view section) const {
    return m_document.keyNames(section);
}

void IniProfileFile::writeString(std::string_view section, std::string_view key,
                                 std::string_view value) {
    m_document.set(section, key, value);
}

void IniProfileFile::eraseSection(std::string_view section) {
    m_document.eraseSection(section);
}

void IniProfileFile::flush() {
    const std::string failed = "Could not save \"" + m_path.string() + "\": ";
    if (!m_readError.empty())
        throw app::EProfileError(failed + "the file could not be read (" + m_readError +
                                 "), so it is left as it is.");
    replaceFile(m_document.text());
}

void IniProfileFile::replaceFile(const std::string& text) {
    namespace fs = std::filesystem;
    const std::string failed = "Could not save \"" + m_path.string() + "\": ";
    std::error_code ec;
    if (m_path.has_parent_path())
        fs::create_directories(m_path.parent_path(), ec);
    if (ec)
        throw app::EProfileError(failed + ec.message() + ". The previous file is kept.");
    try {
        base::replaceFileAtomically(m_path, text);
    } catch (const std::system_error& e) {
        throw app::EProfileError(failed + e.code().message() + ". The previous file is kept.");
    }
}

} // namespace cantorix::platform
