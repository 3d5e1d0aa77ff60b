// Reads and writes the messages of the phone's WebSocket. Text goes through Qt's JSON reader and
// writer, so escaping is theirs; every refusal is a sentence the page shows the guest as it is.

#include "phones/phone_protocol.h"

#include "records/player.h"
#include "songs/medley_layout.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace cantorix::phones {

namespace {

constexpr std::size_t kMaxResumeTokenCharacters = 64;

QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// A JSON number that is a whole number within [lowest, highest]. JSON has one kind of number,
// so 3 and 3.0 are the same slot; 3.5 and "3" are not slots.
std::optional<std::int64_t> wholeNumber(const QJsonValue& value, std::int64_t lowest,
                                        std::int64_t highest) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number ||
        number < static_cast<double>(lowest) || number > static_cast<double>(highest))
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

bool isResumeToken(const std::string& token) {
    if (token.size() > kMaxResumeTokenCharacters)
        return false;
    for (const char c : token)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

ParsedText refused(std::string problem) {
    return ParsedText{std::nullopt, std::move(problem)};
}

ParsedText readJoin(const QJsonObject& object) {
    const auto slot = wholeNumber(object.value(QStringLiteral("slot")), 1, 8);
    if (!slot)
        return refused("That code names no singer slot.");
    const auto rate =
        wholeNumber(object.value(QStringLiteral("rate")), kLowestSampleRate, kHighestSampleRate);
    if (!rate)
        return refused("This phone records at a sound rate the game cannot use.");
    const QJsonValue name = object.value(QStringLiteral("name"));
    if (!name.isString())
        return refused("Type your name first.");
    const QJsonValue resume = object.value(QStringLiteral("resume"));
    std::string token;
    if (!resume.isUndefined() && !resume.isNull()) {
        if (!resume.isString())
            return refused("The code to take your seat back is not valid.");
        token = resume.toString().toStdString();
        if (!isResumeToken(token))
            return refused("The code to take your seat back is not valid.");
    }
    JoinRequest join;
    join.name = cleanPhoneName(name.toString().toStdString());
    if (join.name.empty())
        return refused("Type your name first.");
    join.slot = static_cast<std::size_t>(*slot);
    join.sampleRate = static_cast<int>(*rate);
    join.resumeToken = std::move(token);
    return ParsedText{PhoneText{std::move(join)}, {}};
}

ParsedText readClockAnswer(const QJsonObject& object) {
    const auto id = wholeNumber(object.value(QStringLiteral("id")), 0,
                                std::numeric_limits<std::uint32_t>::max());
    const QJsonValue phone = object.value(QStringLiteral("phone"));
    if (!id || !phone.isDouble() || !std::isfinite(phone.toDouble()))
        return refused("The game could not read this phone's clock.");
    return ParsedText{PhoneText{ClockAnswer{static_cast<std::uint32_t>(*id), phone.toDouble()}},
                      {}};
}

// A text field of a guest's message that may be absent: what is there must be a string.
std::optional<std::string> optionalText(const QJsonObject& object, const char* field) {
    const QJsonValue value = object.value(QLatin1String(field));
    if (value.isUndefined() || value.isNull())
        return std::string();
    if (!value.isString())
        return std::nullopt;
    return value.toString().toStdString();
}

constexpr std::int64_t kMostId = std::int64_t{1} << 53; // JSON's numbers hold whole ids to here

ParsedText readGuestHello(const QJsonObject& object) {
    const auto name = optionalText(object, "name");
    const auto token = optionalText(object, "token");
    const auto host = optionalText(object, "host");
    if (!name)
        return refused("Type your name first.");
    if (!token || !isResumeToken(*token) || !host || !isResumeToken(*host))
        return refused("The code to find your songs again is not valid.");
    return ParsedText{PhoneText{party::GuestHello{cleanPhoneName(*name), *token, *host}}, {}};
}

ParsedText readAddSong(const QJsonObject& object) {
    const auto song = optionalText(object, "song");
    if (!song || song->empty() || song->size() > 64)
        return refused("That song is not in the song book.");
    party::AddSongRequest add;
    add.songId = *song;
    if (const QJsonValue partner = object.value(QStringLiteral("partner"));
        !partner.isUndefined() && !partner.isNull()) {
        const auto id = wholeNumber(partner, 1, kMostId);
        if (!id)
            return refused("Your partner is not in line.");
        add.partner = *id;
    }
    const auto partnerName = optionalText(object, "partnerName");
    if (!partnerName)
        return refused("Type your partner's name.");
    add.partnerName = cleanPhoneName(*partnerName);
    if (const QJsonValue voice = object.value(QStringLiteral("voice"));
        !voice.isUndefined() && !voice.isNull()) {
        const auto which = wholeNumber(voice, 0, 1);
        if (!which)
            return refused("A duet has two voices: choose the first or the second.");
        add.voice = static_cast<int>(*which);
    }
    return ParsedText{PhoneText{std::move(add)}, {}};
}

ParsedText readAddMedley(const QJsonObject& object) {
    const auto songs = wholeNumber(object.value(QStringLiteral("songs")),
                                   static_cast<std::int64_t>(songs::kMedleyFewestSongs),
                                   static_cast<std::int64_t>(songs::kMedleyMostSongs));
    if (!songs)
        return refused("A medley has " + std::to_string(songs::kMedleyFewestSongs) + " to " +
                       std::to_string(songs::kMedleyMostSongs) + " songs.");
    return ParsedText{PhoneText{party::AddMedleyRequest{static_cast<std::size_t>(*songs)}}, {}};
}

ParsedText readEntryRequest(const QJsonObject& object, party::EntryRequest::Kind kind) {
    const auto entry = wholeNumber(object.value(QStringLiteral("entry")), 1, kMostId);
    if (!entry)
        return refused("That song is no longer in the queue.");
    return ParsedText{PhoneText{party::EntryRequest{kind, *entry}}, {}};
}

ParsedText readHostRequest(const QJsonObject& object) {
    using Action = party::HostRequest::Action;
    static const std::pair<const char*, Action> kActions[] = {
        {"next", Action::PlayNext},  {"move", Action::Move},   {"remove", Action::Remove},
        {"clear", Action::Clear},    {"pause", Action::Pause}, {"resume", Action::Resume},
        {"start", Action::StartNow}, {"skip", Action::Skip}};
    const QString name = object.value(QStringLiteral("action")).toString();
    const auto* found = std::find_if(std::begin(kActions), std::end(kActions),
                                     [&](const auto& action) { return name == action.first; });
    if (found == std::end(kActions))
        return refused("The game does not know that action.");
    party::HostRequest request;
    request.action = found->second;
    const bool needsEntry = request.action == Action::PlayNext || request.action == Action::Move ||
                            request.action == Action::Remove;
    if (needsEntry) {
        const auto entry = wholeNumber(object.value(QStringLiteral("entry")), 1, kMostId);
        if (!entry)
            return refused("That song is no longer in the queue.");
        request.entry = *entry;
    }
    if (request.action == Action::Move) {
        const auto index = wholeNumber(object.value(QStringLiteral("index")), 0, 1000);
        if (!index)
            return refused("That place is not in the queue.");
        request.index = static_cast<std::size_t>(*index);
    }
    return ParsedText{PhoneText{request}, {}};
}

// Little-endian fields read byte by byte: the frame's bytes need not be aligned.
std::uint64_t readLittleEndian(const std::uint8_t* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | bytes[i];
    return value;
}

void writeLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

ParsedText parsePhoneText(std::string_view utf8) {
    if (utf8.size() > kMaxTextMessageBytes)
        return refused("That message is too long for the game.");
    // Qt's reader refuses a message with a byte that is not UTF-8; a name typed on an odd
    // keyboard should still join, its stray bytes shown as replacement characters.
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(toQString(utf8).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return refused("The game could not read a message from this phone.");
    const QJsonObject object = document.object();
    const QString type = object.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("join"))
        return readJoin(object);
    if (type == QLatin1String("clock"))
        return readClockAnswer(object);
    if (type == QLatin1String("leave"))
        return ParsedText{PhoneText{LeaveRequest{}}, {}};
    if (type == QLatin1String("guest"))
        return readGuestHello(object);
    if (type == QLatin1String("add"))
        return readAddSong(object);
    if (type == QLatin1String("medley"))
        return readAddMedley(object);
    if (type == QLatin1String("remove"))
        return readEntryRequest(object, party::EntryRequest::Kind::Remove);
    if (type == QLatin1String("later"))
        return readEntryRequest(object, party::EntryRequest::Kind::Later);
    if (type == QLatin1String("host"))
        return readHostRequest(object);
    return refused("The game does not know a message this phone sent.");
}

ParsedFrame parseAudioFrame(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size < kAudioFrameHeaderBytes)
        return ParsedFrame{std::nullopt, "A piece of sound from this phone was cut short."};
    const std::size_t sampleBytes = size - kAudioFrameHeaderBytes;
    if (sampleBytes == 0 || sampleBytes % 2 != 0)
        return ParsedFrame{std::nullopt, "A piece of sound from this phone was broken."};
    if (sampleBytes / 2 > kMaxFrameSamples)
        return ParsedFrame{std::nullopt, "A piece of sound from this phone was too long."};
    AudioFrame frame;
    frame.sequence = static_cast<std::uint32_t>(readLittleEndian(bytes, 4));
    frame.firstSampleSeconds = std::bit_cast<double>(readLittleEndian(bytes + 4, 8));
    if (!std::isfinite(frame.firstSampleSeconds))
        return ParsedFrame{std::nullopt, "A piece of sound from this phone had no time."};
    frame.samples.resize(sampleBytes / 2);
    const std::uint8_t* sample = bytes + kAudioFrameHeaderBytes;
    for (std::int16_t& value : frame.samples) {
        value = static_cast<std::int16_t>(static_cast<std::uint16_t>(readLittleEndian(sample, 2)));
        sample += 2;
    }
    return ParsedFrame{std::move(frame), {}};
}

