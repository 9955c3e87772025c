// The track settings window: its dialog array, the custom controls that keep the instrument
// list, channel field and volume slider on the current track and edit the working copy, and
// menu_track_property, which runs it and applies the copy on "OK".
#include <allegro.h>
#include <cstdio>

#include "editor/state.h"
#include "gui/dialogs.h"
#include "gui/track_dialog.h"

namespace {

constexpr int FG = 255, BG = 0;
constexpr int MSG_REFRESH = MSG_USER; // refresh the controls from the current track
constexpr int CANCEL = 2;

int d_track_proc(int msg, DIALOG *d, int c);
int d_patch_proc(int msg, DIALOG *d, int c);
int d_volume_proc(int msg, DIALOG *d, int c);
int d_channel_proc(int msg, DIALOG *d, int c);
int d_active_button_proc(int msg, DIALOG *d, int c);
int d_append_track_button_proc(int msg, DIALOG *d, int c);
int d_delete_track_button_proc(int msg, DIALOG *d, int c);
int d_mute_track_button_proc(int msg, DIALOG *d, int c);

void *text(const char *s) {
    return const_cast<char *>(s);
}

DIALOG track_property[] = {
    {d_shadow_box_proc, 56, 56, 500, 400, FG, BG, 0, 0, 0, 0, nullptr, nullptr, nullptr},
    {d_button_proc, 72, 420, 150, 20, FG, BG, 0, D_EXIT, 0, 0, text("OK"), nullptr, nullptr},
    {d_button_proc, 240, 420, 150, 20, FG, BG, 0, D_EXIT, 0, 0, text("CANCEL"), nullptr, nullptr},
    {d_track_proc, 72, 80, 450, 96, FG, BG, 0, 0, 0, 0, reinterpret_cast<void *>(track_list_getter),
     selected_tracks_flag, nullptr},
    {d_patch_proc, 72, 184, 450, 136, FG, BG, 0, 0, 0, 0,
     reinterpret_cast<void *>(inst_list_getter), nullptr, nullptr},
    {d_text_proc, 72, 326, 48, 16, FG, BG, 0, 0, 0, 0, text("tempo"), nullptr, nullptr},
    {d_edit_proc, 140, 326, 64, 16, FG, BG, 0, D_EXIT, 11, 0, tempo_text, nullptr, nullptr},
    {d_text_proc, 240, 326, 64, 16, FG, BG, 0, 0, 0, 0, text("volume"), nullptr, nullptr},
    {d_volume_proc, 350, 328, 72, 16, FG, BG, 0, 0, MAX_VELOCITY, MAX_VELOCITY, nullptr, nullptr,
     nullptr},
    {d_channel_proc, 350, 348, 72, 16, FG, BG, 0, 0, 11, 0, channel_text, nullptr, nullptr},
    {d_active_button_proc, 72, 348, 150, 18, FG, BG, 0, 0, 0, 0, text("de/activate"), nullptr,
     nullptr},
    {d_text_proc, 240, 348, 64, 16, FG, BG, 0, 0, 0, 0, text("channel"), nullptr, nullptr},
    {d_append_track_button_proc, 240, 370, 150, 20, FG, BG, 0, 0, 0, 0, text("append track"),
     nullptr, nullptr},
    {d_delete_track_button_proc, 72, 370, 150, 20, FG, BG, 0, 0, 0, 0, text("delete"), nullptr,
     nullptr},
    {d_mute_track_button_proc, 72, 394, 150, 20, FG, BG, 0, 0, 0, 0, text("mute/unmute"), nullptr,
     nullptr},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr},
};
constexpr int TRACK_LIST = 3, INST_LIST = 4, VOLUME_SLIDER = 8, CHANNEL_FIELD = 9;
constexpr int DELETE_BUTTON = 13;
DIALOG *inst_list_item = &track_property[INST_LIST];

int current_track() {
    return track_property[TRACK_LIST].d1;
}

void redraw(int index, bool draw) {
    if (draw)
        object_message(&track_property[index], MSG_DRAW, 0);
}

void show_channel(int track, bool draw) {
    std::snprintf(channel_text, FIELD_TEXT_SIZE, "%d", track_info_copy[track].channel);
    track_property[CHANNEL_FIELD].d2 = ustrlen(channel_text);
    redraw(CHANNEL_FIELD, draw);
}

// Selects row in the instrument list and scrolls it into view.
void show_instrument(int row) {
    DIALOG *d = inst_list_item;
    int visible = (d->h - 4) / text_height(font);
    d->d1 = row;
    if (row < d->d2)
        d->d2 = row;
    else if (visible > 0 && row >= d->d2 + visible)
        d->d2 = row - visible + 1;
}

// The instrument list, channel field and slider take the current track's values.
void refresh_from_track(bool draw) {
    int t = current_track();
    if (t < 0 || t >= track_num_copy)
        return;
    const track_info_t &ti = track_info_copy[t];
    show_instrument(ti.channel == PERCUSSION_CHANNEL ? PERCUSSION_PATCH : ti.patch);
    redraw(INST_LIST, draw);
    show_channel(t, draw);
    track_property[VOLUME_SLIDER].d2 = ti.volume;
    redraw(VOLUME_SLIDER, draw);
}

