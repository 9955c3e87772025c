// The menu tree and its wiring into the editor. Entries carry no flags and no user data, except
// the export formats appended to the file menu, whose dp names their writer row.
#include "gui/menu.h"

#include "editor/edit.h"
#include "editor/hooks.h"
#include "editor/interface.h"
#include "editor/state.h"
#include "gui/dialogs.h"
#include "gui/edit_commands.h"
#include "gui/file_commands.h"
#include "gui/graphic.h"
#include "gui/help.h"
#include "gui/play_commands.h"
#include "gui/recovery_offer.h"
#include "gui/undo_commands.h"
#include "editor/play_frame.h"
#include "model/play_view.h"
#include "model/undo.h"
#include "playback/sound.h"

MENU main_menu[MAIN_MENU_SIZE];
MENU file_menu[FILE_MENU_SIZE];
MENU edit_menu[EDIT_MENU_SIZE];
MENU option_menu[OPTION_MENU_SIZE];
MENU play_menu[PLAY_MENU_SIZE];

namespace {

// One entry of a static table; child menus and user data are filled in when the array is.
struct entry {
    const char *text;
    int (*proc)();
    MENU *child;
};

const entry main_entries[] = {
    {"file", nullptr, file_menu},
    {"edit", nullptr, edit_menu},
    {"option", nullptr, option_menu},
    {"play", nullptr, play_menu},
    {"set tempo", menu_set_tempo, nullptr},
    {"tempo editor", menu_tempo_editor, nullptr},
    {"track setting", menu_track_property, nullptr},
    {"tie to previous", menu_tie, nullptr},
    {"untie from previous", menu_untie, nullptr},
    {"go to measure", do_go_measure_dialog, nullptr},
    {"set note property", do_set_note_length_and_volume_dialog, nullptr},
    {"set volume", do_set_volume_dialog, nullptr},
    {"help F1", menu_help, nullptr},
    {"exit", menu_exit, nullptr},
};

const entry file_entries[] = {
    {"new", menu_new, nullptr},
    {"open", menu_open_file, nullptr},
    {"write", menu_write_file, nullptr},
    {"open midi", menu_open_midi_file, nullptr},
    {"write midi as", menu_write_midi_file_as, nullptr},
    {"write midi", menu_write_midi_file, nullptr},
    {"open musicxml", menu_open_musicxml_file, nullptr},
};

// The first two texts are rewritten before the menu opens (update_undo_menu).
const entry edit_entries[] = {
    {"undo", menu_undo, nullptr},
    {"redo", menu_redo, nullptr},
    {"selection start [", menu_select_start, nullptr},
    {"selection end ]", menu_select_end, nullptr},
    {"copy C", menu_copy, nullptr},
    {"paste blend V", menu_paste_blend, nullptr},
    {"paste solid Shift+V", menu_paste_solid, nullptr},
    {"delete blend BS", menu_delete_blend, nullptr},
    {"delete solid Shift+BS", menu_delete_solid, nullptr},
    {"insert measures", menu_insert_measures, nullptr},
    {"delete note  Del", menu_delete_note, nullptr},
    {"set key", menu_set_key, nullptr},
    {"transpose", menu_transpose, nullptr},
    {"insert new property", menu_insert_new_property, nullptr},
    {"delete measure Shift+E", menu_delete_measure, nullptr},
    {"set default volume", do_set_default_volume_dialog, nullptr},
    {"staccato", menu_staccato, nullptr},
};

const entry option_entries[] = {
    {"edit sound setting", do_option_dialog, nullptr},
    {"change graphic mode", menu_change_gfx, nullptr},
};

// The last three entries switch play options (FIRST_PLAY_TOGGLE, mark_play_options).
const entry play_entries[] = {
    {"play foreground F5", menu_play_score, nullptr},
    {"play background", menu_play_bg, nullptr},
    {"stop F8", menu_play_stop, nullptr},
    {"pause", menu_play_pause, nullptr},
    {"resume", menu_play_resume, nullptr},
    {"play foreground", menu_play_score, nullptr},
    {"play from cursor", menu_play_from_cursor, nullptr},
    {"loop selection", menu_toggle_loop, nullptr},
    {"metronome", menu_toggle_metronome, nullptr},
    {"count-in", menu_toggle_count_in, nullptr},
};

void set_entry(MENU *item, const char *text, int (*proc)(), MENU *child, void *dp) {
    item->text = const_cast<char *>(text);
    item->proc = proc;
    item->child = child;
    item->flags = 0;
    item->dp = dp;
}

// Copies the table entries into menu and ends it with an empty entry; returns their count.
template <size_t M, size_t N> int fill_menu(MENU (&menu)[M], const entry (&entries)[N]) {
    static_assert(N < M, "a menu needs room for its closing empty entry");
    for (size_t i = 0; i < N; i++)
        set_entry(&menu[i], entries[i].text, entries[i].proc, entries[i].child, nullptr);
    set_entry(&menu[N], nullptr, nullptr, nullptr, nullptr);
    return static_cast<int>(N);
}

// Every export format with a menu text gets an entry after the fixed ones.
void append_format_entries() {
    int n = fill_menu(file_menu, file_entries);
    for (const file_writer &w : file_writers) {
        if (!w.menu_text || n + 1 >= FILE_MENU_SIZE)
            continue;
        set_entry(&file_menu[n++], w.menu_text, menu_write_format, nullptr,
                  const_cast<file_writer *>(&w));
    }
    set_entry(&file_menu[n], nullptr, nullptr, nullptr, nullptr);
}

void start_commands() {
    init_all_menu();
    init_help_dialog();
    install_file_messages();
}

void first_score(const char *file) {
    if (offer_recovery(file))
        return;
    if (file)
        open_start_file(file);
    else
        new_setting();
    undo_reset();
    edited = 0;
}

void stop_commands() {
    if (playing_midi)
        menu_play_stop();
    destroy_help();
}

int exit_was_chosen = 0;

int exit_chosen() {
    int chosen = exit_was_chosen;
    exit_was_chosen = 0;
    return chosen;
}

void fill_key_commands(key_command_fn *key_commands) {
    key_commands[CMD_HELP] = menu_help;
    key_commands[CMD_PLAY_SCORE] = menu_play_score;
    key_commands[CMD_PLAY_STOP] = menu_play_stop;
    key_commands[CMD_COPY] = menu_copy;
    key_commands[CMD_PASTE_SOLID] = menu_paste_solid;
    key_commands[CMD_PASTE_BLEND] = menu_paste_blend;
    key_commands[CMD_DELETE_SOLID] = menu_delete_solid;
    key_commands[CMD_DELETE_BLEND] = menu_delete_blend;
    key_commands[CMD_DELETE_MEASURE] = menu_delete_measure;
    key_commands[CMD_SELECT_START] = menu_select_start;
    key_commands[CMD_SELECT_END] = menu_select_end;
    key_commands[CMD_DELETE_NOTE] = menu_delete_note;
    key_commands[CMD_UNDO] = menu_undo;
    key_commands[CMD_REDO] = menu_redo;
    key_commands[CMD_PLAY_FROM_CURSOR] = menu_play_from_cursor;
    key_commands[CMD_STACCATO] = menu_staccato;
}

} // namespace

