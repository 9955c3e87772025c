// The score data model: measure defaults and lengths, inherited signatures on insertion, the
// tempo map, the track table and its orders, positions of measures, comparators and the order
// of equal notes.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "model/score.h"

namespace {

// Restores every global default and the track table the cases change.
struct Score : ::testing::Test {
    int num = default_num, bit = default_bit, key = default_key;
    int volume = default_volume, tempo = g_score.default_tempo;
    int32_t tracks = g_score.track_num;
    track_info_t saved_tracks[MAX_TRACKS];
    score s;

    void SetUp() override {
        std::memcpy(saved_tracks, g_score.tracks, sizeof(g_score.tracks));
        init_score(&s);
    }
    void TearDown() override {
        destroy_score(&s);
        default_num = num;
        default_bit = bit;
        default_key = key;
        default_volume = volume;
        g_score.default_tempo = tempo;
        g_score.track_num = tracks;
        std::memcpy(g_score.tracks, saved_tracks, sizeof(g_score.tracks));
    }
    measure *append_measure() { return insert_measure(&s, s.measures.tail, new_measure()); }
    void add_tempo(measure *m, int x, int value, int type = EVENT_TEMPO) {
        m_event *e = new_m_event();
        e->x = x;
        e->type = static_cast<int16_t>(type);
        e->value = value;
        _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
    }
    note *add_note(measure *m, int x, int pitch, int track = 0) {
        note *n = new_note();
        n->x = x;
        n->pitch = static_cast<int16_t>(pitch);
        n->track = static_cast<int8_t>(track);
        return _insert_sorted_note_list(&m->notes, n, note_comp);
    }
};

TEST_F(Score, NewMeasureHasTheDefaults) {
    measure *m = new_measure();
    EXPECT_EQ(m->num, 4);
    EXPECT_EQ(m->bit, 4);
    EXPECT_EQ(m->len, 768);
    EXPECT_EQ(m->key, 0);
    EXPECT_EQ(m->n_pos, 1);
    EXPECT_EQ(m->width, 30);
    EXPECT_EQ(m->unit_x, 30);
    EXPECT_EQ(m->unit_y, 6);
    EXPECT_EQ(m->notes.num, 0);
    EXPECT_EQ(m->m_events.num, 0);
    EXPECT_EQ(m->next, nullptr);
    EXPECT_EQ(m->prev, nullptr);
    std::free(m);
}

TEST_F(Score, NewMeasureFollowsChangedDefaults) {
    default_num = 6;
    default_bit = 8;
    default_key = -3;
    measure *m = new_measure();
    EXPECT_EQ(m->len, 576);
    EXPECT_EQ(m->key, -3);
    std::free(m);
}

TEST_F(Score, MeasureLengths) {
    struct {
        int num, bit, len;
    } cases[] = {{4, 4, 768}, {3, 4, 576}, {6, 8, 576}, {5, 4, 960},
                 {3, 8, 288}, {7, 8, 672}, {2, 2, 768}, {1, 16, 48}};
    for (auto c : cases) {
        SCOPED_TRACE(::testing::Message() << c.num << "/" << c.bit);
        EXPECT_EQ(get_measure_length(c.num, c.bit), c.len);
        measure m;
        init_measure(&m);
        set_measure(&m, c.num, c.bit, 2);
        EXPECT_EQ(m.len, c.len);
        EXPECT_EQ(m.num, c.num);
        EXPECT_EQ(m.bit, c.bit);
        EXPECT_EQ(m.key, 2);
        EXPECT_EQ(m.width, 30);
    }
}

TEST_F(Score, SetMeasureRecountsColumnsAndWidth) {
    measure *m = append_measure();
    add_note(m, 0, 0);
    add_note(m, 0, 4);
    add_note(m, 96, 0);
    add_note(m, 96, 2);
    add_note(m, 192, 0);
    set_measure(m, 3, 4, 0);
    EXPECT_EQ(m->n_pos, 3);
    EXPECT_EQ(m->width, 90);
    EXPECT_EQ(get_measure_display_size(m), 90);
}

TEST_F(Score, NoteNumCountsChangesOfPosition) {
    measure *m = append_measure();
    EXPECT_EQ(get_note_num(m), 1);
    add_note(m, 0, 0);
    add_note(m, 0, 7);
    EXPECT_EQ(get_note_num(m), 1); // notes at 0 add no column
    add_note(m, 384, 0);
    EXPECT_EQ(get_note_num(m), 2);
    add_note(m, 192, 0);
    EXPECT_EQ(get_note_num(m), 3);
}

TEST_F(Score, InsertMeasureAfterInheritsSignature) {
    measure *first = append_measure();
    set_measure(first, 3, 4, -2);
    default_num = 5;
    default_bit = 8;
    default_key = 4;
    measure *second = insert_measure(&s, first, new_measure());
    EXPECT_EQ(second->num, 3);
    EXPECT_EQ(second->bit, 4);
    EXPECT_EQ(second->key, -2);
    EXPECT_EQ(second->len, 576);
    EXPECT_EQ(first->next, second);
    EXPECT_EQ(s.measures.tail, second);
}

TEST_F(Score, InsertMeasureAtFrontKeepsDefaults) {
    measure *first = append_measure();
    set_measure(first, 3, 4, -2);
    measure *front = insert_measure(&s, nullptr, new_measure());
    EXPECT_EQ(s.measures.head, front);
    EXPECT_EQ(front->num, 4);
    EXPECT_EQ(front->bit, 4);
    EXPECT_EQ(front->key, 0);
    EXPECT_EQ(front->next, first);
    EXPECT_EQ(s.measures.num, 2);
}

TEST_F(Score, InitScore) {
    EXPECT_EQ(s.measures.num, 0);
    EXPECT_EQ(s.ref_measure, nullptr);
    EXPECT_EQ(s.cursor_measure, nullptr);
    EXPECT_EQ(s.select_start, nullptr);
    EXPECT_EQ(s.select_end, nullptr);
    EXPECT_EQ(s.select_start_x, 0);
    EXPECT_EQ(s.select_end_x, 0);
    EXPECT_EQ(s.unit.x, 30);
    EXPECT_EQ(s.unit.y, 6);
    EXPECT_EQ(s.screen.x, 640);
    EXPECT_EQ(s.screen.y, 480);
    EXPECT_EQ(s.origin.x, 0);
    EXPECT_EQ(s.cursor_x, 0);
    EXPECT_EQ(s.ref_x, 0);
}

TEST_F(Score, DestroyScoreFreesMeasuresNotesAndEvents) {
    for (int i = 0; i < 3; i++) {
        measure *m = append_measure();
        add_note(m, 0, i);
        add_tempo(m, 0, 100 + i);
    }
    destroy_score(&s);
    EXPECT_EQ(s.measures.num, 0);
    EXPECT_EQ(s.measures.head, nullptr);
}

TEST_F(Score, DestroyMeasureEmptiesItButKeepsIt) {
    measure *m = append_measure();
    add_note(m, 0, 0);
    add_note(m, 96, 0);
    add_tempo(m, 0, 90);
    destroy_measure(m);
    EXPECT_EQ(m->notes.num, 0);
    EXPECT_EQ(m->notes.head, nullptr);
    EXPECT_EQ(m->m_events.num, 0);
    EXPECT_EQ(s.measures.num, 1);
}

TEST_F(Score, NoteDefaults) {
    default_volume = 100;
    note *n = new_note();
    EXPECT_EQ(n->len, 192);
    EXPECT_EQ(n->total_len, 192);
    EXPECT_EQ(n->volume, 100);
    EXPECT_EQ(n->x, 0);
    EXPECT_EQ(n->pitch, 0);
    EXPECT_EQ(n->accidental, 0);
    EXPECT_EQ(n->track, 0);
    EXPECT_EQ(n->voice, 0);
    EXPECT_EQ(n->rest, 0u);
    EXPECT_EQ(n->triplet, 0u);
    EXPECT_EQ(n->l_next, nullptr);
    EXPECT_EQ(n->l_prev, nullptr);
    std::free(n);
}

TEST_F(Score, EventDefaults) {
    m_event *e = new_m_event();
    EXPECT_EQ(e->x, 0);
    EXPECT_EQ(e->type, 0);
    EXPECT_EQ(e->value, 0);
    std::free(e);
}

TEST_F(Score, NoteComparatorByStartThenPitch) {
    note a, b;
    init_note(&a);
    init_note(&b);
    a.x = 96;
    b.x = 192;
    EXPECT_EQ(note_comp(&a, &b), 1);
    EXPECT_EQ(note_comp(&b, &a), 0);
    b.x = 96;
    a.pitch = 3;
    b.pitch = 5;
    EXPECT_EQ(note_comp(&a, &b), 1);
    EXPECT_EQ(note_comp(&b, &a), 0);
    b.pitch = 3;
    EXPECT_EQ(note_comp(&a, &b), 0);
    EXPECT_EQ(note_comp(&b, &a), 0);
}

TEST_F(Score, EventComparatorByPositionOnly) {
    m_event a, b;
    init_m_event(&a);
    init_m_event(&b);
    a.x = 10;
    b.x = 20;
    EXPECT_EQ(m_event_comp(&a, &b), 1);
    EXPECT_EQ(m_event_comp(&b, &a), 0);
    b.x = 10;
    a.value = 1;
    EXPECT_EQ(m_event_comp(&a, &b), 0);
}

TEST_F(Score, EqualNotesInTwoTracksKeepInsertionOrder) {
    measure *m = append_measure();
    add_note(m, 192, 5, 0);
    note *first = add_note(m, 192, 5, 3);
    note *second = add_note(m, 192, 5, 1);
    add_note(m, 0, 9, 2);
    add_note(m, 192, 2, 2);
    std::vector<int> tracks;
    for (note *n = m->notes.head; n; n = n->next)
        tracks.push_back(n->track);
    EXPECT_EQ(tracks, (std::vector<int>{2, 2, 0, 3, 1}));
    EXPECT_EQ(first->next, second);
}

TEST_F(Score, TempoOfFirstMeasureIsTheDefault) {
    measure *m = append_measure();
    add_tempo(m, 0, 60); // a measure's own events do not count for its start
    s.default_tempo = 133;
    EXPECT_EQ(get_measure_tempo(&s, m), 133);
}

TEST_F(Score, TempoAfterMeasureWithTwoChangesIsTheLast) {
    measure *a = append_measure();
    add_tempo(a, 0, 120);
    add_tempo(a, 384, 90);
    measure *b = append_measure();
    measure *c = append_measure();
    EXPECT_EQ(get_measure_tempo(&s, b), 90);
    EXPECT_EQ(get_measure_tempo(&s, c), 90);
}

TEST_F(Score, TempoAtEqualPositionsTakesTheLastInListOrder) {
    measure *a = append_measure();
    add_tempo(a, 0, 120);
    add_tempo(a, 0, 90);
    EXPECT_EQ(get_measure_tempo(&s, append_measure()), 90);
}

TEST_F(Score, TempoLooksBackPastMeasuresWithoutChanges) {
    measure *a = append_measure();
    add_tempo(a, 0, 72);
    measure *b = append_measure();
    add_tempo(b, 0, 5, EVENT_KEY); // not a tempo change
    append_measure();
    EXPECT_EQ(get_measure_tempo(&s, s.measures.tail), 72);
}

TEST_F(Score, TempoAtPositionInclusiveAndExclusive) {
    measure *a = append_measure();
    add_tempo(a, 0, 100);
    measure *b = append_measure();
    add_tempo(b, 192, 80);
    add_tempo(b, 384, 60);
    EXPECT_EQ(get_x_tempo(&s, b, 0, 1), 100);
    EXPECT_EQ(get_x_tempo(&s, b, 192, 1), 80);
    EXPECT_EQ(get_x_tempo(&s, b, 192, 0), 100);
    EXPECT_EQ(get_x_tempo(&s, b, 300, 0), 80);
    EXPECT_EQ(get_x_tempo(&s, b, 384, 1), 60);
    EXPECT_EQ(get_x_tempo(&s, b, 384, 0), 80);
    EXPECT_EQ(get_x_tempo(&s, b, 767, 0), 60);
}

TEST_F(Score, TrackInfoDefaults) {
    init_track_info(&g_score);
    EXPECT_EQ(g_score.tracks[8].channel, 8);
    EXPECT_EQ(g_score.tracks[9].channel, 10);
    EXPECT_EQ(g_score.tracks[0].channel, 0);
    EXPECT_EQ(g_score.tracks[31].channel, 32);
    for (int t = 0; t < MAX_TRACKS; t++) {
        SCOPED_TRACE(t);
        EXPECT_NE(g_score.tracks[t].channel, 9);
        EXPECT_EQ(g_score.tracks[t].patch, 0);
        EXPECT_EQ(g_score.tracks[t].volume, 127);
        EXPECT_EQ(g_score.tracks[t].active, 1u);
        EXPECT_EQ(g_score.tracks[t].remove, 0u);
        EXPECT_EQ(g_score.tracks[t].mute, 0u);
    }
}

TEST_F(Score, ActiveTrackOrderSkipsInactiveTracks) {
    init_track_info(&g_score);
    g_score.track_num = 4;
    g_score.tracks[1].active = 0;
    g_score.tracks[5].active = 0; // beyond track_num: not looked at
    int8_t order[MAX_TRACKS];
    int count = -1;
    get_active_track_order(order, &count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(order[0], 0);
    EXPECT_EQ(order[1], -1);
    EXPECT_EQ(static_cast<uint8_t>(order[1]), 255);
    EXPECT_EQ(order[2], 1);
    EXPECT_EQ(order[3], 2);
    int8_t list[MAX_TRACKS];
    get_active_track(list, &count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 2);
    EXPECT_EQ(list[2], 3);
}

TEST_F(Score, NotRemoveTrackOrderSkipsMarkedTracks) {
    init_track_info(&g_score);
    g_score.track_num = 3;
    g_score.tracks[0].remove = 1;
    int8_t order[MAX_TRACKS];
    int count = -1;
    get_not_remove_track_order(order, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(order[0], -1);
    EXPECT_EQ(order[1], 0);
    EXPECT_EQ(order[2], 1);
}

TEST_F(Score, NoActiveTrackGivesEmptyOrder) {
    init_track_info(&g_score);
    g_score.track_num = 2;
    g_score.tracks[0].active = g_score.tracks[1].active = 0;
    int8_t list[MAX_TRACKS];
    int count = -1;
    get_active_track(list, &count);
    EXPECT_EQ(count, 0);
}

TEST_F(Score, PositionsOfMeasures) {
    measure *a = append_measure();
    set_measure(a, 3, 4, 0);
    measure *b = append_measure();
    measure *c = append_measure();
    set_measure(c, 2, 4, 0);
    EXPECT_EQ(get_pos_by_measure(&s, a), 0);
    EXPECT_EQ(get_pos_by_measure(&s, c), 2);
    EXPECT_EQ(get_measure_by_pos(&s, 1), b);
    EXPECT_EQ(get_measure_by_pos(&s, 3), nullptr);
    EXPECT_EQ(get_measure_by_pos(&s, -1), nullptr);
    EXPECT_EQ(get_measure_x(&s, a), 0);
    EXPECT_EQ(get_measure_x(&s, b), 576);
    EXPECT_EQ(get_measure_x(&s, c), 1152);
    measure stray;
    init_measure(&stray);
    EXPECT_EQ(get_pos_by_measure(&s, &stray), -1);
    EXPECT_EQ(get_measure_x(&s, &stray), 576 + 576 + 384);
    s.ref_measure = c;
    set_score_ref_x(&s);
    EXPECT_EQ(s.ref_x, 3);
}

TEST_F(Score, SetCoordStoresBoth) {
    coord c;
    set_coord(&c, -5, 700);
    EXPECT_EQ(c.x, -5);
    EXPECT_EQ(c.y, 700);
}

} // namespace
