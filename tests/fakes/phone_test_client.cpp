// The test phone: a QThread running its own event loop owns the QWebSocket and a 5 ms timer that
// sends every frame whose last sample its clock has "captured". The caller's thread only reads
// and sets state under one mutex, so tests on the GUI thread and benchmarks with eight phones
// in one process use it alike; every wait is bounded.

#include "phone_test_client.h"

#include "phones/phone_protocol.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace cantorix::testing {

namespace {

constexpr std::chrono::milliseconds kSendStep{5};
// The longest a call waits for the client's thread to do what it was asked.
constexpr std::chrono::seconds kThreadWait{10};

// Qt's event loops run only once an application object exists; a test program of GoogleTest's
// own main has none, so the first client makes one on the calling (main) thread for good.
void ensureApplication() {
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "phone_test_client";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

} // namespace

struct PhoneTestClient::Impl {
    explicit Impl(PhoneTestClientOptions chosen)
        : options(std::move(chosen)), createdAt(std::chrono::steady_clock::now()),
          frameSamples(std::max(1, options.sampleRate * options.frameMs / 1000)) {}

    const PhoneTestClientOptions options;
    const std::chrono::steady_clock::time_point createdAt;
    const int frameSamples;

    // Lives on the client's thread from start to the destructor's hand-over.
    QThread thread;
    QObject* context = nullptr; // owned by the thread: the receiver of queued work
    QWebSocket* socket = nullptr;
    QTimer* sendTimer = nullptr;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool socketOpen = false;
    bool welcomed = false;
    bool closed = false;
    std::optional<std::string> refused;
    std::string token;
    std::size_t welcomeSlot = 0;
    std::vector<std::string> received;
    // The stream since the latest welcome: its first frame starts at streamStartPhone.
    bool streaming = false;
    double streamStartPhone = 0;
    std::uint32_t nextFrame = 0;
    std::uint64_t sent = 0;
    // What the microphone hears: playing[0] at playStartPhone.
    std::vector<std::int16_t> playing;
    double playStartPhone = 0;
    std::chrono::steady_clock::time_point loseFrom;
    std::chrono::steady_clock::time_point loseUntil;

    double rate() const { return 1.0 + options.driftPpm / 1e6; }

    double phoneAt(std::chrono::steady_clock::time_point when) const {
        const std::chrono::duration<double> since = when - createdAt;
        return since.count() * rate() + options.offsetSeconds;
    }
    double phoneNow() const { return phoneAt(std::chrono::steady_clock::now()); }

    std::chrono::steady_clock::time_point steadyAt(double phoneSeconds) const {
        const std::chrono::duration<double> since((phoneSeconds - options.offsetSeconds) / rate());
        return createdAt + std::chrono::duration_cast<std::chrono::steady_clock::duration>(since);
    }

