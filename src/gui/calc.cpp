// The expression calculator: a hand-written tokenizer over one text and the evaluator of the
// grammar sum = product {(+|-) product}, product = factor {(*|/) factor},
// factor = [+|-] primary, primary = ( sum ) | number, computed while parsing.
#include "gui/calc.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

char yytext[CALC_TOKEN_SIZE];
int yytype;
double yydval;
int yyval;

namespace {

// Parentheses nested deeper than this fail, so that no text can exhaust the stack.
constexpr int MAX_NESTING = 256;

const char *buf = ""; // the text being read
int cp;               // index of the next unread character of buf
int yyleng;           // characters stored in yytext
int nesting;          // open parentheses of the evaluation under way

bool is_digit(int c) {
    return c >= '0' && c <= '9';
}
bool is_letter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
int peek(int ahead = 0) {
    return static_cast<unsigned char>(buf[cp + ahead]);
}

void blank() {
    while (buf[cp] == ' ' || buf[cp] == '\t')
        cp++;
}

// Appends a character to the token text; characters beyond the buffer are read but dropped.
void store(int c) {
    if (yyleng < CALC_TOKEN_SIZE - 1)
        yytext[yyleng++] = static_cast<char>(c);
    yytext[yyleng] = '\0';
}

void start_token() {
    yyleng = 0;
    yytext[0] = '\0';
}

// The decimal reading of a number token: a token written 0X... reads as its leading 0; any
// other token holds only digits and at most one dot.
double number_value() {
    if (yytext[0] == '0' && yytext[1] == 'X')
        return 0.0;
    return strtod(yytext, nullptr);
}

int read_number() {
    bool dot = false;
    if (peek() == '0' && peek(1) == 'X') {
        store(buf[cp++]);
        store(buf[cp++]);
        if (peek() != '\0') {
            dot = peek() == '.';
            store(buf[cp++]);
        }
    } else {
        dot = peek() == '.';
        store(buf[cp++]);
    }
    while (is_digit(peek()) || (peek() == '.' && !dot)) {
        dot = dot || peek() == '.';
        store(buf[cp++]);
    }
    if (dot && (peek() == 'f' || peek() == 'F'))
        cp++;
    yydval = number_value();
    yyval = calc_to_int(yydval);
    return dot ? TOK_REAL : TOK_INTEGER;
}

int read_word() {
    while (is_letter(peek()) || is_digit(peek()))
        store(buf[cp++]);
    return TOK_WORD;
}

int read_string() {
    cp++; // the opening quote
    while (peek() != '\0' && peek() != '"')
        store(buf[cp++]);
    if (peek() == '"')
        cp++;
    return TOK_STRING;
}

bool level_add(double *v);

// primary = ( sum ) | number
bool level_primary(double *v) {
    int t = lookahead();
    if (t == TOK_REAL || t == TOK_INTEGER) {
        _get_tok();
        *v = yydval;
        return std::isfinite(*v);
    }
    if (t != '(' || nesting >= MAX_NESTING)
        return false;
    _get_tok();
    nesting++;
    bool ok = level_add(v);
    nesting--;
    if (!ok || lookahead() != ')')
        return false;
    _get_tok();
    return true;
}

// factor = [+|-] primary; only one sign per factor
bool level_unary(double *v) {
    int t = lookahead();
    if (t == '+' || t == '-')
        _get_tok();
    if (!level_primary(v))
        return false;
    if (t == '-')
        *v = -*v;
    return true;
}

// product = factor {(*|/) factor}
bool level_mul(double *v) {
    if (!level_unary(v))
        return false;
    for (int t = lookahead(); t == '*' || t == '/'; t = lookahead()) {
        _get_tok();
        double w;
        if (!level_unary(&w) || (t == '/' && w == 0.0))
            return false;
        *v = t == '*' ? *v * w : *v / w;
        if (!std::isfinite(*v))
            return false;
    }
    return true;
}

// sum = product {(+|-) product}
bool level_add(double *v) {
    if (!level_mul(v))
        return false;
    for (int t = lookahead(); t == '+' || t == '-'; t = lookahead()) {
        _get_tok();
        double w;
        if (!level_mul(&w))
            return false;
        *v = t == '+' ? *v + w : *v - w;
        if (!std::isfinite(*v))
            return false;
    }
    return true;
}

} // namespace

void init_parser(const char *text) {
    buf = text ? text : "";
    cp = 0;
}

int _get_tok() {
    blank();
    start_token();
    int c = peek();
    if (c == '\0')
        yytype = TOK_END;
    else if (is_digit(c) || c == '.')
        yytype = read_number();
    else if (is_letter(c))
        yytype = read_word();
    else if (c == '"')
        yytype = read_string();
    else {
        store(buf[cp++]);
        yytype = c;
    }
    return yytype;
}

int lookahead() {
    int saved = cp;
    int t = _get_tok();
    cp = saved;
    return t;
}

int getnum() {
    int t = _get_tok();
    return t == TOK_REAL || t == TOK_INTEGER;
}

int getword() {
    return _get_tok() == TOK_WORD;
}

int match(const char *s) {
    return strcmp(yytext, s) == 0;
}

int calc(const char *text, double *result) {
    init_parser(text);
    nesting = 0;
    double v = 0.0;
    bool ok = level_add(&v);
    *result = v;
    return ok ? 1 : 0;
}

int calc_to_int(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}
