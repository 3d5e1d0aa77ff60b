#include "capture_input_set.h"

#include "capture_factory.h"
#include "platform/common/quiet_standard_error.h"
#include "portaudio_input.h"
#include "wav_file_input.h"
#include "wav_reader.h"

#include <portaudio.h>

namespace cantorix::platform {

namespace {

std::string fileAddressCard(int number) {
    return std::string(session::kMicFileCard) + std::to_string(number);
}

// Whether PortAudio knows a default input at all; a machine without sound cards has none, and
// then the system default is not offered.
bool hasDefaultInputDevice() {
    QuietStandardError quiet; // the host APIs' probing speaks for every missing device
    if (Pa_Initialize() != paNoError)
        return false;
    const bool has = Pa_GetDefaultInputDevice() != paNoDevice;
    Pa_Terminate();
    return has;
}

} // namespace

CaptureInputSet::CaptureInputSet(Options options) : m_options(std::move(options)) {
    if (!m_options.log)
        m_options.log = &std::cerr;
    // The game goes on to work in its program directory: a file named relative to where it was
    // started must still be found when the inputs are listed again before a session.
    for (std::filesystem::path& wav : m_options.micWavs)
        wav = std::filesystem::absolute(wav);
}

// The members go in an order that keeps every hub alive until its last listener has gone.
CaptureInputSet::~CaptureInputSet() = default;

void CaptureInputSet::closeAll() {
    m_clickPlayers.clear();
    m_open.clear();
    m_inputs.clear();
    m_fileProblems.clear();
    if (m_recorder.isOpen()) {
        // Stop the streams now, so the devices can open again, but keep the hubs.
        for (auto& device : m_devices)
            device->stop();
        std::move(m_devices.begin(), m_devices.end(), std::back_inserter(m_retiredDevices));
        std::move(m_captures.begin(), m_captures.end(), std::back_inserter(m_retiredCaptures));
    } else {
        m_retiredDevices.clear();
        m_retiredCaptures.clear();
    }
    m_devices.clear();
    m_captures.clear();
}

void CaptureInputSet::relist() {
    closeAll();
    if (!m_options.micWavs.empty()) {
        listFiles();
    } else {
        listDevices();
        if (m_options.systemDefaultInput)
            listSystemDefault();
    }
    listExternal();
    // The recorder's choice names inputs, not the captures just replaced.
    chooseRecorded(std::vector<session::InputAddress>(m_recorded));
}

void CaptureInputSet::add(app::SoundInput input, OpenInput open) {
    if (!input.problem.empty())
        *m_options.log << "cantorix: input " << input.name << ": " << input.problem << "\n";
    else
        m_open[input.address] = open;
    m_inputs.push_back(std::move(input));
}

void CaptureInputSet::listFiles() {
    for (std::size_t i = 0; i < m_options.micWavs.size(); ++i)
        listFile(static_cast<int>(i) + 1, m_options.micWavs[i]);
}

void CaptureInputSet::listFile(int number, const std::filesystem::path& file) {
    const std::string card = fileAddressCard(number);
    const std::string fileName = file.filename().string();
    int channels = 0;
    try {
        channels = wavChannelCount(file);
        if (channels < 1)
            throw EWavError("\"" + file.string() + "\" has no channels");
    } catch (const EWavError& e) {
        m_fileProblems.emplace_back(e.what());
        add({{card, 0}, fileName, nullptr, nullptr, e.what()}, {});
        return;
    }
    for (int c = 0; c < channels; ++c) {
        app::SoundInput input{{card, c}, channelName(fileName, c, channels), nullptr, nullptr, {}};
        if (m_open.size() >= session::kSingerSlots) {
            input.problem = "\"" + file.string() + "\" channel " + std::to_string(c + 1) +
                            " is not heard: at most " + std::to_string(session::kSingerSlots) +
                            " singers sing at once";
            m_fileProblems.push_back(input.problem);
            add(std::move(input), {});
            continue;
        }
        try {
            session::SessionInputControl* control = nullptr;
            auto capture = std::make_unique<CaptureService>([&](CaptureHub& hub) {
                auto source = std::make_unique<WavFileInput>(hub, file, c);
                control = source.get();
                return source;
            });
            input.capture = capture.get();
            input.recording = control;
            m_captures.push_back(std::move(capture));
            add(std::move(input), {m_captures.back().get(), nullptr});
        } catch (const std::exception& e) {
            input.problem = e.what();
            m_fileProblems.emplace_back(e.what());
            add(std::move(input), {});
        }
    }
}

void CaptureInputSet::listDevices() {
    for (const ListedCaptureDevice& listed :
         captureChannels(m_options.listDevices(), *m_options.log)) {
        std::unique_ptr<DeviceCapture> device;
        std::string problem;
        try {
            device =
                std::make_unique<DeviceCapture>(listed.device.deviceString, listed.device.channels);
        } catch (const std::exception& e) {
            // Unplugged between listing and opening, or busy in another program.
            problem = std::string("cannot be opened (") + e.what() + ")";
        }
        for (const CaptureChannel& channel : listed.channels) {
            app::SoundInput input{channel.address, channel.name, nullptr,
                                  nullptr,         problem,      channel.formerAddress};
            OpenInput open;
            if (device) {
                open = {&device->channel(channel.channelInDevice), device.get()};
                input.capture = open.capture;
            }
            add(std::move(input), open);
        }
        if (device)
            m_devices.push_back(std::move(device));
    }
}

void CaptureInputSet::listSystemDefault() {
    if (!hasDefaultInputDevice())
        return;
    app::SoundInput input{
        {std::string(session::kDefaultInputCard), 0}, kDefaultInputName, nullptr, nullptr, {}};
    try {
        std::string reason;
        auto capture = std::make_unique<CaptureService>(
            [&](CaptureHub& hub) { return std::make_unique<PortAudioInput>(hub, &reason); });
        input.capture = capture.get();
        m_captures.push_back(std::move(capture));
        add(std::move(input), {m_captures.back().get(), nullptr});
    } catch (const std::exception& e) {
        input.problem = std::string("cannot be opened (") + e.what() + ")";
        add(std::move(input), {});
    }
}

void CaptureInputSet::listExternal() {
    if (!m_options.externalInputs)
        return;
    for (ExternalInput& external : m_options.externalInputs()) {
        external.input.capture = external.capture;
        add(std::move(external.input), {external.capture, nullptr});
    }
}

void CaptureInputSet::refreshNames() {
    if (!m_options.externalInputs)
        return;
    for (const ExternalInput& external : m_options.externalInputs())
        for (app::SoundInput& input : m_inputs)
            if (input.address == external.input.address)
                input.name = external.input.name;
}

bool CaptureInputSet::lost(const session::InputAddress& address) const {
    const auto it = m_open.find(address);
    return it != m_open.end() && it->second.device && it->second.device->lost();
}

void CaptureInputSet::chooseRecorded(const std::vector<session::InputAddress>& addresses) {
    m_recorded = addresses;
    std::vector<CaptureHub*> hubs;
    for (const auto& address : addresses)
        if (const auto it = m_open.find(address); it != m_open.end())
            hubs.push_back(&it->second.capture->hub());
    m_recorder.choose(std::move(hubs));
}

session::ClickPlayer* CaptureInputSet::clicksThrough(const session::InputAddress& address) {
    const auto it = m_open.find(address);
    if (it == m_open.end() || !m_options.output)
        return nullptr;
    auto& player = m_clickPlayers[address];
    if (!player)
        player = std::make_unique<OutputClickPlayer>(*m_options.output, *it->second.capture);
    return player.get();
}

CaptureService& CaptureInputSet::firstCapture() {
    for (const app::SoundInput& input : m_inputs)
        if (const auto it = m_open.find(input.address); it != m_open.end())
            return *it->second.capture;
    if (!m_silence)
        m_silence = openSilentCapture();
    return *m_silence;
}

session::SessionInputControl* CaptureInputSet::firstRecording() const {
    for (const app::SoundInput& input : m_inputs)
        if (input.recording)
            return input.recording;
    return nullptr;
}

} // namespace cantorix::platform