std::vector<std::uint8_t> writeAudioFrame(const AudioFrame& frame) {
    std::vector<std::uint8_t> out;
    out.reserve(kAudioFrameHeaderBytes + 2 * frame.samples.size());
    writeLittleEndian(out, frame.sequence, 4);
    writeLittleEndian(out, std::bit_cast<std::uint64_t>(frame.firstSampleSeconds), 8);
    for (const std::int16_t sample : frame.samples)
        writeLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
    return out;
}

std::string welcomeMessage(std::size_t slot, std::string_view name, std::string_view colour,
                           std::string_view resumeToken) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("welcome")},
                               {QStringLiteral("slot"), static_cast<qint64>(slot)},
                               {QStringLiteral("name"), toQString(name)},
                               {QStringLiteral("colour"), toQString(colour)},
                               {QStringLiteral("resume"), toQString(resumeToken)}});
}

std::string refusedMessage(std::string_view reason) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("refused")},
                               {QStringLiteral("reason"), toQString(reason)}});
}

std::string noticeMessage(std::string_view text) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("notice")},
                               {QStringLiteral("text"), toQString(text)}});
}

std::string clockPing(std::uint32_t id) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("clock")},
                               {QStringLiteral("id"), static_cast<qint64>(id)}});
}

std::string singerMessage(std::string_view name, std::string_view colour) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("singer")},
                               {QStringLiteral("name"), toQString(name)},
                               {QStringLiteral("colour"), toQString(colour)}});
}

