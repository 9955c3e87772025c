// Standard MIDI File import: loads a format-0 or format-1 file into track buffers, interprets
// their events into a fresh score (channels become tracks in order of appearance, note starts
// and lengths quantised for notation or snapped to the grid midi_atom) and lays the score out. Also
// owns the pending-note record midi_note that the MIDI writer shares, and the tick-to-measure
// lookups.
#pragma once

#include <cstdint>

#include "files/file_support.h"
#include "model/list.h"
#include "model/score.h"

// A note-on still waiting for its note-off (import), or a note-off still due (export).
struct midi_note {
    midi_note *next, *prev;
    int pitch;    // MIDI key - 60
    int time;     // sort key: the note-on time (import) or the tick its note-off is due (export)
    int start;    // export only: the note's start tick
    int velocity; // import only: the note-on velocity
};
typedef list_of<midi_note> midi_note_list;

midi_note *init_midi_note(midi_note *e);
PLINKEL_LIST_FAMILY(midi_note, "midi_imp")
// Ascending time; a new element goes after the elements of equal time.
int midi_note_comp(midi_note *a, midi_note *b);

constexpr int MIDI_MAX_FILE_TRACKS = 32;
constexpr int MIDI_ATOM_MAX = 256;
constexpr int MIDI_TIME_END = 0x7fffffff;
// A tempo meta event holds microseconds per quarter note; the score counts quarters per minute.
constexpr int MICROSECONDS_PER_MINUTE = 60000000;

extern int midi_atom; // the import grid: notes snap to 3 * midi_atom ticks, meta events to
                      // midi_atom ticks; a power of two from 1 to 256, initially 4
// How note times become score ticks: MIDI_GRID_AUTO quantises for notation (files written
// exactly come through the exact rule unchanged); MIDI_GRID_EXACT applies the grid rule below
// with midi_atom. Automatic at start.
enum midi_grid_mode { MIDI_GRID_AUTO, MIDI_GRID_EXACT };
extern midi_grid_mode midi_grid;
extern int midi_divisions; // ticks per quarter note of the file being read or written
extern int midi_type;      // format of the file being read: 0 or 1
extern int num_tracks;     // track chunks announced by the file's header

// One track chunk of the file being read.
struct midi_buffer {
    unsigned char *data;
    int len;
    unsigned char *cur; // read position; null once the track has ended
    int64_t time;       // absolute time of the current event, in file ticks
    int status;         // running status, 0 at the start
};
extern midi_buffer mbuf[MIDI_MAX_FILE_TRACKS];

// Reads the MIDI file at path into s, which must be freshly initialised (init_new_score).
// Returns 1 on success, with s->track_num set to the number of channels met (at least 1).
// Returns 0, with s and the track table as they were and a message through file_message naming
// the file and the reason, when the file cannot be loaded or would exceed a limit of a score
// (SCORE_FILE_MAX_BYTES, SCORE_MAX_MEASURES, SCORE_MAX_PIECES, SCORE_MAX_EVENTS) or its times
// overflow.
int midi_import(const char *path, score *s);
// Loads the header and every track chunk into mbuf. Returns 1, or 0 (buffers freed).
int _load_midi(const char *path);
// Interprets the loaded buffers into s. Returns 1, or 0 when the file exceeds a limit of a score
// or its times overflow (s then holds what was read so far); the message names path.
int _midi_read(score *s, const char *path);
int midi_read(score *s);
// Frees every track buffer.
void destroy_mbuf();

// The grid rule for a tick value: values that are not multiples of 3 stay; odd multiples of 3
// above 1 stay and count as triplets (*triplet = 1); others snap to 3 * midi_atom.
int midi_grid_rule(int v, int *triplet);
// a rounded to the nearest multiple of b (exact halves round up); a itself when b <= 1.
int sampling(int a, int b);
// The measure holding score tick x (appending measures, which inherit the last one's time and
// key signature, when x lies beyond the end); its start tick goes to *start.
measure *get_measure_by_x(score *s, int x, int *start);
// The same, searching from the measure of the last lookup. Null when the score would need more
// than SCORE_MAX_MEASURES measures.
measure *get_measure_by_x_fast(score *s, int x, int *start);
// Points the lookup cache of get_measure_by_x_fast at the first measure of s.
void reset_measure_cache(score *s);
