// Measure validation: removes the generated rests, distributes the notes of every track over
// voice slots (a chord takes several voices), fills every silent stretch of every voice with
// notatable rests, gives each silent track a full-measure rest and numbers the columns.
#pragma once

#include <cstdint>

#include "model/score.h"

constexpr int MAX_VOICE_SLOTS = 512;
constexpr int NO_VOICE_SLOT = -1;

// One voice slot: the last note placed in it and how long it keeps the slot occupied.
struct voice_slot_t {
    int32_t x;     // start of the last note placed in the slot
    int32_t len;   // ticks the slot stays occupied from x
    int32_t pitch; // pitch of that note
    int32_t busy;  // 1 while occupied
    int32_t pos_y; // staff position of that note
    int32_t track;
};

// Scratch state of one set_measure_all_rest call.
extern voice_slot_t voice_slot[MAX_VOICE_SLOTS];
extern int n_voice_slot;
extern int new_slot_allocated; // 1 when the last get_free_voice_slot appended a slot
extern int track_note_exist[MAX_TRACKS];

// While one lives, validation reads the track table (which tracks exist, which are shown) of s
// instead of g_score's: a score being read or checked is not g_score yet.
class tracks_of_score {
  public:
    explicit tracks_of_score(const score *s);
    ~tracks_of_score();
    tracks_of_score(const tracks_of_score &) = delete;
    tracks_of_score &operator=(const tracks_of_score &) = delete;

  private:
    const score *before;
};

// The score whose track table validation reads now: g_score, or that of the innermost living
// tracks_of_score.
const score *validation_tracks();

// _validate_measure(m, -1, 1). Returns 1.
int validate_measure(measure *m);
// Rebuilds voices and rests of every track (a track other than -1 is treated as -1: the
// validation is always complete), then numbers the columns. Returns 1.
int _validate_measure(measure *m, int track, int only_active);
// Validates m when n is not null; returns 1 when it did, 0 otherwise.
int validate_measure_by_note(measure *m, note *n);
// Deletes every rest of track (of all tracks when track < 0); returns the number deleted.
int measure_clear_all_rests(measure *m, int track);
// Frees every busy slot whose x + len <= x. Returns 1.
int check_voice_slot(int x);
// A free slot of track whose last pitch is nearest to pitch, else a new slot; -1 when all
// 512 slots are taken.
int get_free_voice_slot(int pitch, int track);
// Rebuilds voices and rests of all tracks (track is treated as -1). Returns 1.
int set_measure_all_rest(measure *m, int track);
// Numbers the columns (distinct start ticks) of the elements of shown tracks (of all tracks
// when only_active is 0) into pos.x; sets n_pos and width. Returns n_pos.
int update_measure_order(measure *m, int only_active);
