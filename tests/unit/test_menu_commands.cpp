// The menu tree as a user reads it, and the edit commands' preconditions and measure edits on
// scores built in code: deleting the cursor's measure, a solid paste before any copy.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "editor/cursor.h"
#include "editor/hooks.h"
#include "editor/state.h"
#include "file_test_util.h"
#include "gui/edit_commands.h"
#include "gui/file_commands.h"
#include "gui/menu.h"
#include "gui/play_commands.h"
#include "model/clipboard.h"
#include "playback/sound.h"

namespace {

// Texts of a menu up to its closing empty entry.
std::string texts(const MENU *menu) {
    std::string all;
    for (; menu->text; menu++)
        all += std::string(all.empty() ? "" : "|") + menu->text;
    return all;
}

TEST(MenuTree, EveryEntryInItsPlace) {
    init_all_menu();
    EXPECT_EQ(texts(main_menu), "file|edit|option|play|set tempo|tempo editor|track setting|"
                                "tie to previous|untie from previous|go to measure|"
                                "set note property|set volume|help F1|exit");
    EXPECT_EQ(texts(file_menu), "new|open|write|open midi|write midi as|write midi|"
                                "open musicxml|write lilypond|write pic16|write audio|"
                                "write musicxml|write pdf|write pdf parts");
    EXPECT_EQ(texts(edit_menu), "undo|redo|selection start [|selection end ]|copy C|paste blend V|"
                                "paste solid Shift+V|delete blend BS|delete solid Shift+BS|"
                                "insert measures|delete note  Del|set key|transpose|"
                                "insert new property|delete measure Shift+E|"
                                "set default volume|staccato");
    EXPECT_EQ(texts(option_menu), "edit sound setting|change graphic mode");
    EXPECT_EQ(texts(play_menu),
              "play foreground F5|play background|stop F8|pause|resume|play foreground|"
              "play from cursor|loop selection|metronome|count-in");
    EXPECT_EQ(main_menu[0].child, file_menu);
    EXPECT_EQ(main_menu[3].child, play_menu);
    EXPECT_EQ(play_menu[0].proc, play_menu[5].proc);
    EXPECT_EQ(file_menu[7].dp, &file_writers[FORMAT_LILYPOND]);
    EXPECT_EQ(file_menu[10].dp, &file_writers[FORMAT_MUSICXML]);
    for (const MENU *menu : {main_menu, file_menu, edit_menu, option_menu, play_menu})
        for (const MENU *item = menu; item->text; item++)
            EXPECT_TRUE(item->proc || item->child) << item->text;
}

// The command layer reaches the editor through the one record it installs: every key command
// bound, the menu with its refresh, and the exit command seen once by the main loop. The
// player's frame hook it sets is given back too, so later tests play without a screen.
TEST(MenuTree, InstalledHooksBindEveryKeyAndReportTheExitOnce) {
    editor_hooks saved = installed_editor_hooks();
    void (*saved_frame)() = play_frame;
    install_command_layer();
    const editor_hooks &hooks = installed_editor_hooks();
    for (int id = 0; id < KEY_COMMANDS; id++)
        EXPECT_NE(hooks.key_commands[id], nullptr) << "key command " << id;
    EXPECT_EQ(hooks.key_commands[CMD_PLAY_SCORE], menu_play_score);
    EXPECT_EQ(hooks.pop_up_menu, main_menu);
    ASSERT_NE(hooks.exit_chosen, nullptr);
    EXPECT_EQ(hooks.exit_chosen(), 0);
    menu_exit();
    EXPECT_EQ(hooks.exit_chosen(), 1);
    EXPECT_EQ(hooks.exit_chosen(), 0);
    install_editor_hooks(saved);
    play_frame = saved_frame;
}

// A score of n empty 4/4 measures with one quarter note at the start of each, the cursor in
// measure cursor_index.
struct MeasureCommands : FileTest {
    int saved_edited = 0;
    void SetUp() override {
        FileTest::SetUp();
        saved_edited = edited;
        edited = 0;
    }
    void TearDown() override {
        edited = saved_edited;
        FileTest::TearDown();
    }
    void build(int n, int cursor_index) {
        for (int i = 1; i < n; i++)
            insert_measure(&g_score, g_score.measures.tail, new_measure());
        int pitch = 0;
        for (measure *m = g_score.measures.head; m; m = m->next, pitch++) {
            add_note(m, 0, pitch, TICKS_PER_QUARTER);
            validate_measure(m);
        }
        g_score.cursor_measure = get_measure_by_pos(&g_score, cursor_index);
        set_score_ref_x(&g_score);
    }
    // The pitch of the first note of every measure, in order.
    std::string pitches() const {
        std::string s;
        for (measure *m = g_score.measures.head; m; m = m->next)
            s += std::to_string(m->notes.head ? m->notes.head->pitch : -1) + " ";
        return s;
    }
};

TEST_F(MeasureCommands, DeleteMeasure) {
    struct {
        const char *name;
        int measures, cursor;
        const char *want;
        int want_edited;
    } cases[] = {
        {"the only measure: nothing happens", 1, 0, "0 ", 0},
        {"the first of three", 3, 0, "1 2 ", 1},
        {"the middle one", 3, 1, "0 2 ", 1},
        {"the last one", 3, 2, "0 1 ", 1},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        destroy_score(&g_score);
        init_g_score();
        edited = 0;
        build(c.measures, c.cursor);
        selected_note = g_score.cursor_measure->notes.head;
        EXPECT_EQ(menu_delete_measure(), 1);
        EXPECT_EQ(pitches(), c.want);
        EXPECT_EQ(edited, c.want_edited);
        if (c.want_edited) {
            EXPECT_EQ(g_score.cursor_measure, nullptr);
            EXPECT_EQ(selected_note, nullptr);
            EXPECT_NE(g_score.ref_measure, nullptr);
        }
    }
}

TEST_F(MeasureCommands, DeleteMeasureWithoutCursorReportsAndFails) {
    build(2, 0);
    g_score.cursor_measure = nullptr;
    EXPECT_EQ(menu_delete_measure(), 0);
    EXPECT_EQ(pitches(), "0 1 ");
    EXPECT_EQ(edited, 0);
}

TEST_F(MeasureCommands, SolidPasteBeforeAnyCopyMovesNothing) {
    if (!clip_board_empty())
        GTEST_SKIP() << "the clipboard already holds a copy";
    build(2, 0);
    g_score.cursor_x = 0;
    EXPECT_EQ(menu_paste_solid(), 1);
    EXPECT_EQ(pitches(), "0 1 ");
    EXPECT_EQ(g_score.measures.head->notes.head->x, 0);
    EXPECT_EQ(edited, 0);
}

} // namespace
