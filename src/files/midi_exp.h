// MIDI export: renders the score from a start measure into the library's in-memory MIDI object
// (slot 0 the tempo map, slot i + 1 score track i, each counted first and then written into a
// buffer of the exact size) and writes such an object to disk as a format-1 Standard MIDI File.
#pragma once

#include <allegro.h>

#include "model/score.h"

constexpr int MIDI_EXPORT_DIVISIONS = 384;   // ticks per quarter note of the files we write
constexpr int MIDI_MAX_VAR_LEN = 0x0FFFFFFF; // largest value of a four-byte variable length

// An empty MIDI object (divisions 384, every slot empty), freed with destroy_midi.
MIDI *makenew_midi();
// Renders s from its measure start into midi (mode 0: every track, mode 1: muted tracks left
// out), with the tempo in force at start as the starting tempo. Each note sounds its whole
// written length, a staccato one half of it (at least a tick).
// Returns 1 when every track was rendered. Returns 0 when something could not be: the 32nd
// score track (the object has no slot for it; the other tracks are still rendered and mode 0
// says so through file_message), or a score too long for MIDI times (nothing rendered).
int plinkel_midi_write_to_memory(score *s, measure *start, MIDI *midi, int mode);
// How many score tracks a rendered object holds (slot 0, the tempo map, not counted): a file
// with none holds no music, whatever plinkel_midi_write_to_memory reported.
int midi_score_tracks(const MIDI *midi);
// The tempo map (slot 0) and one score track. With write 0 only the byte count is computed
// and buffer may be null; otherwise buffer must hold that many bytes. Return the byte count.
int write_meta_event(score *s, measure *start, unsigned char *buffer, int write);
int write_midi_event(score *s, measure *start, unsigned char *buffer, int write, int track);
// A MIDI variable-length quantity (0 .. MIDI_MAX_VAR_LEN); returns its size in bytes.
int write_var_len(unsigned char *buffer, int value, int write);
// Floor of log2 |n|; 0 for 0.
int my_log2(int n);
// Score ticks (quarter = 192) to MIDI ticks at midi_divisions.
int x_to_midi_time(int t);
// The value of m's first tempo event when it lies at tick 0, else -1.
int get_first_tempo(measure *m);
// Writes midi to path as a Standard MIDI File (under a temporary name, renamed into place when
// complete). Returns 1, or 0 when the file cannot be created or a write fails.
int export_midi(MIDI *midi, const char *path);
