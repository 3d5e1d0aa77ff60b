#pragma once
// The party's queue as the game runs it: the guests' phones (their song book connections) and the
// host (the Queue screen, and a phone that opened the host's code) change it through here; every
// request is checked against the song book and the queue's limits; after every change the queue
// is kept (the records file's worker writes it) and every phone is told within the same turn of
// the event loop. Owns the queue; borrows the phone hall. Main thread only.

#include "app/phone_hall_port.h"
#include "party/guest_messages.h"
#include "party/party_queue.h"
#include "party/song_book.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cantorix::app {

class PartyHost {
public:
    struct Setup {
        PhoneHall* hall = nullptr; // none: no phones, the host alone uses the queue
        // Seconds since the epoch (the queue's times are kept across runs).
        std::function<std::int64_t()> now;
        // A new secret for a guest's phone to keep (hexadecimal).
        std::function<std::string()> newToken = {};
        // The queue after every change, to be kept.
        std::function<void(const party::KeptQueue&)> keep = {};
        // When a song (its song file) was last sung, in seconds since the epoch, if it was.
        std::function<std::optional<std::int64_t>(const std::string&)> lastSungAt = {};
        // Song files for a medley a guest asks for, drawn at random from the songs with a
        // medley part; fewer than a medley needs when the library has too few.
        std::function<std::vector<std::string>(std::size_t songs)> drawMedley = {};
    };

    explicit PartyHost(Setup setup);
    PartyHost(const PartyHost&) = delete;
    PartyHost& operator=(const PartyHost&) = delete;

    // The queue kept by an earlier run. What phones ask before it is restored waits for it, so
    // nothing they add is lost to the queue read.
    void restore(party::KeptQueue kept);
    // The library's songs as phones see them, after every scan.
    void openSongBook(std::shared_ptr<const party::SongBook> book);
    const party::SongBook* songBook() const { return m_book.get(); }
    // Called after every change, for the screens that show the queue.
    void onChanged(std::function<void()> changed) { m_changed = std::move(changed); }

    const party::PartyQueue& queue() const { return m_queue; }
    // The rows as the host sees them (none marked as theirs).
    std::vector<party::QueueRow> rows() const;
    // The song book's song of an entry (a medley's first song still there); none when it left
    // the library.
    const party::BookSong* songOf(const party::QueueEntry& entry) const;
    // What the entry sings as the queue shows it (see party::entryFacts); none when it can no
    // longer be sung: its song, or too many of a medley's, left the library.
    std::optional<party::SongFacts> factsOf(const party::QueueEntry& entry) const;
    // The names of an entry's singers, the owner first.
    std::vector<std::string> singersOf(const party::QueueEntry& entry) const;

    // The host's actions. Each returns the queue's answer (Accepted when done).
    party::QueueAnswer playNext(party::EntryId entry);
    party::QueueAnswer move(party::EntryId entry, std::size_t index);
    party::QueueAnswer remove(party::EntryId entry);
    void clear();
    void setPaused(bool paused);
    void setRotation(bool on);
    void setAllowSungRecently(bool allow);
    void setMostWaiting(int songs);
    void setTakeFromQueue(bool on);
    void setWaits(int scorePageSeconds, int nextUpSeconds);
    party::QueueAnswer removeGuest(party::GuestId guest);
    party::QueueAnswer renameGuest(party::GuestId guest, std::string_view name);
    party::QueueAnswer linkGuest(party::GuestId guest, std::optional<std::int64_t> playerId);
    // A guest the host adds at the keyboard, and a song for them: by song file.
    std::optional<party::GuestId> addGuest(std::string_view name);
    party::QueueAnswer addSong(party::GuestId guest, const std::string& songFile);
    // A medley whose songs (song files) were drawn already, as one entry of the guest's.
    party::QueueAnswer addMedley(party::GuestId guest, party::QueuedMedley medley);

    // The party flow. The entry to be sung next, while the queue is not paused and the song book
    // is open; an entry at the front whose song left the library is taken out first (its guest
    // is told).
    std::optional<party::QueueEntry> nextUp();
    // Takes that entry to sing it now: its singers sang now, for the rotation.
    std::optional<party::QueueEntry> takeNext();
    // Skips a waiting entry at its turn: back one place the first time, out of the queue the
    // second (its guest's phone is told why). Returns whether it still waits.
    bool skip(party::EntryId entry);
    // How much is left of the song being sung, for the estimated start times (0: none sung).
    void setRemaining(std::int64_t remainingMs);
    // Asks the guests' phones of an entry that are no microphone yet to tap to sing in slot.
    void callToSing(party::GuestId guest, std::size_t slot);
    // Whether a guest's song book is open on a phone now.
    bool guestOnline(party::GuestId guest) const;

    // The host's actions asked from the host's phone or the keyboard on the Next up screen.
    void onHostFlow(std::function<void(party::HostRequest::Action)> flow) {
        m_hostFlow = std::move(flow);
    }

private:
    struct Viewer {
        std::optional<party::GuestId> guest;
        bool host = false;
    };

    void said(PhoneHall::GuestConnection connection, party::GuestRequest request);
    void hello(PhoneHall::GuestConnection connection, const party::GuestHello& hello);
    void addFromPhone(PhoneHall::GuestConnection connection, const party::AddSongRequest& add);
    void addMedleyFromPhone(PhoneHall::GuestConnection connection,
                            const party::AddMedleyRequest& add);
    // The guest a phone is in line as; none, with the phone asked for a name, when it only looks.
    std::optional<party::GuestId> inLine(PhoneHall::GuestConnection connection);
    // Adds the request and tells the phone "Added: …" or why not.
    void addAndAnswer(PhoneHall::GuestConnection connection,
                      const party::PartyQueue::SongRequest& request, const std::string& shownAs);
    void hostFromPhone(PhoneHall::GuestConnection connection, const party::HostRequest& request);
    void answer(PhoneHall::GuestConnection connection, std::string text);
    party::QueueAnswer added(const party::PartyQueue::SongRequest& request);
    // Keeps the queue, tells every phone, and the screens.
    void changed();
    void tellEveryone();
    party::QueueNews newsFor(const Viewer& viewer) const;
    // The same news as a phone sees it: its own songs marked, its turn and its songs gone.
    party::QueueNews seenBy(party::QueueNews news, const Viewer& viewer) const;
    std::optional<party::SongFacts> factsOf(const std::string& songFile) const;

    Setup m_setup;
    party::PartyQueue m_queue;
    std::shared_ptr<const party::SongBook> m_book;
    std::map<PhoneHall::GuestConnection, Viewer> m_viewers;
    bool m_restored = false;
    std::vector<std::pair<PhoneHall::GuestConnection, party::GuestRequest>> m_early;
    // What a guest is told once about a song of theirs that left the queue unsung.
    std::map<party::GuestId, std::string> m_goneNotices;
    std::int64_t m_remainingMs = 0;
    std::function<void()> m_changed;
    std::function<void(party::HostRequest::Action)> m_hostFlow;
};

} // namespace cantorix::app
