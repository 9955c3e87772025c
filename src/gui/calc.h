// The expression calculator behind the number fields of the dialogs: a tokenizer and a
// recursive-descent evaluator of sums, products, one sign per factor and parentheses, in double
// precision. One evaluation at a time: the tokenizer keeps its state in module variables.
#pragma once

// Token kinds of _get_tok; any other character is its own (unsigned) character code.
enum {
    TOK_END = 0,
    TOK_WORD = 257,
    TOK_STRING = 258,
    TOK_REAL = 259,
    TOK_INTEGER = 260,
};

constexpr int CALC_TOKEN_SIZE = 2048; // longer tokens are cut to the first 2047 characters

extern char yytext[CALC_TOKEN_SIZE]; // text of the last token, terminated
extern int yytype;                   // kind of the last token
extern double yydval;                // value of the last number token
extern int yyval;                    // that value truncated toward zero (bounded to int)

// Evaluates one sum at the head of text into *result; text after it is not examined. Returns 1
// on success, 0 when the text is no expression, divides by zero, nests parentheses deeper than
// the evaluator allows, or leaves the finite doubles (then *result is unspecified).
int calc(const char *text, double *result);

// A calculator value as the int the dialogs store: truncated toward zero, bounded to the range
// of int, 0 for a value that is not a number.
int calc_to_int(double v);

// The tokenizer, for callers that read words and numbers themselves.
void init_parser(const char *text); // start reading text from its first character
int _get_tok();                     // read and consume the next token, return its kind
int lookahead();                    // read the next token without consuming it
int getnum();                       // 1 when the next token (consumed) is a number
int getword();                      // 1 when the next token (consumed) is a word
int match(const char *s);           // 1 when the last token's text is s
