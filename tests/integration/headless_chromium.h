#pragma once
// Headless Chromium for the tests of the phone's page: a browser in a process group of its own,
// its microphone a WAV, its profile a folder of the test's (so a page closed and opened again
// finds what it kept), its output in a log; the whole group is ended when this goes.

#include "fakes/file_bytes.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <netinet/in.h>
#include <optional>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace cantorix::testing {

inline const char* const kChromium = "/usr/bin/chromium";

// The browser opens url with the WAV as its microphone; its tabs can be closed and opened as a
// guest does. A second browser over the same folder shares the first one's profile and adds to
// its log.
class HeadlessChromium {
public:
    HeadlessChromium(const std::filesystem::path& folder, const std::filesystem::path& wav,
                     const std::string& url)
        : m_log(folder / "chromium.log"), m_profile(folder / "chromium-profile") {
        const std::filesystem::path& profile = m_profile;
        std::filesystem::remove(profile / "DevToolsActivePort");
        std::filesystem::create_directories(profile);
        std::vector<std::string> arguments = {
            kChromium,
            "--headless=new",
            "--no-sandbox",
            "--user-data-dir=" + profile.string(),
            "--ignore-certificate-errors",
            "--use-fake-ui-for-media-stream",
            "--use-fake-device-for-media-stream",
            "--use-file-for-fake-audio-capture=" + wav.string(),
            "--autoplay-policy=no-user-gesture-required",
            "--no-first-run",
            "--disable-gpu",
            // The pages' console goes to the log, so a test sees what a page threw.
            "--enable-logging=stderr",
            "--v=0",
            // On loopback, at a port the browser picks and writes into the profile.
            "--remote-debugging-port=0",
            url,
        };
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setpgid(0, 0);
            const int log = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (log >= 0) {
                ::dup2(log, STDOUT_FILENO);
                ::dup2(log, STDERR_FILENO);
            }
            ::execv(kChromium, argv.data());
            ::_exit(127);
        }
        // Set from both sides, so the group exists whichever runs first.
        if (m_pid > 0)
            ::setpgid(m_pid, m_pid);
    }
    ~HeadlessChromium() { end(); }

    // Asks the browser to quit, as closing its window does, and waits (bounded) for it: what its
    // pages keep is written before it goes. False when it had to be killed.
    bool close() {
        if (m_pid <= 0)
            return false;
        ::kill(m_pid, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            ended = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended)
                ::usleep(50000);
        }
        if (ended) {
            // Helpers the launcher left behind go with the group.
            ::kill(-m_pid, SIGKILL);
            m_pid = -1;
        }
        end();
        return ended;
    }

    HeadlessChromium(const HeadlessChromium&) = delete;
    HeadlessChromium& operator=(const HeadlessChromium&) = delete;

    bool started() const { return m_pid > 0; }

    // Closes the tab whose address holds `part`, as a guest does; the browser goes on while it
    // has another tab (a headless browser quits with its last). False when no such tab closed.
    bool closeTab(const std::string& part) {
        const std::string list = devTools("GET", "/json/list");
        const std::regex entry(R"re(\{[^{}]*\})re"), id(R"re("id": "([0-9A-F]+)")re");
        for (auto it = std::sregex_iterator(list.begin(), list.end(), entry);
             it != std::sregex_iterator(); ++it) {
            const std::string tab = it->str();
            std::smatch found;
            if (tab.find(part) != std::string::npos && std::regex_search(tab, found, id))
                return devTools("GET", "/json/close/" + found[1].str()).find("closing") !=
                       std::string::npos;
        }
        return false;
    }
    // Opens url in a new tab of the same browser; false when the browser did not take it.
    bool openTab(const std::string& url) {
        // The address goes whole as the query: its own query and fragment escaped.
        std::string escaped;
        for (const char c : url) {
            if (std::isalnum(static_cast<unsigned char>(c)) || std::strchr(":/.-_~", c)) {
                escaped += c;
            } else {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
                escaped += hex;
            }
        }
        return devTools("PUT", "/json/new?" + escaped).find("\"id\"") != std::string::npos;
    }
    // The errors the pages left uncaught, one a line: a handler that throws stops half-way (a
    // page that threw while going away left its sound open and its last storage unwritten).
    std::string uncaughtPageErrors() const {
        const std::string text = readFile(m_log);
        std::string errors;
        for (std::size_t begin = 0, end; begin < text.size(); begin = end + 1) {
            end = text.find('\n', begin);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(begin, end - begin);
            if (line.find(":CONSOLE") != std::string::npos &&
                line.find("Uncaught") != std::string::npos)
                errors += line + "\n";
        }
        return errors;
    }
    // The browser's last lines, for a failure's message.
    std::string logTail() const {
        const std::string text = readFile(m_log);
        return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
    }

    // DevTools commands (method and parameters) to the tab whose address holds `part`, in order
    // over one connection to that tab (what a command sets, such as an emulated screen, lasts as
    // long as the connection): the last answer's "result", or nothing when there was no such tab,
    // or a command failed or was not answered within seconds.
    using Command = std::pair<std::string, QJsonObject>;
    std::optional<QJsonObject> commands(const std::string& part,
                                        const std::vector<Command>& sent) const {
        const std::string tab = tabId(part);
        const int peer = tab.empty() ? -1 : connectToDevTools();
        if (peer < 0)
            return std::nullopt;
        std::optional<QJsonObject> result;
        std::string received;
        if (upgrade(peer, "/devtools/page/" + tab, received)) {
            int id = 0;
            for (const auto& [method, params] : sent) {
                const QJsonObject asked{
                    {"id", ++id}, {"method", QString::fromStdString(method)}, {"params", params}};
                result =
                    sendFrame(peer,
                              QJsonDocument(asked).toJson(QJsonDocument::Compact).toStdString())
                        ? answerTo(peer, id, received)
                        : std::nullopt;
                if (!result)
                    break;
            }
        }
        ::close(peer);
        return result;
    }
    std::optional<QJsonObject> command(const std::string& part, const std::string& method,
                                       const QJsonObject& params = {}) const {
        return commands(part, {{method, params}});
    }
    // The value of a JavaScript expression in that tab (a promise is awaited), as JSON carries
    // it; nothing when it threw or did not answer.
    std::optional<QJsonValue> evaluate(const std::string& part,
                                       const std::string& expression) const {
        const std::optional<QJsonObject> answer =
            command(part, "Runtime.evaluate",
                    {{"expression", QString::fromStdString(expression)},
                     {"returnByValue", true},
                     {"awaitPromise", true}});
        if (!answer || answer->contains("exceptionDetails"))
            return std::nullopt;
        return answer->value("result").toObject().value("value");
    }
    // A finger's tap on the element the expression names: scrolled into view, then pressed and
    // released at its centre, as the page's own events see a tap. False when the element is not
    // there or not shown.
    bool tap(const std::string& part, const std::string& element) const {
        const std::optional<QJsonValue> centre = evaluate(
            part, "(() => { const e = " + element +
                      "; if (!e || e.getClientRects().length === 0) return null;"
                      " e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();"
                      " return [r.left + r.width / 2, r.top + r.height / 2]; })()");
        if (!centre || !centre->isArray())
            return false;
        const double x = centre->toArray().at(0).toDouble(), y = centre->toArray().at(1).toDouble();
        for (const char* type : {"mouseMoved", "mousePressed", "mouseReleased"})
            if (!command(part, "Input.dispatchMouseEvent",
                         {{"type", type},
                          {"x", x},
                          {"y", y},
                          {"button", "left"},
                          {"buttons", std::string_view(type) == "mousePressed" ? 1 : 0},
                          {"clickCount", std::string_view(type) == "mouseMoved" ? 0 : 1}}))
                return false;
        return true;
    }
    // Text typed into the element that has the focus, as a keyboard's input does.
    bool type(const std::string& part, const std::string& text) const {
        return command(part, "Input.insertText", {{"text", QString::fromStdString(text)}})
            .has_value();
    }
    // What the tab shows on a phone's screen of this size, written as a PNG file.
    bool screenshot(const std::string& part, int width, int height,
                    const std::filesystem::path& file) const {
        const std::optional<QJsonObject> shot = commands(
            part,
            {{"Emulation.setDeviceMetricsOverride",
              {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", true}}},
             {"Page.captureScreenshot", {{"format", "png"}}}});
        if (!shot)
            return false;
        const QByteArray png = QByteArray::fromBase64(shot->value("data").toString().toLatin1());
        std::ofstream(file, std::ios::binary).write(png.data(), png.size());
        return !png.isEmpty() && std::filesystem::file_size(file) == std::size_t(png.size());
    }

private:
    // The DevTools identifier of the first tab whose address holds `part`; empty when none.
    std::string tabId(const std::string& part) const {
        const std::string list = devTools("GET", "/json/list");
        const std::regex entry(R"re(\{[^{}]*\})re"), id(R"re("id": "([0-9A-F]+)")re");
        for (auto it = std::sregex_iterator(list.begin(), list.end(), entry);
             it != std::sregex_iterator(); ++it) {
            const std::string tab = it->str();
            std::smatch found;
            if (tab.find("\"type\": \"page\"") != std::string::npos &&
                tab.find(part) != std::string::npos && std::regex_search(tab, found, id))
                return found[1].str();
        }
        return {};
    }

    // The WebSocket's opening handshake; what came after the answer's head stays in `received`.
    static bool upgrade(int peer, const std::string& path, std::string& received) {
        const std::string request = "GET " + path +
                                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                    "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                    "Sec-WebSocket-Key: Y2FudG9yaXgtdGVzdHMtMQ==\r\n\r\n";
        if (::send(peer, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size()))
            return false;
        std::size_t head;
        while ((head = received.find("\r\n\r\n")) == std::string::npos)
            if (!receive(peer, received))
                return false;
        const bool switched = received.compare(0, 12, "HTTP/1.1 101") == 0;
        received.erase(0, head + 4);
        return switched;
    }
    static bool receive(int peer, std::string& received) {
        char buffer[65536];
        const ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        received.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    // One text frame, masked as a client's must be (with a mask of zeros, which leaves the bytes
    // as they are).
    static bool sendFrame(int peer, const std::string& text) {
        std::string frame(1, '\x81');
        if (text.size() < 126) {
            frame += static_cast<char>(0x80 | text.size());
        } else {
            frame += static_cast<char>(0x80 | 127);
            for (int shift = 56; shift >= 0; shift -= 8)
                frame += static_cast<char>((text.size() >> shift) & 0xFF);
        }
        frame += std::string(4, '\0') + text;
        return ::send(peer, frame.data(), frame.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(frame.size());
    }
    // Reads messages (events among them) until the answer to command `id`, for at most 15 s.
    static std::optional<QJsonObject> answerTo(int peer, int id, std::string& received) {
        const timeval wait{5, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        std::string message;
        while (std::chrono::steady_clock::now() < until) {
            // A frame's head: FIN and opcode, then the length (7 bits, or 16 or 64 more).
            while (received.size() < 2)
                if (!receive(peer, received))
                    return std::nullopt;
            const auto byte = [&](std::size_t i) {
                return static_cast<unsigned char>(received[i]);
            };
            std::size_t length = byte(1) & 0x7F, head = 2;
            const std::size_t extra = length == 126 ? 2 : length == 127 ? 8 : 0;
            while (received.size() < head + extra)
                if (!receive(peer, received))
                    return std::nullopt;
            if (extra > 0) {
                length = 0;
                for (std::size_t i = 0; i < extra; ++i)
                    length = length << 8 | byte(head + i);
                head += extra;
            }
            while (received.size() < head + length)
                if (!receive(peer, received))
                    return std::nullopt;
            const bool last = (byte(0) & 0x80) != 0;
            const int opcode = byte(0) & 0x0F;
            if (opcode == 8)
                return std::nullopt;
            if (opcode <= 2)
                message += received.substr(head, length);
            received.erase(0, head + length);
            if (!last || opcode > 2)
                continue;
            const QJsonObject answer =
                QJsonDocument::fromJson(QByteArray::fromStdString(message)).object();
            message.clear();
            if (answer.value("id").toInt() != id)
                continue;
            if (answer.contains("error"))
                return std::nullopt;
            return answer.value("result").toObject();
        }
        return std::nullopt;
    }

    // A socket connected to the browser's DevTools port on loopback, or -1.
    int connectToDevTools() const {
        int port = 0;
        for (int i = 0; i < 100 && port == 0; ++i) {
            std::ifstream(m_profile / "DevToolsActivePort") >> port;
            if (port == 0)
                ::usleep(100000);
        }
        const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (port == 0 || peer < 0) {
            if (peer >= 0)
                ::close(peer);
            return -1;
        }
        const timeval wait{5, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(peer);
            return -1;
        }
        return peer;
    }

    // One request to the browser's DevTools endpoint on loopback: the response's body, empty when
    // it did not answer (within seconds).
    std::string devTools(const std::string& method, const std::string& target) const {
        const int peer = connectToDevTools();
        if (peer < 0)
            return {};
        std::string response;
        const std::string request =
            method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        // The browser may keep the connection open: the answer ends where its length says.
        const auto whole = [&response] {
            const std::size_t head = response.find("\r\n\r\n");
            std::smatch length;
            return head != std::string::npos &&
                   std::regex_search(response.cbegin(), response.cbegin() + head, length,
                                     std::regex("Content-Length: *([0-9]+)", std::regex::icase)) &&
                   response.size() >= head + 4 + std::stoul(length[1].str());
        };
        if (::send(peer, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size()))
            while (!whole() && receive(peer, response)) {
            }
        ::close(peer);
        const std::size_t body = response.find("\r\n\r\n");
        return body == std::string::npos ? std::string() : response.substr(body + 4);
    }

    void end() {
        if (m_pid <= 0)
            return;
        ::kill(-m_pid, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 100 && !ended; ++i) {
            ended = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;
            if (!ended)
                ::usleep(50000);
        }
        // Renderers and helpers left behind by the launcher go with the group.
        ::kill(-m_pid, SIGKILL);
        if (!ended)
            ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    std::filesystem::path m_log;
    std::filesystem::path m_profile;
    pid_t m_pid = -1;
};

} // namespace cantorix::testing
