#pragma once
// What a phone and the game say to each other over the phone's secure WebSocket, parsed and
// written here so the server, the page's tests and the fuzzer share one reading of it.
//
// Phone to game, text (a JSON object of at most kMaxTextMessageBytes):
//   {"type":"join","name":"Anna","slot":3,"rate":48000,"resume":"<token>"}
//       slot 1..8 as the join code named it; rate: the page's audio sample rate, 8000..96000;
//       resume: the token of an earlier welcome, to take the seat back after a dropout (absent
//       or empty on the first join).
//   {"type":"clock","id":7,"phone":12.345678}
//       the answer to the game's clock ping id: the page's audio clock, in seconds, read as it
//       answered. The game relates it to its own clock from the round trip.
//   {"type":"leave"}
// A song book's connection (never a microphone: it holds no slot) says first who it is, then
// asks the queue for songs:
//   {"type":"guest","name":"Anna","token":"<token>","host":"<host key>"}
//       name empty: the phone only looks at the queue; token: the one an earlier welcome gave
//       (absent or empty the first time); host: the key of the host's code, when it opened that.
//   {"type":"add","song":"<song id>","partner":3,"partnerName":"Ben","voice":0}
//       partner: a guest in line, or partnerName: a name typed on the spot; voice: the guest's
//       voice of a duet, 0 or 1; each optional.
//   {"type":"remove","entry":12}   {"type":"later","entry":12}     the guest's own songs
//   {"type":"host","action":"next|move|remove|clear|pause|resume|start|skip","entry":12,
//    "index":0}                    the host's actions, from the phone that opened the host's code
// Phone to game, binary: one audio frame, little-endian:
//   u32 sequence (0 for the first frame after each welcome, then +1 per frame),
//   f64 the audio clock, in seconds, of the frame's first sample,
//   i16 samples, mono, at the joined rate: 1 to kMaxFrameSamples of them (10–20 ms in practice).
// Game to phone, text:
//   {"type":"welcome","slot":3,"name":"Anna","colour":"#ffcc00","resume":"<token>"}
//   {"type":"refused","reason":"…"}        the socket closes after it
//   {"type":"notice","text":"…"}           a problem the page shows; the phone stays joined
//   {"type":"clock","id":7}                a clock ping; answer at once
//   {"type":"singer","name":"…","colour":"#rrggbb"}   the slot's singer changed on the screen
//   {"type":"lyric","text":"…"}            the line being sung now (empty: none)
//   {"type":"points","points":123}         the singer's points so far
// To a song book's connection:
//   {"type":"guest","guest":3,"name":"Anna","token":"<token>","host":false}
//   {"type":"queue","rows":[{"entry":12,"artist":"…","title":"…","gone":false,
//     "singers":["Anna","Ben"],"startsIn":95000,"mine":true}],"guests":[{"id":3,"name":"Anna"}],
//     "paused":false,"next":"You're next: …","gone":"…","most":3}
//   {"type":"answer","text":"…"}          a request refused, or done
//   {"type":"up","slot":3}                 the guest's turn: a tap joins slot 3 as a microphone
// Names and lyrics are untrusted text: the page shows them through textContent only.

#include "party/guest_messages.h"
#include "party/song_book.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cantorix::phones {

inline constexpr std::size_t kMaxTextMessageBytes = 4096;
inline constexpr std::size_t kMaxFrameSamples = 4096;
inline constexpr std::size_t kAudioFrameHeaderBytes = 12;
// The largest message of either kind: what the WebSocket is set to accept, frame and message.
inline constexpr std::size_t kMaxMessageBytes = kAudioFrameHeaderBytes + 2 * kMaxFrameSamples;
inline constexpr int kLowestSampleRate = 8000;
inline constexpr int kHighestSampleRate = 96000;
// A phone's name as shown and sung under: cleaned as players' names are, then cut.
inline constexpr std::size_t kMaxPhoneNameCharacters = 32;

struct JoinRequest {
    std::string name;     // cleaned and cut already
    std::size_t slot = 0; // 1..8
    int sampleRate = 0;
    std::string resumeToken; // empty: a first join
};

struct ClockAnswer {
    std::uint32_t id = 0;
    double phoneSeconds = 0;
};

struct LeaveRequest {};

using PhoneText =
    std::variant<JoinRequest, ClockAnswer, LeaveRequest, party::GuestHello, party::AddSongRequest,
                 party::AddMedleyRequest, party::EntryRequest, party::HostRequest>;
// Whether a message is one of a song book's connection's (the others are a microphone's).
bool isGuestText(const PhoneText& text);

// A text message read, or why it was refused (a sentence the page shows the guest).
struct ParsedText {
    std::optional<PhoneText> message;
    std::string problem;
};
ParsedText parsePhoneText(std::string_view utf8);

struct AudioFrame {
    std::uint32_t sequence = 0;
    double firstSampleSeconds = 0;
    std::vector<std::int16_t> samples;
};

struct ParsedFrame {
    std::optional<AudioFrame> frame;
    std::string problem;
};
// Reads a binary message; refuses a header that is short, a stamp that is not finite, an odd or
// empty sample count and more than kMaxFrameSamples samples.
ParsedFrame parseAudioFrame(const std::uint8_t* bytes, std::size_t size);
// The same frame as the page writes it: for tests and the test client.
std::vector<std::uint8_t> writeAudioFrame(const AudioFrame& frame);

// The game's messages, as JSON text. Colours are "#rrggbb".
std::string welcomeMessage(std::size_t slot, std::string_view name, std::string_view colour,
                           std::string_view resumeToken);
std::string refusedMessage(std::string_view reason);
std::string noticeMessage(std::string_view text);
std::string clockPing(std::uint32_t id);
std::string singerMessage(std::string_view name, std::string_view colour);
std::string lyricMessage(std::string_view text);
std::string pointsMessage(int points);
// A page of the song book as the page's /book request is answered: the songs' identifiers,
// artists, titles, whether each is a duet and has a cover thumbnail, its length in ms ("ms", 0
// when unknown), the matches in all and the page's number.
std::string songBookAnswer(const party::BookPage& page);
// The game's word to a song book's connection.
std::string guestNewsMessage(const party::GuestNews& news);
// The phone's messages, as the page writes them: for tests and the test client.
std::string joinMessage(const JoinRequest& join);
std::string clockAnswerMessage(const ClockAnswer& answer);
std::string guestRequestMessage(const party::GuestRequest& request);

// The guest's name as typed: invalid UTF-8 replaced, control, bidirectional-override and other
// format characters removed, blanks trimmed, cut to kMaxPhoneNameCharacters characters.
std::string cleanPhoneName(std::string_view typed);

} // namespace cantorix::phones
