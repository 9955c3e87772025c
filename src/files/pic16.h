// PIC16 export: the score as lookup tables for tone-playing firmware (a pitch table, a duration
// table and a music table of one byte per note or rest), the music table shortened by
// three-byte back-references, and the two listings "out2.asm" and "out.asm".
#pragma once

#include <vector>

#include "model/score.h"

constexpr int PIC16_REST_PITCH = 0xFF;  // the pitch table's last entry: a rest
constexpr int PIC16_REPEAT = 0xFE;      // music byte: play bytes s .. e - 1 again
constexpr int PIC16_END = 0xFF;         // music byte: the end
constexpr int PIC16_MAX_BYTE = 0xFF;    // everything the firmware reads is one byte
constexpr int PIC16_MIN_REPEAT = 4;     // shorter repeats save nothing
constexpr int PIC16_PITCH_OFFSET = 24;  // pitch code of middle C
constexpr int PIC16_DURATION_UNIT = 24; // ticks of one duration unit (a thirty-second note)
constexpr int PIC16_SLOW_TEMPO = 85;    // below it lengths are doubled
constexpr int PIC16_FAST_TEMPO = 170;   // above it lengths are halved

// One repeat: the later bytes [dst_start, dst_end) equal the earlier [src_start, src_end).
enum { REPEAT_DISCARDED = -1, REPEAT_CANDIDATE = 0, REPEAT_APPLIED = 1 };
struct compress_record {
    int src_start, src_end;
    int dst_start, dst_end;
    int state;
};

// Tables of the last export (reset by each).
extern std::vector<int> pitch_table; // distinct pitch codes, then PIC16_REST_PITCH
extern int n_pitch_table;
extern std::vector<int> duration_table; // distinct duration codes
extern int n_duration_table;
extern std::vector<unsigned char> out_buffer; // the music table
extern int n_out_buffer;
extern std::vector<compress_record> compress_table;
extern int size_of_compress_table;
extern int n_compress_table;

// The smallest k with 2^k >= |a|; 0 for 0 and 1.
int bit_size(int a);
// Pitch code: pitch + 24, raised to 0 when negative.
int get_pitch(int pitch);
// Duration code of a length in ticks: length / 24.
int get_duration(int length);

// Replaces repeated passages of out_buffer (n_out_buffer bytes) by PIC16_REPEAT, s, e, where
// s and e index the shortened table; no back-reference points into another. Fills
// compress_table (capacity 2 * n_out_buffer + 1). Returns the new n_out_buffer.
int do_compress();

// Validates every measure, writes "out2.asm" and "out.asm" in the working directory and the
// compressed tables to path (each under a temporary name, renamed into place when complete).
// Returns 1, or 0 when a file cannot be created (those finished stay), or when the firmware
// would misread the tables (a byte reaching the markers, a code over one byte, a back-reference
// beyond index 255): then path is not written and file_message says why.
int write_pic16(const char *path, score *s);