int d_track_proc(int msg, DIALOG *d, int c) {
    int ret = d_list_proc(msg == MSG_REFRESH ? MSG_DRAW : msg, d, c);
    // Moving through the rows with the keys changes the current track as a click does.
    if (msg == MSG_CHAR && (ret & D_USED_CHAR))
        refresh_from_track(true);
    if (ret)
        return ret;
    if (msg == MSG_START || msg == MSG_CLICK || msg == MSG_REFRESH)
        refresh_from_track(msg != MSG_START);
    return ret;
}

int d_patch_proc(int msg, DIALOG *d, int c) {
    int ret = d_list_proc(msg, d, c);
    if (ret || msg != MSG_CLICK)
        return ret;
    set_tracks_patch(current_track(), d->d1);
    // The field shows the current track's channel, so that closing the dialog keeps it.
    show_channel(current_track(), true);
    redraw(TRACK_LIST, true);
    return ret;
}

int d_volume_proc(int msg, DIALOG *d, int c) {
    int ret = d_slider_proc(msg, d, c);
    if (ret || msg != MSG_CLICK)
        return ret;
    set_tracks_volume(current_track(), d->d2);
    redraw(VOLUME_SLIDER, true);
    redraw(TRACK_LIST, true);
    return ret;
}

// The edit field answers a lost focus with D_WANTFOCUS (it keeps the focus until another
// control takes it), so the channel is taken whatever the field answered.
int d_channel_proc(int msg, DIALOG *d, int c) {
    int ret = d_edit_proc(msg, d, c);
    if (msg != MSG_LOSTFOCUS && msg != MSG_END)
        return ret;
    if (set_track_channel(current_track(), channel_text) && msg == MSG_LOSTFOCUS)
        object_message(&track_property[TRACK_LIST], MSG_REFRESH, 0);
    return ret;
}

// A plain button that acts when a click or key leaves it pressed, and springs back.
int action_button(int msg, DIALOG *d, int c, void (*action)(int current)) {
    int ret = d_button_proc(msg, d, c);
    if (ret || (msg != MSG_CLICK && msg != MSG_KEY) || !(d->flags & D_SELECTED))
        return ret;
    action(current_track());
    d->flags &= ~D_SELECTED;
    redraw(TRACK_LIST, true);
    object_message(d, MSG_DRAW, 0);
    return ret;
}

int d_active_button_proc(int msg, DIALOG *d, int c) {
    return action_button(msg, d, c, toggle_tracks_active);
}

int d_mute_track_button_proc(int msg, DIALOG *d, int c) {
    return action_button(msg, d, c, toggle_tracks_mute);
}

int d_append_track_button_proc(int msg, DIALOG *d, int c) {
    return action_button(msg, d, c, [](int) { append_track_copy(); });
}

int d_delete_track_button_proc(int msg, DIALOG *d, int c) {
    d->dp = text((d->flags & D_SELECTED) ? "not delete" : "delete");
    int ret = d_button_proc(msg, d, c);
    if (ret || (msg != MSG_CLICK && msg != MSG_KEY))
        return ret;
    mark_tracks_removal(current_track(), (d->flags & D_SELECTED) != 0);
    d->dp = text((d->flags & D_SELECTED) ? "not delete" : "delete");
    object_message(d, MSG_DRAW, 0);
    object_message(&track_property[TRACK_LIST], MSG_REFRESH, 0);
    return ret;
}

// Fills the fields before the dialog opens; the list's start refresh then shows the current
// track's values.
void fill_track_dialog() {
    DIALOG &list = track_property[TRACK_LIST];
    if (list.d1 < 0 || list.d1 >= track_num_copy)
        list.d1 = 0;
    show_instrument(track_info_copy[list.d1].patch);
    std::snprintf(tempo_text, FIELD_TEXT_SIZE, "%d", default_tempo);
    std::snprintf(volume_text, FIELD_TEXT_SIZE, "%d", default_volume);
    std::snprintf(num_text, FIELD_TEXT_SIZE, "%d", default_num);
    std::snprintf(bit_text, FIELD_TEXT_SIZE, "%d", default_bit);
    show_channel(list.d1, false);
    track_property[VOLUME_SLIDER].d2 = default_volume;
}

// The delete button starts released next time, whatever way the dialog closed.
void release_buttons() {
    for (DIALOG *d = track_property; d->proc; d++)
        d->flags &= ~D_SELECTED;
    track_property[DELETE_BUTTON].dp = text("delete");
}

} // namespace

int menu_track_property() {
    int old_tempo = default_tempo, old_volume = default_volume;
    start_track_editing();
    fill_track_dialog();
    int closed_by = run_dialog(track_property, CANCEL);
    release_buttons();
    if (closed_by == CANCEL || closed_by == DIALOG_ESCAPED)
        return 0;
    finish_track_editing(tempo_text, track_property[VOLUME_SLIDER].d2, inst_list_item->d1,
                         old_tempo, old_volume);
    return 1;
}
