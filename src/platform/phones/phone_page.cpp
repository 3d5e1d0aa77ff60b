// The phone's page from the resources compiled into the game: read once, on first use, into
// storage that lives as long as the program, so the server thread answers from memory and a
// path can only ever name one of these five files.

#include "phone_page.h"

#include <QFile>
#include <array>
#include <string>

namespace cantorix::platform {

namespace {

struct PageEntry {
    std::string_view path;
    const char* resource;
    std::string_view contentType;
};

constexpr std::array<PageEntry, 6> kPageEntries = {{
    {"/", ":/phone/index.html", "text/html; charset=utf-8"},
    {"/phone.css", ":/phone/phone.css", "text/css; charset=utf-8"},
    {"/phone.js", ":/phone/phone.js", "text/javascript; charset=utf-8"},
    {"/book.js", ":/phone/book.js", "text/javascript; charset=utf-8"},
    {"/queue.js", ":/phone/queue.js", "text/javascript; charset=utf-8"},
    {"/capture-worklet.js", ":/phone/capture-worklet.js", "text/javascript; charset=utf-8"},
}};

std::string readResource(const char* name) {
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// Loaded once, thread-safely, by the first caller on any thread.
const std::array<std::string, kPageEntries.size()>& pageBodies() {
    static const std::array<std::string, kPageEntries.size()> bodies = [] {
        std::array<std::string, kPageEntries.size()> read;
        for (std::size_t i = 0; i < kPageEntries.size(); ++i)
            read[i] = readResource(kPageEntries[i].resource);
        return read;
    }();
    return bodies;
}

} // namespace

std::optional<PageFile> phonePageFile(std::string_view path) {
    for (std::size_t i = 0; i < kPageEntries.size(); ++i) {
        if (kPageEntries[i].path != path)
            continue;
        const std::string& body = pageBodies()[i];
        // A resource missing from the build is a fault of the build, not a page to serve empty.
        if (body.empty())
            return std::nullopt;
        return PageFile{kPageEntries[i].path, kPageEntries[i].contentType, body};
    }
    return std::nullopt;
}

} // namespace cantorix::platform