void init_all_menu() {
    fill_menu(main_menu, main_entries);
    append_format_entries();
    fill_menu(edit_menu, edit_entries);
    fill_menu(option_menu, option_entries);
    fill_menu(play_menu, play_entries);
    exit_was_chosen = 0;
}

int menu_exit() {
    exit_was_chosen = 1;
    return 1;
}

int menu_tempo_editor() {
    undo_begin(&g_score, "tempo editor");
    undo_touch(&g_score, g_score.measures.head, nullptr);
    if (undo_commit(&g_score, graphic_editor(&g_score)))
        edited = 1;
    return 1;
}

int menu_change_gfx() {
    change_gfx_mode(&buf);
    return 1;
}

namespace {

constexpr int FIRST_PLAY_TOGGLE = 7;
constexpr int PLAY_TOGGLES = 3;

// The play options that are on carry a check mark.
void mark_play_options() {
    const int *on[] = {&play_options.loop, &play_options.metronome, &play_options.count_in};
    for (int i = 0; i < PLAY_TOGGLES; i++)
        play_menu[FIRST_PLAY_TOGGLE + i].flags = *on[i] ? D_SELECTED : 0;
}

void prepare_menus() {
    update_undo_menu();
    mark_play_options();
}

} // namespace

void install_command_layer() {
    editor_hooks hooks = {};
    hooks.start = start_commands;
    hooks.first_score = first_score;
    hooks.stop = stop_commands;
    hooks.confirm_exit = go_save;
    hooks.exit_chosen = exit_chosen;
    hooks.pop_up_menu = main_menu;
    hooks.before_menu = prepare_menus;
    hooks.background_idle = background_poll;
    fill_key_commands(hooks.key_commands);
    install_editor_hooks(hooks);
    play_frame = show_play_frame;
}
