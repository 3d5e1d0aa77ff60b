#pragma once
// A phone hall without a network: tests seat phones by hand and read what the game showed them.

#include "app/phone_hall_port.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cantorix::app::testing {

class FakePhoneHall : public app::PhoneHall {
public:
    bool listening() const override { return problemText.empty(); }
    std::string problem() const override { return problemText; }
    std::vector<std::string> addresses() const override { return addressList; }
    int port() const override { return 8443; }
    std::string fingerprint() const override { return "SHA-256 AB:CD"; }
    app::JoinCode joinCode(std::size_t slot, std::string_view address) const override {
        app::JoinCode code;
        code.url = "https://" + std::string(address) +
                   (slot == 0 ? ":8443/?k=0123456789abcdef0123456789abcdef#book"
                              : ":8443/?slot=" + std::to_string(slot) +
                                    "&k=0123456789abcdef0123456789abcdef");
        code.size = 21;
        for (int i = 0; i < code.size * code.size; ++i)
            code.modules.push_back((i * 7 + static_cast<int>(slot)) % 3 == 0);
        return code;
    }
    app::JoinCode hostCode(std::string_view address) const override {
        app::JoinCode code = joinCode(9, address);
        code.url = "https://" + std::string(address) +
                   ":8443/?k=0123456789abcdef0123456789abcdef&host=fedcba9876543210#queue";
        return code;
    }
    std::vector<app::PhoneSeatView> seats() const override { return seatList; }
    void onSeatsChanged(std::function<void()> changed) override { m_changed = std::move(changed); }
    void showSinger(std::size_t slot, std::string_view name, std::uint32_t rgb) override {
        singerShown[slot] = {std::string(name), rgb};
    }
    void showLyric(std::size_t slot, std::string_view line) override {
        lyricsShown[slot].emplace_back(line);
    }
    void showPoints(std::size_t slot, int points) override { pointsShown[slot] = points; }
    void reserveSlots(const std::vector<std::string>& reasons) override { reserved = reasons; }
    // As the server does: the seat goes, and the game hears of it.
    void freeSlot(std::size_t slot) override {
        freed.push_back(slot);
        std::vector<app::PhoneSeatView> kept;
        for (const app::PhoneSeatView& s : seatList)
            if (s.slot != slot)
                kept.push_back(s);
        seat(std::move(kept));
    }
    void sessionStarted() override { ++sessionsStarted; }
    void sessionEnded() override { ++sessionsEnded; }
    // Called from the thread that built the book, as the server's is.
    void openSongBook(std::shared_ptr<const party::SongBook> book) override {
        const std::lock_guard lock(m_bookMutex);
        m_songBook = std::move(book);
    }
    std::shared_ptr<const party::SongBook> songBook() const {
        const std::lock_guard lock(m_bookMutex);
        return m_songBook;
    }

    void onGuests(std::function<void(GuestConnection, party::GuestRequest)> said,
                  std::function<void(GuestConnection)> gone) override {
        m_guestSaid = std::move(said);
        m_guestGone = std::move(gone);
    }
    void tellGuest(GuestConnection connection, const party::GuestNews& news) override {
        toldGuests[connection].push_back(news);
    }
    // A song book's phone says something, as the server's thread would pass it on.
    void guestSays(GuestConnection connection, party::GuestRequest request) {
        if (m_guestSaid)
            m_guestSaid(connection, std::move(request));
    }
    void guestCloses(GuestConnection connection) {
        if (m_guestGone)
            m_guestGone(connection);
    }

    // Seats the phones as given and tells the game, as the server's thread would.
    void seat(std::vector<app::PhoneSeatView> seats) {
        seatList = std::move(seats);
        if (m_changed)
            m_changed();
    }

    std::string problemText;
    std::vector<std::string> addressList{"192.168.1.20"};
    std::vector<app::PhoneSeatView> seatList;
    std::vector<std::string> reserved;
    std::vector<std::size_t> freed;
    std::map<std::size_t, std::pair<std::string, std::uint32_t>> singerShown;
    std::map<std::size_t, std::vector<std::string>> lyricsShown;
    std::map<std::size_t, int> pointsShown;
    int sessionsStarted = 0;
    int sessionsEnded = 0;
    mutable std::mutex m_bookMutex;
    std::shared_ptr<const party::SongBook> m_songBook;
    std::map<GuestConnection, std::vector<party::GuestNews>> toldGuests;

private:
    std::function<void()> m_changed;
    std::function<void(GuestConnection, party::GuestRequest)> m_guestSaid;
    std::function<void(GuestConnection)> m_guestGone;
};

} // namespace cantorix::app::testing
