// MIDI output on the ALSA sequencer, and the process-wide MIDI output.
#include "platform/midi_output.h"

#include <alsa/asoundlib.h>

#include <string_view>

namespace {

void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

int messageLength(uint8_t status) {
    if (status < 0x80) return 0;
    if (status >= 0xF0) return status == 0xF1 || status == 0xF3 ? 2 : status == 0xF2 ? 3 : 1;
    return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
}

class AlsaMidiOutput : public MidiOutput {
public:
    ~AlsaMidiOutput() override { close(); }

    int open() override {
        if (sequencer_) return MIDI_OK;
        snd_lib_error_set_handler(silentAlsaError);
        int opened = snd_seq_open(&sequencer_, "default", SND_SEQ_OPEN_OUTPUT, 0);
        snd_lib_error_set_handler(nullptr);
        if (opened < 0) {
            sequencer_ = nullptr;
            return MIDI_NO_DEVICE;
        }
        snd_seq_set_client_name(sequencer_, "Ondaria");
        port_ = snd_seq_create_simple_port(sequencer_, "Ondaria MIDI", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                           SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_ < 0) {
            close();
            return MIDI_NO_DEVICE;
        }
        snd_seq_addr_t destination;
        if (findDestination(destination)) snd_seq_connect_to(sequencer_, port_, destination.client, destination.port);
        return MIDI_OK;
    }

    int send(uint32_t message) override {
        if (!sequencer_) return MIDI_NOT_OPEN;
        uint8_t bytes[3] = {static_cast<uint8_t>(message), static_cast<uint8_t>(message >> 8),
                            static_cast<uint8_t>(message >> 16)};
        int length = messageLength(bytes[0]);
        if (length == 0) return MIDI_OK;
        snd_midi_event_t* encoder;
        if (snd_midi_event_new(3, &encoder) < 0) return MIDI_ERROR;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        long encoded = snd_midi_event_encode(encoder, bytes, length, &event);
        snd_midi_event_free(encoder);
        if (encoded < 0 || event.type == SND_SEQ_EVENT_NONE) return MIDI_ERROR;
        snd_seq_ev_set_source(&event, port_);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(sequencer_, &event) < 0 ? MIDI_ERROR : MIDI_OK;
    }

    void close() override {
        if (!sequencer_) return;
        snd_seq_close(sequencer_);
        sequencer_ = nullptr;
        port_ = -1;
    }

private:
    // The first port that takes subscribed writes and is a synthesizer or a
    // hardware port, else the MIDI Through port; false when there is neither.
    bool findDestination(snd_seq_addr_t& destination) {
        int self = snd_seq_client_id(sequencer_);
        snd_seq_client_info_t* client;
        snd_seq_port_info_t* port;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        const unsigned writable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
        const unsigned player = SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_SYNTHESIZER |
                                SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT;
        bool haveThrough = false;
        snd_seq_addr_t through{};
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(sequencer_, client) >= 0) {
            int id = snd_seq_client_info_get_client(client);
            if (id == self || id == SND_SEQ_CLIENT_SYSTEM) continue;
            std::string_view name = snd_seq_client_info_get_name(client);
            snd_seq_port_info_set_client(port, id);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(sequencer_, port) >= 0) {
                if ((snd_seq_port_info_get_capability(port) & writable) != writable) continue;
                snd_seq_addr_t addr{static_cast<unsigned char>(id),
                                    static_cast<unsigned char>(snd_seq_port_info_get_port(port))};
                if (snd_seq_port_info_get_type(port) & player) {
                    destination = addr;
                    return true;
                }
                if (!haveThrough && name.starts_with("Midi Through")) {
                    through = addr;
                    haveThrough = true;
                }
            }
        }
        destination = through;
        return haveThrough;
    }

    snd_seq_t* sequencer_ = nullptr;
    int port_ = -1;
};

std::unique_ptr<MidiOutput> current;

} // namespace

std::unique_ptr<MidiOutput> makeAlsaMidiOutput() { return std::make_unique<AlsaMidiOutput>(); }

MidiOutput& midiOutput() {
    if (!current) current = makeAlsaMidiOutput();
    return *current;
}

void setMidiOutput(std::unique_ptr<MidiOutput> output) {
    if (current) current->close();
    current = std::move(output);
}
