// The phone's messages as the game reads them and the game's as the page reads them: every rule
// of a join, a clock answer and a sound frame, and what any frame or join reads back as.

#include "phones/phone_protocol.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace cantorix::phones;

namespace {

const JoinRequest* joinOf(const ParsedText& parsed) {
    return parsed.message ? std::get_if<JoinRequest>(&*parsed.message) : nullptr;
}

// A song book's request read (a microphone's message reads as an empty hello).
cantorix::party::GuestRequest guestRequestOf(const PhoneText& text) {
    return std::visit(
        [](const auto& m) -> cantorix::party::GuestRequest {
            if constexpr (std::is_constructible_v<cantorix::party::GuestRequest, decltype(m)>)
                return m;
            else
                return cantorix::party::GuestHello{};
        },
        text);
}

} // namespace

// Each line: the text, and the name it joins under ("" when it is refused).
TEST(PhoneProtocolTest, JoinsFollowTheirRules) {
    const std::string replacement = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {R"({"type":"join","name":" Anna ","slot":3,"rate":48000})", "Anna"},
        {R"({"type":"join","name":"Bo","slot":8.0,"rate":8000,"resume":""})", "Bo"},
        {R"({"type":"join","name":"Bo","slot":1,"rate":96000,"resume":"09af"})", "Bo"},
        {R"({"type":"join","name":"Bo","slot":1,"rate":44100,"resume":null})", "Bo"},
        {R"({"type":"join","name":"Eve\u202Elive\u0000","slot":2,"rate":16000})", "Evelive"},
        {"{\"type\":\"join\",\"name\":\"Ann\xFF\",\"slot\":2,\"rate\":16000}", "Ann" + replacement},
        {R"({"type":"join","name":"Ann\ud800","slot":2,"rate":16000})", "Ann?"},
        {R"({"type":"join","name":"Bo","slot":0,"rate":48000})", ""},
        {R"({"type":"join","name":"Bo","slot":9,"rate":48000})", ""},
        {R"({"type":"join","name":"Bo","slot":2.5,"rate":48000})", ""},
        {R"({"type":"join","name":"Bo","slot":"2","rate":48000})", ""},
        {R"({"type":"join","name":"Bo","slot":2,"rate":7999})", ""},
        {R"({"type":"join","name":"Bo","slot":2,"rate":96001})", ""},
        {R"({"type":"join","name":"Bo","slot":2,"rate":44100.5})", ""},
        {R"({"type":"join","name":"Bo","slot":2})", ""},
        {R"({"type":"join","name":" \t\u200B ","slot":2,"rate":48000})", ""},
        {R"({"type":"join","name":42,"slot":2,"rate":48000})", ""},
        {R"({"type":"join","slot":2,"rate":48000})", ""},
        {R"({"type":"join","name":"Bo","slot":2,"rate":48000,"resume":"09AF"})", ""},
        {R"({"type":"join","name":"Bo","slot":2,"rate":48000,"resume":7})", ""},
        {R"({"type":"join","name":"Bo","slot":2,"rate":48000,"resume":")" + std::string(65, 'a') +
             "\"}",
         ""},
    };
    for (const auto& [text, name] : cases) {
        const ParsedText parsed = parsePhoneText(text);
        const JoinRequest* join = joinOf(parsed);
        EXPECT_EQ(join ? join->name : "", name) << text;
        EXPECT_EQ(parsed.problem.empty(), join != nullptr) << text;
        if (!parsed.problem.empty()) {
            EXPECT_EQ(parsed.problem.back(), '.') << parsed.problem;
        }
    }
}

TEST(PhoneProtocolTest, OtherTextsAreReadOrRefusedWithAReason) {
    const std::pair<std::string, bool> cases[] = {
        {R"({"type":"clock","id":4294967295,"phone":-3600.25})", true},
        {R"({"type":"clock","id":0,"phone":1e6})", true},
        {R"({"type":"leave"})", true},
        {R"({"type":"clock","id":4294967296,"phone":1})", false},
        {R"({"type":"clock","id":-1,"phone":1})", false},
        {R"({"type":"clock","id":1.5,"phone":1})", false},
        {R"({"type":"clock","id":1,"phone":"1"})", false},
        {R"({"type":"clock","id":1})", false},
        {R"({"type":"dance"})", false},
        {R"({"name":"Bo"})", false},
        {R"(["join"])", false},
        {R"({"type":"leave")", false},
        {"", false},
        {R"({"type":"leave","pad":")" + std::string(kMaxTextMessageBytes, 'x') + "\"}", false},
    };
    for (const auto& [text, read] : cases) {
        const ParsedText parsed = parsePhoneText(text);
        EXPECT_EQ(parsed.message.has_value(), read) << text;
        EXPECT_EQ(parsed.problem.empty(), read) << text;
    }
    const ParsedText answer =
        parsePhoneText(R"({"type":"clock","id":4294967295,"phone":-3600.25})");
    ASSERT_TRUE(answer.message);
    EXPECT_EQ(std::get<ClockAnswer>(*answer.message).id, 4294967295u);
    EXPECT_EQ(std::get<ClockAnswer>(*answer.message).phoneSeconds, -3600.25);
}

