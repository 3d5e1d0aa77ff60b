#include "song_book.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cantorix::party {

namespace {

// FNV-1a over the salt and the path: the same song keeps its identifier through a run.
std::uint64_t identifierOf(std::uint64_t salt, std::string_view path) {
    std::uint64_t hash = 0xcbf29ce484222325ULL ^ salt;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    // A final mix, so that neighbouring paths do not share leading digits.
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return hash;
}

std::string hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

} // namespace

SongBook::SongBook(const std::vector<songs::SongSummary>& library, std::uint64_t salt) {
    std::vector<songs::SongSummary> offered;
    for (const songs::SongSummary& song : library)
        if (songs::playable(song))
            offered.push_back(song);
    songs::sortSongs(offered, songs::SongOrder::ByArtist);
    m_songs.reserve(offered.size());
    m_folded.reserve(offered.size());
    for (const songs::SongSummary& song : offered) {
        // Two paths whose identifiers collide: the later one takes the next free value.
        std::uint64_t id = identifierOf(salt, song.songFile);
        while (m_byId.contains(hex(id)))
            ++id;
        BookSong& entry = m_songs.emplace_back();
        entry = {.id = hex(id),
                 .songFile = song.songFile,
                 .artist = song.artist,
                 .title = song.title,
                 .duet = song.duet,
                 .hasCover = !song.cover.empty(),
                 .cover = song.cover,
                 .coverStamp = song.coverStamp,
                 .lengthMs = songs::songLengthMs(song),
                 .medleyPartMs = song.medley.source == songs::MedleySource::None
                                     ? 0
                                     : std::llround(song.medley.toMs - song.medley.fromMs)};
        m_byId.emplace(entry.id, m_songs.size() - 1);
        m_bySongFile.emplace(entry.songFile, m_songs.size() - 1);
        // A line between the two keeps a word from matching across artist and title.
        m_folded.push_back(songs::foldForSearch(song.artist) + '\n' +
                           songs::foldForSearch(song.title));
    }
}

BookPage SongBook::search(std::string_view query, std::size_t page) const {
    const std::vector<std::string> words = songs::searchWords(query);
    BookPage result;
    result.page = page;
    const std::size_t first = page * kPageSize;
    for (std::size_t i = 0; i < m_songs.size(); ++i) {
        const std::string& haystack = m_folded[i];
        if (!std::all_of(words.begin(), words.end(), [&](const std::string& word) {
                return haystack.find(word) != std::string::npos;
            }))
            continue;
        if (result.total >= first && result.songs.size() < kPageSize)
            result.songs.push_back(&m_songs[i]);
        ++result.total;
    }
    return result;
}

const BookSong* SongBook::byId(std::string_view id) const {
    const auto found = m_byId.find(std::string(id));
    return found == m_byId.end() ? nullptr : &m_songs[found->second];
}

const BookSong* SongBook::bySongFile(const std::string& songFile) const {
    const auto found = m_bySongFile.find(songFile);
    return found == m_bySongFile.end() ? nullptr : &m_songs[found->second];
}

} // namespace cantorix::party
