// The phone server's request reader: what it accepts, waits for and refuses, over a table of
// requests, and that no cut of a request is ever read as a different complete request.

#include "phones/http_request.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace cantorix::phones {
namespace {

using State = HttpReading::State;

std::string request(const std::string& line, const std::string& headers = "Host: h:1\r\n") {
    return line + "\r\n" + headers + "\r\n";
}

struct Case {
    const char* what;
    std::string bytes;
    State state;
    int status = 0;
};

TEST(HttpRequestTest, AcceptsWaitsForAndRefusesRequests) {
    const Case cases[] = {
        {"a page", request("GET / HTTP/1.1"), State::Complete},
        {"HTTP/1.0", request("HEAD /phone.js HTTP/1.0"), State::Complete},
        {"empty length", request("GET / HTTP/1.1", "Host: h\r\nContent-Length: 0\r\n"),
         State::Complete},
        {"nothing yet", "", State::Incomplete},
        {"half a line", "GET / HT", State::Incomplete},
        {"headers not ended", "GET / HTTP/1.1\r\nHost: h\r\n", State::Incomplete},
        {"a body", request("GET / HTTP/1.1", "Host: h\r\nContent-Length: 5\r\n"), State::Refused,
         413},
        {"two lengths",
         request("GET / HTTP/1.1", "Host: h\r\nContent-Length: 0\r\nContent-Length: 0\r\n"),
         State::Refused, 413},
        {"chunked", request("GET / HTTP/1.1", "Host: h\r\nTransfer-Encoding: chunked\r\n"),
         State::Refused, 400},
        {"POST", request("POST / HTTP/1.1"), State::Refused, 405},
        {"POST before its headers", "POST / HTTP/1.1\r\nHo", State::Refused, 405},
        {"not HTTP", "\x16\x03\x01\x02\x05\x01\r\n", State::Refused, 400},
        {"version", request("GET / HTTP/2.0"), State::Refused, 400},
        {"absolute target", request("GET http://h/ HTTP/1.1"), State::Refused, 400},
        {"space in target", request("GET /a b HTTP/1.1"), State::Refused, 400},
        {"no host", request("GET / HTTP/1.1", "Accept: */*\r\n"), State::Refused, 400},
        {"two hosts", request("GET / HTTP/1.1", "Host: a\r\nHost: b\r\n"), State::Refused, 400},
        {"folded header", request("GET / HTTP/1.1", "Host: h\r\n x\r\n"), State::Refused, 400},
        {"bare line feed", request("GET / HTTP/1.1", "Host: h\nX: y\r\n"), State::Refused, 400},
        {"no colon", request("GET / HTTP/1.1", "Host: h\r\nnonsense\r\n"), State::Refused, 400},
        {"control in value", request("GET / HTTP/1.1", "Host: h\x01\r\n"), State::Refused, 400},
        {"bad escape", request("GET /%zz HTTP/1.1"), State::Refused, 400},
        {"escaped NUL", request("GET /a%00 HTTP/1.1"), State::Refused, 400},
        {"17 KiB of headers",
         request("GET / HTTP/1.1", "X: " + std::string(17 * 1024, 'a') + "\r\nHost: h\r\n"),
         State::Refused, 431},
        {"16 KiB and no end", "GET / HTTP/1.1\r\nX: " + std::string(16 * 1024, 'a'), State::Refused,
         431},
    };
    for (const Case& c : cases) {
        const HttpReading reading = readHttpRequest(c.bytes);
        EXPECT_EQ(reading.state, c.state) << c.what;
        EXPECT_EQ(reading.status, c.status) << c.what;
        EXPECT_EQ(reading.reason.empty(), reading.state != State::Refused) << c.what;
    }
}

struct FieldsCase {
    const char* what;
    std::string bytes;
    std::string path;
    std::string key;
    std::optional<std::size_t> slot;
    bool upgrade = false;
};

TEST(HttpRequestTest, ReadsPathKeySlotAndUpgrade) {
    const std::string upgrade = "Host: h:9\r\nUpgrade: WebSocket\r\nConnection: keep-alive, "
                                "Upgrade\r\nSec-WebSocket-Key: abc==\r\nOrigin: https://h:9\r\n";
    const FieldsCase cases[] = {
        {"query key and slot", request("GET /?slot=3&k=ab12 HTTP/1.1"), "/", "ab12", 3},
        {"cookie key",
         request("GET /phone.js HTTP/1.1", "Host: h\r\nCookie: a=1; "
                                           "cantorix_key=cd34 ; b=2\r\n"),
         "/phone.js", "cd34", std::nullopt},
        {"query before cookie",
         request("GET /?k=q HTTP/1.1", "Host: h\r\nCookie: cantorix_key=c\r\n"), "/", "q",
         std::nullopt},
        {"cookie of a similar name",
         request("GET / HTTP/1.1", "Host: h\r\nCookie: xcantorix_key=c\r\n"), "/", "",
         std::nullopt},
        {"escaped path and key", request("GET /%70hone.css?k=a%2Bb HTTP/1.1"), "/phone.css", "a+b",
         std::nullopt},
        {"slot out of reach", request("GET /?slot=999&k= HTTP/1.1"), "/", "", std::nullopt},
        {"slot zero", request("GET /?slot=0 HTTP/1.1"), "/", "", std::nullopt},
        {"slot not a number", request("GET /?slot=-1 HTTP/1.1"), "/", "", std::nullopt},
        {"a key named twice: the first", request("GET /?k=a&k=b HTTP/1.1"), "/", "a", std::nullopt},
        {"upgrade", request("GET /socket?k=z HTTP/1.1", upgrade), "/socket", "z", std::nullopt,
         true},
        {"upgrade without Connection",
         request("GET /socket HTTP/1.1", "Host: h\r\nUpgrade: websocket\r\n"), "/socket", "",
         std::nullopt, false},
    };
    for (const FieldsCase& c : cases) {
        const HttpReading reading = readHttpRequest(c.bytes);
        ASSERT_EQ(reading.state, State::Complete) << c.what << ": " << reading.reason;
        EXPECT_EQ(reading.request.path, c.path) << c.what;
        EXPECT_EQ(reading.request.key, c.key) << c.what;
        EXPECT_EQ(reading.request.slot, c.slot) << c.what;
        EXPECT_EQ(reading.request.webSocketUpgrade, c.upgrade) << c.what;
    }
    // The song book's search, page and song: typed text decoded, a page that is no small number
    // read as the first.
    const std::tuple<const char*, std::string, std::size_t, std::string> book[] = {
        {"GET /book?q=Bj%C3%B6rk%20jo&page=2 HTTP/1.1", "Bj\xC3\xB6rk jo", 2, ""},
        {"GET /book?page=12345&q= HTTP/1.1", "", 0, ""},
        {"GET /book?page=-1 HTTP/1.1", "", 0, ""},
        {"GET /cover?song=00ff&q=%zz HTTP/1.1", "", 0, "00ff"},
    };
    for (const auto& [line, search, page, song] : book) {
        const HttpReading reading = readHttpRequest(request(line));
        ASSERT_EQ(reading.state, State::Complete) << line;
        EXPECT_EQ(reading.request.search, search) << line;
        EXPECT_EQ(reading.request.page, page) << line;
        EXPECT_EQ(reading.request.song, song) << line;
    }
    const HttpReading socket = readHttpRequest(request("GET /socket HTTP/1.1", upgrade));
    EXPECT_EQ(socket.request.origin, "https://h:9");
    EXPECT_EQ(socket.request.host, "h:9");
    EXPECT_EQ(socket.request.webSocketKey, "abc==");
}

// Every prefix of a request is either still waiting or the request itself: a cut never reads
// as a shorter complete request, and bytes after the blank line (a WebSocket's first frame) do
// not change it.
TEST(HttpRequestTest, EveryCutOfARequestWaitsUntilItsEnd) {
    const std::string whole =
        request("GET /socket?k=0123&slot=2 HTTP/1.1",
                "Host: 10.0.0.2:8443\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Cookie: cantorix_key=0123\r\nSec-WebSocket-Key: x\r\n");
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_EQ(readHttpRequest(whole.substr(0, cut)).state, State::Incomplete) << cut;
    const HttpReading reading = readHttpRequest(whole + "\x81\x05hello");
    ASSERT_EQ(reading.state, State::Complete);
    EXPECT_EQ(reading.request.headerBytes, whole.size());
    EXPECT_EQ(reading.request.slot, 2U);
}

} // namespace
} // namespace cantorix::phones
