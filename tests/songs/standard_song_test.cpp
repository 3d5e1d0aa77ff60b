// The standard song format read rule by rule: encodings, lines, header tags, numbers, notes,
// line breaks in both modes, voices, the end line, skipped lines and times.

#include "songs/song_errors.h"
#include "songs/song_format.h"
#include "songs/song_lines.h"
#include "songs/standard_song.h"
#include "songs/standard_song_lines.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace cantorix::songs;

namespace {

const std::string kHeader = "#TITLE:T\n#BPM:300\n";

StandardNote note(std::int32_t start, std::int32_t length, std::int32_t pitch, std::string text,
                  NoteKind kind = NoteKind::Normal) {
    return {kind, start, length, pitch, std::move(text)};
}

std::string refusal(const std::string& text) {
    try {
        readStandardSong(text);
    } catch (const EStandardSongError& e) {
        return e.what();
    }
    return "";
}

std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8);
        const char low = static_cast<char>(c & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

TEST(StandardSongTest, EncodingComesFromTheMarkThenTheTagThenTheBytes) {
    struct Case {
        std::string bytes;
        std::string encoding;
        std::string text;
    };
    // clang-format off
    const Case cases[] = {
        {"\xEF\xBB\xBF#TITLE:F\xC3\xBCr", "utf-8", "#TITLE:F\xC3\xBCr"},
        // The mark wins over the tag.
        {"\xEF\xBB\xBF#ENCODING:CP1250\n\xC3\xA4", "utf-8", "#ENCODING:CP1250\n\xC3\xA4"},
        {utf16(u"#TITLE:\u00E4\U0001F600", false), "utf-16-le", "#TITLE:\xC3\xA4\xF0\x9F\x98\x80"},
        {utf16(u"#TITLE:\u00E4", true), "utf-16-be", "#TITLE:\xC3\xA4"},
        // A lone surrogate and an odd last byte do not decode.
        {utf16(u"a\xD800" u"b", false) + "c", "utf-16-le", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
        {"#ENCODING:CP1250\n\xB9", "cp1250", "#ENCODING:CP1250\n\xC4\x85"},
        {"#encoding: windows-1252 \n\xE4", "cp1252", "#encoding: windows-1252 \n\xC3\xA4"},
        {"#ENCODING:CP865\n\x9B", "cp865", "#ENCODING:CP865\n\xC3\xB8"},
        {"#ENCODING:UTF8\n\xC3\xA4", "utf-8", "#ENCODING:UTF8\n\xC3\xA4"},
        // The tag is believed: a byte that is no UTF-8 becomes U+FFFD, a cut sequence one U+FFFD.
        {"#ENCODING:UTF-8\n\xE4x\xE2\x82", "utf-8", "#ENCODING:UTF-8\n\xEF\xBF\xBDx\xEF\xBF\xBD"},
        // Values the format leaves to detection, and code pages nobody knows.
        {"#ENCODING:AUTO\n\xC3\xA4", "utf-8", "#ENCODING:AUTO\n\xC3\xA4"},
        {"#ENCODING:LATIN1\n\xE4", "cp1252", "#ENCODING:LATIN1\n\xC3\xA4"},
        {"#ENCODING:CP99999\n\xE4", "cp1252", "#ENCODING:CP99999\n\xC3\xA4"},
        // A tag below the header is no header tag.
        {"#TITLE:x\n: 0 1 0 a\n#ENCODING:CP1250\n\xB9", "cp1252",
         "#TITLE:x\n: 0 1 0 a\n#ENCODING:CP1250\n\xC2\xB9"},
        {"\x80 \xE4", "cp1252", "\xE2\x82\xAC \xC3\xA4"},
        // Windows-1252 leaves 0x81 undefined.
        {"a\x81", "cp1252", "a\xEF\xBF\xBD"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const DecodedSongText decoded = decodeSongText(c.bytes);
        EXPECT_EQ(decoded.encoding, c.encoding) << c.text;
        EXPECT_EQ(decoded.text, c.text) << c.encoding;
    }
    // The reader keeps the decoded text and names the encoding it used.
    const StandardSong song = readStandardSong(utf16(u"#TITLE:Ma\u00F1ana\r\n#BPM:200\r\n"
                                                     u": 0 2 0 \u00E9\r\nE\r\n",
                                                     true));
    EXPECT_EQ(song.encoding, "utf-16-be");
    EXPECT_EQ(song.title, "Ma\xC3\xB1"
                          "ana");
    EXPECT_EQ(song.voices.at(0).notes.at(0).text, "\xC3\xA9");
}

TEST(StandardSongTest, LinesEndAtAnyTerminatorAndEmptyLinesAreIgnored) {
    const StandardSong song =
        readStandardSong("\n#TITLE:T\r\n \t\n#BPM:300\r: 0 1 0 a\r\n\r\n\t\n: 2 1 0 b\n- 4\r"
                         ": 5 1 0 c\n");
    EXPECT_EQ(song.title, "T");
    EXPECT_EQ(song.skipped, 0);
    ASSERT_EQ(song.voices.size(), 1u);
    EXPECT_EQ(song.voices[0].notes,
              (std::vector{note(0, 1, 0, "a"), note(2, 1, 0, "b"), note(5, 1, 0, "c")}));
    EXPECT_EQ(song.voices[0].breaks, std::vector<std::int32_t>{4});
}

TEST(StandardSongTest, LinesSplitLikeTheGameFormatsLines) {
    // Every text of up to six characters drawn from CR, LF and a letter.
    const char alphabet[] = {'\r', '\n', 'a'};
    for (int length = 0; length <= 6; ++length) {
        int combinations = 1;
        for (int i = 0; i < length; ++i)
            combinations *= 3;
        for (int n = 0; n < combinations; ++n) {
            std::string text;
            for (int i = 0, k = n; i < length; ++i, k /= 3)
                text += alphabet[k % 3];
            EXPECT_EQ(standard::splitLines(text), splitSongLines(text)) << text;
        }
    }
}

TEST(StandardSongTest, HeaderTagsAreTrimmedMatchedIgnoringCaseAndTheFirstNonEmptyWins) {
    const StandardSong song = readStandardSong(
        "#title:\n# Title : First \n#TITLE:Second\n#ARTIST:\t A:B \t\n#MP3:song.mp3\n"
        "#VIDEO:v.mp4\n#COVER:c.png\n#BACKGROUND:bg.jpg\n#comment without colon\n"
        "#Bpm: 120,5 \n: 0 1 0 a\n#AUDIO:late.ogg\nE\n");
    EXPECT_EQ(song.title, "First");
    EXPECT_EQ(song.artist, "A:B");
    EXPECT_EQ(song.audio, "song.mp3") << "a tag below the header is not read";
    EXPECT_EQ(song.video, "v.mp4");
    EXPECT_EQ(song.cover, "c.png");
    EXPECT_EQ(song.background, "bg.jpg");
    EXPECT_EQ(song.bpmText, "120,5");
    EXPECT_EQ(song.skipped, 2) << "the line without a colon and the tag in the body";

    EXPECT_EQ(readStandardSong("#MP3:a.mp3\n#AUDIO:a.ogg\n#BPM:1\n: 0 1 0 a").audio, "a.ogg");
    EXPECT_EQ(readStandardSong("#MP3:a.mp3\n#AUDIO: \n#BPM:1\n: 0 1 0 a").audio, "a.mp3");
}

TEST(StandardSongTest, DecimalValuesAcceptACommaOrAPointAndABadBpmRefusesTheSong) {
    const std::pair<std::string, double> bpms[] = {
        {"300", 300}, {" 87,5 ", 87.5}, {"87.5", 87.5}, {"\t1,25", 1.25}, {"007", 7},
    };
    for (const auto& [text, bpm] : bpms)
        EXPECT_DOUBLE_EQ(readStandardSong("#BPM:" + text + "\n: 0 1 0 a").bpm, bpm) << text;

    const std::pair<std::string, std::string> refused[] = {
        {"#TITLE:x\n: 0 1 0 a", "The song file has no BPM"},
        {"#BPM:\n: 0 1 0 a", "The song file has no BPM"},
        {"#BPM:1,2,3\n: 0 1 0 a", "The song file's BPM '1,2,3' is not a number"},
        {"#BPM:,5\n: 0 1 0 a", "The song file's BPM ',5' is not a number"},
        {"#BPM:5,\n: 0 1 0 a", "The song file's BPM '5,' is not a number"},
        {"#BPM:+5\n: 0 1 0 a", "The song file's BPM '+5' is not a number"},
        {"#BPM:1e3\n: 0 1 0 a", "The song file's BPM '1e3' is not a number"},
        {"#BPM:0,0\n: 0 1 0 a", "The song file's BPM '0,0' is not above zero"},
        {"#BPM:-120\n: 0 1 0 a", "The song file's BPM '-120' is not above zero"},
        {"#BPM:0," + std::string(305, '0') + "1\n: 0 1 0 a",
         "The song file's BPM '0," + std::string(305, '0') + "1' is not between 1 and 10000"},
    };
    for (const auto& [text, message] : refused)
        EXPECT_EQ(refusal(text), message) << text;

    // Other values that do not read count as missing.
    const StandardSong song =
        readStandardSong("#BPM:100\n#GAP:-1,5\n#VIDEOGAP:abc\n#START:2.5x\n#END:1 000\n"
                         "#PREVIEWSTART:9e9\n: 0 1 0 a");
    EXPECT_DOUBLE_EQ(song.gapMs, -1.5);
    EXPECT_DOUBLE_EQ(song.videoGapMs, 0);
    EXPECT_DOUBLE_EQ(song.startMs, 0);
    EXPECT_FALSE(song.endMs.has_value());
    EXPECT_FALSE(song.previewStartMs.has_value());
}

TEST(StandardSongTest, NoteLinesHaveATypeThreeNumbersAndTheTextAfterOneBlank) {
    struct Case {
        std::string line;
        std::optional<StandardNote> note; // empty: the line is skipped
    };
    using enum NoteKind;
    const Case cases[] = {
        {": 10 4 20 la la", note(10, 4, 20, "la la")},
        {"* 1 2 -3 gold", note(1, 2, -3, "gold", Golden)},
        {"F 1 2 3 free", note(1, 2, 3, "free", Freestyle)},
        {"R 1 2 3 rap", note(1, 2, 3, "rap", Rap)},
        {"G 1 2 3 gr", note(1, 2, 3, "gr", GoldenRap)},
        {"  :\t10  4\t 20  la ", note(10, 4, 20, " la ")},
        {": 1 2 3", note(1, 2, 3, "")},
        {": 1 2 3 ", note(1, 2, 3, "")},
        {": -2147483648 +5 127 x", note(-2147483648, 5, 127, "x")},
        {": 1 2 3x la", std::nullopt},
        {":1 2 3 la", std::nullopt},
        {": 1 2 la", std::nullopt},
        {": 1 2", std::nullopt},
        {": 2147483648 1 0 x", std::nullopt},
        {": 1 +-2 0 x", std::nullopt},
        {": 1,5 2 0 x", std::nullopt},
        {"f 1 2 3 lower-case type", std::nullopt},
        {"X 1 2 3 unknown", std::nullopt},
    };
    for (const Case& c : cases) {
        const StandardSong song = readStandardSong(kHeader + ": 0 1 0 first\n" + c.line + "\n");
        const std::vector<StandardNote>& notes = song.voices.at(0).notes;
        if (c.note) {
            ASSERT_EQ(notes.size(), 2u) << c.line;
            EXPECT_EQ(notes[1], *c.note) << c.line;
            EXPECT_EQ(song.skipped, 0) << c.line;
        } else {
            EXPECT_EQ(notes.size(), 1u) << c.line;
            EXPECT_EQ(song.skipped, 1) << c.line;
        }
    }
}

TEST(StandardSongTest, LineBreaksResolveToAbsoluteBeatsInBothModes) {
    struct Case {
        std::string body;
        std::vector<std::int32_t> starts;
        std::vector<std::int32_t> breaks;
        int skipped;
    };
    const Case absolute[] = {
        {": 0 2 0 a\n- 5\n: 6 1 0 b\n-7 99\n: 8 1 0 c", {0, 6, 8}, {5, 7}, 0},
        // A bare break ends the line where the last note ends; before any note it is skipped.
        {"-\n: 3 4 0 a\n-  \n: 9 1 0 b", {3, 9}, {7}, 1},
        {": 0 1 0 a\n- x\n- 5 6 7\n- 5x\n--3", {0}, {-3}, 3},
    };
    for (const Case& c : absolute) {
        const StandardSong song = readStandardSong(kHeader + c.body);
        std::vector<std::int32_t> starts;
        for (const StandardNote& n : song.voices.at(0).notes)
            starts.push_back(n.startBeat);
        EXPECT_EQ(starts, c.starts) << c.body;
        EXPECT_EQ(song.voices[0].breaks, c.breaks) << c.body;
        EXPECT_EQ(song.skipped, c.skipped) << c.body;
        EXPECT_FALSE(song.relative);
    }
    // clang-format off
    const Case relative[] = {
        // The break is at offset + A; the offset grows by B, or by A when B is missing.
        {": 0 4 0 a\n- 20 24\n: 0 4 0 b\n- 8\n: 2 1 0 c\n- 5 0\n: 1 1 0 d",
         {0, 24, 34, 33}, {20, 32, 37}, 0},
        // A bare break does not move the offset.
        {": 2 3 0 a\n-\n: 6 1 0 b\n- 10 10\n: 0 1 0 c", {2, 6, 10}, {5, 10}, 0},
        // Beats beyond 32 bits skip their line.
        {": 0 1 0 a\n- 2147483647 1\n: 2147483646 1 0 b", {0, 2147483647}, {2147483647}, 0},
        {": 0 1 0 a\n- 10 2147483647\n: 1 1 0 b\n- 1", {0}, {10}, 2},
    };
    // clang-format on
    for (const Case& c : relative) {
        const StandardSong song = readStandardSong("#relative: yes \n" + kHeader + c.body);
        EXPECT_TRUE(song.relative);
        std::vector<std::int32_t> starts;
        for (const StandardNote& n : song.voices.at(0).notes)
            starts.push_back(n.startBeat);
        EXPECT_EQ(starts, c.starts) << c.body;
        EXPECT_EQ(song.voices[0].breaks, c.breaks) << c.body;
        EXPECT_EQ(song.skipped, c.skipped) << c.body;
    }
}

std::vector<std::string> voiceSummary(const StandardSong& song) {
    std::vector<std::string> out;
    for (const StandardVoice& v : song.voices) {
        std::string s = v.name + ":";
        for (const StandardNote& n : v.notes)
            s += " " + n.text;
        for (const std::int32_t b : v.breaks)
            s += " /" + std::to_string(b);
        out.push_back(s);
    }
    return out;
}

TEST(StandardSongTest, VoiceMarkersSplitTheBodyIntoNamedVoices) {
    struct Case {
        std::string text;
        std::vector<std::string> voices;
        int skipped;
    };
    const Case cases[] = {
        {kHeader + ": 0 1 0 a\n- 2\n: 3 1 0 b", {": a b /2"}, 0},
        // Lines before the first marker are the first voice's; names from #Pn, then
        // #DUETSINGERPn, then "Pn".
        {"#P2:Bob\n#DUETSINGERP1:Ann\n#DUETSINGERP2:Ben\n" + kHeader +
             ": 0 1 0 a\np 2\n: 1 1 0 b\nP1\n: 2 1 0 c",
         {"Ann: a c", "Bob: b"},
         0},
        // Without a version "P3" is both voices, each with its own relative offset.
        {"#RELATIVE:YES\n" + kHeader +
             "P1\n: 0 1 0 a\n- 10\nP2\n: 0 1 0 b\nP3\n: 1 1 0 both\n-\nP4\nP0",
         {"P1: a both /10 /12", "P2: b both /2"},
         2},
        // From version 1 on the markers number up to nine voices; a marker without notes makes
        // no voice, and a skipped marker leaves the lines with the voice before it.
        {"#VERSION:1.0.0\n" + kHeader +
             "P3\n: 0 1 0 three\nP2\nP9\n: 0 1 0 nine\nP10\nP\nPx\n: 5 1 0 still",
         {"P3: three", "P9: nine still"},
         3},
        {"#VERSION:0.3.0\n" + kHeader + "P3\n: 0 1 0 both", {"P1: both", "P2: both"}, 0},
    };
    for (const Case& c : cases) {
        const StandardSong song = readStandardSong(c.text);
        EXPECT_EQ(voiceSummary(song), c.voices) << c.text;
        EXPECT_EQ(song.skipped, c.skipped) << c.text;
    }
}

TEST(StandardSongTest, TheEndLineEndsTheSongAndOnlyANoteLessSongIsRefused) {
    const StandardSong song =
        readStandardSong(kHeader + ": 0 1 0 a\ngarbage\n# body comment\n E \t\n: 5 1 0 never\n");
    EXPECT_EQ(voiceSummary(song), std::vector<std::string>{": a"});
    EXPECT_EQ(song.skipped, 2);
    EXPECT_EQ(refusal(kHeader + "- 5\nE\n: 0 1 0 after the end"), "The song file has no notes");
    EXPECT_EQ(refusal(kHeader), "The song file has no notes");
    EXPECT_EQ(refusal(""), "The song file has no BPM");
}

TEST(StandardSongTest, TimesFollowTheVersionsUnits) {
    struct Case {
        std::string version;
        double beatMs;
        double secondsScale; // START, VIDEOGAP and PREVIEWSTART
    };
    // clang-format off
    const Case cases[] = {
        {"", 50, 1000}, {"#VERSION:1.2.0\n", 50, 1000}, {"#VERSION:2.0.0\n", 200, 1},
        {"#VERSION:10\n", 200, 1}, {"#VERSION:beta\n", 50, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        const StandardSong song =
            readStandardSong(c.version + "#BPM:300\n#GAP:1234,5\n#START:2,5\n#END:90000\n"
                                         "#VIDEOGAP:-0.5\n#PREVIEWSTART:40\n: 7 3 0 a");
        if (c.version == "#VERSION:beta\n") {
            EXPECT_DOUBLE_EQ(song.beatMs, 50);
            EXPECT_DOUBLE_EQ(song.startMs, 2500) << "an unreadable version is no version";
            continue;
        }
        EXPECT_DOUBLE_EQ(song.beatMs, c.beatMs) << c.version;
        EXPECT_DOUBLE_EQ(song.gapMs, 1234.5);
        EXPECT_DOUBLE_EQ(*song.endMs, 90000);
        EXPECT_DOUBLE_EQ(song.startMs, 2.5 * c.secondsScale) << c.version;
        EXPECT_DOUBLE_EQ(song.videoGapMs, -0.5 * c.secondsScale) << c.version;
        EXPECT_DOUBLE_EQ(*song.previewStartMs, 40 * c.secondsScale) << c.version;
        EXPECT_DOUBLE_EQ(song.beatToMs(7), 1234.5 + 7 * c.beatMs) << c.version;
    }
}

TEST(StandardSongTest, ImplausibleNumbersRefuseTheSongOrSkipTheirNote) {
    struct Case {
        std::string text;
        std::string refusal; // empty: the song is read
        int skipped = 0;
    };
    const std::string notes = ": 0 1 0 a\n";
    const std::string big(400, '9');
    const Case cases[] = {
        // The tempo as written, whatever beat length the version makes of it.
        {"#BPM:1\n" + notes, ""},
        {"#BPM:10000\n" + notes, ""},
        {"#VERSION:2.0.0\n#BPM:10000,0\n" + notes, ""},
        {"#BPM:0,999\n" + notes, "The song file's BPM '0,999' is not between 1 and 10000"},
        {"#BPM:10000,01\n" + notes, "The song file's BPM '10000,01' is not between 1 and 10000"},
        {"#BPM:" + big + "\n" + notes,
         "The song file's BPM '" + big + "' is not between 1 and 10000"},
        // Offsets in ms after the units, 24 hours either way; GAP and END were always in ms.
        {"#BPM:300\n#GAP:86400000\n#END:-86400000\n" + notes, ""},
        {"#BPM:300\n#START:86400\n#VIDEOGAP:-86400\n#PREVIEWSTART:86400\n" + notes, ""},
        {"#BPM:300\n#GAP:86400000,5\n" + notes,
         "The song file's GAP '86400000,5' is beyond 24 hours"},
        {"#BPM:300\n#END:-86400001\n" + notes,
         "The song file's END '-86400001' is beyond 24 hours"},
        {"#BPM:300\n#START:86400,001\n" + notes,
         "The song file's START '86400,001' is beyond 24 hours"},
        {"#VERSION:2.0.0\n#BPM:300\n#START:86400001\n" + notes,
         "The song file's START '86400001' is beyond 24 hours"},
        {"#BPM:300\n#VIDEOGAP:-86401\n" + notes,
         "The song file's VIDEOGAP '-86401' is beyond 24 hours"},
        {"#BPM:300\n#previewstart:-" + big + "\n" + notes,
         "The song file's PREVIEWSTART '-" + big + "' is beyond 24 hours"},
        // A note outside the pitch range or running backwards is skipped; a zero length stays.
        {"#BPM:300\n: 0 0 -128 a\n: 1 0 127 b\n", "", 0},
        {"#BPM:300\n" + notes + ": 1 1 -129 x\n: 2 1 128 x\n: 3 -1 0 x\n", "", 3},
        {"#BPM:300\nP3\n" + notes + ": 1 1 200 x\n", "", 1},
        {"#BPM:300\n: 1 -1 0 x\n: 2 1 999 x\n", "The song file has no notes"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(refusal(c.text), c.refusal) << c.text;
        if (!c.refusal.empty())
            continue;
        const StandardSong song = readStandardSong(c.text);
        EXPECT_EQ(song.skipped, c.skipped) << c.text;
        for (const StandardVoice& voice : song.voices)
            for (const StandardNote& n : voice.notes)
                EXPECT_TRUE(n.pitch >= -128 && n.pitch <= 127 && n.length >= 0) << c.text;
    }
}

} // namespace
