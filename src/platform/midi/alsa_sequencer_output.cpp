#include "alsa_sequencer_output.h"

#include <alsa/asoundlib.h>
#include <cstdarg>

namespace cantorix::platform {

namespace {

constexpr const char* kClientName = "Cantorix";

// The library prints every failed open (a machine without a sequencer device is normal here);
// the game shows its own message when a device it needs cannot be opened.
void quietLibraryErrors(const char*, int, const char*, int, const char*, ...) {}

snd_seq_t* openSequencer() {
    static const bool quiet = [] {
        snd_lib_error_set_handler(&quietLibraryErrors);
        return true;
    }();
    (void)quiet;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, kClientName);
    return seq;
}

} // namespace

struct AlsaSequencerOutput::Sequencer {
    snd_seq_t* seq = nullptr;
    snd_midi_event_t* encoder = nullptr;
    int port = -1;
    ~Sequencer() {
        if (encoder)
            snd_midi_event_free(encoder);
        if (seq)
            snd_seq_close(seq); // also removes our port and its connection
    }
};

std::vector<SequencerPort> listSequencerPorts() {
    std::vector<SequencerPort> ports;
    snd_seq_t* seq = openSequencer();
    if (!seq)
        return ports;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == self)
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            if ((snd_seq_port_info_get_capability(port) & kWritable) != kWritable)
                continue;
            ports.push_back({id, snd_seq_port_info_get_port(port),
                             std::string(snd_seq_client_info_get_name(client)) + ": " +
                                 snd_seq_port_info_get_name(port)});
        }
    }
    snd_seq_close(seq);
    return ports;
}

std::unique_ptr<AlsaSequencerOutput> AlsaSequencerOutput::open(const SequencerPort& target) {
    auto sequencer = std::make_unique<Sequencer>();
    sequencer->seq = openSequencer();
    if (!sequencer->seq)
        return nullptr;
    sequencer->port = snd_seq_create_simple_port(
        sequencer->seq, "output", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (sequencer->port < 0)
        return nullptr;
    if (snd_seq_connect_to(sequencer->seq, sequencer->port, target.client, target.port) < 0)
        return nullptr;
    if (snd_midi_event_new(16, &sequencer->encoder) < 0)
        return nullptr;
    return std::unique_ptr<AlsaSequencerOutput>(new AlsaSequencerOutput(std::move(sequencer)));
}

AlsaSequencerOutput::AlsaSequencerOutput(std::unique_ptr<Sequencer> sequencer)
    : m_sequencer(std::move(sequencer)) {}

AlsaSequencerOutput::~AlsaSequencerOutput() = default;

void AlsaSequencerOutput::sendShortMessage(std::uint32_t message) {
    const unsigned char status = message & 0xFF;
    const unsigned char bytes[3] = {status, static_cast<unsigned char>(message >> 8 & 0x7F),
                                    static_cast<unsigned char>(message >> 16 & 0x7F)};
    const int high = status & 0xF0;
    sendBytes(bytes, high == 0xC0 || high == 0xD0 ? 2 : 3);
}

void AlsaSequencerOutput::reset() {
    // All sound off, reset all controllers and all notes off on every channel.
    for (unsigned char channel = 0; channel < 16; ++channel)
        for (unsigned char controller : {120, 121, 123}) {
            const unsigned char bytes[3] = {static_cast<unsigned char>(0xB0 | channel), controller,
                                            0};
            sendBytes(bytes, 3);
        }
}

void AlsaSequencerOutput::sendBytes(const unsigned char* bytes, long length) {
    std::lock_guard lock(m_mutex);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(m_sequencer->encoder);
    if (snd_midi_event_encode(m_sequencer->encoder, bytes, length, &event) != length ||
        event.type == SND_SEQ_EVENT_NONE)
        return;
    snd_seq_ev_set_source(&event, m_sequencer->port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_event_output_direct(m_sequencer->seq, &event);
}

} // namespace cantorix::platform
