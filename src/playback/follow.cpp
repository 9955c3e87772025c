// Loop bounds, click placement and the tempo-map walk behind the play line: pure functions
// over the score, shared by the foreground player and background playback.
#include "playback/follow.h"

#include "model/selection.h"

namespace {

constexpr double MS_PER_MINUTE = 60000.0;

double ms_per_tick(int tempo) {
    return MS_PER_MINUTE / ((tempo > 0 ? tempo : 1) * static_cast<double>(TICKS_PER_QUARTER));
}

// Index of m counted from a, or -1 when m does not follow a.
int distance(measure *a, measure *m) {
    int i = 0;
    for (measure *cur = a; cur; cur = cur->next, i++)
        if (cur == m)
            return i;
    return -1;
}

// The next tempo change of m after tick, or m->len when none comes.
int next_tempo_change(measure *m, int tick) {
    for (m_event *e = m->m_events.head; e; e = e->next)
        if (e->type == EVENT_TEMPO && e->x > tick)
            return e->x < m->len ? e->x : m->len;
    return m->len;
}

} // namespace

int loop_from_selection(score *s, play_loop *loop) {
    if (!valid_selection(s) || get_seletion_length(s) <= 0)
        return 0;
    loop->start = {s->select_start, s->select_start_x};
    loop->end = {s->select_end, s->select_end_x};
    return 1;
}

measure *loop_last_measure(const play_loop &loop) {
    if (loop.end.tick == 0 && loop.end.m->prev && loop.end.m != loop.start.m)
        return loop.end.m->prev;
    return loop.end.m;
}

int spot_reached(play_spot spot, play_spot end) {
    if (spot.m == end.m)
        return spot.tick >= end.tick;
    return distance(end.m, spot.m) > 0;
}

int measure_beats(const measure *m) {
    return m->bit > 0 && m->num > 0 ? m->num : 0;
}

click measure_click(const measure *m, int k) {
    return {k * TICKS_PER_WHOLE / m->bit, k == 0};
}

int first_click_from(const measure *m, int tick) {
    int k = 0;
    while (k < measure_beats(m) && measure_click(m, k).tick < tick)
        k++;
    return k;
}

int tempo_at(score *s, play_spot spot) {
    return get_x_tempo(s, spot.m, spot.tick, 1);
}

double ms_between(score *s, play_spot from, play_spot to) {
    double ms = 0.0;
    for (play_spot at = from; at.m;) {
        int last = at.m == to.m;
        int stop = next_tempo_change(at.m, at.tick);
        if (last && to.tick < stop)
            stop = to.tick;
        if (stop > at.tick)
            ms += (stop - at.tick) * ms_per_tick(tempo_at(s, at));
        if (last && stop >= to.tick)
            break;
        if (stop < at.m->len)
            at.tick = stop;
        else
            at = {at.m->next, 0};
    }
    return ms;
}

play_spot spot_after_ms(score *s, play_spot from, double ms) {
    play_spot at = from;
    while (at.m) {
        int stop = next_tempo_change(at.m, at.tick);
        double per_tick = ms_per_tick(tempo_at(s, at));
        double span = (stop - at.tick) * per_tick;
        if (ms < span)
            return {at.m, at.tick + static_cast<int>(ms / per_tick)};
        ms -= span;
        if (stop < at.m->len)
            at.tick = stop;
        else if (at.m->next)
            at = {at.m->next, 0};
        else
            return {at.m, at.m->len};
    }
    return at;
}
