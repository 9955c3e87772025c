// Bounded string copies and heap duplicates: truncation at the size, termination, and the
// destination left alone when it is already full; the extension of a path.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "base/strutil.h"

namespace {

TEST(StrNCpy, SixCharactersIntoSizeFourKeepThree) {
    char dst[8] = "zzzzzzz";
    EXPECT_EQ(str_n_cpy(dst, "abcdef", 4), dst);
    EXPECT_STREQ(dst, "abc");
    EXPECT_EQ(dst[4], 'z'); // nothing written past the size
}

TEST(StrNCpy, ShortTextIsCopiedWhole) {
    char dst[8] = "zzzzzzz";
    str_n_cpy(dst, "ab", 8);
    EXPECT_STREQ(dst, "ab");
    EXPECT_EQ(dst[3], 'z');
}

TEST(StrNCpy, TextOfExactlySizeMinusOneFits) {
    char dst[4];
    str_n_cpy(dst, "abc", 4);
    EXPECT_STREQ(dst, "abc");
}

TEST(StrNCpy, SizeOneGivesEmptyText) {
    char dst[2] = "z";
    str_n_cpy(dst, "abc", 1);
    EXPECT_STREQ(dst, "");
}

TEST(StrNCpy, SizeZeroWritesNothing) {
    char dst[2] = "z";
    str_n_cpy(dst, "abc", 0);
    EXPECT_STREQ(dst, "z");
}

TEST(StrNCpy, EmptySource) {
    char dst[4] = "abc";
    str_n_cpy(dst, "", 4);
    EXPECT_STREQ(dst, "");
}

TEST(StrNCat, AppendsWithinTheSize) {
    char dst[8] = "ab";
    EXPECT_EQ(str_n_cat(dst, "cd", sizeof(dst)), dst);
    EXPECT_STREQ(dst, "abcd");
}

TEST(StrNCat, CutsTheAppendedTextAtTheSize) {
    char dst[6] = "ab";
    str_n_cat(dst, "cdefgh", sizeof(dst));
    EXPECT_STREQ(dst, "abcde");
}

TEST(StrNCat, FullDestinationStaysAsItWas) {
    char dst[4] = "abc";
    str_n_cat(dst, "d", sizeof(dst));
    EXPECT_STREQ(dst, "abc");
}

TEST(StrNCat, SizeZeroLeavesDestination) {
    char dst[4] = "ab";
    str_n_cat(dst, "cd", 0);
    EXPECT_STREQ(dst, "ab");
}

TEST(StrDup, CopiesIntoNewBlock) {
    const char src[] = "hello";
    char *copy = str_dup(src);
    EXPECT_STREQ(copy, "hello");
    EXPECT_NE(copy, src);
    std::free(copy);
}

TEST(StrDup, EmptyText) {
    char *copy = str_dup("");
    EXPECT_STREQ(copy, "");
    std::free(copy);
}

TEST(StrNDup, TakesAtMostNCharacters) {
    char *copy = str_n_dup("abcdef", 3);
    EXPECT_STREQ(copy, "abc");
    std::free(copy);
}

TEST(StrNDup, ShorterTextThanNIsCopiedWhole) {
    char *copy = str_n_dup("ab", 10);
    EXPECT_STREQ(copy, "ab");
    std::free(copy);
}

TEST(StrNDup, ZeroGivesEmptyText) {
    char *copy = str_n_dup("abc", 0);
    EXPECT_STREQ(copy, "");
    std::free(copy);
}

TEST(StrNDup, DoesNotReadPastNWhenUnterminated) {
    const char raw[3] = {'x', 'y', 'z'}; // no terminator
    char *copy = str_n_dup(raw, 3);
    EXPECT_STREQ(copy, "xyz");
    std::free(copy);
}

struct extension_case {
    const char *path;
    const char *ext; // null: none
};

const extension_case extension_cases[] = {
    {"a/b.seq", ".seq"}, {"b.tar.GZ", ".GZ"},     {"b.", "."},
    {".seq", ".seq"},    {"dir.d/file", nullptr}, {"file", nullptr},
    {"", nullptr},       {"x.mid/", nullptr},     {"/a.b/c.Ly", ".Ly"},
};

TEST(PathExtension, IsTheLastDotOfTheLastComponentOn) {
    for (const extension_case &c : extension_cases) {
        SCOPED_TRACE(c.path);
        const char *ext = path_extension(c.path);
        if (!c.ext) {
            EXPECT_EQ(ext, nullptr);
            continue;
        }
        ASSERT_NE(ext, nullptr);
        EXPECT_STREQ(ext, c.ext);
        EXPECT_EQ(ext, c.path + std::strlen(c.path) - std::strlen(c.ext)); // points into path
    }
}

} // namespace
