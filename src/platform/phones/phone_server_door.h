#pragma once
// The phone server's door, on the server's thread: accepts TCP connections from this computer's
// networks within the per-peer and overall limits, speaks TLS, reads each request with the
// bounded reader, answers the page's files, the song book's pages and its covers' thumbnails
// (made on the thumbnail cache's workers, answered back on this thread) or a refusal and closes,
// and hands a keyed WebSocket upgrade on with its request still unread.

#include "local_networks.h"
#include "phone_server.h"
#include "thumbnail_cache.h"

#include <QSslConfiguration>
#include <QTcpServer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSslSocket;

namespace cantorix::platform {

class PhoneDoor : public QTcpServer {
public:
    struct Setup {
        std::string key;
        QSslConfiguration tls;
        PhoneServerLimits limits;
        std::function<std::vector<LocalNetwork>()> listNetworks;
        // A complete WebSocket upgrade with the right key and origin; the socket is the
        // receiver's from now on.
        std::function<void(QSslSocket*)> upgrade;
        // The slots a phone may take now (1..8, ascending), for the page's slot picker.
        std::function<std::vector<std::size_t>()> freeSlots;
        // A page of the song book for what a guest typed, as JSON; none while no book is open.
        std::function<std::optional<std::string>(const std::string&, std::size_t)> songBook;
        // The cover of a song book's song by its identifier, and the key its thumbnail is kept
        // under (the cover as it is now); none for an unknown song or one without a cover.
        struct Cover {
            std::string file;
            std::string key;
        };
        std::function<std::optional<Cover>(const std::string& songId)> cover = {};
        // Makes a cover's thumbnail (JPEG bytes) on a worker; throws when it cannot. None: no
        // song has a thumbnail.
        ThumbnailCache::Maker makeThumbnail = {};
    };

    explicit PhoneDoor(Setup setup, QObject* parent = nullptr);
    // Stops the thumbnails' workers first: none may answer through a door that is going.
    ~PhoneDoor() override;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    const std::vector<LocalNetwork>& networks();
    void readRequest(QSslSocket* socket);
    void answer(QSslSocket* socket, const std::string& response);
    void answerThumbnail(QSslSocket* socket, const std::string& songId, bool withBody);
    void release(const QString& peer);

    Setup m_setup;
    std::vector<LocalNetwork> m_networks;
    std::chrono::steady_clock::time_point m_networksRead{};
    bool m_networksKnown = false;
    std::map<QString, std::size_t> m_openPerPeer;
    std::size_t m_open = 0;
    std::unique_ptr<ThumbnailCache> m_thumbnails;
};

} // namespace cantorix::platform