    // Runs work on the client's thread and waits (bounded) until it has run. What the two
    // threads share is held by both, so a wait that gives up leaves nothing dangling.
    void runOnThread(std::function<void()> work) {
        struct Handover {
            std::mutex mutex;
            std::condition_variable ran;
            bool done = false;
        };
        auto handover = std::make_shared<Handover>();
        QMetaObject::invokeMethod(
            context,
            [handover, work = std::move(work)] {
                work();
                std::lock_guard lock(handover->mutex);
                handover->done = true;
                handover->ran.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(handover->mutex);
        handover->ran.wait_for(lock, kThreadWait, [&] { return handover->done; });
    }

    // Client thread from here on.
    void connectSocket(bool sendJoin, const std::string& resume) {
        dropSocket();
        const QUrl url(QString::fromStdString(options.url));
        // A browser sends the page's origin, and the game admits its own page only.
        socket = new QWebSocket(QStringLiteral("https://") + url.authority(),
                                QWebSocketProtocol::VersionLatest, context);
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        // The game's certificate is its own, made at first start: nothing to verify it against.
        ssl.setPeerVerifyMode(QSslSocket::VerifyNone);
        socket->setSslConfiguration(ssl);
        QWebSocket* const opened = socket;
        QObject::connect(opened, &QWebSocket::sslErrors, context,
                         [opened] { opened->ignoreSslErrors(); });
        QObject::connect(opened, &QWebSocket::connected, context, [this, opened, sendJoin, resume] {
            {
                std::lock_guard lock(mutex);
                socketOpen = true;
                changed.notify_all();
            }
            if (!sendJoin)
                return;
            phones::JoinRequest join{.name = options.name,
                                     .slot = options.slot,
                                     .sampleRate = options.sampleRate,
                                     .resumeToken = resume};
            opened->sendTextMessage(QString::fromStdString(phones::joinMessage(join)));
        });
        QObject::connect(opened, &QWebSocket::textMessageReceived, context,
                         [this, opened](const QString& text) { onText(opened, text); });
        QObject::connect(opened, &QWebSocket::disconnected, context, [this, opened] {
            if (opened != socket)
                return;
            std::lock_guard lock(mutex);
            socketOpen = false;
            closed = true;
            streaming = false;
            changed.notify_all();
        });
        {
            std::lock_guard lock(mutex);
            socketOpen = false;
            closed = false;
            welcomed = false;
        }
        socket->open(url);
    }

    // Forgets the socket: a graceful close lets the game see the close frame before the
    // connection ends; otherwise the connection is cut.
    void dropSocket(bool graceful = false) {
        if (socket == nullptr)
            return;
        QWebSocket* const old = socket;
        socket = nullptr;
        old->disconnect(context);
        if (graceful && old->state() == QAbstractSocket::ConnectedState) {
            QObject::connect(old, &QWebSocket::disconnected, old, &QObject::deleteLater);
            old->close();
        } else {
            old->abort();
            old->deleteLater();
        }
        std::lock_guard lock(mutex);
        socketOpen = false;
        closed = true;
        streaming = false;
        changed.notify_all();
    }

    void onText(QWebSocket* from, const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        const QString type = message.value("type").toString();
        if (type == "clock") {
            // Answered before anything else: the round trip is what the game measures.
            const phones::ClockAnswer answer{
                .id = static_cast<std::uint32_t>(message.value("id").toDouble()),
                .phoneSeconds = phoneNow()};
            from->sendTextMessage(QString::fromStdString(phones::clockAnswerMessage(answer)));
        }
        std::string utf8 = text.toStdString();
        if (options.onText)
            options.onText(utf8);
        std::lock_guard lock(mutex);
        received.push_back(std::move(utf8));
        if (type == "welcome") {
            welcomed = true;
            token = message.value("resume").toString().toStdString();
            welcomeSlot = static_cast<std::size_t>(message.value("slot").toInt());
            streaming = true;
            streamStartPhone = phoneNow();
            nextFrame = 0;
        } else if (type == "refused") {
            refused = message.value("reason").toString().toStdString();
        }
        changed.notify_all();
    }

    // The frame starting frameIndex × frameSamples after the stream's start, as captured.
    phones::AudioFrame captureFrame(std::uint32_t frameIndex) const {
        phones::AudioFrame frame;
        frame.sequence = frameIndex;
        const double offset = static_cast<double>(frameIndex) * frameSamples / options.sampleRate;
        frame.firstSampleSeconds = streamStartPhone + offset;
        frame.samples.assign(static_cast<std::size_t>(frameSamples), 0);
        if (playing.empty())
            return frame;
        const auto first = static_cast<std::int64_t>(
            std::llround((frame.firstSampleSeconds - playStartPhone) * options.sampleRate));
        const auto size = static_cast<std::int64_t>(playing.size());
        for (std::int64_t k = std::max<std::int64_t>(0, -first);
             k < frameSamples && first + k < size; ++k)
            frame.samples[static_cast<std::size_t>(k)] =
                playing[static_cast<std::size_t>(first + k)];
        return frame;
    }

    void sendDueFrames() {
        std::vector<std::vector<std::uint8_t>> due;
        {
            std::lock_guard lock(mutex);
            if (!streaming || socket == nullptr)
                return;
            const double now = phoneNow();
            const double frameSeconds = static_cast<double>(frameSamples) / options.sampleRate;
            while (streamStartPhone + (nextFrame + 1.0) * frameSeconds <= now) {
                phones::AudioFrame frame = captureFrame(nextFrame);
                ++nextFrame;
                const auto capturedAt = steadyAt(frame.firstSampleSeconds);
                if (capturedAt >= loseFrom && capturedAt < loseUntil)
                    continue;
                due.push_back(phones::writeAudioFrame(frame));
                ++sent;
            }
        }
        for (const auto& bytes : due)
            socket->sendBinaryMessage(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<qsizetype>(bytes.size())));
    }
};

PhoneTestClient::PhoneTestClient(PhoneTestClientOptions options)
    : m_impl(std::make_unique<Impl>(std::move(options))) {
    ensureApplication();
    Impl& impl = *m_impl;
    impl.context = new QObject;
    impl.context->moveToThread(&impl.thread);
    QObject::connect(&impl.thread, &QThread::finished, impl.context, &QObject::deleteLater);
    impl.thread.start();
    impl.runOnThread([&impl] {
        impl.sendTimer = new QTimer(impl.context);
        impl.sendTimer->setTimerType(Qt::PreciseTimer);
        impl.sendTimer->setInterval(kSendStep);
        QObject::connect(impl.sendTimer, &QTimer::timeout, impl.context,
                         [&impl] { impl.sendDueFrames(); });
        impl.sendTimer->start();
        impl.connectSocket(impl.options.join, impl.options.resumeToken);
    });
}

PhoneTestClient::~PhoneTestClient() {
    Impl& impl = *m_impl;
    impl.runOnThread([&impl] {
        impl.sendTimer->stop();
        impl.dropSocket();
    });
    impl.thread.quit();
    impl.thread.wait(QDeadlineTimer(std::chrono::milliseconds(kThreadWait)));
}

bool PhoneTestClient::waitWelcome(std::chrono::milliseconds within) {
    std::unique_lock lock(m_impl->mutex);
    m_impl->changed.wait_for(
        lock, within, [this] { return m_impl->welcomed || m_impl->refused || m_impl->closed; });
    return m_impl->welcomed && !m_impl->refused;
}

bool PhoneTestClient::waitOpen(std::chrono::milliseconds within) {
    std::unique_lock lock(m_impl->mutex);
    m_impl->changed.wait_for(lock, within, [this] { return m_impl->socketOpen || m_impl->closed; });
    return m_impl->socketOpen;
}

bool PhoneTestClient::waitClosed(std::chrono::milliseconds within) {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, within, [this] { return m_impl->closed; });
}

std::optional<std::string> PhoneTestClient::refusal() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->refused;
}

