// Tests of pitch spelling: floor division, entry at a staff position under a key, spelling a
// pitch back in a key, the text-export spelling and the key-signature tables.
#include <gtest/gtest.h>

#include "model/pitch.h"

namespace {

struct ModCase {
    int a, b, mod, level;
};

TEST(PitchModLevel, FloorsTowardMinusInfinity) {
    const ModCase cases[] = {
        {0, 7, 0, 0},   {6, 7, 6, 0},     {7, 7, 0, 1},     {-1, 7, 6, -1},    {-7, 7, 0, -1},
        {-8, 7, 6, -2}, {-1, 12, 11, -1}, {-12, 12, 0, -1}, {-13, 12, 11, -2}, {25, 12, 1, 2},
    };
    for (const ModCase &c : cases) {
        int mod = -99, level = -99;
        get_mod_level(c.a, c.b, &mod, &level);
        EXPECT_EQ(mod, c.mod) << c.a << " / " << c.b;
        EXPECT_EQ(level, c.level) << c.a << " / " << c.b;
    }
}

note fresh_note() {
    note n;
    init_note(&n);
    return n;
}

struct EntryCase {
    int key, pos_y, accidental, relative;
    int pitch, step, written_accidental;
};

TEST(PitchSetNotePos, EntryUnderKeySignatures) {
    const EntryCase cases[] = {
        {0, 0, 0, 1, 0, 0, 0},      // middle C
        {0, 4, 1, 1, 8, 4, 1},      // G sharp in C
        {2, 3, 0, 1, 6, 3, 1},      // F in D major is F sharp
        {2, 0, 0, 1, 1, 0, 1},      // C in D major is C sharp
        {2, 1, 0, 1, 2, 1, 0},      // D is untouched
        {2, 3, -1, 1, 5, 3, 0},     // a flat entered on F sharp gives F natural
        {-1, 6, 0, 1, 10, 6, -1},   // B in F major is B flat
        {-1, 2, 0, 1, 4, 2, 0},     // E is untouched in F major
        {-3, 2, 0, 1, 3, 2, -1},    // E flat in three flats
        {-3, 5, 0, 1, 8, 5, -1},    // A flat
        {-3, 1, 0, 1, 2, 1, 0},     // D stays natural
        {0, -1, 0, 0, -1, 6, 0},    // B below middle C
        {2, 3, 0, 0, 5, 3, 0},      // absolute entry ignores the key
        {-3, -5, -1, 0, -9, 2, -1}, // E flat an octave down, absolute
        {7, 2, 0, 1, 5, 2, 1},      // E sharp in seven sharps
        {-7, 3, 0, 1, 4, 3, -1},    // F flat in seven flats
        {0, 14, 0, 1, 24, 0, 0},    // two octaves up
    };
    for (const EntryCase &c : cases) {
        note n = fresh_note();
        n.pitch12 = 5;
        set_note_pos(c.key, &n, c.pos_y, c.accidental, c.relative);
        SCOPED_TRACE(::testing::Message() << "key " << c.key << " pos " << c.pos_y);
        EXPECT_EQ(n.pitch, c.pitch);
        EXPECT_EQ(n.step, c.step);
        EXPECT_EQ(n.accidental, c.written_accidental);
        EXPECT_EQ(n.pos.y, c.pos_y);
        EXPECT_EQ(n.pitch12, 5); // left to re-spelling
    }
}

TEST(PitchSetNotePos, SharpOnSharpenedStepIsDoubleSharp) {
    note n = fresh_note();
    set_note_pos(2, &n, 0, 1, 1); // C sharp entered in D major
    EXPECT_EQ(n.accidental, 2);
    EXPECT_EQ(n.pitch, 2);
    measure m;
    init_measure(&m);
    m.key = 2;
    EXPECT_EQ(get_note_pos_y(&m, &n), 1); // re-spelled as D natural
    EXPECT_EQ(n.step, 1);
    EXPECT_EQ(n.accidental, 0);
}

struct SpellCase {
    int key, pitch;
    int pos_y, step, accidental, pitch12;
};

// Spells the chromatic octave from middle C in key and checks every entry.
void expect_spellings(int key, const int steps[12], const int accidentals[12]) {
    measure m;
    init_measure(&m);
    m.key = static_cast<int16_t>(key);
    for (int pc = 0; pc < 12; pc++) {
        note n = fresh_note();
        n.pitch = static_cast<int16_t>(pc);
        int pos_y = get_note_pos_y(&m, &n);
        SCOPED_TRACE(::testing::Message() << "key " << key << " pitch class " << pc);
        EXPECT_EQ(n.step, steps[pc]);
        EXPECT_EQ(n.accidental, accidentals[pc]);
        EXPECT_EQ(pos_y, steps[pc]);
        EXPECT_EQ(n.pos.y, steps[pc]);
        EXPECT_EQ(n.pitch12, pc);
    }
}

TEST(PitchSpelling, CMajorUsesCSharpEFlatFSharpGSharpBFlat) {
    const int steps[12] = {0, 0, 1, 2, 2, 3, 3, 4, 4, 5, 6, 6};
    const int acc[12] = {0, 1, 0, -1, 0, 0, 1, 0, 1, 0, -1, 0};
    expect_spellings(0, steps, acc);
}

TEST(PitchSpelling, DMajorPrefersSharps) {
    // A sharp: 3 against 3 from key 2 is a tie, which goes to the sharp.
    const int steps[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    const int acc[12] = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
    expect_spellings(2, steps, acc);
}

TEST(PitchSpelling, FMajorFlattensAAndB) {
    // From key -1: C sharp (3 against 3) stays sharp, A flat (4 against 2) turns flat.
    const int steps[12] = {0, 0, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
    const int acc[12] = {0, 1, 0, -1, 0, 0, 1, 0, -1, 0, -1, 0};
    expect_spellings(-1, steps, acc);
}

TEST(PitchSpelling, ThreeFlatsWritesEveryBlackKeyFlat) {
    const int steps[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
    const int acc[12] = {0, -1, 0, -1, 0, 0, -1, 0, -1, 0, -1, 0};
    expect_spellings(-3, steps, acc);
}

TEST(PitchSpelling, OctavesAroundMiddleC) {
    measure m;
    init_measure(&m);
    const SpellCase cases[] = {
        {0, -1, -1, 6, 0, 11},  {0, 12, 7, 0, 0, 0},    {0, -12, -7, 0, 0, 0},
        {0, -2, -1, 6, -1, 10}, {0, -13, -8, 6, 0, 11}, {0, 8, 4, 4, 1, 8},
        {-1, 8, 5, 5, -1, 8},   {0, 27, 16, 2, -1, 3},  {0, -60, -35, 0, 0, 0},
    };
    for (const SpellCase &c : cases) {
        m.key = static_cast<int16_t>(c.key);
        note n = fresh_note();
        n.pitch = static_cast<int16_t>(c.pitch);
        SCOPED_TRACE(::testing::Message() << "key " << c.key << " pitch " << c.pitch);
        EXPECT_EQ(get_note_pos_y(&m, &n), c.pos_y);
        EXPECT_EQ(n.step, c.step);
        EXPECT_EQ(n.accidental, c.accidental);
        EXPECT_EQ(n.pitch12, c.pitch12);
        EXPECT_EQ(n.pitch, c.pitch); // spelling never changes the pitch
    }
}

TEST(PitchSpelling, RoundTripsEveryPitchInEveryKey) {
    measure m;
    init_measure(&m);
    for (int key = -7; key <= 7; key++) {
        m.key = static_cast<int16_t>(key);
        for (int pitch = -60; pitch <= 67; pitch++) {
            note n = fresh_note();
            n.pitch = static_cast<int16_t>(pitch);
            int pos_y = get_note_pos_y(&m, &n);
            ASSERT_GE(n.accidental, -1);
            ASSERT_LE(n.accidental, 1);
            note back = fresh_note();
            set_note_pos(key, &back, pos_y, n.accidental, 0);
            ASSERT_EQ(back.pitch, pitch) << "key " << key;
            ASSERT_EQ(back.step, n.step);
        }
    }
}

TEST(PitchPitch7, OctavesCountFromBelowMiddleC) {
    int acc = -9, step = -9, octave = -9;
    EXPECT_EQ(get_pitch7(0, 0, &acc, &step, &octave), 1);
    EXPECT_EQ(octave, 1);
    EXPECT_EQ(step, 0);
    EXPECT_EQ(acc, 0);
    EXPECT_EQ(get_pitch7(-12, 0, &acc, &step, &octave), 0);
    EXPECT_EQ(get_pitch7(-1, 0, &acc, &step, &octave), 0);
    EXPECT_EQ(step, 6);
    EXPECT_EQ(get_pitch7(11, 0, &acc, &step, &octave), 1);
    EXPECT_EQ(get_pitch7(12, 0, &acc, &step, &octave), 2);
}

TEST(PitchPitch7, ChoosesSpellingByKey) {
    int acc, step, octave;
    get_pitch7(10, 0, &acc, &step, &octave);
    EXPECT_EQ(step, 6);
    EXPECT_EQ(acc, -1);
    get_pitch7(10, 2, &acc, &step, &octave);
    EXPECT_EQ(step, 5);
    EXPECT_EQ(acc, 1);
    get_pitch7(-11, -3, &acc, &step, &octave); // D flat below middle C
    EXPECT_EQ(step, 1);
    EXPECT_EQ(acc, -1);
    EXPECT_EQ(octave, 0);
}

TEST(PitchPitch7, VeryLowPitchStaysInItsOctave) {
    // Far below the keyboard the octave keeps falling one per twelve semitones.
    int acc, step, octave;
    EXPECT_EQ(get_pitch7(-97, 0, &acc, &step, &octave), -8);
    EXPECT_EQ(step, 6);
    EXPECT_EQ(acc, 0);
    EXPECT_EQ(get_pitch7(-120, 0, &acc, &step, &octave), -9);
    EXPECT_EQ(step, 0);
}

TEST(PitchTables, StepTablesAgreeWithSemitones) {
    for (int pc = 0; pc < 12; pc++) {
        int s = table_12_7_sharp[pc], f = table_12_7_flat[pc];
        bool white = table_8_12[s] == pc;
        EXPECT_EQ(white, table_8_12[f] == pc) << pc;
        if (!white) {
            EXPECT_EQ(table_8_12[s] + 1, pc);
            EXPECT_EQ(table_8_12[f] - 1, pc);
        }
    }
    EXPECT_EQ(table_8_12[7], 12);
    EXPECT_STREQ(table_7_to_a[0], "c");
    EXPECT_STREQ(table_7_to_a[6], "b");
}

int step_of(int pos_y) {
    int step, octave;
    get_mod_level(pos_y, STEPS_PER_OCTAVE, &step, &octave);
    return step;
}

TEST(PitchTables, KeyTablesFollowTheCircleOfFifths) {
    // The n-th sharp (flat) of a signature alters exactly one step, a fifth above (below)
    // the step the previous one altered.
    for (int n = 1; n <= KEY_ACCIDENTALS; n++) {
        int sharp_step = -1, flat_step = -1;
        for (int s = 0; s < STEPS_PER_OCTAVE; s++) {
            if (sharp_key_table[s] == n)
                sharp_step = s;
            if (flat_key_table[s] == n)
                flat_step = s;
        }
        ASSERT_GE(sharp_step, 0);
        ASSERT_GE(flat_step, 0);
        if (n == 1) {
            EXPECT_EQ(sharp_step, 3); // F sharp
            EXPECT_EQ(flat_step, 6);  // B flat
        }
        EXPECT_EQ(sharp_step, (3 + 4 * (n - 1)) % 7);
        EXPECT_EQ(flat_step, (6 + 3 * (n - 1)) % 7);
        // Both clefs draw the accidental on the altered step, in the same order and offsets.
        EXPECT_EQ(step_of(treble_key_sharp_table[n - 1][KEY_POS_Y]), sharp_step);
        EXPECT_EQ(step_of(treble_key_flat_table[n - 1][KEY_POS_Y]), flat_step);
        EXPECT_EQ(step_of(bass_key_sharp_table[n - 1][KEY_POS_Y]), sharp_step);
        EXPECT_EQ(step_of(bass_key_flat_table[n - 1][KEY_POS_Y]), flat_step);
        EXPECT_EQ(treble_key_sharp_table[n - 1][KEY_OFFSET_X],
                  bass_key_sharp_table[n - 1][KEY_OFFSET_X]);
        EXPECT_EQ(treble_key_flat_table[n - 1][KEY_OFFSET_X],
                  bass_key_flat_table[n - 1][KEY_OFFSET_X]);
    }
}

} // namespace
