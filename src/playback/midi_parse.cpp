// Reassembling MIDI channel messages from single bytes (see midi_parse.h).
#include "playback/midi_parse.h"

namespace {

constexpr int STATUS_BIT = 0x80;
constexpr int STATUS_SYSTEM = 0xF0;   // SysEx and system common: end the running status
constexpr int STATUS_REALTIME = 0xF8; // clock and the like: may come between any two bytes
constexpr int KIND_MASK = 0xF0;
constexpr int KIND_PROGRAM = 0xC0;
constexpr int KIND_CHANNEL_PRESSURE = 0xD0;

int data_bytes_of(int status) {
    int kind = status & KIND_MASK;
    return kind == KIND_PROGRAM || kind == KIND_CHANNEL_PRESSURE ? 1 : 2;
}

} // namespace

// A status byte in the middle of a message drops the part already read.
int midi_parse_byte(midi_parser *p, int byte) {
    if (byte >= STATUS_REALTIME)
        return 0;
    if (byte >= STATUS_SYSTEM) {
        p->status = 0;
        return 0;
    }
    if (byte & STATUS_BIT) {
        p->status = byte;
        p->have = 0;
        return 0;
    }
    if (!p->status)
        return 0;
    p->data[p->have++] = byte;
    if (p->have < data_bytes_of(p->status))
        return 0;
    p->have = 0;
    return 1;
}
