// What the edit dialogs and the track settings do once their fields are read: field limits,
// proposals, key rows, measure insertion, selection volume and tempo, note length, ties, and
// the working copy of the track table. The windows themselves are tested end to end.
#include "model_core_helpers.h"

#include <climits>
#include <cstring>

#include "gui/dialog_apply.h"
#include "gui/track_dialog.h"
#include "invariants.h"

namespace {

using namespace model_test;

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        reset_score(2, 4);
        g_score.cursor_measure = nullptr;
        init_score_select(&g_score);
        edited = 0;
        default_num = default_bit = 4;
        default_key = 0;
        g_score.default_tempo = 120;
        default_volume = 127;
        for (measure *m = g_score.measures.head; m; m = m->next)
            validate_measure(m);
    }
    void TearDown() override { release_score(); }

    void select(int m1, int x1, int m2, int x2) {
        g_score.select_start = nth(m1);
        g_score.select_start_x = x1;
        g_score.select_end = nth(m2);
        g_score.select_end_x = x2;
    }
};

TEST(DialogFields, KeyRows) {
    int count = 0;
    EXPECT_EQ(key_list_getter(-1, &count), nullptr);
    EXPECT_EQ(count, 15);
    EXPECT_STREQ(key_list_getter(0, nullptr), "7 sharp");
    EXPECT_STREQ(key_list_getter(7, nullptr), "C");
    EXPECT_STREQ(key_list_getter(9, nullptr), "2 flat");
    EXPECT_STREQ(key_list_getter(14, nullptr), "7 flat");
    const int rows[][2] = {{0, 7}, {7, 0}, {14, -7}, {-3, 7}, {99, -7}};
    for (auto r : rows)
        EXPECT_EQ(key_of_row(r[0]), r[1]) << r[0];
    EXPECT_EQ(row_of_key(-2), 9);
    EXPECT_EQ(row_of_key(12), 0);
}

TEST(DialogFields, MeasureSettingsLimits) {
    struct {
        const char *num, *bit, *tempo, *tracks;
        int row;
        int want_num, want_bit, want_tempo, want_tracks, want_key;
    } cases[] = {
        {"3", "8", "90", "2", 9, 3, 8, 90, 2, -2},
        {"0", "4", "0", "0", 7, 4, 4, 120, 1, 0}, // beats 0 and tempo 0 keep; tracks at least 1
        {"4", "-2", "-5", "40", 0, 4, 4, 120, 31, 7},
        {"100", "1", "60", "3", 7, 4, 4, 60, 3, 0},  // 76800 ticks would wrap the 16-bit length
        {"1", "1000", "60", "3", 7, 4, 4, 60, 3, 0}, // a measure shorter than one tick
        {"99999999999", "4", "99999999999", "99999999999", 7, 4, 4, INT_MAX, 31, 0},
        {"6", "16", "200", "31", 7, 6, 16, 200, 31, 0},
    };
    for (auto c : cases) {
        default_num = default_bit = 4;
        g_score.default_tempo = 120;
        apply_compose_fields(c.num, c.bit, c.tempo, c.tracks, c.row);
        EXPECT_EQ(default_num, c.want_num) << c.num << "/" << c.bit;
        EXPECT_EQ(default_bit, c.want_bit) << c.num << "/" << c.bit;
        EXPECT_EQ(g_score.default_tempo, c.want_tempo) << c.tempo;
        EXPECT_EQ(g_score.track_num, c.want_tracks) << c.tracks;
        EXPECT_EQ(default_key, c.want_key) << c.row;
    }
}

