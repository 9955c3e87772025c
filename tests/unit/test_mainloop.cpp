// Tests of the main loop's state rules: the note-length history ring, the key bindings and the
// length keys, horizontal scrolling from note to note and measure to measure, vertical
// scrolling and the wheel. Keys are simulated through the library's key state table.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <allegro.h>

#include "editor/cursor.h"
#include "render/glyphs.h"
#include "editor/history.h"
#include "editor/hooks.h"
#include "editor/interface.h"
#include "editor/keys.h"
#include "editor/mainloop.h"
#include "model/play_view.h"
#include "editor/scroll.h"
#include "editor/state.h"
#include "model/seq.h"

namespace {

void release_all_keys() {
    for (int i = 0; i < KEY_MAX; i++)
        key[i] = 0;
}

// Holds the given keys for one key event.
void press(const std::vector<int> &scancodes) {
    release_all_keys();
    for (int k : scancodes)
        key[k] = 1;
    process_key_event();
    release_all_keys();
}

// A small score in g_score: measures of 4/4 with notes placed by hand (no rests).
class ScoreFixture : public ::testing::Test {
  protected:
    std::vector<measure *> m;

    void SetUp() override {
        release_all_keys();
        init_track_info(&g_score);
        g_score.track_num = 2;
        g_score.tracks[1].active = 1;
        update_active_tracks();
        init_score(&g_score);
        set_coord(&g_score.screen, 640, 480);
        set_coord(&g_score.limit, 610, 474);
        set_coord(&g_score.origin, 63, 156);
        track_height = DEFAULT_TRACK_HEIGHT;
        panel_height = PANEL_HEIGHT;
        offset_x = offset_y = 0;
        mouse_visible = 1;
        init_note_length_history();
    }
    void TearDown() override {
        release_all_keys();
        destroy_score(&g_score);
        g_score.track_num = 1;
        init_track_info(&g_score);
        update_active_tracks();
        offset_x = offset_y = 0;
        mouse_visible = 1;
        edit_mode = 1;
        dot_mode = 0;
        init_note_length_history();
    }
    measure *add_measure(std::initializer_list<int> starts, int track = 0) {
        measure *mm = insert_measure(&g_score, g_score.measures.tail, new_measure());
        for (int x : starts)
            add_note(mm, x, 192, 2, track);
        m.push_back(mm);
        if (!g_score.ref_measure) {
            g_score.ref_measure = mm;
            g_score.ref_x = 1;
        }
        return mm;
    }
    note *add_note(measure *mm, int x, int len, int pos_y, int track) {
        note *n = new_note();
        n->x = x;
        n->len = n->total_len = static_cast<int16_t>(len);
        n->pos.y = static_cast<int16_t>(pos_y);
        n->track = static_cast<int8_t>(track);
        _insert_sorted_note_list(&mm->notes, n, note_comp);
        update_measure_order(mm, 1);
        return n;
    }
    void view(int measure_index, int x) {
        g_score.ref_measure = m[measure_index];
        g_score.ref_x = measure_index + 1;
        offset_x = x;
    }
};

// --- The note-length history ---------------------------------------------------------------

using HistoryTest = ScoreFixture;

TEST(QueueRing, StepsWrapAroundTheSlots) {
    queue q;
    init_queue(&q);
    q.size = 4;
    EXPECT_EQ(queue_next(&q, 2), 3);
    EXPECT_EQ(queue_next(&q, 3), 0);
    EXPECT_EQ(queue_prev(&q, 1), 0);
    EXPECT_EQ(queue_prev(&q, 0), 3);
}

TEST(QueueRing, AFullRingDropsItsOldestEntry) {
    queue q;
    init_queue(&q);
    q.size = 4;
    int slots[4] = {0};
    for (int v = 1; v <= 3; v++)
        add_queue(&q, slots, v);
    EXPECT_EQ(q.oldest, 0);
    add_queue(&q, slots, 4); // a fourth entry pushes out the first
    EXPECT_EQ(q.oldest, 1);
    EXPECT_EQ(q.cur, 0);
    EXPECT_EQ(q.end, 0);
    EXPECT_EQ(slots[3], 4);
}

TEST_F(HistoryTest, StartsWithTheQuarterAsItsOnlyEntry) {
    EXPECT_EQ(note_type, 192);
    EXPECT_EQ(user_defined_length, 192);
    EXPECT_EQ(current_note_length(), 192);
    EXPECT_EQ(note_length_history_back(), 0);
    EXPECT_EQ(note_length_history_forward(), 0);
    EXPECT_EQ(note_type, 192);
}

TEST_F(HistoryTest, BackTwiceThenTheSameLengthPushesNothing) {
    press({KEY_4});
    press({KEY_5});
    ASSERT_EQ(note_type, 48);
    press({KEY_COLON});
    EXPECT_EQ(note_type, 96);
    press({KEY_COLON});
    EXPECT_EQ(note_type, 192);
    press({KEY_COLON});
    EXPECT_EQ(note_type, 192);
    press({KEY_3});
    EXPECT_EQ(note_type, 192);
    press({KEY_QUOTE}); // the later entries are still there
    EXPECT_EQ(note_type, 96);
    press({KEY_QUOTE});
    EXPECT_EQ(note_type, 48);
    press({KEY_QUOTE});
    EXPECT_EQ(note_type, 48);
}

TEST_F(HistoryTest, ANewLengthDropsTheLaterEntries) {
    press({KEY_4});
    press({KEY_5});
    press({KEY_COLON});
    press({KEY_COLON});
    press({KEY_5});
    EXPECT_EQ(note_type, 48);
    EXPECT_EQ(note_length_history_forward(), 0);
    press({KEY_COLON});
    EXPECT_EQ(note_type, 192);
    EXPECT_EQ(note_length_history_back(), 0);
    press({KEY_QUOTE});
    EXPECT_EQ(note_type, 48);
}

TEST_F(HistoryTest, SemicolonWinsOverQuote) {
    press({KEY_4});
    press({KEY_COLON, KEY_QUOTE});
    EXPECT_EQ(note_type, 192);
}

TEST_F(HistoryTest, SixtyThreeMorePushesDropTheStartEntry) {
    for (int i = 0; i < 63; i++)
        push_note_length(i % 2 ? 96 : 48);
    int back = 0;
    while (note_length_history_back())
        back++;
    EXPECT_EQ(back, 62);
    EXPECT_EQ(note_type, 48); // the first of the 63, not the start-up 192
    int forward = 0;
    while (note_length_history_forward())
        forward++;
    EXPECT_EQ(forward, 62);
}

TEST_F(HistoryTest, SixtyTwoMorePushesKeepTheStartEntry) {
    for (int i = 0; i < 62; i++)
        push_note_length(i % 2 ? 96 : 48);
    while (note_length_history_back())
        ;
    EXPECT_EQ(note_type, 192);
}

// --- Key bindings ----------------------------------------------------------------------------

std::vector<int> command_log;
int log_delete_measure() {
    command_log.push_back(CMD_DELETE_MEASURE);
    return 1;
}
int log_play() {
    command_log.push_back(CMD_PLAY_SCORE);
    return 1;
}
int log_play_from_cursor() {
    command_log.push_back(CMD_PLAY_FROM_CURSOR);
    return 1;
}
int log_stop() {
    command_log.push_back(CMD_PLAY_STOP);
    return 1;
}
int log_paste_solid() {
    command_log.push_back(CMD_PASTE_SOLID);
    return 1;
}
int log_paste_blend() {
    command_log.push_back(CMD_PASTE_BLEND);
    return 1;
}
int log_select_start() {
    command_log.push_back(CMD_SELECT_START);
    return 1;
}
int log_select_end() {
    command_log.push_back(CMD_SELECT_END);
    return 1;
}
int log_delete_solid() {
    command_log.push_back(CMD_DELETE_SOLID);
    return 1;
}
int log_delete_blend() {
    command_log.push_back(CMD_DELETE_BLEND);
    return 1;
}
int log_delete_note() {
    command_log.push_back(CMD_DELETE_NOTE);
    return 1;
}
int log_staccato() {
    command_log.push_back(CMD_STACCATO);
    return 1;
}

class KeysTest : public ScoreFixture {
  protected:
    editor_hooks saved;

