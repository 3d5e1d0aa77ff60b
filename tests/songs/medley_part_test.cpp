#include "song_corpus.h"
#include "songs/medley_part.h"

#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace cantorix::songs {
namespace {

// A song of lyric lines 5 s apart (50 beats of 100 ms, after a 1 s gap), each line four notes of
// 1 s, one a word: line i sings from 1000 + 5000 i to 1000 + 5000 i + 4000 ms.
// (A version 2 song is given BPM 600 for the same 100 ms beat.)
std::string songText(const std::vector<std::string>& lines, const std::string& tags = "") {
    std::ostringstream text;
    const bool versionTwo = tags.find("#VERSION:2") != std::string::npos;
    text << "#TITLE:T\n#ARTIST:A\n#BPM:" << (versionTwo ? 600 : 150) << "\n#GAP:1000\n" << tags;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text << "- " << 50 * i - 5 << "\n";
        std::istringstream words(lines[i]);
        std::string word;
        for (int k = 0; words >> word; ++k)
            text << ": " << 50 * i + 10 * k << " 10 0 " << (k ? " " : "") << word << "\n";
    }
    text << "E\n";
    return text.str();
}

double lineStartMs(std::size_t line) {
    return 1000.0 + 5000.0 * static_cast<double>(line);
}
double lineEndMs(std::size_t line) {
    return lineStartMs(line) + 4000;
}

const std::vector<std::string> kPlainLines = {"a b c d", "e f g h", "i j k l", "m n o p",
                                              "q r s t", "u v w x", "y z a b", "c d e f"};

