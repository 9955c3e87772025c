// The expression calculator: values and failures of typed field texts, one table, and the
// token kinds its tokenizer reports.
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

#include "gui/calc.h"

namespace {

struct CalcCase {
    const char *text;
    int ok;
    double value; // checked only when ok
};

const CalcCase calc_cases[] = {
    {"3*64", 1, 192},
    {"(3+1)*48", 1, 192},
    {"192/2/2", 1, 48},
    {"7/2", 1, 3.5},
    {"10-2-3", 1, 5}, // left to right
    {"2+3*4", 1, 14},
    {"(120+90)/2", 1, 105},
    {"3*(64)", 1, 192},
    {" \t 42 ", 1, 42},
    {"", 0, 0},
    {"   ", 0, 0},
    {"\n1", 0, 0}, // only blanks and tabs are skipped
    {"12abc", 1, 12},
    {"12 13", 1, 12},
    {"3)", 1, 3},
    {"1/0", 0, 0},
    {"1/(2-2)", 0, 0},
    {"0/5", 1, 0},
    {"(1+2", 0, 0},
    {"((2))", 1, 2},
    {".5", 1, 0.5},
    {"5.", 1, 5},
    {"1.5f", 1, 1.5},
    {"1.5F*2", 1, 3},
    {"1.2.3", 1, 1.2},
    {"--1", 0, 0},
    {"-(-1)", 1, 1},
    {"2*-3", 1, -6},
    {"+4", 1, 4},
    {"+-4", 0, 0},
    {"1e3", 1, 1},
    {"0X1F", 1, 0}, // no hexadecimal numbers
    {"0x1F", 1, 0}, // a lower-case x is a word after the number 0
    {"2*", 0, 0},
    {"*2", 0, 0},
    {"abc", 0, 0},
    {"\"12\"", 0, 0},
    {".", 1, 0},
    {"1e400", 1, 1},
    {"1*-0", 1, 0},
    {"1/-0", 0, 0}, // a negative zero divisor is zero too
    // Overflow leaves the finite doubles and fails instead of giving inf or nan.
    {"99999999999999999999*99999999999999999999*99999999999999999999*"
     "99999999999999999999*99999999999999999999*99999999999999999999*"
     "99999999999999999999*99999999999999999999*99999999999999999999*"
     "99999999999999999999*99999999999999999999*99999999999999999999*"
     "99999999999999999999*99999999999999999999*99999999999999999999*"
     "99999999999999999999*99999999999999999999",
     0, 0},
};

TEST(Calc, TableOfTexts) {
    for (const CalcCase &c : calc_cases) {
        double v = -12345;
        EXPECT_EQ(calc(c.text, &v), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value) << '"' << c.text << '"';
        }
    }
}

TEST(Calc, NumbersLongerThanTheDoublesFail) {
    std::string huge(400, '9');
    double v;
    EXPECT_EQ(calc(huge.c_str(), &v), 0);
    EXPECT_EQ(calc(("0." + huge).c_str(), &v), 1); // long but small
    EXPECT_NEAR(v, 1.0, 1e-9);
}

TEST(Calc, DeepNestingFailsInsteadOfExhaustingTheStack) {
    std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
    double v;
    EXPECT_EQ(calc(deep.c_str(), &v), 0);
    std::string fair = std::string(100, '(') + "1" + std::string(100, ')');
    EXPECT_EQ(calc(fair.c_str(), &v), 1);
    EXPECT_EQ(v, 1);
}

TEST(Calc, TokensLongerThanTheBufferAreCut) {
    std::string text = std::string(5000, 'a') + "+1"; // the tokenizer reads it in place
    init_parser(text.c_str());
    EXPECT_EQ(_get_tok(), TOK_WORD);
    EXPECT_EQ(std::string(yytext).size(), static_cast<size_t>(CALC_TOKEN_SIZE - 1));
    EXPECT_EQ(_get_tok(), '+'); // the rest of the word was read, not left behind
}

TEST(CalcToInt, TruncatesTowardZeroWithinInt) {
    struct {
        double in;
        int out;
    } cases[] = {{3.5, 3},         {-3.5, -3},        {0.0, 0},
                 {1e300, INT_MAX}, {-1e300, INT_MIN}, {2147483647.9, INT_MAX}};
    for (auto c : cases)
        EXPECT_EQ(calc_to_int(c.in), c.out) << c.in;
    EXPECT_EQ(calc_to_int(std::nan("")), 0);
}

TEST(CalcTokens, KindsTextsAndValues) {
    init_parser(" abc_1 \"q s\" 12.5 7 + \"open");
    EXPECT_EQ(lookahead(), TOK_WORD);
    EXPECT_EQ(getword(), 1);
    EXPECT_EQ(match("abc_1"), 1);
    EXPECT_EQ(_get_tok(), TOK_STRING);
    EXPECT_STREQ(yytext, "q s");
    EXPECT_EQ(getnum(), 1);
    EXPECT_DOUBLE_EQ(yydval, 12.5);
    EXPECT_EQ(yyval, 12);
    EXPECT_EQ(_get_tok(), TOK_INTEGER);
    EXPECT_EQ(yyval, 7);
    EXPECT_EQ(getnum(), 0); // '+'
    EXPECT_EQ(yytype, '+');
    EXPECT_EQ(_get_tok(), TOK_STRING); // a missing closing quote ends at the end of the text
    EXPECT_STREQ(yytext, "open");
    EXPECT_EQ(_get_tok(), TOK_END);
    EXPECT_STREQ(yytext, "");
}

TEST(CalcTokens, HighCharactersAreTheirOwnKind) {
    init_parser("\xe9");
    EXPECT_EQ(_get_tok(), 0xe9);
}

} // namespace
