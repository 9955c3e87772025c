// Helpers of the score-model tests: a fresh global score of a number of tracks, note making,
// measure lookup and the structural checks of validated and expanded measures.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/state.h"
#include "model/seq.h"

namespace model_test {

// Resets g_score to `measures` empty measures of num/bit and the track table to `tracks`
// shown tracks; the view is scrolled to the start.
inline void reset_score(int tracks, int measures = 1, int num = 4, int bit = 4) {
    destroy_score(&g_score);
    init_score(&g_score);
    g_score.track_num = tracks;
    init_track_info(&g_score);
    update_active_tracks();
    offset_x = offset_y = 0;
    track_height = DEFAULT_TRACK_HEIGHT;
    measure *last = nullptr;
    for (int i = 0; i < measures; i++) {
        measure *m = new_measure();
        set_measure(m, num, bit, 0);
        last = _insert_measure_list(&g_score.measures, last, m);
    }
    g_score.ref_measure = g_score.measures.head;
    g_score.ref_x = 1;
}

// Frees everything the score holds and leaves it empty for the next suite.
inline void release_score() {
    destroy_score(&g_score);
    init_score(&g_score);
}

inline measure *nth(int i) {
    return get_measure_by_pos(&g_score, i);
}

// Inserts, sorted, a note of the given start, length, pitch and track; spelled in m's key.
inline note *add_note(measure *m, int x, int len, int pitch = 0, int track = 0) {
    note *n = new_note();
    n->x = x;
    n->len = n->total_len = static_cast<int16_t>(len);
    n->pitch = static_cast<int16_t>(pitch);
    n->track = static_cast<int8_t>(track);
    get_note_pos_y(m, n);
    return _insert_sorted_note_list(&m->notes, n, note_comp);
}

inline int count_elements(measure *m, bool rests) {
    int n = 0;
    for (note *e = m->notes.head; e; e = e->next)
        n += (e->rest != 0) == rests;
    return n;
}

// "x:len" of the elements of one track, rests marked r, in list order.
inline std::string track_layout(measure *m, int track) {
    std::string s;
    for (note *e = m->notes.head; e; e = e->next) {
        if (e->track != track)
            continue;
        if (!s.empty())
            s += ' ';
        s += (e->rest ? "r" : "") + std::to_string(e->x) + ":" + std::to_string(e->len);
    }
    return s;
}

// The list is sorted by note_comp.
inline void expect_sorted(measure *m) {
    for (note *e = m->notes.head; e && e->next; e = e->next)
        ASSERT_FALSE(note_comp(e->next, e)) << "unsorted at x " << e->x;
}

// Every tick of m is covered, in every track, by as many elements as the track has voices
// (one for a silent track). Reads the voice slots of the last validation.
inline void expect_voices_fill_measure(measure *m) {
    for (int t = 0; t < g_score.track_num; t++) {
        int voices = 0;
        for (int i = 0; i < n_voice_slot; i++)
            voices += voice_slot[i].track == t;
        if (!track_note_exist[t])
            voices = 1;
        std::vector<int> cover(m->len, 0);
        for (note *e = m->notes.head; e; e = e->next)
            if (e->track == t)
                for (int k = e->x; k < e->x + e->len; k++) {
                    ASSERT_TRUE(k >= 0 && k < m->len) << "track " << t << " x " << e->x;
                    cover[k]++;
                }
        for (int k = 0; k < m->len; k++)
            ASSERT_EQ(cover[k], voices) << "track " << t << " tick " << k;
    }
}

// pos.x numbers the distinct starts of shown elements; n_pos and width follow.
inline void expect_columns(measure *m) {
    int column = -1;
    int prev = -1000000;
    for (note *e = m->notes.head; e; e = e->next) {
        if (!g_score.tracks[e->track].active)
            continue;
        if (e->x != prev)
            column++;
        prev = e->x;
        ASSERT_EQ(e->pos.x, column);
    }
    ASSERT_EQ(m->n_pos, column < 0 ? 1 : column + 1);
    ASSERT_EQ(m->width, m->unit_x * m->n_pos);
}

// Every piece of every chain lies in its measure; links agree both ways; total_len sums up;
// notes are single notatable values (or the whole measure).
inline void expect_chains(score *s) {
    for (measure *m = s->measures.head; m; m = m->next)
        for (note *e = m->notes.head; e; e = e->next) {
            ASSERT_GE(e->x, 0);
            ASSERT_LE(e->x + e->len, m->len) << "piece past the bar line";
            if (e->l_next) {
                ASSERT_EQ(e->l_next->l_prev, e);
                ASSERT_EQ(e->total_len, e->len + e->l_next->total_len);
                ASSERT_EQ(e->l_next->pitch, e->pitch);
                ASSERT_EQ(e->l_next->track, e->track);
            } else {
                ASSERT_EQ(e->total_len, e->len);
            }
            if (e->l_prev) {
                ASSERT_EQ(e->l_prev->l_next, e);
            }
            if (!e->rest) {
                ASSERT_TRUE(is_unit_length(e->len) || e->len == m->len || e->len < 4)
                    << "len " << e->len << " at " << e->x;
            }
        }
}

} // namespace model_test
