// The phone server's reader of HTTP requests: strict, bounded and without allocation beyond the
// fields it returns, since every byte it reads comes from a peer nobody vouched for yet.

#include "http_request.h"

#include <algorithm>
#include <cctype>

namespace cantorix::phones {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadersEnd = "\r\n\r\n";

bool isTokenCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) != 0)
        return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenCharacter);
}

char lowered(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowered(x) == lowered(y);
           });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether a comma-separated header value (Connection) lists token, in any case.
bool listsToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (equalsIgnoringCase(trimmed(value.substr(0, comma)), token))
            return true;
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

HttpReading refused(int status, std::string reason) {
    HttpReading reading;
    reading.state = HttpReading::State::Refused;
    reading.status = status;
    reading.reason = std::move(reason);
    return reading;
}

// The value of name in a query ("slot=3&k=ab"), percent-decoded; nothing when absent or broken.
std::optional<std::string> queryValue(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name)
            return percentDecode(equals == std::string_view::npos ? std::string_view()
                                                                  : pair.substr(equals + 1));
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

std::optional<std::string> cookieValue(std::string_view cookies, std::string_view name) {
    while (!cookies.empty()) {
        const std::size_t semicolon = cookies.find(';');
        const std::string_view pair = trimmed(cookies.substr(0, semicolon));
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && trimmed(pair.substr(0, equals)) == name)
            return std::string(trimmed(pair.substr(equals + 1)));
        if (semicolon == std::string_view::npos)
            break;
        cookies.remove_prefix(semicolon + 1);
    }
    return std::nullopt;
}

// A page of the song book: 0 for anything that is not a number of at most four digits.
std::size_t pageNumber(std::string_view text) {
    if (text.empty() || text.size() > 4 ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    std::size_t value = 0;
    for (const char c : text)
        value = value * 10 + static_cast<std::size_t>(c - '0');
    return value;
}

std::optional<std::size_t> slotNumber(std::string_view text) {
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    std::size_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    if (value == 0)
        return std::nullopt;
    return value;
}

// The request line: "GET /path?query HTTP/1.1". Fills method and target or says why not.
std::optional<HttpReading> readRequestLine(std::string_view line, HttpRequest& request,
                                           std::string_view& target) {
    const std::size_t firstSpace = line.find(' ');
    const std::size_t lastSpace = line.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace)
        return refused(400, "The request line is malformed.");
    const std::string_view method = line.substr(0, firstSpace);
    target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    const std::string_view version = line.substr(lastSpace + 1);
    if (!isToken(method) || (version != "HTTP/1.1" && version != "HTTP/1.0"))
        return refused(400, "The request line is malformed.");
    if (method != "GET" && method != "HEAD")
        return refused(405, "Only GET is served here.");
    if (target.empty() || target.front() != '/' ||
        std::any_of(target.begin(), target.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u <= 0x20 || u >= 0x7f;
        }))
        return refused(400, "The request's path is malformed.");
    request.method = std::string(method);
    return std::nullopt;
}

struct HeaderFields {
    std::string_view cookie;
    std::string_view upgrade;
    std::string_view connection;
    bool sawLength = false;
    bool sawCookie = false;
};

// One header line; a refusal when it is malformed or announces a body.
std::optional<HttpReading> readHeader(std::string_view line, HttpRequest& request,
                                      HeaderFields& fields) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
        return refused(400, "A header is malformed.");
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (std::any_of(value.begin(), value.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return (u < 0x20 && c != '\t') || u == 0x7f;
        }))
        return refused(400, "A header holds control characters.");
    if (equalsIgnoringCase(name, "Transfer-Encoding"))
        return refused(400, "Requests with a body are not served here.");
    if (equalsIgnoringCase(name, "Content-Length")) {
        if (fields.sawLength || value != "0")
            return refused(413, "Requests with a body are not served here.");
        fields.sawLength = true;
    } else if (equalsIgnoringCase(name, "Host")) {
        if (!request.host.empty())
            return refused(400, "The request names its host twice.");
        request.host = std::string(value);
    } else if (equalsIgnoringCase(name, "Origin")) {
        request.origin = std::string(value);
    } else if (equalsIgnoringCase(name, "Cookie")) {
        // A second Cookie header would let a peer hide which key counts: refuse it.
        if (fields.sawCookie)
            return refused(400, "The request sends its cookies twice.");
        fields.sawCookie = true;
        fields.cookie = value;
    } else if (equalsIgnoringCase(name, "Upgrade")) {
        fields.upgrade = value;
    } else if (equalsIgnoringCase(name, "Connection")) {
        fields.connection = value;
    } else if (equalsIgnoringCase(name, "Sec-WebSocket-Key")) {
        request.webSocketKey = std::string(value);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return decoded;
}

HttpReading readHttpRequest(std::string_view bytes, std::size_t maxHeaderBytes) {
    const std::size_t end = bytes.find(kHeadersEnd);
    if (end == std::string_view::npos || end + kHeadersEnd.size() > maxHeaderBytes) {
        if (end != std::string_view::npos || bytes.size() >= maxHeaderBytes)
            return refused(431, "The request's headers are too long.");
        // A request line already complete can be refused before the rest arrives.
        const std::size_t lineEnd = bytes.find(kLineEnd);
        if (lineEnd != std::string_view::npos) {
            HttpRequest scratch;
            std::string_view target;
            if (auto refusal = readRequestLine(bytes.substr(0, lineEnd), scratch, target))
                return *refusal;
        }
        return {};
    }

    HttpReading reading;
    HttpRequest& request = reading.request;
    request.headerBytes = end + kHeadersEnd.size();
    std::string_view head = bytes.substr(0, end + kLineEnd.size());
    std::size_t lineEnd = head.find(kLineEnd);
    std::string_view target;
    if (auto refusal = readRequestLine(head.substr(0, lineEnd), request, target))
        return *refusal;
    head.remove_prefix(lineEnd + kLineEnd.size());

    HeaderFields fields;
    while (!head.empty()) {
        lineEnd = head.find(kLineEnd);
        const std::string_view line = head.substr(0, lineEnd);
        // Folded lines and bare line feeds are how requests are smuggled past readers.
        if (line.empty() || line.front() == ' ' || line.front() == '\t' ||
            line.find('\n') != std::string_view::npos || line.find('\r') != std::string_view::npos)
            return refused(400, "A header is malformed.");
        if (auto refusal = readHeader(line, request, fields))
            return *refusal;
        head.remove_prefix(lineEnd + kLineEnd.size());
    }
    if (request.host.empty())
        return refused(400, "The request names no host.");

    const std::size_t question = target.find('?');
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    const auto path = percentDecode(target.substr(0, question));
    if (!path)
        return refused(400, "The request's path is malformed.");
    request.path = *path;
    if (auto key = queryValue(query, "k"))
        request.key = std::move(*key);
    else if (auto cookie = cookieValue(fields.cookie, kKeyCookieName))
        request.key = std::move(*cookie);
    if (auto slot = queryValue(query, "slot"))
        request.slot = slotNumber(*slot);
    if (auto search = queryValue(query, "q"))
        request.search = std::move(*search);
    if (auto page = queryValue(query, "page"))
        request.page = pageNumber(*page);
    if (auto song = queryValue(query, "song"))
        request.song = std::move(*song);
    request.webSocketUpgrade =
        equalsIgnoringCase(fields.upgrade, "websocket") && listsToken(fields.connection, "upgrade");
    reading.state = HttpReading::State::Complete;
    return reading;
}

} // namespace cantorix::phones
