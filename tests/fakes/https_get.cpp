#include "https_get.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <algorithm>
#include <cctype>

namespace cantorix::testing {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string HttpsResponse::header(const std::string& name) const {
    const std::string wanted = "\r\n" + lower(name) + ":";
    const std::size_t at = lower(headers).find(wanted);
    if (at == std::string::npos)
        return {};
    const std::size_t from = headers.find_first_not_of(' ', at + wanted.size());
    return headers.substr(from, headers.find("\r\n", from) - from);
}

HttpsResponse httpsGet(int port, const std::string& target, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    const auto left = [&] {
        return static_cast<int>(
            std::max<std::int64_t>(1, std::chrono::duration_cast<std::chrono::milliseconds>(
                                          deadline - std::chrono::steady_clock::now())
                                          .count()));
    };
    QSslSocket socket;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.setSslConfiguration(tls);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForEncrypted(left()))
        return {};
    const std::string request = "GET " + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nConnection: close\r\n\r\n";
    socket.write(request.data(), static_cast<qint64>(request.size()));
    std::string received;
    // The server closes every connection once it has answered.
    while (std::chrono::steady_clock::now() < deadline) {
        socket.waitForReadyRead(std::min(left(), 100));
        received += socket.readAll().toStdString();
        if (socket.state() != QAbstractSocket::ConnectedState)
            break;
    }
    received += socket.readAll().toStdString();
    const std::size_t end = received.find("\r\n\r\n");
    if (end == std::string::npos || received.rfind("HTTP/1.1 ", 0) != 0)
        return {};
    HttpsResponse response;
    response.headers = received.substr(0, end + 2);
    response.body = received.substr(end + 4);
    response.status = std::atoi(received.c_str() + 9);
    const std::string length = response.header("Content-Length");
    if (!length.empty() && response.body.size() < std::stoul(length))
        response.status = 0; // cut short
    return response;
}

} // namespace cantorix::testing