std::string PhoneTestClient::resumeToken() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->token;
}

std::size_t PhoneTestClient::slot() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->welcomeSlot;
}

std::vector<std::string> PhoneTestClient::texts() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->received;
}

void PhoneTestClient::play(std::vector<std::int16_t> samples) {
    play(std::move(samples), std::chrono::steady_clock::now());
}

// Frames sent before the call keep the silence they carried (the game takes each stretch once);
// the samples go into every frame still to be sent, from the one capturedFrom falls in.
void PhoneTestClient::play(std::vector<std::int16_t> samples,
                           std::chrono::steady_clock::time_point capturedFrom) {
    const double from = m_impl->phoneAt(capturedFrom);
    std::lock_guard lock(m_impl->mutex);
    m_impl->playing = std::move(samples);
    m_impl->playStartPhone = from;
}

void PhoneTestClient::loseFramesFor(std::chrono::milliseconds duration) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_impl->mutex);
    m_impl->loseFrom = now;
    m_impl->loseUntil = now + duration;
}

void PhoneTestClient::dropOut() {
    Impl& impl = *m_impl;
    impl.runOnThread([&impl] { impl.dropSocket(true); });
}

void PhoneTestClient::comeBack() {
    Impl& impl = *m_impl;
    impl.runOnThread([&impl] {
        std::string resume;
        {
            std::lock_guard lock(impl.mutex);
            resume = impl.token;
            impl.refused.reset();
        }
        impl.connectSocket(true, resume);
    });
}

void PhoneTestClient::sendText(const std::string& text) {
    Impl& impl = *m_impl;
    impl.runOnThread([&impl, text] {
        if (impl.socket != nullptr)
            impl.socket->sendTextMessage(QString::fromStdString(text));
    });
}

void PhoneTestClient::sendBinary(const std::vector<std::uint8_t>& bytes) {
    Impl& impl = *m_impl;
    impl.runOnThread([&impl, bytes] {
        if (impl.socket != nullptr)
            impl.socket->sendBinaryMessage(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<qsizetype>(bytes.size())));
    });
}

double PhoneTestClient::phoneSecondsNow() const {
    return m_impl->phoneNow();
}

std::chrono::steady_clock::time_point PhoneTestClient::steadyAt(double phoneSeconds) const {
    return m_impl->steadyAt(phoneSeconds);
}

std::uint64_t PhoneTestClient::framesSent() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->sent;
}

} // namespace cantorix::testing
