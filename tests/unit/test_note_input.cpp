// Tests of note input mode on the global score: the octave and spelling of typed letters,
// chords, Backspace, the tie key, caret movement across measures of different signatures,
// undo of every action, MIDI chords, and the sounding of entered notes.
#include <allegro.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "editor/cursor.h"
#include "editor/edit.h"
#include "editor/history.h"
#include "editor/note_input.h"
#include "model/undo.h"
#include "model_core_helpers.h"
#include "playback/sound.h"

namespace {

using model_test::nth;
using model_test::reset_score;
using model_test::track_layout;

enum { C, D, E, F, G, A, B };

std::vector<std::vector<int>> sent;
void record(unsigned char *bytes, int count) {
    sent.emplace_back(bytes, bytes + count);
}

class NoteInputTest : public ::testing::Test {
  protected:
    void SetUp() override { start({{4, 4}}); }
    void start(std::vector<std::pair<int, int>> signatures, int tracks = 1, int key = 0) {
        note_input_stop();
        reset_score(tracks, static_cast<int>(signatures.size()));
        int i = 0;
        for (auto &sig : signatures)
            set_measure(nth(i++), sig.first, sig.second, key);
        set_coord(&g_score.origin, 63, 156);
        set_coord(&g_score.limit, 610, 474);
        for (measure *m = g_score.measures.head; m; m = m->next)
            validate_measure(m);
        midi_send = record;
        sent.clear();
        msec = 10000;
        init_channel_status();
        if (!cur_position_notes)
            cur_position_notes = create_note_p_array(CUR_POSITION_CHUNK);
        n_cur_position_notes = 0;
        edit_sound_mode = EDIT_SOUND_TRACK;
        init_note_length_history();
        dot_mode = 0;
        edited = 0;
        undo_reset();
        note_input_start(&g_score);
    }
    void TearDown() override {
        note_input_stop();
        destroy_note_p_array(cur_position_notes);
        cur_position_notes = nullptr;
        midi_send = midi_out;
        undo_reset();
        reset_score(1);
    }
    static void type(const std::string &letters) {
        for (char c : letters) {
            int upper = c >= 'A' && c <= 'G';
            int step = std::string("cdefgab").find(static_cast<char>(upper ? c - 'A' + 'a' : c));
            note_input_letter(&g_score, step, upper);
        }
    }
    // "pitch@x" ("pitch.@x" when staccato) of the notes (first pieces and continuations alike) of
    // every measure, measures separated by '|'.
    static std::string notes() {
        std::string s;
        for (measure *m = g_score.measures.head; m; m = m->next) {
            if (m != g_score.measures.head)
                s += '|';
            for (note *n = m->notes.head; n; n = n->next)
                if (!n->rest)
                    s += (s.empty() || s.back() == '|' ? "" : " ") + std::to_string(n->pitch) +
                         (n->staccato ? "." : "") + "@" + std::to_string(n->x);
        }
        return s;
    }
    static std::string layout() {
        std::string s;
        for (measure *m = g_score.measures.head; m; m = m->next)
            s += "[" + track_layout(m, 0) + "]";
        return s;
    }
    static void expect_caret(int measure_index, int x) {
        EXPECT_EQ(note_caret.measure_index, measure_index);
        EXPECT_EQ(note_caret.x, x);
    }
};

TEST_F(NoteInputTest, LetterOctaveIsNearestTheReference) {
    struct {
        int step, key, ref, pitch, pos_y;
    } cases[] = {
        {C, 0, 0, 0, 0}, {C, 0, 6, 12, 7},   {B, 0, 0, -1, -1},  {G, 0, 0, -5, -3},
        {F, 0, 0, 5, 3}, {A, 0, 11, 21, 12}, {E, 0, -7, -8, -5}, {C, 0, -4, -12, -7},
    };
    for (auto &c : cases) {
        int pos_y = 99;
        EXPECT_EQ(nearest_letter_pitch(c.step, c.key, c.ref, &pos_y), c.pitch)
            << "step " << c.step << " near " << c.ref;
        EXPECT_EQ(pos_y, c.pos_y);
    }
}

TEST_F(NoteInputTest, LettersFollowTheKeySignature) {
    struct {
        int key, step, pitch, accidental;
    } cases[] = {
        {1, F, 6, 1}, {2, C, 1, 1}, {-1, B, -2, -1}, {-3, A, -4, -1}, {-3, C, 0, 0}, {0, F, 5, 0},
    };
    for (auto &c : cases) {
        start({{4, 4}}, 1, c.key);
        note_input_letter(&g_score, c.step, 0);
        note *n = nth(0)->notes.head;
        ASSERT_FALSE(n->rest);
        EXPECT_EQ(n->pitch, c.pitch) << "key " << c.key << " step " << c.step;
        EXPECT_EQ(n->accidental, c.accidental);
    }
}

TEST_F(NoteInputTest, ScaleRisesFromMiddleCOnConsecutiveQuarters) {
    type("cdefgabc");
    EXPECT_EQ(notes(), "0@0 2@192 4@384 5@576|7@0 9@192 11@384 12@576");
    expect_caret(2, 0);
    EXPECT_EQ(undo_steps(), 8);
    EXPECT_EQ(edited, 1);
}

TEST_F(NoteInputTest, ShiftLettersBuildAChordAboveWhichTheNextNoteIsChosen) {
    type("cEGC");
    EXPECT_EQ(notes(), "0@0 4@0 7@0 12@0");
    expect_caret(0, 192);
    type("b"); // nearest the chord's first note, middle C
    EXPECT_EQ(notes(), "0@0 4@0 7@0 12@0 -1@192");
}

TEST_F(NoteInputTest, BackspaceTakesBackTheWholeChordAndThenTheNoteBefore) {
    type("dcEG");
    note_input_backspace(&g_score);
    EXPECT_EQ(notes(), "2@0");
    expect_caret(0, 192);
    EXPECT_EQ(track_layout(nth(0), 0), "0:192 r192:576");
    type("e"); // the octave reference is the D again
    EXPECT_EQ(notes(), "2@0 4@192");
    note_input_backspace(&g_score);
    note_input_backspace(&g_score);
    EXPECT_EQ(notes(), "");
    expect_caret(0, 0);
    EXPECT_EQ(note_input_backspace(&g_score), 0);
}

TEST_F(NoteInputTest, PlusTiesTheLastChordAcrossTheBarLine) {
    type("ccc");
    note_type = 384;
    type("gB");
    note_type = 192;
    note_input_extend(&g_score);
    EXPECT_EQ(notes(), "0@0 0@192 0@384 -5@576 -1@576|-5@0 -1@0");
    note *first = nth(0)->notes.tail;
    while (first->rest)
        first = first->prev;
    EXPECT_EQ(first->total_len, 576);
    ASSERT_NE(first->l_next, nullptr);
    EXPECT_EQ(first->l_next->len, 384);
    expect_caret(1, 384);
}

TEST_F(NoteInputTest, ShiftDotMarksTheLastChordAndAgainClearsIt) {
    type("ccccE");
    note_input_extend(&g_score); // the last chord, tied over the bar line
    note_input_staccato(&g_score);
    EXPECT_EQ(notes(), "0@0 0@192 0@384 0.@576 4.@576|0.@0 4.@0");
    note_input_staccato(&g_score);
    EXPECT_EQ(notes(), "0@0 0@192 0@384 0@576 4@576|0@0 4@0");
}

TEST_F(NoteInputTest, CaretCrossesMeasuresOfDifferentSignatures) {
    start({{3, 4}, {2, 4}, {6, 8}});
    struct {
        int direction, length, measure_index, x;
    } moves[] = {
        {1, 192, 0, 192},  {1, 384, 1, 0},    {1, 192, 1, 192}, {1, 192, 2, 0},
        {-1, 192, 1, 192}, {-1, 576, 0, 192}, {-1, 192, 0, 0},  {-1, 192, 0, 0},
        {1, 768, 1, 192},  {1, 768, 3, 0},    {1, 192, 3, 0},
    };
    for (auto &mv : moves) {
        note_type = mv.length;
        note_input_move_caret(&g_score, mv.direction);
        expect_caret(mv.measure_index, mv.x);
    }
    EXPECT_EQ(notes(), "||");
    type("c"); // at the end of the score: a measure is appended for it
    EXPECT_EQ(g_score.measures.num, 4);
}

TEST_F(NoteInputTest, UpDownRespellAndCtrlMovesAnOctave) {
    struct {
        int key, semitones, pitch, step, accidental;
    } cases[] = {
        {0, 1, 1, 0, 1},   {-3, 1, 1, 1, -1},   {0, -1, -1, 6, 0},
        {0, 12, 12, 0, 0}, {0, -12, -12, 0, 0},
    };
    for (auto &c : cases) {
        start({{4, 4}}, 1, c.key);
        type("cG");
        note_input_transpose(&g_score, c.semitones);
        EXPECT_EQ(notes(), std::to_string(c.pitch) + "@0 " + std::to_string(7 + c.semitones) + "@0")
            << "key " << c.key << " by " << c.semitones;
        note *n = nth(0)->notes.head;
        EXPECT_EQ(n->step, c.step);
        EXPECT_EQ(n->accidental, c.accidental);
    }
}

TEST_F(NoteInputTest, AltArrowsMoveTheCaretBetweenShownTracks) {
    start({{4, 4}}, 3);
    g_score.tracks[1].active = 0;
    update_active_tracks();
    EXPECT_EQ(note_input_change_track(&g_score, 1), 1);
    EXPECT_EQ(note_caret.track, 2);
    EXPECT_EQ(note_input_change_track(&g_score, 1), 0);
    type("c");
    note *n = nth(0)->notes.head;
    while (n->rest)
        n = n->next;
    EXPECT_EQ(n->track, 2);
    EXPECT_EQ(n->pitch, 0);
    note_input_change_track(&g_score, -1);
    EXPECT_EQ(note_caret.track, 0);
}

TEST_F(NoteInputTest, EveryActionIsOneUndoStep) {
    struct {
        const char *name;
        const char *typed_before;
        std::function<int()> action;
    } actions[] = {
        {"letter", "ccc", [] { return note_input_letter(&g_score, D, 0); }},
        {"chord letter", "ccc", [] { return note_input_letter(&g_score, E, 1); }},
        {"up", "ccc", [] { return note_input_transpose(&g_score, 1); }},
        {"ctrl down", "cccc", [] { return note_input_transpose(&g_score, -12); }},
        {"backspace", "ccc", [] { return note_input_backspace(&g_score); }},
        {"plus", "ccc", [] { return note_input_extend(&g_score); }},
        {"plus over the bar line", "cccc", [] { return note_input_extend(&g_score); }},
        {"staccato", "ccE", [] { return note_input_staccato(&g_score); }},
        {"midi chord", "ccc",
         [] {
             const int keys[] = {62, 65};
             note_input_chord(keys, 2);
             return 1;
         }},
    };
    for (auto &a : actions) {
        start({{4, 4}});
        type(a.typed_before);
        std::string before = notes() + layout();
        int steps = undo_steps();
        ASSERT_EQ(a.action(), 1) << a.name;
        EXPECT_NE(notes() + layout(), before) << a.name;
        EXPECT_EQ(undo_steps(), steps + 1) << a.name;
        ASSERT_EQ(undo(&g_score), 1);
        EXPECT_EQ(notes() + layout(), before) << a.name;
    }
}

TEST_F(NoteInputTest, MidiChordEntersSpelledAtTheCaret) {
    start({{4, 4}}, 1, -3);
    const int keys[] = {67, 61, 128, 64, -1};
    note_input_chord(keys, 5);
    EXPECT_EQ(notes(), "1@0 4@0 7@0");
    note *db = nth(0)->notes.head;
    EXPECT_EQ(db->step, 1);
    EXPECT_EQ(db->accidental, -1);
    expect_caret(0, 192);
    EXPECT_EQ(undo_steps(), 1);
    note_input_chord(keys, 0);
    note_input_stop();
    note_input_chord(keys, 2);
    EXPECT_EQ(notes(), "1@0 4@0 7@0");
    EXPECT_FALSE(note_input_active());
}

TEST_F(NoteInputTest, EnteredChordSoundsAndFallsSilentLater) {
    type("cE");
    auto count = [](int status) {
        int n = 0;
        for (auto &b : sent)
            n += (b[0] & 0xF0) == status && b[2] > 0;
        return n;
    };
    EXPECT_EQ(count(STATUS_NOTE_ON), 3); // C, then C and E again
    auto sounding_keys = [] {
        int n = 0;
        for (auto &row : channel_status)
            for (channel_status_t &cell : row)
                n += cell.count;
        return n;
    };
    note_input_idle();
    EXPECT_EQ(sounding_keys(), 2);
    // Undo frees the chord's notes while they sound; switching them off must not read them.
    undo(&g_score);
    msec += 1000;
    note_input_idle();
    EXPECT_EQ(sounding_keys(), 0);
    EXPECT_EQ(n_cur_position_notes, 0);
}

TEST_F(NoteInputTest, ClickPlacesTheCaretAndAClickedNoteCountsAsEntered) {
    const int x = 63 + 30 * 0, y = 156 - 6 * 4; // first column, the G above middle C
    note_input_click(&g_score, x, y);
    expect_caret(0, 0);
    ASSERT_EQ(screen_insert_note_list(&g_score, x, y, 0), 1);
    note_input_click_entered(&g_score);
    expect_caret(0, 192);
    type("a");
    EXPECT_EQ(notes(), "7@0 9@192");
    note_input_backspace(&g_score);
    note_input_backspace(&g_score);
    EXPECT_EQ(notes(), "");
}

} // namespace