TEST(PhoneProtocolTest, NamesAreCutNotRefused) {
    EXPECT_EQ(cleanPhoneName(std::string(10000, 'x')), std::string(kMaxPhoneNameCharacters, 'x'));
    std::string longName;
    for (int i = 0; i < 1300; ++i)
        longName += "é";
    const ParsedText parsed =
        parsePhoneText(R"({"type":"join","name":")" + longName + R"(","slot":1,"rate":48000})");
    ASSERT_NE(joinOf(parsed), nullptr) << parsed.problem;
    EXPECT_EQ(joinOf(parsed)->name, longName.substr(0, 2 * kMaxPhoneNameCharacters));
}

TEST(PhoneProtocolTest, FramesAreLittleEndianAndBounded) {
    // Sequence 0x04030201, the stamp 1.5 (0x3FF8000000000000), samples -2 and 0x1234.
    const std::vector<std::uint8_t> bytes = {1, 2, 3,    4,    0,    0,    0,    0,
                                             0, 0, 0xF8, 0x3F, 0xFE, 0xFF, 0x34, 0x12};
    const ParsedFrame read = parseAudioFrame(bytes.data(), bytes.size());
    ASSERT_TRUE(read.frame) << read.problem;
    EXPECT_EQ(read.frame->sequence, 0x04030201u);
    EXPECT_EQ(read.frame->firstSampleSeconds, 1.5);
    EXPECT_EQ(read.frame->samples, (std::vector<std::int16_t>{-2, 0x1234}));

    const auto withStampByte = [&](std::uint8_t high) {
        auto changed = bytes;
        changed[11] = high; // 0x7FF8…: not a number, 0x7FF0… with zeros: infinity
        changed[10] = high == 0x7F ? 0xF0 : changed[10];
        return changed;
    };
    const std::pair<std::vector<std::uint8_t>, bool> cases[] = {
        {std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 11), false},
        {std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12), false},
        {std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 15), false},
        {withStampByte(0x7F), false},
        {std::vector<std::uint8_t>(kAudioFrameHeaderBytes + 2 * kMaxFrameSamples, 0), true},
        {std::vector<std::uint8_t>(kAudioFrameHeaderBytes + 2 * kMaxFrameSamples + 2, 0), false},
    };
    for (const auto& [frame, read] : cases) {
        const ParsedFrame parsed = parseAudioFrame(frame.data(), frame.size());
        EXPECT_EQ(parsed.frame.has_value(), read) << frame.size();
        EXPECT_EQ(parsed.problem.empty(), read) << frame.size();
    }
}

// Any frame the page writes reads back the same, from any byte alignment; any join likewise.
TEST(PhoneProtocolTest, WrittenMessagesReadBackTheSame) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    for (int i = 0; i < 300; ++i) {
        AudioFrame frame;
        frame.sequence = static_cast<std::uint32_t>(random());
        frame.firstSampleSeconds = std::ldexp(static_cast<double>(random()), i % 40 - 20) - 1e3;
        frame.samples.resize(1 + random() % kMaxFrameSamples);
        for (auto& value : frame.samples)
            value = static_cast<std::int16_t>(sample(random));
        const std::vector<std::uint8_t> bytes = writeAudioFrame(frame);
        std::vector<std::uint8_t> shifted(bytes.size() + 1);
        std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
        const ParsedFrame read = parseAudioFrame(shifted.data() + 1, bytes.size());
        ASSERT_TRUE(read.frame) << read.problem;
        EXPECT_EQ(read.frame->sequence, frame.sequence);
        EXPECT_EQ(read.frame->firstSampleSeconds, frame.firstSampleSeconds);
        EXPECT_EQ(read.frame->samples, frame.samples);

        JoinRequest join{std::string(1 + i % 20, static_cast<char>('a' + i % 26)) + "\"\\/",
                         1 + random() % 8, 8000 + static_cast<int>(random() % 88001),
                         i % 2 ? std::string(i % 65, 'f') : ""};
        const ParsedText parsed = parsePhoneText(joinMessage(join));
        ASSERT_NE(joinOf(parsed), nullptr) << parsed.problem;
        EXPECT_EQ(joinOf(parsed)->name, join.name);
        EXPECT_EQ(joinOf(parsed)->slot, join.slot);
        EXPECT_EQ(joinOf(parsed)->sampleRate, join.sampleRate);
        EXPECT_EQ(joinOf(parsed)->resumeToken, join.resumeToken);
    }
}