TEST(DialogFields, NumberFieldLimits) {
    char text[FIELD_TEXT_SIZE];
    midi_grid_text(text, sizeof text, 4);
    EXPECT_STREQ(text, "3*4");
    const struct {
        const char *text;
        int atom;
    } grids[] = {{"3*4", 4},  {"768", 256}, {"2", 16},      {"bad(", 16},
                 {"100", 32}, {"-96", 32},  {"3*511", 256}, {"3*512", 16}};
    for (auto g : grids)
        EXPECT_EQ(midi_atom_from_text(g.text, 16), g.atom) << g.text;
    midi_grid_choice_text(text, sizeof text, 1, 4);
    EXPECT_STREQ(text, "automatic");
    const struct {
        const char *text;
        int automatic, atom;
    } choices[] = {
        {"automatic", 1, 16}, {"exact", 0, 16}, {"3*4", 0, 4}, {"bad(", 1, 16}, {" exact", 0, 16}};
    for (auto c : choices) {
        int automatic = 1, atom = 16;
        midi_grid_from_text(c.text, &automatic, &atom);
        EXPECT_EQ(automatic, c.automatic) << c.text;
        EXPECT_EQ(atom, c.atom) << c.text;
    }
    const struct {
        const char *text;
        int def, velocity;
    } volumes[] = {{"100", 100, 100}, {"128", 90, 127}, {"-1", 90, 0},
                   {"x", 0, 0},       {"64+1", 65, 65}, {"3*(64)", 90, 127}};
    for (auto v : volumes) {
        EXPECT_EQ(default_volume_from_text(v.text, 90), v.def) << v.text;
        EXPECT_EQ(velocity_from_text(v.text), v.velocity) << v.text;
    }
    EXPECT_EQ(field_int("12abc"), 12);
    EXPECT_EQ(field_int("-99999999999"), INT_MIN);
    EXPECT_EQ(field_calc("7/2"), 3);
    EXPECT_EQ(field_calc("1/0"), 0);
}

TEST_F(Dialogs, InsertThreeMeasuresAtTheHead) {
    EXPECT_EQ(insert_measures(&g_score, 3), 0); // no cursor
    measure *first = nth(0);
    set_measure(first, 3, 4, 2);
    add_note(first, 0, 192, 2);
    validate_measure(first);
    g_score.cursor_measure = first;
    g_score.cursor_x = 0;
    EXPECT_EQ(insert_measures(&g_score, 3), 1);
    EXPECT_EQ(g_score.measures.num, 7);
    EXPECT_EQ(nth(3), first);
    EXPECT_EQ(g_score.cursor_measure, nth(0));
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(nth(i)->num, 3);
        EXPECT_EQ(nth(i)->key, 2);
        EXPECT_EQ(count_elements(nth(i), false), 0);
    }
    EXPECT_EQ(edited, 1);
    EXPECT_TRUE(score_invariants(&g_score));
}

TEST_F(Dialogs, InsertingInsideATieKeepsTheWholeNote) {
    note *n = add_note(nth(0), 576, 384, 5);
    note_expand_by_measure(&g_score, nth(0), n);
    validate_measure(nth(0));
    validate_measure(nth(1));
    g_score.cursor_measure = nth(1);
    std::string error;
    auto before = compressed_whole_notes(&g_score, &error);
    insert_measures(&g_score, 2);
    EXPECT_EQ(g_score.measures.num, 6);
    EXPECT_EQ(compressed_whole_notes(&g_score, &error), before) << error;
    EXPECT_TRUE(score_invariants(&g_score));
}

TEST_F(Dialogs, GoToMeasureStopsAtTheEnds) {
    const int targets[][2] = {{3, 3}, {99, 4}, {1, 1}, {2, 2}};
    for (auto t : targets) {
        go_to_measure(&g_score, t[0]);
        EXPECT_EQ(g_score.ref_x, t[1]);
        EXPECT_EQ(g_score.ref_measure, nth(t[1] - 1));
    }
}

