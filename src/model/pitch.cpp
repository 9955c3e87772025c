// Pitch spelling under a key signature: entering a note at a staff position gives its pitch,
// and a pitch is spelled back by its distance from the key in the circle of fifths.
#include "model/pitch.h"

#include <cstdlib>

const int32_t table_8_12[STEPS_PER_OCTAVE + 1] = {0, 2, 4, 5, 7, 9, 11, 12};
const int32_t table_12_7_sharp[SEMITONES_PER_OCTAVE] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
const int32_t table_12_7_flat[SEMITONES_PER_OCTAVE] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
const int32_t sharp_key_table[STEPS_PER_OCTAVE] = {2, 4, 6, 1, 3, 5, 7};
const int32_t flat_key_table[STEPS_PER_OCTAVE] = {6, 4, 2, 7, 5, 3, 1};
const char *const table_7_to_a[STEPS_PER_OCTAVE] = {"c", "d", "e", "f", "g", "a", "b"};

const int32_t treble_key_sharp_table[KEY_ACCIDENTALS][2] = {{10, 0}, {7, 4}, {11, 12}, {8, 16},
                                                            {5, 0},  {2, 2}, {6, 12}};
const int32_t treble_key_flat_table[KEY_ACCIDENTALS][2] = {{6, 0}, {9, 0}, {5, 12}, {8, 14},
                                                           {4, 0}, {7, 7}, {3, 7}};
const int32_t bass_key_sharp_table[KEY_ACCIDENTALS][2] = {{-4, 0}, {-7, 4}, {-3, 12}, {-6, 16},
                                                          {-2, 0}, {-5, 2}, {-8, 12}};
const int32_t bass_key_flat_table[KEY_ACCIDENTALS][2] = {{-8, 0}, {-5, 0}, {-2, 12}, {-6, 14},
                                                         {-3, 0}, {-7, 7}, {-4, 7}};

// The text export counts octaves from the one below middle C.
constexpr int PITCH7_OCTAVE_BASE = 1;

void get_mod_level(int a, int b, int *mod_out, int *level_out) {
    int level = a / b;
    if (a % b < 0)
        level--;
    *level_out = level;
    *mod_out = a - level * b;
}

// The alteration the key signature gives to a step: +1, -1 or 0.
static int key_alteration(int key, int step) {
    if (key > 0 && key >= sharp_key_table[step])
        return 1;
    if (key < 0 && -key >= flat_key_table[step])
        return -1;
    return 0;
}

void set_note_pos(int key, note *n, int pos_y, int accidental, int relative) {
    int step, octave;
    get_mod_level(pos_y, STEPS_PER_OCTAVE, &step, &octave);
    int a = accidental;
    if (relative)
        a += key_alteration(key, step);
    n->step = static_cast<int8_t>(step);
    n->accidental = static_cast<int8_t>(a);
    n->pitch = static_cast<int16_t>(table_8_12[step] + SEMITONES_PER_OCTAVE * octave + a);
    n->pos.y = static_cast<int16_t>(pos_y);
}

// Spells pitch class pc in key: a white key as itself; a black key as a sharp when the key
// that first sharpens its lower step is at least as near to `key` in the circle of fifths as
// the key that first flattens its upper step.
static void spell_pitch_class(int pc, int key, int *step_out, int *accidental_out) {
    int s = table_12_7_sharp[pc];
    int f = table_12_7_flat[pc];
    if (table_8_12[s] == pc) {
        *step_out = s;
        *accidental_out = 0;
        return;
    }
    int ds = std::abs(sharp_key_table[s] - key);
    int df = std::abs(-flat_key_table[f] - key);
    if (ds > df) {
        *step_out = f;
        *accidental_out = -1;
    } else {
        *step_out = s;
        *accidental_out = 1;
    }
}

int get_note_pos_y(measure *m, note *n) {
    int pc, octave, step, accidental;
    get_mod_level(n->pitch, SEMITONES_PER_OCTAVE, &pc, &octave);
    spell_pitch_class(pc, m->key, &step, &accidental);
    n->pitch12 = static_cast<int8_t>(pc);
    n->step = static_cast<int8_t>(step);
    n->accidental = static_cast<int8_t>(accidental);
    n->pos.y = static_cast<int16_t>(octave * STEPS_PER_OCTAVE + step);
    return n->pos.y;
}

int get_pitch7(int pitch, int key, int *accidental_out, int *step_out, int *octave_out) {
    int pc, level;
    // Floor division keeps pitches far below the keyboard in their true octave.
    get_mod_level(pitch, SEMITONES_PER_OCTAVE, &pc, &level);
    spell_pitch_class(pc, key, step_out, accidental_out);
    *octave_out = level + PITCH7_OCTAVE_BASE;
    return *octave_out;
}
