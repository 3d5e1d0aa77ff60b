// Timed run: what eight streaming phones cost the game. The real phone server runs in this
// process; the eight test phones run in a child process (this program again, with --phones),
// so their work is not counted. Once all eight are joined, the server process's CPU time
// (user and system, every thread) over 30 s of streaming is printed as a share of one core.
// Asserts nothing.
//
//   phone_cpu_bench [--seconds N]

#include "fakes/manual_main_thread.h"
#include "fakes/phone_test_client.h"
#include "platform/phones/phone_server.h"

#include <QCoreApplication>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace cantorix;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::size_t kPhones = 8;
constexpr int kPhoneRate = 48000;
constexpr const char* kKey = "fedcba9876543210fedcba9876543210";
// The phones stream this much longer than the measure, so it never sees them leave.
constexpr int kPhonesOutlastSeconds = 10;

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The child: eight phones streaming a tone for the given time, then gone.
int runPhones(int port, double seconds) {
    const std::string url = "wss://127.0.0.1:" + std::to_string(port) + "/socket?k=" + kKey;
    std::vector<std::int16_t> sound(static_cast<std::size_t>(seconds * kPhoneRate));
    for (std::size_t k = 0; k < sound.size(); ++k)
        sound[k] = static_cast<std::int16_t>(std::lround(
            8000 * std::sin(2 * std::numbers::pi * 330.0 * static_cast<double>(k) / kPhoneRate)));
    std::vector<std::unique_ptr<testing::PhoneTestClient>> phones;
    for (std::size_t p = 0; p < kPhones; ++p)
        phones.push_back(std::make_unique<testing::PhoneTestClient>(
            testing::PhoneTestClientOptions{.url = url,
                                            .name = "Phone " + std::to_string(p + 1),
                                            .slot = p + 1,
                                            .sampleRate = kPhoneRate}));
    for (auto& phone : phones) {
        if (!phone->waitWelcome()) {
            std::fprintf(stderr, "a phone was not welcomed: %s\n",
                         phone->refusal().value_or("no answer").c_str());
            return 1;
        }
        phone->play(sound);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 0;
}

bool allSeated(const platform::PhoneServer& server) {
    std::size_t taken = 0;
    for (const app::PhoneSeatView& seat : server.seats())
        taken += seat.connected ? 1 : 0;
    return taken == kPhones;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    double seconds = 30;
    if (argc == 4 && std::string(argv[1]) == "--phones")
        return runPhones(std::atoi(argv[2]), std::atof(argv[3]));
    if (argc == 3 && std::string(argv[1]) == "--seconds")
        seconds = std::atof(argv[2]);
    else if (argc != 1) {
        std::fprintf(stderr, "usage: phone_cpu_bench [--seconds N]\n");
        return 2;
    }

    std::string pattern = (fs::temp_directory_path() / "phone-cpu-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const struct Folder {
        fs::path path;
        ~Folder() { fs::remove_all(path); }
    } folder{pattern};
    pitch::testing::ManualInvoker invoker;
    platform::PhoneServer server({.port = 0,
                                  .identityFolder = folder.path,
                                  .invoker = &invoker,
                                  // Every phone here comes from the one loopback address.
                                  .limits = {.connectionsPerPeer = 8},
                                  .key = kKey});
    if (!server.listening()) {
        std::fprintf(stderr, "no server: %s\n", server.problem().c_str());
        return 1;
    }

    const std::string port = std::to_string(server.port());
    const std::string phoneSeconds = std::to_string(seconds + kPhonesOutlastSeconds + 10);
    const pid_t child = fork();
    if (child == 0) {
        execl("/proc/self/exe", argv[0], "--phones", port.c_str(), phoneSeconds.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0)
        return 1;

    const auto seatedBy = Clock::now() + std::chrono::seconds(20);
    while (!allSeated(server) && Clock::now() < seatedBy) {
        invoker.runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int result = 0;
    if (allSeated(server)) {
        const double cpuBefore = processCpuSeconds();
        const auto from = Clock::now();
        const auto until = from + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(seconds));
        while (Clock::now() < until) {
            invoker.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const double cpu = processCpuSeconds() - cpuBefore;
        const std::chrono::duration<double> wall = Clock::now() - from;
        std::uint64_t late = 0, refused = 0;
        for (std::size_t slot = 1; slot <= kPhones; ++slot) {
            late += server.seatSound(slot).lateSamples();
            refused += server.seatSound(slot).refusedFrames();
        }
        std::printf("8 phones streaming 20 ms frames at 48 kHz for %.0f s: the server process "
                    "used %.2f s of CPU, %.1f %% of one core (late samples %llu, refused frames "
                    "%llu)\n",
                    wall.count(), cpu, 100 * cpu / wall.count(),
                    static_cast<unsigned long long>(late),
                    static_cast<unsigned long long>(refused));
    } else {
        std::fprintf(stderr, "the eight phones did not all join within 20 s\n");
        result = 1;
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}