TEST(PhoneProtocolTest, GameMessagesAreCompactEscapedJson) {
    EXPECT_EQ(welcomeMessage(3, "A\"n\\a", "#ffcc00", "0a1b"),
              R"({"colour":"#ffcc00","name":"A\"n\\a","resume":"0a1b","slot":3,"type":"welcome"})");
    EXPECT_EQ(refusedMessage("Full.\n"), R"({"reason":"Full.\n","type":"refused"})");
    EXPECT_EQ(lyricMessage("</script>\x01"), R"({"text":"</script>\u0001","type":"lyric"})");
    EXPECT_EQ(clockPing(4294967295u), R"({"id":4294967295,"type":"clock"})");
    EXPECT_EQ(pointsMessage(-12), R"({"points":-12,"type":"points"})");
    EXPECT_EQ(singerMessage("Bo", "#0000ff"),
              R"({"colour":"#0000ff","name":"Bo","type":"singer"})");
    EXPECT_EQ(noticeMessage("é"), R"({"text":"é","type":"notice"})");
    EXPECT_EQ(clockAnswerMessage({7, 12.345678}), R"({"id":7,"phone":12.345678,"type":"clock"})");
}

// A song book's requests: each line is the text and the problem it is refused with ("" when it
// is read); what is read writes back as the same request.
TEST(PhoneProtocolTest, GuestRequestsAreReadOrRefusedAndReadBackTheSame) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"type":"guest","name":"Ann","token":"0a1b"})", ""},
        {R"({"type":"guest","name":"","host":"ff00"})", ""},
        {R"({"type":"guest"})", ""},
        {R"({"type":"guest","name":7})", "Type your name first."},
        {R"({"type":"guest","name":"Ann","token":"../etc"})",
         "The code to find your songs again is not valid."},
        {R"({"type":"add","song":"00ab00ab00ab00ab"})", ""},
        {R"({"type":"add","song":"00ab","partner":3,"partnerName":"Ben","voice":1})", ""},
        {R"({"type":"add","song":""})", "That song is not in the song book."},
        {R"({"type":"add","song":"00ab","voice":2})",
         "A duet has two voices: choose the first or the second."},
        {R"({"type":"add","song":"00ab","partner":-1})", "Your partner is not in line."},
        {R"({"type":"medley","songs":10})", ""},
        {R"({"type":"medley","songs":2})", "A medley has 3 to 10 songs."},
        {R"({"type":"medley"})", "A medley has 3 to 10 songs."},
        {R"({"type":"remove","entry":12})", ""},
        {R"({"type":"later","entry":1.5})", "That song is no longer in the queue."},
        {R"({"type":"host","action":"move","entry":4,"index":0})", ""},
        {R"({"type":"host","action":"clear"})", ""},
        {R"({"type":"host","action":"next"})", "That song is no longer in the queue."},
        {R"({"type":"host","action":"shutdown"})", "The game does not know that action."},
    };
    for (const auto& [text, problem] : cases) {
        const ParsedText parsed = parsePhoneText(text);
        EXPECT_EQ(parsed.problem, problem) << text;
        if (!parsed.message)
            continue;
        ASSERT_TRUE(isGuestText(*parsed.message)) << text;
        const cantorix::party::GuestRequest request = guestRequestOf(*parsed.message);
        const ParsedText again = parsePhoneText(guestRequestMessage(request));
        ASSERT_TRUE(again.message) << text;
        EXPECT_EQ(guestRequestMessage(guestRequestOf(*again.message)), guestRequestMessage(request))
            << text;
    }
}
