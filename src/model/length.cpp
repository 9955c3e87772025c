// Note lengths: the length tables, the length classes and the clipping of a length to the
// first notatable piece that respects the beat grid of its measure.
#include "model/length.h"

#include <cstdlib>

const int32_t unit_length[] = {768, 384, 192, 96,  48,  24,  12, 6,  3,  576, 288, 144, 72,
                               36,  18,  9,   512, 256, 128, 64, 32, 16, 8,   4,   2,   0};
const int32_t decompose_unit[] = {768, 384, 192, 96, 48, 24, 12, 6, 3, 0};
const int32_t decompose_triplet_unit[] = {256, 128, 64, 32, 16, 8, 4, 0};
const int32_t prime_number_table[] = {3, 5, 7, 11, 13, 17, 0};

namespace {

constexpr int PLAIN_FACTOR = 3;      // plain values are 3 times a power of two
constexpr int MAX_TRIPLET_LEN = 256; // the longest triplet value (half-note triplet)
constexpr int MAX_NUM_FACTORS = 9;   // factors of a numerator that are tried
// Grid candidates: the measure, one per numerator factor, and the whole of a unit table.
constexpr int MAX_GRID = 1 + MAX_NUM_FACTORS + 16;

// The candidate grid of get_clipped_len in one of its two modes, keeping only the candidates
// that divide the measure into whole units (the others never take part in a scan).
struct grid {
    int g[MAX_GRID];
    int n;
    bool triplet_mode;
};

// Steps 1 and 2: the measure length, then divided by each factor of the numerator in turn.
int measure_candidates(const measure *m, int *out) {
    int n = 0;
    out[n++] = m->len;
    int rest = m->num;
    for (int i = 0; i < MAX_NUM_FACTORS; i++) {
        int p = get_divisible_prime(rest);
        if (p == 1)
            break;
        out[n] = out[n - 1] / p;
        n++;
        rest /= p;
    }
    return n;
}

// A candidate takes part only when it divides the measure into whole units.
bool usable(const measure *m, int g) {
    return g > 0 && g <= m->len && m->len % g == 0;
}

// Step 4 for one unit table: the measure candidates, then the table's entries below the
// last of them.
void build_grid(const measure *m, const int32_t *table, bool triplet_mode, grid &gr) {
    int all[MAX_GRID];
    int n = measure_candidates(m, all);
    int last = all[n - 1];
    for (const int32_t *t = table; *t; t++)
        if (*t < last)
            all[n++] = *t;
    gr.n = 0;
    gr.triplet_mode = triplet_mode;
    for (int i = 0; i < n; i++)
        if (usable(m, all[i]))
            gr.g[gr.n++] = all[i];
}

// The grids depend only on the measure's num and len; validation asks for the same measure
// hundreds of times in a row, so the last pair is kept.
struct grid_cache {
    int num = -1;
    int len = -1;
    grid plain;
    grid triplet;
};
grid_cache cache;

// Step 3: plain mode when both ends are multiples of 3, else triplet mode when both are
// even, else plain mode.
const grid &grid_for(const measure *m, int x, int len) {
    if (cache.num != m->num || cache.len != m->len) {
        build_grid(m, decompose_unit, false, cache.plain);
        build_grid(m, decompose_triplet_unit, true, cache.triplet);
        cache.num = m->num;
        cache.len = m->len;
    }
    int end = x + len;
    bool plain = x % PLAIN_FACTOR == 0 && end % PLAIN_FACTOR == 0;
    if (!plain && x % 2 == 0 && end % 2 == 0)
        return cache.triplet;
    return cache.plain;
}

// Step 5: the unit of the first scan (0 when none); *clipped set when the length was cut.
int first_scan(const grid &gr, int x, int len, int *clipped) {
    int r = len;
    *clipped = 0;
    for (int i = 0; i < gr.n; i++) {
        int g = gr.g[i];
        int s = x % g;
        int e = (x + r) % g;
        if (s == 0 && e == 0)
            return g;
        if (g - s < r) {
            r = g - s;
            *clipped = 1;
            if (s == 0)
                return g;
        }
    }
    return 0;
}

// Step 7, plain mode: the unit at which the whole length would align, clipping without
// early stop (0 when none).
int dotted_scan(const grid &gr, int x, int len) {
    int r = len;
    for (int i = 0; i < gr.n; i++) {
        int g = gr.g[i];
        int s = x % g;
        int e = (x + r) % g;
        if (s == 0 && e == 0)
            return g;
        if (g - s > 0 && g - s < r)
            r = g - s;
    }
    return 0;
}

// A value of k units starting at x is allowed when it starts on a (k+1)-unit boundary, or
// starts one unit after one and ends on the next.
bool placed_on_beat(int x, int u, int k) {
    int span = (k + 1) * u;
    if (x % span == 0)
        return true;
    return x >= u && (x - u) % span == 0 && (x + k * u) % span == 0;
}

// Step 7: a dotted value (3 units) in plain mode, a two-unit triplet value in triplet mode;
// 0 when the length is not such a value at an allowed place.
int compound_value(const grid &gr, int x, int len, int first_unit) {
    int u = gr.triplet_mode ? first_unit : dotted_scan(gr, x, len);
    int k = gr.triplet_mode ? 2 : 3;
    if (u > 1 && len == k * u && is_unit_length(k * u) && placed_on_beat(x, u, k))
        return k * u;
    return 0;
}

} // namespace

