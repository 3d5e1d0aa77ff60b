#pragma once
// The phone server's reader of HTTP requests: what a peer sent so far, read without consuming it,
// so the server can wait for more, refuse early, or hand a complete WebSocket upgrade on with its
// bytes still unread. Only what the phone's page needs is understood: GET (and HEAD) of a path
// with a query, no bodies, headers within a fixed size. Values only; any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cantorix::phones {

inline constexpr std::size_t kMaxRequestHeaderBytes = 16 * 1024;
// The cookie the page's own files are let in by, set with the page itself.
inline constexpr std::string_view kKeyCookieName = "cantorix_key";

struct HttpRequest {
    std::string method; // "GET" or "HEAD"
    std::string path;   // percent-decoded, without the query: "/", "/phone.js", "/socket"
    std::string key;    // the query's k, else the key cookie; empty when neither is there
    std::optional<std::size_t> slot; // the query's slot when it is a number 1..99
    std::string search;              // the query's q, what a guest typed into the song book
    std::size_t page = 0;            // the query's page when it is a number 0..9999
    std::string song;                // the query's song, a song book identifier
    std::string host;
    std::string origin;
    bool webSocketUpgrade = false; // Upgrade: websocket with Connection: upgrade
    std::string webSocketKey;
    std::size_t headerBytes = 0; // the request line and headers with the blank line ending them
};

struct HttpReading {
    enum class State { Incomplete, Complete, Refused };
    State state = State::Incomplete;
    HttpRequest request; // when Complete
    int status = 0;      // when Refused: 400, 405, 413 or 431
    std::string reason;  // when Refused: a short sentence for the response body
};

// Reads the bytes a peer has sent so far. Incomplete: the blank line ending the headers has not
// arrived and the limit is not reached. Refused: a malformed request line or header, a method
// other than GET or HEAD, a body announced, or headers longer than maxHeaderBytes.
HttpReading readHttpRequest(std::string_view bytes,
                            std::size_t maxHeaderBytes = kMaxRequestHeaderBytes);

// Percent-decodes text; nothing when a % is not followed by two hexadecimal digits or the result
// holds a NUL. Plus signs stay as they are (they are not spaces in a path).
std::optional<std::string> percentDecode(std::string_view text);

} // namespace cantorix::phones