TEST(MedleyPart, TagsAreSnappedToWholeLinesOrIgnoredWithTheirReason) {
    struct Case {
        const char* name;
        std::string tags;
        std::optional<std::pair<std::size_t, std::size_t>> lines; // first and last line
        const char* problem;                                      // a fragment; "" for none
    };
    const Case cases[] = {
        {"first note to last note's start", "#MEDLEYSTARTBEAT:100\n#MEDLEYENDBEAT:180\n",
         std::pair{2u, 3u}, ""},
        {"first note to last note's end", "#MEDLEYSTARTBEAT:100\n#MEDLEYENDBEAT:190\n",
         std::pair{2u, 3u}, ""},
        {"from the pause before a line", "#MEDLEYSTARTBEAT:95\n#MEDLEYENDBEAT:190\n",
         std::pair{2u, 3u}, ""},
        {"cutting both lines", "#MEDLEYSTARTBEAT:115\n#MEDLEYENDBEAT:165\n", std::pair{2u, 3u},
         "cuts a line"},
        {"milliseconds, version 2", "#VERSION:2.0.0\n#MEDLEYSTART:11000\n#MEDLEYEND:20000\n",
         std::pair{2u, 3u}, ""},
        {"beyond the last note", "#MEDLEYSTARTBEAT:300\n#MEDLEYENDBEAT:99999999\n",
         std::pair{6u, 7u}, "beyond the song's notes"},
        {"ending before it starts", "#MEDLEYSTARTBEAT:200\n#MEDLEYENDBEAT:100\n", std::nullopt,
         "not after it starts"},
        {"outside the notes", "#MEDLEYSTARTBEAT:900\n#MEDLEYENDBEAT:1000\n", std::nullopt,
         "holds no note"},
        {"one end only", "#MEDLEYSTARTBEAT:100\n", std::nullopt, "only one end"},
        {"an end that is no number", "#MEDLEYSTARTBEAT:100\n#MEDLEYENDBEAT:soon\n", std::nullopt,
         "only one end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MedleyFinding found =
            findMedleyPart(readStandardSong(songText(kPlainLines, c.tags + "#CALCMEDLEY:off\n")));
        if (c.lines) {
            ASSERT_TRUE(found.part);
            EXPECT_DOUBLE_EQ(found.part->fromMs, lineStartMs(c.lines->first));
            EXPECT_DOUBLE_EQ(found.part->toMs, lineEndMs(c.lines->second));
            EXPECT_EQ(found.part->source, MedleySource::Tags);
        } else {
            EXPECT_FALSE(found.part);
        }
        if (*c.problem) {
            ASSERT_EQ(found.problems.size(), 1u);
            EXPECT_NE(found.problems[0].find(c.problem), std::string::npos) << found.problems[0];
        } else {
            EXPECT_TRUE(found.problems.empty()) << found.problems[0];
        }
    }
}

TEST(MedleyPart, TheRefrainIsTheFirstLongestRunOfLinesThatComesBack) {
    const std::vector<std::string> chorus = {"oh la la la", "sing it out loud",
                                             "all the night long", "oh la la la"};
    const auto song = [&](const std::vector<std::vector<std::string>>& parts) {
        std::vector<std::string> lines;
        for (const auto& part : parts)
            lines.insert(lines.end(), part.begin(), part.end());
        return lines;
    };
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        std::string tags;
        std::optional<std::pair<std::size_t, std::size_t>> part;
    };
    const std::vector<std::string> verse1 = {"a b c d", "e f g h", "i j k l"},
                                   verse2 = {"m n o p", "q r s t", "u v w x"};
    const Case cases[] = {
        {"verse, chorus, verse, chorus", song({verse1, chorus, verse2, chorus}), "",
         std::pair{3u, 6u}},
        {"the chorus again in other case, accents, blanks and held syllables",
         song({verse1,
               chorus,
               verse2,
               {"Oh LÁ la~ la", "sing it~ out LOUD", "ALL thé níght long", "oh la~ la la"}}),
         "", std::pair{3u, 6u}},
        {"a repeat too short to be a refrain",
         song({verse1, {"x y", "z w"}, verse2, {"x y", "z w"}}), "", std::nullopt},
        {"the song asks for none", song({verse1, chorus, verse2, chorus}), "#CALCMEDLEY:OFF\n",
         std::nullopt},
        {"usable tags win", song({verse1, chorus, verse2, chorus}),
         "#MEDLEYSTARTBEAT:0\n#MEDLEYENDBEAT:140\n", std::pair{0u, 2u}},
        {"tags ignored, the refrain taken", song({verse1, chorus, verse2, chorus}),
         "#MEDLEYSTARTBEAT:140\n#MEDLEYENDBEAT:0\n", std::pair{3u, 6u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MedleyFinding found = findMedleyPart(readStandardSong(songText(c.lines, c.tags)));
        if (!c.part) {
            EXPECT_FALSE(found.part);
            continue;
        }
        ASSERT_TRUE(found.part);
        EXPECT_DOUBLE_EQ(found.part->fromMs, lineStartMs(c.part->first));
        EXPECT_DOUBLE_EQ(found.part->toMs, lineEndMs(c.part->second));
    }
}

// Every run, every later occurrence, by brute force: what findRefrain must agree with.
std::optional<LineRun> refrainByEveryRun(const std::vector<RefrainLine>& lines) {
    std::optional<LineRun> best;
    double bestMs = 0;
    const std::size_t n = lines.size();
    const auto flows = [&](std::size_t from, std::size_t count) {
        double end = lines[from].endMs;
        for (std::size_t k = from + 1; k < from + count; ++k) {
            if (lines[k].startMs - end > kRefrainLongestPauseMs)
                return false;
            end = std::max(end, lines[k].endMs);
        }
        return true;
    };
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t count = 1; i + count <= n; ++count) {
            double end = 0;
            for (std::size_t k = 0; k <= i + count - 1; ++k)
                end = std::max(end, lines[k].endMs);
            const double ms = end - lines[i].startMs;
            if (ms < kRefrainShortestMs || ms > kRefrainLongestMs || !flows(i, count))
                continue;
            for (std::size_t j = i + count; j + count <= n; ++j) {
                bool same = flows(j, count);
                for (std::size_t k = 0; same && k < count; ++k)
                    same = lines[i + k].lyrics != RefrainLine::kNoLyrics &&
                           lines[i + k].lyrics == lines[j + k].lyrics;
                if (same && (!best || ms > bestMs)) {
                    best = LineRun{i, count};
                    bestMs = ms;
                }
            }
        }
    return best;
}

TEST(MedleyPart, TheRefrainSearchAgreesWithTryingEveryRunOnGeneratedSongs) {
    std::mt19937 random(20261210);
    int found = 0;
    for (int song = 0; song < 3000; ++song) {
        std::vector<RefrainLine> lines;
        double at = 0;
        const std::size_t count = 2 + random() % 24;
        for (std::size_t i = 0; i < count; ++i) {
            // Mostly short pauses, now and then an instrumental break.
            at += random() % 10 == 0 ? 10'500 : (random() % 4) * 700.0;
            const double length = 1000.0 + (random() % 8) * 1000.0;
            lines.push_back({static_cast<std::uint32_t>(random() % 4), at, at + length});
            at += length;
        }
        const std::optional<LineRun> expected = refrainByEveryRun(lines);
        ASSERT_EQ(findRefrain(lines), expected) << "song " << song;
        found += expected.has_value();
    }
    // The generated songs are neither all with nor all without a refrain.
    EXPECT_GT(found, 300);
    EXPECT_LT(found, 2700);
}

TEST(MedleyPart, APartKeepsEachVoicesWholeLinesWithinItOnTheSongsClock) {
    const StandardSong song =
        readStandardSong("#TITLE:T\n#ARTIST:A\n#BPM:150\n#GAP:1000\n"
                         "P1\n: 0 10 0 one\n- 15\n: 20 10 0 two\n- 35\n: 40 10 0 three\n"
                         "P2\n: 5 10 0 uno\n- 18\n: 19 30 0 dos\n- 60\n: 60 10 0 tres\nE\n");
    // Voice 1's second line; voice 2's "dos" sounds within it.
    const MedleyPart part{3000, 4000, MedleySource::Tags};
    const StandardSong cut = medleyPartOf(song, part);
    ASSERT_EQ(cut.voices.size(), 2u);
    ASSERT_EQ(cut.voices[0].notes.size(), 1u);
    EXPECT_EQ(cut.voices[0].notes[0].text, "two");
    EXPECT_TRUE(cut.voices[0].breaks.empty());
    ASSERT_EQ(cut.voices[1].notes.size(), 1u);
    EXPECT_EQ(cut.voices[1].notes[0].startBeat, 19);
    EXPECT_EQ(cut.gapMs, song.gapMs);
    // Both ends of a stretch spanning voice 1's last two lines, with the break between them.
    const StandardSong two = medleyPartOf(song, {3000, 6000, MedleySource::Refrain});
    EXPECT_EQ(two.voices[0].notes.size(), 2u);
    EXPECT_EQ(two.voices[0].breaks, std::vector<std::int32_t>{35});
}

std::string partLyrics(const StandardSong& song, const MedleyPart& part) {
    std::string text;
    const StandardSong cut = medleyPartOf(song, part);
    for (const StandardNote& note : cut.voices[0].notes)
        text += note.text;
    return text;
}

TEST(MedleyPart, RealSongsGiveTheirTaggedPartOrTheirChorus) {
    struct Case {
        const char* file;
        MedleySource source;
        const char* begins; // the part's lyrics begin and end so
        const char* ends;
    };
    const Case cases[] = {
        {"OChristmasTree-MedleyStart-MedleyEnd", MedleySource::Tags, "OChristmastree,",
         "mostlovely"},
        {"Space Invaders", MedleySource::Refrain, "Space invaders,", "take me home?"},
        {"Perfekte Welle", MedleySource::Refrain, "Jetzt kommt sie", "du sagst~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::filesystem::path file;
        if (const std::string skip = test::findCorpusFile(c.file, file); !skip.empty())
            GTEST_SKIP() << skip;
        const StandardSong song = readStandardSong(test::readCorpusBytes(file));
        const MedleyFinding found = findMedleyPart(song);
        ASSERT_TRUE(found.part);
        EXPECT_TRUE(found.problems.empty());
        EXPECT_EQ(found.part->source, c.source);
        const std::string lyrics = partLyrics(song, *found.part);
        EXPECT_TRUE(lyrics.starts_with(c.begins)) << lyrics;
        EXPECT_TRUE(lyrics.ends_with(c.ends)) << lyrics;
    }
    // The song that asks for none gets none.
    std::filesystem::path file;
    if (test::findCorpusFile("All Star", file).empty()) {
        EXPECT_FALSE(findMedleyPart(readStandardSong(test::readCorpusBytes(file))).part);
    }
}

} // namespace
} // namespace cantorix::songs
