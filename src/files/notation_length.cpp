// Notatable durations: get_clipped_len cuts a length at the beats of its measure; a piece it
// leaves whole that is still not one value (a 5/4 whole-measure rest, a compound import
// length) is split further into plain, dotted and triplet values that add up to it exactly.
// The metric split reads the measure as a hierarchy of levels (the bar, its divisions by the
// factors of the numerator, then halves down to the 256th) and takes the longest value at each
// step that hides no level it must show.
#include "files/notation_length.h"

#include <algorithm>
#include <vector>

#include "model/length.h"

namespace {

constexpr int PLAIN_FACTOR = 3;     // a plain value is 3 times a power of two
constexpr int MAX_PLAIN = 768;      // the whole note, the longest value of the vocabulary
constexpr int MAX_TRIPLET = 512;    // the whole-note triplet value
constexpr int MAX_DOTTED = 576;     // the dotted half note
constexpr int SHORTEST_PLAIN = 3;   // the 256th
constexpr int TRIPLET_SHORTEST = 2; // the 256th triplet value
constexpr int TUPLET_WRITTEN = 3;   // a triplet value is written as 3/2 of its ticks
constexpr int TUPLET_ACTUAL = 2;

// The longest plain or dotted value not above len, a multiple of 3 of at least 3.
int longest_plain_value(int len) {
    int v = PLAIN_FACTOR * get_max_power2(len / PLAIN_FACTOR);
    if (v > MAX_PLAIN)
        v = MAX_PLAIN;
    int dotted = v + v / 2;
    if (v >= 2 * SHORTEST_PLAIN && dotted <= len && is_unit_length(dotted))
        return dotted;
    return v;
}

// The triplet value that leaves a multiple of 3 when taken from len (len not a multiple of 3,
// at least 2): the longest power of two up to MAX_TRIPLET with len's remainder modulo 3.
int triplet_part(int len) {
    int t = get_max_power2(len < MAX_TRIPLET ? len : MAX_TRIPLET);
    while (t >= TRIPLET_SHORTEST && t % PLAIN_FACTOR != len % PLAIN_FACTOR)
        t /= 2;
    return t;
}

// The first value of an exact split of a piece that is not one value. Off the plain grid the
// triplet part comes first, so the rest of the piece lands back on it.
int first_exact_value(int x, int piece) {
    if (piece < TRIPLET_SHORTEST)
        return piece;
    if (piece % PLAIN_FACTOR == 0)
        return longest_plain_value(piece);
    int t = triplet_part(piece);
    if (x % PLAIN_FACTOR != 0 || t == piece)
        return t;
    return longest_plain_value(piece - t);
}

bool is_power_of_two(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// is_unit_length without the table walk (the writers ask for every value they write): plain
// 3 x 2^k up to the whole note, dotted 9 x 2^k up to 576, triplet 2^k from 2 to 512.
bool is_notatable(int ticks) {
    if (ticks % PLAIN_FACTOR != 0)
        return is_power_of_two(ticks) && ticks >= TRIPLET_SHORTEST && ticks <= MAX_TRIPLET;
    int q = ticks / PLAIN_FACTOR;
    if (is_power_of_two(q))
        return ticks <= MAX_PLAIN;
    return q % PLAIN_FACTOR == 0 && is_power_of_two(q / PLAIN_FACTOR) && ticks <= MAX_DOTTED;
}

constexpr int BINARY = 2;

// The levels of a measure's metre by their units, strongest first: the measure, its divisions
// by the factors of the numerator in turn (the last of them is the beat), then halves while they
// stay on the plain grid.
struct metre {
    std::vector<int> units;
    int beat;
    int measure_len;
};

metre metre_of(const measure *m) {
    metre mt{{m->len}, 0, m->len};
    for (int rest = m->num; rest > 1;) {
        int p = get_divisible_prime(rest);
        if (p == 1 || mt.units.back() % p != 0)
            break;
        mt.units.push_back(mt.units.back() / p);
        rest /= p;
    }
    mt.beat = static_cast<int>(mt.units.size()) - 1;
    while (mt.units.back() % BINARY == 0 && mt.units.back() / BINARY % PLAIN_FACTOR == 0)
        mt.units.push_back(mt.units.back() / BINARY);
    return mt;
}

// The strongest level whose unit divides t (the measure's end counts as its start).
int level_of(const metre &mt, int t) {
    if (t == mt.measure_len)
        return 0;
    for (size_t i = 0; i < mt.units.size(); i++)
        if (t % mt.units[i] == 0)
            return static_cast<int>(i);
    return static_cast<int>(mt.units.size());
}

// The strongest level with a point strictly between from and to.
int level_inside(const metre &mt, int from, int to) {
    for (size_t i = 0; i < mt.units.size(); i++)
        if ((from / mt.units[i] + 1) * mt.units[i] < to)
            return static_cast<int>(i);
    return static_cast<int>(mt.units.size());
}

// Whether from..to may be written as one value: it shows every level stronger than both its
// ends, except a binary level just above the weaker end, which a note may hide anywhere and a
// rest only within a beat.
bool shows_the_metre(const metre &mt, int from, int to, int is_rest) {
    int inside = level_inside(mt, from, to);
    int ends = std::max(level_of(mt, from), level_of(mt, to));
    if (inside >= ends)
        return true;
    size_t next = static_cast<size_t>(inside) + 1;
    bool binary = next < mt.units.size() && mt.units[inside] == BINARY * mt.units[next];
    return inside == ends - 1 && binary && (!is_rest || inside > mt.beat);
}

// The longest plain or dotted value from x, at most len, that shows the metre (a 256th always
// does).
int metric_piece(const metre &mt, int x, int len, int is_rest) {
    auto fits = [&](int v) { return v <= len && shows_the_metre(mt, x, x + v, is_rest); };
    for (int plain = MAX_PLAIN; plain > SHORTEST_PLAIN; plain /= BINARY) {
        int dotted = plain + plain / BINARY;
        if (dotted <= MAX_DOTTED && fits(dotted))
            return dotted;
        if (fits(plain))
            return plain;
    }
    return SHORTEST_PLAIN;
}

} // namespace

int notation_value(int ticks, notation_piece *out) {
    if (!is_notatable(ticks))
        return 0;
    out->ticks = ticks;
    out->dots = 0;
    out->tuplet = ticks % PLAIN_FACTOR != 0;
    int written = ticks;
    if (out->tuplet) {
        written = ticks * TUPLET_WRITTEN / TUPLET_ACTUAL;
    } else if (is_dot_length(ticks)) {
        out->dots = 1;
        written = ticks * 2 / 3;
    }
    out->denominator = MAX_PLAIN / written;
    return 1;
}

int notation_nominal_ticks(const notation_piece *p) {
    int ticks = MAX_PLAIN / p->denominator;
    if (p->dots)
        ticks += ticks / 2;
    if (p->tuplet)
        ticks = ticks * TUPLET_ACTUAL / TUPLET_WRITTEN;
    return ticks;
}

int first_notation_piece(measure *m, int x, int len, notation_piece *out) {
    if (len < 1)
        return 0;
    int clipped = 0;
    int piece = get_clipped_len(m, x, len, &clipped);
    if (notation_value(piece, out))
        return piece;
    // A lone tick means no beat of the measure fits here; the remainder as a whole may still
    // split exactly without one (5 ticks are a 256th and a 256th triplet).
    if (piece == 1)
        piece = len;
    if (notation_value(piece, out))
        return piece;
    int value = first_exact_value(x, piece);
    if (!notation_value(value, out)) {
        // Only a single tick gets here: the shortest value, scaled down by the caller.
        *out = {NOTATION_SHORTEST, 0, 0, value};
    }
    return value;
}

int split_notation_length(measure *m, int x, int len, notation_piece *out, int max) {
    int n = 0;
    while (len > 0) {
        notation_piece p;
        int ticks = first_notation_piece(m, x, len, &p);
        if (n == max)
            return -1;
        out[n++] = p;
        x += ticks;
        len -= ticks;
    }
    return n;
}

int split_metric_length(measure *m, int x, int len, int is_rest, notation_piece *out, int max) {
    if (x % PLAIN_FACTOR != 0 || len % PLAIN_FACTOR != 0 || m->len % PLAIN_FACTOR != 0)
        return split_notation_length(m, x, len, out, max);
    metre mt = metre_of(m);
    int n = 0;
    while (len > 0) {
        int ticks = metric_piece(mt, x, len, is_rest);
        if (n == max)
            return -1;
        notation_value(ticks, &out[n++]);
        x += ticks;
        len -= ticks;
    }
    return n;
}