std::string lyricMessage(std::string_view text) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("lyric")},
                               {QStringLiteral("text"), toQString(text)}});
}

std::string pointsMessage(int points) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("points")},
                               {QStringLiteral("points"), points}});
}

std::string songBookAnswer(const party::BookPage& page) {
    QJsonArray songs;
    for (const party::BookSong* song : page.songs)
        songs.append(QJsonObject{{QStringLiteral("id"), toQString(song->id)},
                                 {QStringLiteral("artist"), toQString(song->artist)},
                                 {QStringLiteral("title"), toQString(song->title)},
                                 {QStringLiteral("duet"), song->duet},
                                 {QStringLiteral("cover"), song->hasCover},
                                 {QStringLiteral("ms"), static_cast<qint64>(song->lengthMs)}});
    return compact(
        QJsonObject{{QStringLiteral("total"), static_cast<qint64>(page.total)},
                    {QStringLiteral("page"), static_cast<qint64>(page.page)},
                    {QStringLiteral("pageSize"), static_cast<qint64>(party::SongBook::kPageSize)},
                    {QStringLiteral("songs"), songs}});
}

std::string joinMessage(const JoinRequest& join) {
    QJsonObject object{{QStringLiteral("type"), QStringLiteral("join")},
                       {QStringLiteral("name"), toQString(join.name)},
                       {QStringLiteral("slot"), static_cast<qint64>(join.slot)},
                       {QStringLiteral("rate"), join.sampleRate}};
    if (!join.resumeToken.empty())
        object.insert(QStringLiteral("resume"), toQString(join.resumeToken));
    return compact(object);
}

std::string clockAnswerMessage(const ClockAnswer& answer) {
    return compact(QJsonObject{{QStringLiteral("type"), QStringLiteral("clock")},
                               {QStringLiteral("id"), static_cast<qint64>(answer.id)},
                               {QStringLiteral("phone"), answer.phoneSeconds}});
}

bool isGuestText(const PhoneText& text) {
    return std::holds_alternative<party::GuestHello>(text) ||
           std::holds_alternative<party::AddSongRequest>(text) ||
           std::holds_alternative<party::AddMedleyRequest>(text) ||
           std::holds_alternative<party::EntryRequest>(text) ||
           std::holds_alternative<party::HostRequest>(text);
}

