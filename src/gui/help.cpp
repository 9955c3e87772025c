// The help window: loading "manual.txt" into memory, the text box that shows it and freeing it
// at exit. A missing file leaves the window empty.
#include "gui/help.h"

#include <allegro.h>
#include <cstdio>
#include <cstdlib>

#include "base/datadir.h"
#include "gui/dialogs.h"

char *help_text = nullptr;

namespace {

constexpr int FG = 255, BG = 0;
constexpr long MAX_HELP_SIZE = 1L << 20; // a longer file is shown up to this many bytes
constexpr int PATH_SIZE = 1024;
const char HELP_FILE[] = "manual.txt";
char empty_text[] = "";
FONT *original_font = nullptr;

DIALOG help_box[] = {
    {d_shadow_box_proc, 24, 24, 600, 432, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_textbox_proc, 32, 40, 584, 368, FG, BG, 0, 0, 0, 0, empty_text, nullptr, nullptr},
    {d_button_proc, 32, 416, 584, 32, FG, BG, 0, D_EXIT, 0, 0, const_cast<char *>("OK"), nullptr,
     nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
constexpr int HELP_TEXT_BOX = 1;

long file_size(std::FILE *fp) {
    if (std::fseek(fp, 0, SEEK_END) != 0)
        return -1;
    long size = std::ftell(fp);
    std::rewind(fp);
    return size;
}

} // namespace

int load_help(const char *name) {
    destroy_help();
    std::FILE *fp = std::fopen(name, "r");
    if (!fp)
        return 0;
    long size = file_size(fp);
    if (size < 0)
        size = 0;
    if (size > MAX_HELP_SIZE)
        size = MAX_HELP_SIZE;
    help_text = static_cast<char *>(std::malloc(size + 1));
    if (!help_text) {
        std::fclose(fp);
        return 0;
    }
    size_t got = std::fread(help_text, 1, size, fp);
    help_text[got] = '\0';
    std::fclose(fp);
    return 1;
}

void init_help_dialog() {
    original_font = font;
    char path[PATH_SIZE];
    find_data_file(HELP_FILE, path, sizeof path);
    load_help(path);
    help_box[HELP_TEXT_BOX].dp = help_text ? help_text : empty_text;
}

void destroy_help() {
    std::free(help_text);
    help_text = nullptr;
    help_box[HELP_TEXT_BOX].dp = empty_text;
}

int menu_help() {
    FONT *editor_font = font;
    if (original_font)
        font = original_font;
    run_dialog(help_box, 0);
    font = editor_font;
    return 1;
}
