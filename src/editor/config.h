// The configuration file "plinkel.cfg": one line holding a quoted path, the colour depth, the
// screen width and height and the full-screen flag. Read at start-up, written at exit.
#pragma once

#include <cstdio>

extern int bpp;
extern int screen_w;
extern int screen_h;
extern int full_screen;
extern int g_mode;

// Token kinds of the configuration reader; any other character is its own kind.
enum config_token {
    CONFIG_EOF = -1,
    CONFIG_IDENT = 256,
    CONFIG_STRING = 257,
    CONFIG_NUMBER = 258,
};
constexpr int CONFIG_TEXT_SIZE = 512;
constexpr long CONFIG_MAX_BYTES = 4096; // the tokenizer sees the file as ending here

extern int config_tok;
extern int config_yytype;
extern char config_yytext[CONFIG_TEXT_SIZE];
extern int config_yyval;

extern const char *config_file_name;

void config_init_parser(FILE *f);
void config_blank(FILE *f);
int config_get_token(FILE *f);

// Sets the configuration defaults (8 bits, 640 x 480, windowed).
void config_defaults();
void read_config();
void write_config();