namespace {

QJsonObject queueRowObject(const party::QueueRow& row) {
    QJsonArray singers;
    for (const std::string& singer : row.singers)
        singers.append(toQString(singer));
    return QJsonObject{{QStringLiteral("entry"), static_cast<qint64>(row.entry)},
                       {QStringLiteral("artist"), toQString(row.artist)},
                       {QStringLiteral("title"), toQString(row.title)},
                       {QStringLiteral("gone"), row.gone},
                       {QStringLiteral("singers"), singers},
                       {QStringLiteral("startsIn"), static_cast<qint64>(row.startsInMs)},
                       {QStringLiteral("mine"), row.mine}};
}

struct NewsWriter {
    QJsonObject operator()(const party::GuestWelcome& welcome) const {
        return {{QStringLiteral("type"), QStringLiteral("guest")},
                {QStringLiteral("guest"), static_cast<qint64>(welcome.guest)},
                {QStringLiteral("name"), toQString(welcome.name)},
                {QStringLiteral("token"), toQString(welcome.token)},
                {QStringLiteral("host"), welcome.host}};
    }
    QJsonObject operator()(const party::QueueNews& news) const {
        QJsonArray rows, guests;
        for (const party::QueueRow& row : news.rows)
            rows.append(queueRowObject(row));
        for (const party::GuestSummary& guest : news.guests)
            guests.append(QJsonObject{{QStringLiteral("id"), static_cast<qint64>(guest.id)},
                                      {QStringLiteral("name"), toQString(guest.name)}});
        return {{QStringLiteral("type"), QStringLiteral("queue")},
                {QStringLiteral("rows"), rows},
                {QStringLiteral("guests"), guests},
                {QStringLiteral("paused"), news.paused},
                {QStringLiteral("next"), toQString(news.next)},
                {QStringLiteral("gone"), toQString(news.gone)},
                {QStringLiteral("most"), news.mostWaiting}};
    }
    QJsonObject operator()(const party::GuestAnswer& answer) const {
        return {{QStringLiteral("type"), QStringLiteral("answer")},
                {QStringLiteral("text"), toQString(answer.text)}};
    }
    QJsonObject operator()(const party::YoureUp& up) const {
        return {{QStringLiteral("type"), QStringLiteral("up")},
                {QStringLiteral("slot"), static_cast<qint64>(up.slot)}};
    }
};

struct RequestWriter {
    QJsonObject operator()(const party::GuestHello& hello) const {
        return {{QStringLiteral("type"), QStringLiteral("guest")},
                {QStringLiteral("name"), toQString(hello.name)},
                {QStringLiteral("token"), toQString(hello.token)},
                {QStringLiteral("host"), toQString(hello.hostKey)}};
    }
    QJsonObject operator()(const party::AddSongRequest& add) const {
        QJsonObject object{{QStringLiteral("type"), QStringLiteral("add")},
                           {QStringLiteral("song"), toQString(add.songId)},
                           {QStringLiteral("partnerName"), toQString(add.partnerName)}};
        if (add.partner)
            object.insert(QStringLiteral("partner"), static_cast<qint64>(*add.partner));
        if (add.voice)
            object.insert(QStringLiteral("voice"), *add.voice);
        return object;
    }
    QJsonObject operator()(const party::AddMedleyRequest& medley) const {
        return {{QStringLiteral("type"), QStringLiteral("medley")},
                {QStringLiteral("songs"), static_cast<qint64>(medley.songs)}};
    }
    QJsonObject operator()(const party::EntryRequest& request) const {
        const bool remove = request.kind == party::EntryRequest::Kind::Remove;
        return {
            {QStringLiteral("type"), remove ? QStringLiteral("remove") : QStringLiteral("later")},
            {QStringLiteral("entry"), static_cast<qint64>(request.entry)}};
    }
    QJsonObject operator()(const party::HostRequest& request) const {
        using Action = party::HostRequest::Action;
        static const std::pair<Action, const char*> kNames[] = {
            {Action::PlayNext, "next"},  {Action::Move, "move"},   {Action::Remove, "remove"},
            {Action::Clear, "clear"},    {Action::Pause, "pause"}, {Action::Resume, "resume"},
            {Action::StartNow, "start"}, {Action::Skip, "skip"}};
        QString name;
        for (const auto& [action, text] : kNames)
            if (action == request.action)
                name = QLatin1String(text);
        return {{QStringLiteral("type"), QStringLiteral("host")},
                {QStringLiteral("action"), name},
                {QStringLiteral("entry"), static_cast<qint64>(request.entry)},
                {QStringLiteral("index"), static_cast<qint64>(request.index)}};
    }
};

} // namespace

std::string guestNewsMessage(const party::GuestNews& news) {
    return compact(std::visit(NewsWriter{}, news));
}

std::string guestRequestMessage(const party::GuestRequest& request) {
    return compact(std::visit(RequestWriter{}, request));
}

std::string cleanPhoneName(std::string_view typed) {
    std::string name = records::cleanPlayerName(typed);
    // cleanPlayerName gives well-formed UTF-8, so counting lead bytes counts characters.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) == 0x80)
            continue;
        if (characters == kMaxPhoneNameCharacters) {
            name.resize(i);
            break;
        }
        ++characters;
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace cantorix::phones
