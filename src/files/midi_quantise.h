// Quantisation for notation: turns the notes of one MIDI track as they were played into starts
// and lengths a score shows plainly. It chooses a grid per beat (quarter, eighth, sixteenth or
// 32nd, straight or triplet, no finer than the track needs), joins chords whose notes start a
// little apart, snaps starts, and decides every end by legato, the grid and played shortening.
#pragma once

#include <functional>
#include <vector>

// A note as the file has it, in score ticks, with the quantiser's result.
struct midi_played_note {
    int start, end;     // as played, score ticks
    int pitch;          // MIDI key - 60
    int track;          // score track: notes of one track form one voice for legato
    int velocity;       //
    int exact;          // 1 when both times converted to score ticks without a remainder
    int q_start, q_len; // the notated start and length, set by quantise_played_notes
    int staccato;       // written at q_len with the staccato mark: it sounds half of that
};

// The tempo from a tick on, in quarter notes per minute (the file's tempo map).
struct midi_tempo_point {
    int tick;
    int tempo;
};

// Straight grids coarse to fine (quarter to 32nd) and the triplet grids of the same values.
constexpr int QUANT_GRIDS[] = {192, 96, 64, 48, 32, 24, 16};
constexpr int QUANT_GRID_COUNT = sizeof QUANT_GRIDS / sizeof QUANT_GRIDS[0];

// The grid chosen for one beat of one track.
struct quantised_beat {
    int track;
    int beat; // score ticks / quarter
    int grid;
};
// Every beat holding an onset, sorted by track and beat.
typedef std::vector<quantised_beat> quantised_grids;

// 1 when every time of notes was written exactly, as notation programs write them: each start
// and end converted without remainder and lies on a 64th or a 64th-triplet. Such files need no
// quantising: the exact rule reproduces them.
int played_notes_are_notated(const std::vector<midi_played_note> &notes);

// Sets q_start and q_len of every note; tempi (sorted by tick, may be empty: 120) turn the
// chord window and the onset tolerance from milliseconds into ticks. Returns the grids it chose.
quantised_grids quantise_played_notes(std::vector<midi_played_note> &notes,
                                      const std::vector<midi_tempo_point> &tempi);

// The written values (notes or rests, tied pieces included) that a note (is_rest 0) or a rest
// of len ticks from score tick start takes in the measures of the score being read.
typedef std::function<int(int start, int len, int is_rest)> written_values_counter;

// Writes short notes followed by a rest as a musician writes detached notes: a chord after which
// its track is silent until its next onset is written twice as long with the staccato mark (it
// sounds as long as before), when that takes fewer written values than the note and its rest
// (an eighth and an eighth rest become a staccato quarter). With may_shorten, a note may also be
// written half as long again (it then sounds a quarter shorter than played). Tracks played
// mostly legato keep their rests: there a short note before a rest is meant as written.
// Works on q_start and q_len and sets staccato.
void mark_detached_notes(std::vector<midi_played_note> &notes, int may_shorten,
                         const written_values_counter &values);

// The grid of grids for the beat of score tick t on track (0 when that beat holds no onset):
// for tests and traces.
int quantised_beat_grid(const quantised_grids &grids, int track, int t);