    void SetUp() override {
        ScoreFixture::SetUp();
        saved = installed_editor_hooks();
        editor_hooks hooks = saved;
        hooks.key_commands[CMD_DELETE_MEASURE] = log_delete_measure;
        hooks.key_commands[CMD_PLAY_SCORE] = log_play;
        hooks.key_commands[CMD_PLAY_STOP] = log_stop;
        hooks.key_commands[CMD_PLAY_FROM_CURSOR] = log_play_from_cursor;
        hooks.key_commands[CMD_PASTE_SOLID] = log_paste_solid;
        hooks.key_commands[CMD_PASTE_BLEND] = log_paste_blend;
        hooks.key_commands[CMD_DELETE_NOTE] = log_delete_note;
        hooks.key_commands[CMD_SELECT_START] = log_select_start;
        hooks.key_commands[CMD_SELECT_END] = log_select_end;
        hooks.key_commands[CMD_DELETE_SOLID] = log_delete_solid;
        hooks.key_commands[CMD_DELETE_BLEND] = log_delete_blend;
        hooks.key_commands[CMD_STACCATO] = log_staccato;
        install_editor_hooks(hooks);
        command_log.clear();
        edit_mode = 1;
        dot_mode = 0;
    }
    void TearDown() override {
        install_editor_hooks(saved);
        ScoreFixture::TearDown();
    }
    void unbind(key_command_id id) {
        editor_hooks hooks = installed_editor_hooks();
        hooks.key_commands[id] = nullptr;
        install_editor_hooks(hooks);
    }
};

TEST_F(KeysTest, LengthKeysFollowTheirTable) {
    const int expected[][2] = {{KEY_1, 768}, {KEY_Q, 576}, {KEY_2, 384}, {KEY_W, 288}, {KEY_S, 256},
                               {KEY_3, 192}, {KEY_E, 144}, {KEY_D, 128}, {KEY_4, 96},  {KEY_R, 72},
                               {KEY_F, 64},  {KEY_5, 48},  {KEY_T, 36},  {KEY_G, 32},  {KEY_6, 24},
                               {KEY_Y, 18},  {KEY_H, 16},  {KEY_7, 12},  {KEY_U, 9},   {KEY_J, 8},
                               {KEY_8, 6},   {KEY_I, 9},   {KEY_K, 4},   {KEY_9, 3}};
    for (const auto &e : expected) {
        press({e[0]});
        EXPECT_EQ(note_type, e[1]) << "scancode " << e[0];
    }
}

TEST_F(KeysTest, ZeroTakesThePickedUpLength) {
    user_defined_length = 480;
    press({KEY_0});
    EXPECT_EQ(note_type, 480);
    EXPECT_EQ(current_note_length(), 480);
}

TEST_F(KeysTest, FirstHeldLengthKeyWins) {
    press({KEY_3, KEY_1});
    EXPECT_EQ(note_type, 768);
}

TEST_F(KeysTest, ShiftESetsTheDottedEighthAndDeletesTheMeasure) {
    press({KEY_E, KEY_LSHIFT});
    EXPECT_EQ(note_type, 144);
    EXPECT_EQ(command_log, std::vector<int>{CMD_DELETE_MEASURE});
    command_log.clear();
    press({KEY_E});
    EXPECT_TRUE(command_log.empty());
}

TEST_F(KeysTest, InsertAndStopToggleTheModesInOneTurn) {
    press({KEY_INSERT, KEY_STOP});
    EXPECT_EQ(edit_mode, 0);
    EXPECT_NE(dot_mode, 0);
    press({KEY_INSERT});
    EXPECT_EQ(edit_mode, 1);
    EXPECT_NE(dot_mode, 0);
}

// The dot key switches dot mode; with Shift it marks staccato instead.
TEST_F(KeysTest, ShiftStopMarksStaccatoAndLeavesDotMode) {
    press({KEY_STOP, KEY_LSHIFT});
    EXPECT_EQ(command_log, std::vector<int>{CMD_STACCATO});
    EXPECT_EQ(dot_mode, 0);
    command_log.clear();
    press({KEY_STOP});
    EXPECT_TRUE(command_log.empty());
    EXPECT_NE(dot_mode, 0);
}

TEST_F(KeysTest, F8StopsOnlyWithoutF6) {
    press({KEY_F6, KEY_F8});
    EXPECT_EQ(command_log, std::vector<int>{CMD_PLAY_FROM_CURSOR});
    command_log.clear();
    press({KEY_F8});
    EXPECT_EQ(command_log, std::vector<int>{CMD_PLAY_STOP});
    command_log.clear();
    press({KEY_F5, KEY_F6});
    EXPECT_EQ(command_log, (std::vector<int>{CMD_PLAY_SCORE, CMD_PLAY_FROM_CURSOR}));
}

// L switches the loop, Ctrl+K the metronome; K alone stays a length key.
TEST_F(KeysTest, LAndCtrlKSwitchThePlayOptions) {
    struct {
        std::vector<int> keys;
        play_options_t after;
    } cases[] = {
        {{KEY_L}, {1, 0, 0}}, {{KEY_K, KEY_LCONTROL}, {1, 1, 0}}, {{KEY_K}, {1, 1, 0}},
        {{KEY_L}, {0, 1, 0}}, {{KEY_K, KEY_RCONTROL}, {0, 0, 0}},
    };
    play_options = {};
    for (const auto &c : cases) {
        press(c.keys);
        EXPECT_EQ(play_options.loop, c.after.loop);
        EXPECT_EQ(play_options.metronome, c.after.metronome);
    }
    EXPECT_TRUE(command_log.empty());
}

TEST_F(KeysTest, ShiftChoosesSolidPaste) {
    press({KEY_V, KEY_RSHIFT});
    EXPECT_EQ(command_log, std::vector<int>{CMD_PASTE_SOLID});
    command_log.clear();
    press({KEY_V});
    EXPECT_EQ(command_log, std::vector<int>{CMD_PASTE_BLEND});
}

TEST_F(KeysTest, BracketsSetTheCursorThenMarkTheSelection) {
    measure *mm = add_measure({0, 192, 384});
    set_coord(&cursor, 63 + 60, 156);
    press({KEY_OPENBRACE});
    EXPECT_EQ(g_score.cursor_measure, mm);
    EXPECT_EQ(g_score.cursor_x, 384);
    EXPECT_EQ(command_log, std::vector<int>{CMD_SELECT_START});
    command_log.clear();
    press({KEY_OPENBRACE, KEY_CLOSEBRACE, KEY_ENTER}); // [ wins over ] and Enter
    EXPECT_EQ(command_log, std::vector<int>{CMD_SELECT_START});
    command_log.clear();
    press({KEY_CLOSEBRACE, KEY_ENTER});
    EXPECT_EQ(command_log, std::vector<int>{CMD_SELECT_END});
}

TEST_F(KeysTest, ShiftChoosesSolidDelete) {
    press({KEY_BACKSPACE, KEY_LSHIFT});
    EXPECT_EQ(command_log, std::vector<int>{CMD_DELETE_SOLID});
    command_log.clear();
    press({KEY_BACKSPACE});
    EXPECT_EQ(command_log, std::vector<int>{CMD_DELETE_BLEND});
}

TEST_F(KeysTest, KeysWithoutACommandDoNothing) {
    unbind(CMD_COPY);
    press({KEY_C});
    EXPECT_TRUE(command_log.empty());
}

TEST_F(KeysTest, DelSnapsTheViewAfterDeleting) {
    add_measure({0, 192});
    offset_x = 100;
    press({KEY_DEL});
    EXPECT_EQ(command_log, std::vector<int>{CMD_DELETE_NOTE});
    EXPECT_EQ(offset_x, 192);
}

TEST_F(KeysTest, BackslashPicksUpTheWholeTiedLength) {
    measure *mm = add_measure({});
    note *n = add_note(mm, 0, 192, 2, 0);
    n->total_len = 288;
    update_measure_order(mm, 1);
    set_coord(&cursor, 63, 156 - 12);
    press({KEY_BACKSLASH});
    EXPECT_EQ(note_type, 288);
    EXPECT_EQ(user_defined_length, 288);
    EXPECT_EQ(current_note_length(), 288);
    EXPECT_EQ(selected_note, nullptr);
    set_coord(&cursor, 63 + 30 * 5, 156 - 12); // nothing there
    note_type = 96;
    press({KEY_BACKSLASH});
    EXPECT_EQ(note_type, 96);
}

TEST_F(KeysTest, EnterSetsTheScoreCursorAtThePointer) {
    measure *mm = add_measure({0, 192, 384});
    set_coord(&cursor, 63 + 30, 156);
    press({KEY_ENTER});
    EXPECT_EQ(g_score.cursor_measure, mm);
    EXPECT_EQ(g_score.cursor_x, 192);
}

TEST_F(KeysTest, F12SavesTheBackBuffer) {
    ASSERT_EQ(get_note_font(), 1);
    buf = create_bitmap(64, 48);
    clear_to_color(buf, 1);
    std::remove("screenshot.bmp");
    press({KEY_F12});
    PALETTE pal;
    BITMAP *shot = load_bitmap("screenshot.bmp", pal);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->w, 64);
    EXPECT_EQ(shot->h, 48);
    destroy_bitmap(shot);
    destroy_bitmap(buf);
    buf = nullptr;
    destroy_all_fonts();
    std::remove("screenshot.bmp");
}