TEST_F(Dialogs, SelectionVolume) {
    EXPECT_STREQ(selection_problem(&g_score), "Selection is'nt set.See Help.");
    select(1, 0, 1, 0);
    EXPECT_STREQ(selection_problem(&g_score), "Selection is empty");
    EXPECT_EQ(selection_average_volume(&g_score), default_volume);
    note *a = add_note(nth(0), 0, 768, 0, 0);
    note *b = add_note(nth(0), 0, 768, 4, 1);
    note *outside = add_note(nth(1), 0, 768, 0, 0);
    a->volume = 100, b->volume = 50, outside->volume = 10;
    validate_measure(nth(0));
    select(0, 0, 0, 384);
    EXPECT_EQ(selection_problem(&g_score), nullptr);
    EXPECT_EQ(selection_average_volume(&g_score), 75);
    EXPECT_GT(set_selection_volume(&g_score, 300), 0);
    EXPECT_EQ(a->volume, 127);
    EXPECT_EQ(b->volume, 127);
    EXPECT_EQ(outside->volume, 10);
}

TEST_F(Dialogs, NoteLengthProposalAndLimits) {
    char text[FIELD_TEXT_SIZE];
    note *n = add_note(nth(0), 0, 192, 0);
    validate_measure(nth(0));
    note_length_text(n, text, sizeof text);
    EXPECT_STREQ(text, "3*(64)");
    n->total_len = 100;
    note_length_text(n, text, sizeof text);
    EXPECT_STREQ(text, "100");
    n->total_len = 192;
    EXPECT_EQ(apply_note_length(&g_score, nth(0), n, 0), 0);
    EXPECT_EQ(n->len, 192);
    EXPECT_EQ(apply_note_length(&g_score, nth(0), n, 40000), 1);
    EXPECT_EQ(n->total_len, 32767);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(apply_note_length(&g_score, nth(0), n, 3 * 64), 1);
    EXPECT_EQ(n->total_len, 192);
    EXPECT_EQ(n->l_next, nullptr);
    EXPECT_TRUE(score_invariants(&g_score)); // the measures the long note left are refilled
    EXPECT_EQ(edited, 1);
    EXPECT_EQ(apply_note_volume(n, 0), 0);
    EXPECT_EQ(apply_note_volume(n, 500), 1);
    EXPECT_EQ(n->volume, 127);
}

int tempo_event(measure *m, int x) {
    for (m_event *e = m->m_events.head; e; e = e->next)
        if (e->type == EVENT_TEMPO && e->x == x)
            return e->value;
    return -1;
}

TEST_F(Dialogs, SelectionTempo) {
    char text[FIELD_TEXT_SIZE];
    int t2;
    select(0, 0, 2, 0);
    tempo_proposal(&g_score, text, sizeof text, &t2);
    EXPECT_STREQ(text, "120");
    EXPECT_STREQ(apply_selection_tempo(&g_score, "abc", t2), "Invalid expression");
    EXPECT_STREQ(apply_selection_tempo(&g_score, "0.5", t2), "Invalid tempo (<1)");
    EXPECT_EQ(nth(0)->m_events.num, 0);
    EXPECT_EQ(apply_selection_tempo(&g_score, "120", t2), nullptr); // the tempo after it
    EXPECT_EQ(tempo_event(nth(0), 0), 120);
    EXPECT_EQ(nth(2)->m_events.num, 0);
    EXPECT_EQ(apply_selection_tempo(&g_score, "90", t2), nullptr);
    EXPECT_EQ(tempo_event(nth(0), 0), 90);
    EXPECT_EQ(tempo_event(nth(2), 0), 120); // the music after the selection keeps its tempo
    select(1, 0, 2, 384);
    tempo_proposal(&g_score, text, sizeof text, &t2);
    EXPECT_STREQ(text, "(90+120)/2");
    EXPECT_EQ(apply_selection_tempo(&g_score, text, t2), nullptr);
    EXPECT_EQ(tempo_event(nth(1), 0), 105);
    EXPECT_EQ(tempo_event(nth(2), 384), 120);
    EXPECT_EQ(nth(0)->m_events.num, 1);
}

