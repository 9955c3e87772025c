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

struct screen_size {
    int w, h;
};
// The first window without a configuration: the largest standard size within 90 % of the
// desktop, 640 x 480 when none fits or the desktop size is unknown (0 x 0).
screen_size first_window_size(int desktop_w, int desktop_h);
// The desktop's colour depth when the editor can use it, 8 bits otherwise (0: unknown).
int first_color_depth(int desktop_depth);

// Sets the configuration defaults (8 bits, 640 x 480, windowed).
void config_defaults();
// 1 when the file named a mode (the user's choice), 0 when there was none to read.
int read_config();
void write_config();
