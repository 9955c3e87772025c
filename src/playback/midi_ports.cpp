// The MIDI input port through RtMidi. RtMidi connects one source to one input object, so the
// port "plinkel" that users connect by hand is one object and every source found is linked
// through an object of its own; all are made and dropped on the main thread, and their
// messages arrive on RtMidi's threads.
#include "playback/midi_ports.h"

#include <alsa/asoundlib.h>
#include <allegro.h>
#include <chrono>
#include <cstdio>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <string>
#include <vector>

#include "playback/midi_in.h"
#include "playback/synth.h"

namespace {

const char *const CLIENT_NAME = "plinkel";
const char *const PORT_NAME = "plinkel";
const char *const JACK_PROBE_NAME = "plinkel-probe";

// One source and the input object linked to it; a null object marks a source that could not
// be linked, so that it is not tried again every second.
struct source_link {
    RtMidiIn *in;
    std::string name;
    bool present;
};

RtMidi::Api midi_api = RtMidi::UNSPECIFIED;
RtMidiIn *listener = nullptr;
std::vector<source_link> links;
std::string wanted_source;
std::chrono::steady_clock::time_point next_scan;
bool reported = false;

void report_no_input(const char *why) {
    if (reported)
        return;
    reported = true;
    std::fprintf(stderr, "plinkel: no MIDI input: %s\n", why);
}

// RtMidi reports through this instead of throwing once it is set; the last message is kept for
// the one line of open_midi_in. Failures later (a source that went away while being linked)
// leave that source unlinked and are not worth a message.
std::string last_error;
void keep_error(RtMidiError::Type, const std::string &message, void *) {
    last_error = message;
}
void ignore_jack_message(const char *) {}

void on_message(double, std::vector<unsigned char> *message, void *) {
    if (message && !message->empty())
        feed_midi_in(message->data(), static_cast<int>(message->size()));
}

bool alsa_sequencer_opens() {
    snd_seq_t *seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
        return false;
    snd_seq_close(seq);
    return true;
}

// libjack's own messages are kept off the terminal: without a server every attempt prints two.
bool jack_server_runs() {
    jack_set_error_function(ignore_jack_message);
    jack_set_info_function(ignore_jack_message);
    jack_status_t status;
    jack_client_t *probe = jack_client_open(JACK_PROBE_NAME, JackNoStartServer, &status);
    if (!probe)
        return false;
    jack_client_close(probe);
    return true;
}

// Throws RtMidiError when the system refuses a client.
RtMidiIn *new_input() {
    RtMidiIn *in = new RtMidiIn(midi_api, CLIENT_NAME);
    in->setErrorCallback(keep_error);
    in->ignoreTypes(true, true, true);
    in->setCallback(on_message);
    return in;
}

RtMidiIn *link_source(const std::string &name) {
    RtMidiIn *in = nullptr;
    try {
        in = new_input();
        unsigned count = in->getPortCount();
        for (unsigned i = 0; i < count; i++)
            if (in->getPortName(i) == name) {
                in->openPort(i, PORT_NAME);
                break;
            }
    } catch (const RtMidiError &) {
    }
    if (in && !in->isPortOpen()) {
        delete in;
        in = nullptr;
    }
    return in;
}

source_link *find_link(const std::string &name) {
    for (source_link &l : links)
        if (l.name == name)
            return &l;
    return nullptr;
}

void drop_absent_links() {
    for (size_t i = links.size(); i-- > 0;)
        if (!links[i].present) {
            delete links[i].in;
            links.erase(links.begin() + static_cast<long>(i));
        }
}

bool source_wanted(const std::string &name) {
    return !name.empty() &&
           (wanted_source.empty() || name.find(wanted_source) != std::string::npos);
}

void scan_sources() {
    for (source_link &l : links)
        l.present = false;
    unsigned count = listener->getPortCount();
    for (unsigned i = 0; i < count; i++) {
        std::string name = listener->getPortName(i);
        if (!source_wanted(name))
            continue;
        if (source_link *l = find_link(name))
            l->present = true;
        else
            links.push_back(source_link{link_source(name), name, true});
    }
    drop_absent_links();
    next_scan = std::chrono::steady_clock::now() + std::chrono::milliseconds(MIDI_SOURCE_SCAN_MS);
}

// The sequencer first: every Linux desktop (PipeWire too) offers its keyboards there.
bool choose_api() {
    quiet_synth_messages();
    if (alsa_sequencer_opens())
        midi_api = RtMidi::LINUX_ALSA;
    else if (jack_server_runs())
        midi_api = RtMidi::UNIX_JACK;
    else
        return false;
    return true;
}

} // namespace

int open_midi_in() {
    if (listener)
        return 1;
    if (!choose_api()) {
        report_no_input("the ALSA sequencer cannot be opened and no JACK server runs");
        return 0;
    }
    last_error.clear();
    try {
        listener = new_input();
        listener->openVirtualPort(PORT_NAME);
    } catch (const RtMidiError &e) {
        last_error = e.what();
    }
    if (!last_error.empty()) {
        report_no_input(last_error.c_str());
        delete listener;
        listener = nullptr;
        return 0;
    }
    wanted_source = get_config_string("sound", "midi_in_source", "");
    scan_sources();
    return 1;
}

void close_midi_in() {
    for (source_link &l : links)
        delete l.in;
    links.clear();
    delete listener;
    listener = nullptr;
}

int poll_midi_in() {
    if (listener && std::chrono::steady_clock::now() >= next_scan)
        scan_sources();
    return midi_in_chords_waiting();
}
