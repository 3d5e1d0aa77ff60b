#include "platform/storage/sqlite_messages.h"

#include <cstring>
#include <sqlite3.h>

namespace cantorix::platform {

std::string sqliteMessage(sqlite3* db) {
    if (!db)
        return "out of memory";
    std::string text = sqlite3_errmsg(db);
    if (const int systemError = sqlite3_system_errno(db); systemError != 0)
        text += std::string(" (") + std::strerror(systemError) + ")";
    return text;
}

bool sqliteBusy(int code) {
    code &= 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

} // namespace cantorix::platform
