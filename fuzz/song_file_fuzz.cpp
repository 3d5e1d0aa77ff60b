// Feeds arbitrary bytes to the song file reader and the video-line rewrite: a load either
// succeeds with a consistent table or throws EConvertError / ESongFileError, and the notes it
// read come back unchanged through the editor's writer.

#include "songs/song_errors.h"
#include "songs/song_file.h"
#include "songs/song_text_writer.h"
#include "songs/text_encoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace cantorix::songs;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkLoaded(const SongFile& song) {
    require(song.recordCount() <= kSongRecordCount);
    require(song.songRecords().size() == kSongRecordCount);
    require(song.octaveBand() >= 0 && song.octaveBand() <= 4);
    require(isValidUtf8(song.displayText(song.songTitle())));
    std::size_t marks = 0;
    for (std::size_t i = 0; i < song.recordCount(); ++i) {
        const SongRecord& r = song.songRecords()[i];
        marks += r.isBreak && r.pitch == kLastBreakPitch;
        require(isValidUtf8(song.displayText(r.syllable)));
    }
    require(marks <= 1);
}

// The notes of the table, written by the editor's writer and read again into the same table
// (building a table is most of the cost of a small run), must not change.
void checkRoundTrip(SongFile& song) {
    EditorSongText text;
    text.title = song.songTitle();
    text.mp3File = "a.mp3";
    text.bpmText = "120";
    for (std::size_t i = 0; i < song.recordCount(); ++i) {
        const SongRecord& r = song.songRecords()[i];
        if (!r.isBreak && !r.syllable.empty())
            text.notes.push_back({r.startBeat, r.length, r.pitch, r.syllable});
    }
    if (text.notes.size() >= kSongRecordCount)
        return; // with its "E" line the text would no longer fit the table
    song.load(composeEditorSongText(text), "f", "s.txt");
    require(song.songTitle() == text.title);
    require(song.recordCount() == text.notes.size() + 1);
    for (std::size_t i = 0; i < text.notes.size(); ++i) {
        const SongRecord& r = song.songRecords()[i];
        const EditorNoteRow& n = text.notes[i];
        require(!r.isBreak && r.startBeat == n.start && r.length == n.length &&
                r.pitch == n.pitch && r.syllable == n.syllable);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    SongFile song;
    bool loaded = false;
    try {
        song.load(bytes, "songs/Folder", "song.txt");
        loaded = true;
    } catch (const EConvertError&) {
    } catch (const ESongFileError&) {
    }
    checkLoaded(song);
    if (loaded)
        checkRoundTrip(song);
    try {
        song.load(rewriteVideoLine(bytes, "clip.avi"), "songs/Folder", "song.txt");
    } catch (const EConvertError&) {
    } catch (const ESongFileError&) {
    }
    checkLoaded(song);
    return 0;
}