// --- Scrolling -------------------------------------------------------------------------------

using ScrollTest = ScoreFixture;

TEST_F(ScrollTest, UpStopsAtMinusOneTrackHeight) {
    offset_y = -210;
    press({KEY_UP});
    EXPECT_EQ(offset_y, -216);
    EXPECT_EQ(mouse_visible, 0);
    mouse_visible = 1;
    press({KEY_UP});
    EXPECT_EQ(offset_y, -216);
    EXPECT_EQ(mouse_visible, 1); // nothing happened, the pointer stays
    press({KEY_DOWN});
    EXPECT_EQ(offset_y, -204);
    EXPECT_EQ(mouse_visible, 0);
}

TEST_F(ScrollTest, ShiftScrollsByPagesWithoutUpperBound) {
    press({KEY_DOWN, KEY_LSHIFT});
    press({KEY_DOWN, KEY_LSHIFT});
    EXPECT_EQ(offset_y, 144);
    press({KEY_UP, KEY_LSHIFT});
    EXPECT_EQ(offset_y, 72);
    offset_y = -200;
    press({KEY_UP, KEY_LSHIFT});
    EXPECT_EQ(offset_y, -216);
}

TEST_F(ScrollTest, WheelScrollsRowsOrWithShiftMeasures) {
    add_measure({0});
    add_measure({0});
    process_wheel(1);
    EXPECT_EQ(offset_y, -72);
    offset_y = -200;
    mouse_visible = 1;
    process_wheel(1);
    EXPECT_EQ(offset_y, -216);
    EXPECT_EQ(mouse_visible, 0);
    process_wheel(-1);
    EXPECT_EQ(offset_y, -144);
    key[KEY_LSHIFT] = 1;
    process_wheel(-1);
    EXPECT_EQ(g_score.ref_measure, m[1]);
    EXPECT_EQ(g_score.ref_x, 2);
    process_wheel(1);
    EXPECT_EQ(g_score.ref_measure, m[0]);
    EXPECT_EQ(g_score.ref_x, 1);
    EXPECT_EQ(offset_y, -144);
}

