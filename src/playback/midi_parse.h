// Reassembling MIDI channel messages from a stream of single bytes, as the library's output and
// a MIDI keyboard hand them over: running status is kept, system exclusive and system common
// messages are skipped up to the next status byte, real-time bytes are ignored wherever they come.
#pragma once

struct midi_parser {
    int status; // running status; 0 while data bytes are to be skipped
    int data[2];
    int have;
};

// Takes one byte; 1 when it completes a channel message, whose status byte is p->status and
// whose data bytes are p->data.
int midi_parse_byte(midi_parser *p, int byte);
