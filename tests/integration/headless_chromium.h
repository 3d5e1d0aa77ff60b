#pragma once
// Headless Chromium for the tests of the phone's page: a browser in a process group of its own,
// its microphone a WAV, its profile a folder of the test's (so a page closed and opened again
// finds what it kept), its output in a log; the whole group is ended when this goes.

#include "fakes/file_bytes.h"

#include <arpa/inet.h>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
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

private:
    // One request to the browser's DevTools endpoint on loopback: the response's body, empty when
    // it did not answer (within seconds).
    std::string devTools(const std::string& method, const std::string& target) const {
        int port = 0;
        for (int i = 0; i < 100 && port == 0; ++i) {
            std::ifstream(m_profile / "DevToolsActivePort") >> port;
            if (port == 0)
                ::usleep(100000);
        }
        const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (port == 0 || peer < 0)
            return {};
        const timeval wait{5, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string response;
        if (::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const std::string request =
                method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
            if (::send(peer, request.data(), request.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(request.size())) {
                char buffer[4096];
                for (ssize_t got; (got = ::recv(peer, buffer, sizeof buffer, 0)) > 0;)
                    response.append(buffer, static_cast<std::size_t>(got));
            }
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