TEST_F(ScrollTest, RightWalksNoteStartsThenMeasures) {
    add_measure({0, 192, 384});
    add_measure({0});
    press({KEY_RIGHT});
    EXPECT_EQ(offset_x, 192);
    EXPECT_EQ(mouse_visible, 0);
    press({KEY_RIGHT});
    EXPECT_EQ(offset_x, 384);
    press({KEY_RIGHT});
    EXPECT_EQ(g_score.ref_measure, m[1]);
    EXPECT_EQ(g_score.ref_x, 2);
    EXPECT_EQ(offset_x, 0);
    press({KEY_RIGHT}); // the last note of the last measure
    EXPECT_EQ(g_score.ref_measure, m[1]);
    EXPECT_EQ(g_score.ref_x, 2);
    EXPECT_EQ(offset_x, 0);
}

TEST_F(ScrollTest, LeftWalksBackIntoThePreviousMeasure) {
    add_measure({0, 192, 384});
    add_measure({0});
    view(1, 0);
    press({KEY_LEFT});
    EXPECT_EQ(g_score.ref_measure, m[0]);
    EXPECT_EQ(g_score.ref_x, 1);
    EXPECT_EQ(offset_x, 384);
    press({KEY_LEFT});
    EXPECT_EQ(offset_x, 192);
    press({KEY_LEFT});
    EXPECT_EQ(offset_x, 0);
    press({KEY_LEFT}); // offset 0 in the first measure
    EXPECT_EQ(g_score.ref_measure, m[0]);
    EXPECT_EQ(offset_x, 0);
}