int is_unit_length(int v) {
    for (const int32_t *t = unit_length; *t; t++)
        if (*t == v)
            return 1;
    return 0;
}

int get_min_power2(int v) {
    unsigned a = static_cast<unsigned>(std::abs(v));
    return static_cast<int>(a & (~a + 1));
}

int get_max_power2(int v) {
    unsigned a = static_cast<unsigned>(std::abs(v));
    if (a == 0)
        return 0;
    unsigned p = 1;
    while (p <= a / 2)
        p <<= 1;
    return static_cast<int>(p);
}

int get_min_duration_component(int v) {
    return get_min_power2(v / PLAIN_FACTOR) * PLAIN_FACTOR;
}

int get_max_duration_component(int v) {
    if (v > TICKS_PER_WHOLE)
        return TICKS_PER_WHOLE;
    return get_max_power2(v / PLAIN_FACTOR) * PLAIN_FACTOR;
}

int is_dot_length(int v) {
    return get_min_duration_component(v) != get_max_duration_component(v);
}

int is_triplet(int v) {
    return v % PLAIN_FACTOR != 0 && v > 0 && v <= MAX_TRIPLET_LEN;
}

int is_exact_triplet(int v) {
    return v % PLAIN_FACTOR != 0 && v == get_max_power2(v);
}

int get_divisible_prime(int n) {
    if (n % 2 == 0)
        return 2;
    for (const int32_t *p = prime_number_table; *p; p++)
        if (n % *p == 0)
            return *p;
    return 1;
}

namespace {

// get_clipped_len depends only on the measure's num and len and on x and len, and validation
// and expansion ask the same questions for every measure and track of a piece; a small
// direct-mapped memo answers the repeats without scanning the grids again.
struct clip_memo {
    int num = -1, measure_len = -1, x = -1, len = -1;
    int result = 0, clipped = 0;
};
constexpr int CLIP_MEMO_SIZE = 4096;
clip_memo clip_memos[CLIP_MEMO_SIZE];

clip_memo &clip_memo_for(const measure *m, int x, int len) {
    unsigned h = static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(len) * 40503u ^
                 static_cast<unsigned>(m->len) * 97u ^ static_cast<unsigned>(m->num);
    return clip_memos[(h ^ (h >> 15)) % CLIP_MEMO_SIZE];
}

int compute_clipped_len(measure *m, int x, int len, int *clipped_out);

} // namespace

int get_clipped_len(measure *m, int x, int len, int *clipped_out) {
    clip_memo &memo = clip_memo_for(m, x, len);
    if (memo.num != m->num || memo.measure_len != m->len || memo.x != x || memo.len != len) {
        memo.result = compute_clipped_len(m, x, len, &memo.clipped);
        memo.num = m->num;
        memo.measure_len = m->len;
        memo.x = x;
        memo.len = len;
    }
    *clipped_out = memo.clipped;
    return memo.result;
}

namespace {

int compute_clipped_len(measure *m, int x, int len, int *clipped_out) {
    const grid &gr = grid_for(m, x, len);
    int clipped = 0;
    int unit = first_scan(gr, x, len, &clipped);
    if (!clipped && unit > 0) {
        *clipped_out = 0;
        return len;
    }
    int value = compound_value(gr, x, len, unit);
    if (value > 0) {
        *clipped_out = 1;
        return value;
    }
    if (unit > 0) {
        *clipped_out = clipped;
        return unit;
    }
    *clipped_out = len != 1;
    return 1;
}

} // namespace

int decompose_len(measure *m, int x, int len, int *triplet_out) {
    int clipped = 0;
    int piece = get_clipped_len(m, x, len, &clipped);
    *triplet_out = is_exact_triplet(piece);
    return piece;
}
