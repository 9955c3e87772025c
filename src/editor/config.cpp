// The configuration file and its small tokenizer. A number token has no sign, a field that is
// not a number keeps the value of the last number read, a file that does not start with a
// quoted string is ignored as a whole, and nothing past its first CONFIG_MAX_BYTES is read.
#include "editor/config.h"

#include <allegro.h>
#include <cctype>
#include <climits>
#include <cstring>

#include "editor/state.h"
#include "base/strutil.h"

int bpp = 8;
int screen_w = 640;
int screen_h = 480;
int full_screen = 0;
int g_mode = GFX_AUTODETECT_WINDOWED;

int config_tok = EOF;
int config_yytype = CONFIG_EOF;
char config_yytext[CONFIG_TEXT_SIZE];
int config_yyval = 0;

const char *config_file_name = "plinkel.cfg";

void config_defaults() {
    bpp = 8;
    screen_w = 640;
    screen_h = 480;
    full_screen = 0;
}

// Characters the tokenizer has read from the file; past CONFIG_MAX_BYTES the file counts as
// ended, so that a damaged or hostile file is read in bounded time.
static long config_bytes_read = 0;

static int next_char(FILE *f) {
    if (config_bytes_read >= CONFIG_MAX_BYTES)
        return EOF;
    config_bytes_read++;
    return fgetc(f);
}

void config_init_parser(FILE *f) {
    config_yyval = 0;
    config_bytes_read = 0;
    config_tok = next_char(f);
}

void config_blank(FILE *f) {
    while (config_tok == ' ' || config_tok == '\t' || config_tok == '\r' || config_tok == '\n')
        config_tok = next_char(f);
}

// Appends the look-ahead to the token text (at most 511 characters are kept) and reads on.
static void take_char(FILE *f, int *len) {
    if (*len < CONFIG_TEXT_SIZE - 1)
        config_yytext[(*len)++] = static_cast<char>(config_tok);
    config_tok = next_char(f);
}

static bool is_ident_start(int c) {
    return c != EOF && (std::isalpha(c) || c == '_');
}
static bool is_ident_char(int c) {
    return c != EOF && (std::isalnum(c) || c == '_');
}
static bool is_digit(int c) {
    return c != EOF && std::isdigit(c);
}

int config_get_token(FILE *f) {
    int len = 0;
    config_blank(f);
    if (is_ident_start(config_tok)) {
        while (is_ident_char(config_tok))
            take_char(f, &len);
        config_yytype = CONFIG_IDENT;
    } else if (is_digit(config_tok)) {
        long value = 0;
        while (is_digit(config_tok)) {
            // Saturate rather than overflow on an absurdly long run of digits.
            if (value <= (INT_MAX - 9) / 10)
                value = value * 10 + (config_tok - '0');
            else
                value = INT_MAX;
            take_char(f, &len);
        }
        config_yyval = static_cast<int>(value);
        config_yytype = CONFIG_NUMBER;
    } else if (config_tok == '"') {
        config_tok = next_char(f);
        while (config_tok != '"' && config_tok != EOF)
            take_char(f, &len);
        if (config_tok == '"')
            config_tok = next_char(f);
        config_yytype = CONFIG_STRING;
    } else if (config_tok == EOF) {
        config_yytype = CONFIG_EOF;
    } else {
        config_yytype = config_tok;
        config_tok = next_char(f);
    }
    config_yytext[len] = '\0';
    return config_yytype;
}

// A damaged file (truncated, or holding zeros) must not stop the editor from ever starting
// again: a depth the library cannot set becomes 8 bits and a size below one pixel the default.
static void sanitize_mode() {
    if (bpp != 8 && bpp != 15 && bpp != 16 && bpp != 24 && bpp != 32)
        bpp = 8;
    if (screen_w < 1)
        screen_w = 640;
    if (screen_h < 1)
        screen_h = 480;
}

int read_config() {
    filename[0] = '\0';
    FILE *f = fopen(config_file_name, "r");
    if (!f)
        return 0;
    config_init_parser(f);
    int read = config_get_token(f) == CONFIG_STRING;
    if (read) {
        str_n_cpy(filename, config_yytext, 511);
        int *fields[] = {&bpp, &screen_w, &screen_h, &full_screen};
        for (int *field : fields) {
            config_get_token(f);
            *field = config_yyval;
        }
        config_get_token(f);
        printf("%s %d %d %d %d \n", filename, bpp, screen_w, screen_h, full_screen);
        sanitize_mode();
    }
    fclose(f);
    return read;
}

// The usual monitor and window sizes (4:3, 5:4, 16:10 and 16:9), smallest first.
static const screen_size STANDARD_SIZES[] = {
    {640, 480},  {800, 600},   {1024, 768},  {1152, 864},  {1280, 720},
    {1280, 800}, {1280, 960},  {1280, 1024}, {1366, 768},  {1440, 900},
    {1600, 900}, {1600, 1200}, {1680, 1050}, {1920, 1080}, {1920, 1200},
};
constexpr int DESKTOP_SHARE_PERCENT = 90;

screen_size first_window_size(int desktop_w, int desktop_h) {
    screen_size best = STANDARD_SIZES[0];
    long room_w = static_cast<long>(desktop_w) * DESKTOP_SHARE_PERCENT / 100;
    long room_h = static_cast<long>(desktop_h) * DESKTOP_SHARE_PERCENT / 100;
    for (const screen_size &s : STANDARD_SIZES) {
        bool fits = s.w <= room_w && s.h <= room_h;
        if (fits && static_cast<long>(s.w) * s.h > static_cast<long>(best.w) * best.h)
            best = s;
    }
    return best;
}

int first_color_depth(int desktop_depth) {
    bool usable =
        desktop_depth == 15 || desktop_depth == 16 || desktop_depth == 24 || desktop_depth == 32;
    return usable ? desktop_depth : 8;
}

// The directory part of name (through its last '/') followed by "untitled", or "untitled" alone
// when that would not fit. Done byte by byte: the library's replace_filename decodes its text as
// UTF-8 and loops forever on some invalid byte sequences, and a file name is any bytes.
static void untitled_in_directory_of(const char *name, char *out, size_t size) {
    static const char untitled[] = "untitled";
    const char *slash = std::strrchr(name, '/');
    size_t dir_len = slash ? static_cast<size_t>(slash - name) + 1 : 0;
    if (dir_len + sizeof untitled > size)
        dir_len = 0;
    std::memcpy(out, name, dir_len);
    std::memcpy(out + dir_len, untitled, sizeof untitled);
}

// The quoted path field cannot hold a quote or a line break: such a directory would shift every
// number after it on the next start.
static bool fits_quoted_field(const char *text) {
    return !std::strpbrk(text, "\"\r\n");
}

void write_config() {
    char path[511];
    untitled_in_directory_of(filename, path, sizeof(path));
    if (!fits_quoted_field(path))
        str_n_cpy(path, "untitled", sizeof(path));
    FILE *f = fopen(config_file_name, "w");
    if (!f)
        return;
    // Without a graphics mode (a tool or a test) the requested mode stands in for the current one.
    int w = gfx_driver ? SCREEN_W : screen_w;
    int h = gfx_driver ? SCREEN_H : screen_h;
    int windowed = gfx_driver ? is_windowed_mode() : !full_screen;
    fprintf(f, "\"%s\" %d %d %d %d\n", path, get_color_depth(), w, h, windowed ? 0 : 1);
    fclose(f);
}