TEST_F(Dialogs, TiePreconditions) {
    EXPECT_STREQ(tie_note(nullptr, nullptr), "No note is in cursor");
    set_measure(nth(1), 3, 4, 0);
    note *a = add_note(nth(0), 0, 384, 7);
    note *b = add_note(nth(0), 384, 384, 7);
    note *c = add_note(nth(1), 0, 192, 7);
    note *other = add_note(nth(1), 192, 192, 8);
    for (int i = 0; i < 2; i++)
        validate_measure(nth(i));
    EXPECT_STREQ(tie_note(nth(1), other), "Can't Tie"); // no note of its pitch ends before it
    EXPECT_EQ(tie_note(nth(0), b), nullptr);
    EXPECT_EQ(a->l_next, b);
    EXPECT_EQ(a->total_len, 768);
    EXPECT_STREQ(tie_note(nth(0), b), "Can't Tie"); // continues already
    EXPECT_EQ(tie_note(nth(1), c), nullptr);        // across a change of time signature
    EXPECT_EQ(a->total_len, 960);
    EXPECT_EQ(edited, 1);
    EXPECT_STREQ(untie_note(a), "Can't UnTie");
    EXPECT_STREQ(untie_note(nullptr), "No note is in the cursor");
    EXPECT_EQ(untie_note(b), nullptr);
    EXPECT_EQ(a->l_next, nullptr);
    EXPECT_EQ(a->total_len, 384);
    EXPECT_EQ(b->total_len, 576);
    EXPECT_STREQ(tie_note(nth(1), c), "Can't Tie"); // its partner b no longer ends its chain
}

TEST_F(Dialogs, TieRefusesLengthsAbove32767) {
    note *a = add_note(nth(0), 0, 192, 3);
    note *b = add_note(nth(0), 192, 192, 3);
    validate_measure(nth(0));
    note earlier; // a chain that already holds 32767 - 383 ticks before a
    init_note(&earlier);
    earlier.len = 32767 - 383;
    _l_tie_note(&earlier, a);
    EXPECT_STREQ(tie_note(nth(0), b), "Can't Tie: the tied note would be longer than 32767 ticks");
    EXPECT_EQ(a->l_next, nullptr);
    earlier.len--;
    EXPECT_EQ(tie_note(nth(0), b), nullptr); // exactly 32767
    _l_untie_note(b);
    _l_untie_note(a);
}

class TrackDialog : public Dialogs {
  protected:
    void SetUp() override {
        Dialogs::SetUp();
        std::memset(selected_tracks_flag, 0, sizeof selected_tracks_flag);
        start_track_editing();
    }
};

TEST_F(TrackDialog, ChannelRuleAndInstruments) {
    const int channels[][2] = {{0, 0}, {3, 3}, {8, 8}, {9, 10}, {10, 11}, {30, 31}};
    for (auto c : channels)
        EXPECT_EQ(melodic_channel(c[0]), c[1]);
    int count = 0;
    EXPECT_EQ(inst_list_getter(-1, &count), nullptr);
    EXPECT_EQ(count, 129);
    EXPECT_STREQ(inst_list_getter(0, nullptr), "Acoustic Grand");
    EXPECT_STREQ(inst_list_getter(128, nullptr), "Percussions");
    EXPECT_STREQ(inst_list_getter(77, nullptr), "Shakuhachi");
    EXPECT_STREQ(inst_list_getter(127, nullptr), "Gunshot");
    for (int i = 0; i < 4; i++)
        append_track_copy();
    selected_tracks_flag[3] = 1;
    set_tracks_patch(1, PERCUSSION_PATCH);
    EXPECT_EQ(track_info_copy[1].channel, 9);
    EXPECT_EQ(track_info_copy[3].channel, 9);
    EXPECT_EQ(track_info_copy[0].channel, 0);
    set_tracks_patch(1, 40);
    EXPECT_EQ(track_info_copy[1].channel, 1);
    EXPECT_EQ(track_info_copy[3].channel, 3);
    EXPECT_EQ(track_info_copy[3].patch, 40);
}

