// Note lengths: the length classes and the clipping of lengths into notatable pieces in
// 4/4, 3/4, 6/8 and other measures.
#include <gtest/gtest.h>

#include <vector>

#include "model/length.h"

namespace {

measure make_measure(int num, int bit) {
    measure m;
    init_measure(&m);
    set_measure(&m, num, bit, 0);
    return m;
}

// The pieces a caller writes for len starting at x, calling get_clipped_len on the remainder.
std::vector<int> pieces(int num, int bit, int x, int len) {
    measure m = make_measure(num, bit);
    std::vector<int> out;
    while (len > 0) {
        int clipped = 0;
        int piece = get_clipped_len(&m, x, len, &clipped);
        out.push_back(piece);
        x += piece;
        len -= piece;
    }
    return out;
}

int clip_flag(int num, int bit, int x, int len) {
    measure m = make_measure(num, bit);
    int clipped = -1;
    get_clipped_len(&m, x, len, &clipped);
    return clipped;
}

typedef std::vector<int> V;

TEST(LengthClasses, PowersOfTwo) {
    EXPECT_EQ(get_min_power2(0), 0);
    EXPECT_EQ(get_max_power2(0), 0);
    EXPECT_EQ(get_min_power2(192), 64);
    EXPECT_EQ(get_max_power2(192), 128);
    EXPECT_EQ(get_min_power2(-12), 4);
    EXPECT_EQ(get_max_power2(-12), 8);
    EXPECT_EQ(get_max_power2(1), 1);
    EXPECT_EQ(get_max_power2(256), 256);
}

TEST(LengthClasses, DurationComponents) {
    EXPECT_EQ(get_min_duration_component(288), 96);
    EXPECT_EQ(get_max_duration_component(288), 192);
    EXPECT_EQ(get_max_duration_component(960), 768);
    EXPECT_EQ(get_min_duration_component(192), 192);
}

TEST(LengthClasses, DottedLengths) {
    EXPECT_EQ(is_dot_length(288), 1);
    EXPECT_EQ(is_dot_length(576), 1);
    EXPECT_EQ(is_dot_length(192), 0);
    EXPECT_EQ(is_dot_length(96), 0);
    EXPECT_EQ(is_dot_length(128), 1);
}

TEST(LengthClasses, Triplets) {
    EXPECT_EQ(is_triplet(128), 1);
    EXPECT_EQ(is_triplet(192), 0);
    EXPECT_EQ(is_triplet(512), 0);
    EXPECT_EQ(is_triplet(256), 1);
    EXPECT_EQ(is_triplet(0), 0);
    EXPECT_EQ(is_exact_triplet(128), 1);
    EXPECT_EQ(is_exact_triplet(64), 1);
    EXPECT_EQ(is_exact_triplet(96), 0);
    EXPECT_EQ(is_exact_triplet(80), 0);
}

TEST(LengthClasses, DivisiblePrime) {
    EXPECT_EQ(get_divisible_prime(9), 3);
    EXPECT_EQ(get_divisible_prime(25), 5);
    EXPECT_EQ(get_divisible_prime(1), 1);
    EXPECT_EQ(get_divisible_prime(19), 1);
    EXPECT_EQ(get_divisible_prime(0), 2);
    EXPECT_EQ(get_divisible_prime(6), 2);
}

TEST(LengthTables, EndAtZeroAndHoldEveryValue) {
    int n = 0;
    for (const int32_t *t = unit_length; *t; t++)
        n++;
    EXPECT_EQ(n, 25);
    EXPECT_EQ(is_unit_length(576), 1);
    EXPECT_EQ(is_unit_length(2), 1);
    EXPECT_EQ(is_unit_length(0), 0);
    EXPECT_EQ(is_unit_length(240), 0);
    n = 0;
    for (const int32_t *t = decompose_triplet_unit; *t; t++)
        n++;
    EXPECT_EQ(n, 7);
}

TEST(ClippedLen, FourFour) {
    EXPECT_EQ(pieces(4, 4, 0, 192), V({192}));
    EXPECT_EQ(pieces(4, 4, 0, 240), V({192, 48}));
    EXPECT_EQ(pieces(4, 4, 96, 192), V({96, 96}));
    EXPECT_EQ(pieces(4, 4, 0, 576), V({576}));
    EXPECT_EQ(pieces(4, 4, 96, 384), V({96, 192, 96}));
    EXPECT_EQ(pieces(4, 4, 0, 256), V({192, 64}));
    EXPECT_EQ(pieces(4, 4, 0, 128), V({128}));
    EXPECT_EQ(pieces(4, 4, 128, 128), V({64, 64}));
    EXPECT_EQ(pieces(4, 4, 192, 384), V({192, 192}));
    EXPECT_EQ(pieces(4, 4, 0, 672), V({384, 288}));
    EXPECT_EQ(pieces(4, 4, 0, 768), V({768}));
}

TEST(ClippedLen, FlagsOfWholeDottedAndCutPieces) {
    EXPECT_EQ(clip_flag(4, 4, 0, 192), 0);
    EXPECT_EQ(clip_flag(4, 4, 0, 576), 1);
    EXPECT_EQ(clip_flag(4, 4, 0, 240), 1);
    EXPECT_EQ(clip_flag(3, 4, 0, 576), 0);
}

TEST(ClippedLen, ThreeFour) {
    EXPECT_EQ(pieces(3, 4, 0, 576), V({576}));
    EXPECT_EQ(pieces(3, 4, 192, 384), V({384}));
    EXPECT_EQ(pieces(3, 4, 0, 192), V({192}));
}

TEST(ClippedLen, SixEight) {
    EXPECT_EQ(pieces(6, 8, 96, 192), V({192}));
    EXPECT_EQ(pieces(6, 8, 0, 288), V({288}));
    EXPECT_EQ(pieces(6, 8, 0, 576), V({576}));
}

TEST(ClippedLen, OddPositionsFallBackToSingleTicks) {
    measure m = make_measure(4, 4);
    int clipped = -1;
    EXPECT_EQ(get_clipped_len(&m, 5, 1, &clipped), 1);
    EXPECT_EQ(clipped, 0);
    EXPECT_EQ(get_clipped_len(&m, 5, 2, &clipped), 1);
    EXPECT_EQ(clipped, 1);
}

TEST(ClippedLen, NeverLongerThanAskedAndAlwaysProgresses) {
    const int sigs[][2] = {{4, 4}, {3, 4}, {6, 8}, {5, 4}, {7, 8}, {2, 2}, {9, 8}, {1, 4}};
    for (const auto &sig : sigs) {
        measure m = make_measure(sig[0], sig[1]);
        for (int x = 0; x < m.len; x += 8)
            for (int len = 1; x + len <= m.len; len += 7) {
                int clipped = 0;
                int piece = get_clipped_len(&m, x, len, &clipped);
                ASSERT_GE(piece, 1) << sig[0] << "/" << sig[1] << " x " << x << " len " << len;
                ASSERT_LE(piece, len) << sig[0] << "/" << sig[1] << " x " << x << " len " << len;
            }
    }
}

TEST(ClippedLen, APieceIsClippedToItself) {
    const int sigs[][2] = {{4, 4}, {3, 4}, {6, 8}, {5, 4}, {7, 8}};
    for (const auto &sig : sigs) {
        measure m = make_measure(sig[0], sig[1]);
        for (int x = 0; x < m.len; x += 2)
            for (int len = 2; x + len <= m.len; len += 2) {
                int clipped = 0;
                int piece = get_clipped_len(&m, x, len, &clipped);
                ASSERT_EQ(get_clipped_len(&m, x, piece, &clipped), piece)
                    << sig[0] << "/" << sig[1] << " x " << x << " len " << len;
            }
    }
}

// 3/4 and 6/8 are both 576 ticks long but cut differently; asking about one must never give
// the answer remembered for the other.
TEST(ClippedLen, AnswersDependOnTheSignatureNotOnlyTheLength) {
    measure three_four = make_measure(3, 4), six_eight = make_measure(6, 8);
    int differing = 0;
    for (int x = 0; x < 576; x += 6)
        for (int len = 6; x + len <= 576; len += 6) {
            int c1 = 0, c2 = 0, c3 = 0;
            int a = get_clipped_len(&three_four, x, len, &c1);
            int b = get_clipped_len(&six_eight, x, len, &c2);
            ASSERT_EQ(get_clipped_len(&three_four, x, len, &c3), a) << "x " << x << " len " << len;
            ASSERT_EQ(c3, c1);
            differing += a != b || c1 != c2;
        }
    EXPECT_GT(differing, 0);
    EXPECT_EQ(pieces(3, 4, 0, 576), V({576}));
    EXPECT_EQ(pieces(6, 8, 0, 384), V({288, 96}));
}

TEST(DecomposeLen, ReportsTripletPieces) {
    measure m = make_measure(4, 4);
    int triplet = -1;
    EXPECT_EQ(decompose_len(&m, 0, 128, &triplet), 128);
    EXPECT_EQ(triplet, 1);
    EXPECT_EQ(decompose_len(&m, 0, 768, &triplet), 768);
    EXPECT_EQ(triplet, 0);
    m = make_measure(7, 8);
    EXPECT_EQ(decompose_len(&m, 0, 672, &triplet), 672);
    EXPECT_EQ(triplet, 0);
}

} // namespace