TEST_F(ScrollTest, LeftIntoAMeasureWithoutShownNotesStartsAtZero) {
    g_score.tracks[1].active = 0;
    update_active_tracks();
    add_measure({192, 384}, 1);
    add_measure({0});
    view(1, 0);
    press({KEY_LEFT});
    EXPECT_EQ(g_score.ref_measure, m[0]);
    EXPECT_EQ(offset_x, 0);
}

TEST_F(ScrollTest, NotesOfHiddenTracksAreNoStops) {
    measure *mm = add_measure({0, 384});
    add_note(mm, 192, 192, 2, 1);
    g_score.tracks[1].active = 0;
    update_active_tracks();
    update_measure_order(mm, 1);
    press({KEY_RIGHT});
    EXPECT_EQ(offset_x, 384);
    press({KEY_LEFT});
    EXPECT_EQ(offset_x, 0);
}

TEST_F(ScrollTest, LeftAndRightTogetherGoLeft) {
    add_measure({0, 192, 384});
    offset_x = 384;
    press({KEY_LEFT, KEY_RIGHT});
    EXPECT_EQ(offset_x, 192);
}

TEST_F(ScrollTest, ShiftArrowsMoveWholeMeasures) {
    add_measure({0, 192});
    add_measure({96});
    offset_x = 192;
    press({KEY_RIGHT, KEY_LSHIFT});
    EXPECT_EQ(g_score.ref_measure, m[1]);
    EXPECT_EQ(g_score.ref_x, 2);
    EXPECT_EQ(offset_x, 0); // nothing at or after 192 in the new measure
    press({KEY_RIGHT, KEY_LSHIFT});
    EXPECT_EQ(g_score.ref_measure, m[1]); // the last measure
    press({KEY_LEFT, KEY_LSHIFT});
    EXPECT_EQ(g_score.ref_measure, m[0]);
    EXPECT_EQ(g_score.ref_x, 1);
    press({KEY_LEFT, KEY_LSHIFT});
    EXPECT_EQ(g_score.ref_x, 1);
}

