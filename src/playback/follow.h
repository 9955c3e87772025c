// Playback the user can follow: the play options (loop, metronome, count-in), the loop taken
// from the selection, the metronome's clicks on the beats of each measure, and the time the
// score takes between two spots along its tempo map.
#pragma once

#include "model/play_view.h"
#include "model/score.h"

// A stretch to run round: from start up to the exclusive end.
struct play_loop {
    play_spot start;
    play_spot end;
};
// The loop of the selection; 0 (loop untouched) without a valid selection of some length.
int loop_from_selection(score *s, play_loop *loop);
// The last measure a loop touches (its end at a bar line belongs to the measure before).
measure *loop_last_measure(const play_loop &loop);
// Whether spot lies at or after end (measures compared by their order in the score).
int spot_reached(play_spot spot, play_spot end);

// The metronome: a click on every beat (a 1/bit note) of a measure, the first one accented,
// on the percussion channel's wood blocks.
constexpr int CLICK_CHANNEL = 9;
constexpr int CLICK_KEY_ACCENT = 76; // high wood block
constexpr int CLICK_KEY = 77;        // low wood block
constexpr int CLICK_VELOCITY_ACCENT = 127;
constexpr int CLICK_VELOCITY = 90;
constexpr int CLICK_TICKS = TICKS_PER_WHOLE / 32; // how long a click is held
struct click {
    int tick; // inside its measure
    int accent;
};
// Beats in m (its numerator; none for a measure without a valid signature).
int measure_beats(const measure *m);
// The k-th click of m; beat k must be below measure_beats.
click measure_click(const measure *m, int k);
// Index of the first click of m at or after tick.
int first_click_from(const measure *m, int tick);

// The tempo in force at spot (a tempo event at the spot itself counts).
int tempo_at(score *s, play_spot spot);
// Milliseconds of music from `from` to `to` (to not before from) along the tempo map.
double ms_between(score *s, play_spot from, play_spot to);
// The spot heard ms milliseconds of music after from; the end of the last measure when the
// score ends first.
play_spot spot_after_ms(score *s, play_spot from, double ms);
