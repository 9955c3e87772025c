// Start-up and shut-down of the editor, in a fixed order; the graphics mode with its fallbacks
// and its change at run time; the empty score.
#include "editor/interface.h"

#include <cstdio>
#include <cstdlib>

#include "editor/autosave.h"
#include "base/clock.h"
#include "editor/config.h"
#include "editor/cursor.h"
#include "render/glyphs.h"
#include "editor/gui_font.h"
#include "editor/history.h"
#include "editor/hooks.h"
#include "editor/mainloop.h"
#include "editor/note_input.h"
#include "playback/midi_capture.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "base/strutil.h"
#include "editor/window_icon.h"
#include "model/clipboard.h"
#include "model/d_malloc.h"
#include "playback/fluid_driver.h"
#include "playback/midi_in.h"
#include "playback/midi_ports.h"
#include "playback/sound.h"

// Space kept free at the right and the bottom of the score area, in pixels.
constexpr int LIMIT_MARGIN_X = 30;
constexpr int LIMIT_MARGIN_Y = 6;
constexpr int ORIGIN_X = 63;

static void set_score_screen(int w, int h) {
    set_coord(&g_score.screen, w, h);
    set_coord(&g_score.limit, w - LIMIT_MARGIN_X, h - LIMIT_MARGIN_Y);
}

void init_g_score() {
    init_score(&g_score);
    set_score_screen(SCREEN_W, SCREEN_H);
    panel_height = PANEL_HEIGHT;
    set_coord(&g_score.origin, ORIGIN_X, track_height / 2 + panel_height + 24);
    measure *m = new_measure();
    _append_measure_list(&g_score.measures, m);
    g_score.ref_measure = g_score.cursor_measure = m;
    g_score.cursor_x = 0;
    clear_marker();
    g_score.ref_x = 1;
    track_num = 1;
    offset_y = 0;
    init_track_info();
    update_active_tracks();
}

// The three attempts of start-up: the configured mode, then 640 x 480 windowed, then 640 x 480
// with whatever driver the library finds.
static int set_first_gfx_mode() {
    if (set_gfx_mode(g_mode, screen_w, screen_h, 0, 0) == 0)
        return 1;
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 640, 480, 0, 0) == 0)
        return 1;
    return set_gfx_mode(GFX_AUTODETECT, 640, 480, 0, 0) == 0;
}

static int fail_to_text_mode(const char *format) {
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message(format, allegro_error);
    return 1;
}

// Rebuilds what depends on the graphics mode: glyphs, colours, back buffer, score limits.
static int rebuild_for_mode(BITMAP **back) {
    destroy_all_fonts();
    if (!get_note_font())
        return 0;
    set_colors();
    if (*back)
        destroy_bitmap(*back);
    *back = create_bitmap(SCREEN_W, SCREEN_H);
    set_score_screen(SCREEN_W, SCREEN_H);
    return *back != nullptr;
}

void change_gfx_mode(BITMAP **back) {
    int card = g_mode, w = SCREEN_W, h = SCREEN_H, depth = get_color_depth();
    int old_mode = g_mode, old_card = gfx_driver ? gfx_driver->id : g_mode;
    int old_w = w, old_h = h, old_depth = depth;
    if (!gfx_mode_select_ex(&card, &w, &h, &depth))
        return;
    g_mode = card;
    set_color_depth(depth);
    if (set_gfx_mode(g_mode, w, h, 0, 0) != 0) {
        // Go back to the mode that worked rather than leave the editor without a screen.
        g_mode = old_mode;
        set_color_depth(old_depth);
        if (set_gfx_mode(old_card, old_w, old_h, 0, 0) != 0) {
            fail_to_text_mode("Unable to restore the graphic mode\n%s\n");
            std::exit(1);
        }
    }
    if (!rebuild_for_mode(back)) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        allegro_message("musical font not found!\n");
        std::exit(1);
    }
}

