// MIDI output: the byte senders, the reference-counted note-on/note-off shared by the player and
// the editor, the play-unit clock and the foreground player with its list of sounding notes.
#pragma once

#include <cstddef>

#include "model/midi_wire.h"
#include "model/score.h"

constexpr int CHANNEL_ROWS = 32;
constexpr int PAN_CENTRE = 128;
constexpr int RESTRIKE_MS = 20;

struct channel_status_t {
    int last_on; // msec of the last note-on sent for this channel and key
    int count;   // holders currently sounding this key
};
extern channel_status_t channel_status[CHANNEL_ROWS][MIDI_KEYS];

// Where every sender delivers its message: the library's midi_out. A test may point it at a
// recorder of its own.
typedef void (*midi_send_function)(unsigned char *bytes, int count);
extern midi_send_function midi_send;
// Passes one whole message to midi_send; safe to call from any thread, one message at a time.
void send_midi(unsigned char *bytes, int count);

// How many milliseconds ago the messages being sent were due. The foreground player sets it
// around each note it starts or stops, so that a MIDI driver that time-stamps what it plays
// (the FluidSynth driver) places them at their written time even when a pass came late; 0
// otherwise. Each thread has its own: the library's MIDI player sends from its timer thread.
extern thread_local double midi_send_lateness;

void set_patch(int channel, int program);
void set_pan(int channel, int pan);
void _note_on(int channel, int key, int velocity);
void _note_off(int channel, int key);

void note_on(int channel, int key, int velocity);
void note_off(int channel, int key);
void init_channel_status();
// Sends every track's program to its channel.
void send_track_patches();

// The channel and the key a note sounds on (the key before any clamping to 0..127).
inline int note_channel(const note *n) {
    return track_info[n->track].channel;
}
inline int note_key(const note *n) {
    return n->pitch + KEY_OF_MIDDLE_C;
}

// One sounding note of the foreground player. The lists hang off two head records used only
// for their links: `playing` (sorted by ascending end) and `playing_item_garbage` (recycled).
struct playing_item {
    int channel;
    int key;
    int end; // play-unit time on the get_midi_tick clock at which the note stops
    int velocity;
    playing_item *next, *prev;
};
extern playing_item playing;
extern playing_item playing_item_garbage;
// Heap allocator of fresh playing items; a test may replace it to simulate exhaustion.
extern void *(*playing_item_alloc)(size_t size);

// A cleared record, recycled when possible; null when no memory could be had.
playing_item *new_playing_item();
void insert_playing_item(playing_item *position, playing_item *item);
void insert_sorted_playing_item_list(playing_item *head, playing_item *item);
void _cast_playing_item(playing_item *item);
void _delete_playing_item(playing_item *item);
void kill_playing_item_list(playing_item *first);

// The play-unit clock: a quarter note is 468.75 units at any tempo; at tempo T one millisecond
// is T / 128 units.
constexpr int PLAY_UNITS_PER_WHOLE = 1875;
constexpr int TEMPO_DIVISOR = 128;
constexpr int INITIAL_MIDI_TEMPO = 120;
extern int ref_i, base_i, base_o, ref_o, midi_timer_tempo;

void init_midi_timer();
int get_midi_time(int reset);
int get_midi_tick();
void set_midi_timer(int tempo);

int ticks_to_play_units(int ticks);
int measure_play_units(measure *m);

// The foreground player, split into its start, one pass of its busy loop and its clean-up so
// that the loop can also be driven pass by pass.
constexpr int KEYBOARD_POLL_PASSES = 101;
constexpr int AUDITION_REPEAT_MS = 500;

struct player_state {
    score *s;
    measure *m;     // the measure being played
    int length;     // its length in play units
    int t;          // play units since its start
    m_event *event; // next measure event due
    note *next;     // next note due
    int program;    // audition program sent to channel 0 with Up and Down
    int passes;     // passes since the last keyboard poll
};

void start_playing(player_state *state, score *s, measure *m);
// One pass of the loop; 0 when the score has ended or the user asked to stop.
int play_pass(player_state *state);
// Frees every playing item and releases its key, so that nothing is left sounding.
void finish_playing();

void play_score(score *s, measure *m);