TEST_F(TrackDialog, ChannelField) {
    const struct {
        const char *text;
        int channel, patch;
    } cases[] = {{"9", 9, 128}, {"4", 4, 0},    {"16", 4, 0}, {"-1", 4, 0},
                 {"x", 4, 0},   {"2*7", 14, 0}, {"9", 9, 128}};
    for (auto c : cases) {
        set_track_channel(1, c.text);
        EXPECT_EQ(track_info_copy[1].channel, c.channel) << c.text;
        EXPECT_EQ(track_info_copy[1].patch, c.patch) << c.text;
    }
    EXPECT_EQ(set_track_channel(5, "3"), 0); // not a track of the copy
}

// A track row: its head and the instrument name padded to 32 characters.
std::string row(const char *head, const char *instrument) {
    std::string name = instrument;
    return head + name + std::string(32 - name.size(), ' ');
}

TEST_F(TrackDialog, RowsAppendAndMarks) {
    track_info_copy[1].mute = 1;
    track_info_copy[1].active = 0;
    track_info_copy[1].volume = 99;
    track_info_copy[1].patch = PERCUSSION_PATCH;
    EXPECT_EQ(track_list_getter(0, nullptr), row(" track 00 A   127 ", "Acoustic Grand"));
    EXPECT_EQ(track_list_getter(1, nullptr), row(" track 01 I  M  99 ", "Percussions"));
    int count = 0;
    track_list_getter(-1, &count);
    EXPECT_EQ(count, 2);
    while (append_track_copy())
        ;
    EXPECT_EQ(track_num_copy, 31);
    EXPECT_EQ(track_info_copy[30].channel, 31);
    EXPECT_EQ(track_list_getter(30, nullptr), row(" track 30 A   127 ", "Acoustic Grand"));
    selected_tracks_flag[5] = 1;
    mark_tracks_removal(2, 1);
    for (int t = 0; t < 31; t++)
        EXPECT_EQ(track_info_copy[t].remove, t == 2 || t == 5) << t;
    EXPECT_EQ(track_list_getter(2, nullptr)[0], 'X');
    mark_tracks_removal(2, 0);
    for (int t = 0; t < 31; t++)
        EXPECT_EQ(track_info_copy[t].remove, 0u) << t;
    toggle_tracks_mute(0);
    toggle_tracks_active(0);
    EXPECT_EQ(track_info_copy[0].mute, 1u);
    EXPECT_EQ(track_info_copy[5].active, 0u);
}

TEST_F(TrackDialog, OkAppliesDefaultsVolumesAndScroll) {
    note *n0 = add_note(nth(0), 0, 192, 0, 0);
    note *n1 = add_note(nth(0), 0, 192, 4, 1);
    validate_measure(nth(0));
    set_tracks_volume(1, 50);
    track_info_copy[0].active = 0;
    offset_y = 2 * track_height + 10;
    finish_track_editing("0", 200, 12, 96, 100);
    EXPECT_EQ(g_score.default_tempo, 96);
    EXPECT_EQ(default_volume, 100);
    EXPECT_EQ(default_patch, 12);
    EXPECT_EQ(offset_y, track_height + 10);
    EXPECT_EQ(n1->volume, 50);
    EXPECT_EQ(n0->volume, 127);
    EXPECT_EQ(g_score.tracks[1].volume, 50);
    EXPECT_EQ(g_score.tracks[0].active, 0u);
    EXPECT_EQ(n_active_track, 1);
    EXPECT_EQ(edited, 1);
    offset_y = -track_height / 2; // scrolled above the first track: nothing to keep
    finish_track_editing("120", 127, 0, 96, 100);
    EXPECT_EQ(offset_y, -track_height / 2);
    for (note *e = nth(0)->notes.head; e; e = e->next) {
        if (e->rest && e->track == 1) {
            EXPECT_NE(e->volume, 50);
        }
    }
}

} // namespace