// Steps 1 to 3: the library, its input and timer drivers, sound. Returns 0 or an exit status.
static int start_library() {
    allegro_icon = plinkel_window_icon;
    if (allegro_init() != 0) {
        const char *display = std::getenv("DISPLAY");
        if (display)
            std::fprintf(stderr, "plinkel: cannot open the X display \"%s\"", display);
        else
            std::fprintf(stderr, "plinkel: no X display (DISPLAY is not set)");
        std::fprintf(stderr, "%s%s\n", allegro_error[0] ? ": " : "", allegro_error);
        return 1;
    }
    install_keyboard();
    install_mouse();
    install_timer();
    register_capture_driver();
    register_fluid_driver();
    // The editor plays no digital sound: probing for it only fills the terminal with the
    // failures of absent devices. A digital driver named in allegro.cfg is still installed.
    int digi_card = get_config_id("sound", "digi_card", DIGI_NONE);
    if (install_sound(digi_card, MIDI_AUTODETECT, nullptr) != 0)
        return fail_to_text_mode("Error initialising sound\n%s\n");
    if (load_midi_patches() != 0)
        allegro_message("patch not loaded\n");
    return 0;
}

// Without a configuration the first window takes the desktop's depth and a size that fits it.
static void fit_mode_to_desktop() {
    int w = 0, h = 0;
    if (get_desktop_resolution(&w, &h) != 0)
        w = h = 0;
    screen_size size = first_window_size(w, h);
    screen_w = size.w;
    screen_h = size.h;
    bpp = first_color_depth(desktop_color_depth());
}

// Steps 4 to 10: configuration, graphics mode, clock, glyphs, colours, back buffer.
static int start_screen() {
    config_defaults();
    if (!read_config())
        fit_mode_to_desktop();
    set_color_depth(bpp);
    g_mode = full_screen ? GFX_AUTODETECT_FULLSCREEN : GFX_AUTODETECT_WINDOWED;
    if (!set_first_gfx_mode())
        return fail_to_text_mode("Unable to set any graphic mode\n%s\n");
    start_clock();
    if (!get_note_font()) {
        std::printf("musical font not found!\n");
        return 1;
    }
    set_colors();
    set_mouse_sprite(nullptr);
    buf = create_bitmap(SCREEN_W, SCREEN_H);
    return buf ? 0 : 1;
}

// Steps 11 to 19: the empty score and the editor's own state. The first score (a file, or the
// new-score settings) comes last, when everything its commands touch exists.
static void start_editor(const char *file) {
    init_g_score();
    edit_mode = 1;
    selected_note = nullptr;
    init_note_length_history();
    font = gui_font();
    if (installed_editor_hooks().start)
        installed_editor_hooks().start();
    init_measure(&clip_board_measure);
    get_time(1);
    get_time2(&keyboard_tick, 1);
    get_time2(&note_length_queue_timer, 1);
    str_n_cpy(filename, "untitled", FILENAME_SIZE);
    edited = 0;
    cur_position_notes = create_note_p_array(CUR_POSITION_CHUNK);
    n_cur_position_notes = 0;
    init_channel_status();
    autosave_start();
    open_midi_in();
    set_midi_in_chord_handler(note_input_chord);
    if (installed_editor_hooks().first_score)
        installed_editor_hooks().first_score(file);
}

static void shut_down() {
    // The keyboard's threads send to the MIDI output, which goes with the library.
    close_midi_in();
    if (installed_editor_hooks().stop)
        installed_editor_hooks().stop();
    destroy_note_p_array(cur_position_notes);
    cur_position_notes = nullptr;
    destroy_measure(&clip_board_measure);
    autosave_finish();
    destroy_bitmap(buf);
    buf = nullptr;
    destroy_all_fonts();
    destroy_score(&g_score);
    close_d_malloc();
    write_config();
    allegro_exit();
}

int run_editor(const char *file) {
    int status = start_library();
    if (status == 0)
        status = start_screen();
    if (status != 0)
        return status;
    start_editor(file);
    main_loop();
    shut_down();
    return 0;
}
