// Notatable durations: the values, lengths split at the beats of 4/4, 3/4, 5/4, 6/8 and 7/8
// measures, the metric split of notes and rests, and the exactness of every split over a sweep
// of positions and lengths.
#include <gtest/gtest.h>

#include <string>

#include "files/notation_length.h"
#include "model/length.h"

namespace {

measure make_measure(int num, int bit) {
    measure m;
    init_measure(&m);
    set_measure(&m, num, bit, 0);
    return m;
}

// "4." for a dotted quarter, "t8" for an eighth inside a triplet, "256@1" for a scaled tick.
std::string spell(const notation_piece &p) {
    std::string s = p.tuplet ? "t" : "";
    s += std::to_string(p.denominator) + std::string(p.dots, '.');
    if (p.ticks != notation_nominal_ticks(&p))
        s += "@" + std::to_string(p.ticks);
    return s;
}

// is_rest -1: split_notation_length, else split_metric_length of a note (0) or a rest (1).
std::string split(int num, int bit, int x, int len, int is_rest = -1) {
    measure m = make_measure(num, bit);
    notation_piece pieces[NOTATION_MAX_PIECES];
    int n = is_rest < 0 ? split_notation_length(&m, x, len, pieces, NOTATION_MAX_PIECES)
                        : split_metric_length(&m, x, len, is_rest, pieces, NOTATION_MAX_PIECES);
    std::string out;
    for (int i = 0; i < n; i++)
        out += (i ? " " : "") + spell(pieces[i]);
    return out;
}

TEST(NotationLength, ValuesAreExactlyTheUnitLengths) {
    notation_piece p;
    for (int ticks = -4; ticks <= 3 * TICKS_PER_WHOLE; ticks++)
        ASSERT_EQ(notation_value(ticks, &p), is_unit_length(ticks)) << ticks;
}

TEST(NotationLength, SplitsAtBeatsAndIntoValues) {
    struct {
        int num, bit, x, len;
        const char *spelled;
    } cases[] = {
        {4, 4, 0, 3, "256"},      {4, 4, 0, 9, "128."},      {4, 4, 0, 512, "2 t4"},
        {4, 4, 0, 2, "t256"},     {4, 4, 0, 192, "4"},       {4, 4, 0, 768, "1"},
        {4, 4, 0, 576, "2."},     {4, 4, 96, 384, "8 4 8"},  {4, 4, 0, 240, "4 16"},
        {4, 4, 0, 256, "4 t8"},   {4, 4, 128, 128, "t8 t8"}, {4, 4, 0, 128, "t4"},
        {3, 4, 0, 576, "2."},     {5, 4, 0, 960, "1 4"},     {7, 8, 0, 672, "2. 8"},
        {6, 8, 96, 192, "4"},     {6, 8, 0, 576, "2."},      {2, 4, 0, 384, "2"},
        {4, 4, 0, 5, "256 t256"}, {4, 4, 1, 1, "256@1"},     {4, 4, 0, 1, "256@1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(split(c.num, c.bit, c.x, c.len), c.spelled)
            << c.num << "/" << c.bit << " at " << c.x << " len " << c.len;
}

TEST(NotationLength, MetricSplitShowsTheMetre) {
    constexpr int NOTE = 0, REST = 1;
    struct {
        int num, bit, x, len, is_rest;
        const char *spelled;
    } cases[] = {
        {4, 4, 96, 192, NOTE, "4"},      {4, 4, 96, 192, REST, "8 8"},
        {4, 4, 48, 96, REST, "8"},       {4, 4, 288, 192, NOTE, "8 8"},
        {4, 4, 192, 384, NOTE, "2"},     {4, 4, 192, 384, REST, "4 4"},
        {4, 4, 0, 288, NOTE, "4."},      {4, 4, 0, 288, REST, "4 8"},
        {4, 4, 96, 288, NOTE, "4."},     {4, 4, 144, 192, NOTE, "16 8."},
        {4, 4, 192, 576, NOTE, "2."},    {4, 4, 0, 768, REST, "1"},
        {4, 4, 0, 432, NOTE, "2 16"},    {6, 8, 192, 192, NOTE, "8 8"},
        {6, 8, 96, 192, NOTE, "4"},      {6, 8, 0, 288, REST, "4."},
        {6, 4, 288, 192, NOTE, "4"},     {6, 4, 480, 192, NOTE, "8 8"},
        {6, 4, 0, 1152, NOTE, "2. 2."},  {3, 4, 96, 192, NOTE, "4"},
        {4, 4, 128, 128, NOTE, "t8 t8"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(split(c.num, c.bit, c.x, c.len, c.is_rest), c.spelled)
            << c.num << "/" << c.bit << " at " << c.x << " len " << c.len << " rest " << c.is_rest;
}

// Every split adds up exactly, uses only values of the vocabulary (a lone tick excepted) and
// fits the array, for every start and length inside measures of several signatures.
TEST(NotationLength, EverySplitIsExact) {
    const int signatures[][2] = {{2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 8}, {7, 8}, {3, 8}};
    for (const auto &sig : signatures) {
        measure m = make_measure(sig[0], sig[1]);
        for (int x = 0; x < m.len; x += 1 + x / 7)
            for (int len = 1; x + len <= m.len; len += 1 + len / 5)
                for (int kind = -1; kind <= 1; kind++) { // beat rule, metric note, metric rest
                    notation_piece p[NOTATION_MAX_PIECES];
                    int n = kind < 0
                                ? split_notation_length(&m, x, len, p, NOTATION_MAX_PIECES)
                                : split_metric_length(&m, x, len, kind, p, NOTATION_MAX_PIECES);
                    ASSERT_GT(n, 0) << x << " " << len << " " << kind;
                    int sum = 0;
                    for (int i = 0; i < n; i++) {
                        sum += p[i].ticks;
                        if (p[i].ticks != 1) {
                            ASSERT_EQ(notation_nominal_ticks(&p[i]), p[i].ticks) << x << " " << len;
                        }
                    }
                    ASSERT_EQ(sum, len) << sig[0] << "/" << sig[1] << " x " << x;
                }
    }
}

} // namespace