TEST_F(ScrollTest, AdjustSnapsToTheNextNoteStart) {
    add_measure({0, 192});
    offset_x = 100;
    EXPECT_EQ(adjust_offset_x(), m[0]->notes.tail);
    EXPECT_EQ(offset_x, 192);
    offset_x = 200;
    EXPECT_EQ(adjust_offset_x(), nullptr);
    EXPECT_EQ(offset_x, 0);
}

TEST_F(ScrollTest, OffsetNoteCountsEveryTrack) {
    measure *mm = add_measure({0});
    note *hidden = add_note(mm, 96, 96, 2, 1);
    g_score.tracks[1].active = 0;
    update_active_tracks();
    offset_x = 50;
    EXPECT_EQ(get_offset_x_note(&g_score), hidden);
    offset_x = 500;
    EXPECT_EQ(get_offset_x_note(&g_score), nullptr);
}

TEST_F(ScrollTest, ClearMarkerResetsSelectionCursorAndOffset) {
    measure *mm = add_measure({0, 192});
    g_score.select_start = g_score.select_end = mm;
    g_score.select_end_x = 192;
    g_score.cursor_measure = mm;
    offset_x = 192;
    clear_marker();
    EXPECT_EQ(g_score.select_start, nullptr);
    EXPECT_EQ(g_score.select_end, nullptr);
    EXPECT_EQ(g_score.cursor_measure, nullptr);
    EXPECT_EQ(offset_x, 0);
}

} // namespace
