#include "alsa_capture_listing.h"

#include <alsa/asoundlib.h>
#include <map>
#include <memory>
#include <set>

namespace cantorix::platform {

namespace {

// ALSA's opaque info records, freed when they go out of scope.
template <typename T, void (*Free)(T*)> struct AlsaFree {
    void operator()(T* p) const { Free(p); }
};
using CardInfo =
    std::unique_ptr<snd_ctl_card_info_t, AlsaFree<snd_ctl_card_info_t, snd_ctl_card_info_free>>;
using PcmInfo = std::unique_ptr<snd_pcm_info_t, AlsaFree<snd_pcm_info_t, snd_pcm_info_free>>;
using HwParams =
    std::unique_ptr<snd_pcm_hw_params_t, AlsaFree<snd_pcm_hw_params_t, snd_pcm_hw_params_free>>;

// The hardware's channel count: the device opened non-blocking (a busy device then fails at
// once instead of waiting) and closed again; 0 and why when it cannot be told.
int hardwareChannels(const std::string& card, int device, std::string& problem) {
    const std::string name = "hw:CARD=" + card + ",DEV=" + std::to_string(device);
    snd_pcm_t* pcm = nullptr;
    if (const int error =
            snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
        error < 0) {
        problem = snd_strerror(error);
        return 0;
    }
    snd_pcm_hw_params_t* raw = nullptr;
    unsigned int channels = 0;
    if (snd_pcm_hw_params_malloc(&raw) == 0) {
        HwParams params(raw);
        if (snd_pcm_hw_params_any(pcm, raw) >= 0 &&
            snd_pcm_hw_params_get_channels_max(raw, &channels) < 0)
            channels = 0;
    }
    snd_pcm_close(pcm);
    return static_cast<int>(channels);
}

void listCardDevices(snd_ctl_t* control, const std::string& id, const std::string& name,
                     std::vector<AlsaCaptureDevice>& out) {
    snd_pcm_info_t* raw = nullptr;
    if (snd_pcm_info_malloc(&raw) != 0)
        return;
    PcmInfo info(raw);
    int device = -1;
    while (snd_ctl_pcm_next_device(control, &device) == 0 && device >= 0) {
        snd_pcm_info_set_device(raw, static_cast<unsigned>(device));
        snd_pcm_info_set_subdevice(raw, 0);
        snd_pcm_info_set_stream(raw, SND_PCM_STREAM_CAPTURE);
        if (snd_ctl_pcm_info(control, raw) < 0)
            continue; // a playback-only device
        AlsaCaptureDevice found{id, name, device, 0,
                                "plughw:CARD=" + id + ",DEV=" + std::to_string(device)};
        found.channels = hardwareChannels(id, device, found.problem);
        out.push_back(std::move(found));
    }
}

} // namespace

std::string channelName(const std::string& baseName, int channel, int channels) {
    if (channels <= 1)
        return baseName;
    if (channels == 2)
        return baseName + (channel == 0 ? " — left" : " — right");
    return baseName + " — channel " + std::to_string(channel + 1);
}

std::vector<ListedCaptureDevice> captureChannels(const std::vector<AlsaCaptureDevice>& devices,
                                                 std::ostream& log) {
    std::vector<ListedCaptureDevice> listed;
    std::map<std::string, int> devicesOfCard;
    // Cards of which a device lists no channels: their count across devices is uncertain.
    std::set<std::string> uncountedCards;
    for (const AlsaCaptureDevice& device : devices) {
        ++devicesOfCard[device.cardId];
        if (device.channels <= 0)
            uncountedCards.insert(device.cardId);
    }
    std::map<std::string, int> formerNextChannelOfCard;
    for (const AlsaCaptureDevice& device : devices) {
        const std::string label = device.deviceString.empty() ? device.cardId : device.deviceString;
        if (device.channels <= 0) {
            log << "cantorix: capture device " << label << " lists no channels"
                << (device.problem.empty() ? "" : " (" + device.problem + ")") << "; left out\n";
            continue;
        }
        if (device.cardId.empty() || device.cardId == session::kDefaultInputCard ||
            device.cardId.starts_with(session::kMicFileCard)) {
            log << "cantorix: capture device " << label << " has no usable card id; left out\n";
            continue;
        }
        // A card with several capture devices tells them apart by number.
        const std::string baseName = devicesOfCard[device.cardId] > 1
                                         ? device.cardName + " " + std::to_string(device.device)
                                         : device.cardName;
        const bool counted = !uncountedCards.contains(device.cardId);
        ListedCaptureDevice entry{device, {}};
        int& formerNext = formerNextChannelOfCard[device.cardId];
        for (int c = 0; c < device.channels; ++c) {
            CaptureChannel channel{
                {device.cardId, c, device.device}, channelName(baseName, c, device.channels), c};
            if (counted)
                channel.formerAddress = session::InputAddress{device.cardId, formerNext + c};
            entry.channels.push_back(std::move(channel));
        }
        formerNext += device.channels;
        listed.push_back(std::move(entry));
    }
    return listed;
}

std::vector<AlsaCaptureDevice> listAlsaCaptureDevices() {
    std::vector<AlsaCaptureDevice> devices;
    snd_ctl_card_info_t* raw = nullptr;
    if (snd_ctl_card_info_malloc(&raw) != 0)
        return devices;
    CardInfo info(raw);
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        snd_ctl_t* control = nullptr;
        if (snd_ctl_open(&control, ("hw:" + std::to_string(card)).c_str(), 0) < 0)
            continue;
        if (snd_ctl_card_info(control, raw) == 0)
            listCardDevices(control, snd_ctl_card_info_get_id(raw), snd_ctl_card_info_get_name(raw),
                            devices);
        snd_ctl_close(control);
    }
    return devices;
}

} // namespace cantorix::platform
