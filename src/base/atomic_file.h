#pragma once
// Replacing a user's file in one step: the new contents go to a temporary file in the target's
// own folder, reach the disk, and are renamed over the target; the folder is synced so the
// rename survives a crash. A target that is a symbolic link stays one: the file it points to is
// replaced. Owns the temporary file's descriptor; one thread at a time.

#include <filesystem>
#include <string_view>

namespace cantorix::base {

class AtomicFile {
public:
    // Creates the temporary file (a hidden name unique in the folder, never an existing file).
    // Throws std::system_error with the system's reason when it cannot.
    explicit AtomicFile(const std::filesystem::path& target);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Where the contents go: write() appends to it, or a writer of its own may open it by name.
    const std::filesystem::path& temporaryPath() const { return m_temporary; }
    // The file the temporary file replaces: the target, or what a link target points to.
    const std::filesystem::path& replacedPath() const { return m_replaced; }
    // Throws std::system_error when not every byte is written.
    void write(std::string_view bytes);
    // Gives the temporary file the replaced file's permissions (new files get the usual ones),
    // syncs it, renames it over the replaced file and syncs the folder. Throws
    // std::system_error and then leaves the replaced file as it was.
    void commit();

private:
    std::filesystem::path m_replaced;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    bool m_committed = false;
};

// The whole replacement in one call. Throws std::system_error; the old file is then kept.
void replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);

} // namespace cantorix::base
