#include "records/records_directory.h"

namespace cantorix::records {

std::filesystem::path recordsDirectory(const std::optional<std::filesystem::path>& dataOption,
                                       const std::function<const char*(const char*)>& environment) {
    namespace fs = std::filesystem;
    if (dataOption)
        return fs::absolute(*dataOption).lexically_normal();
    // As the configuration and cache folders are found, so the three agree on one machine.
    const char* xdg = environment("XDG_DATA_HOME");
    if (xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "cantorix";
    const char* home = environment("HOME");
    return fs::path(home && *home ? home : ".") / ".local/share" / "cantorix";
}

} // namespace cantorix::records
