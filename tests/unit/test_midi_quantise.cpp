// The automatic MIDI grid: grid choice per beat, starts near a beat, legato and real rests,
// spread chords and overlapping keys, detached notes written staccato, the exact rule on
// request, and files written exactly (notation programs) sounding the same in both modes.
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "file_test_util.h"
#include "files/midi_imp.h"
#include "files/midi_quantise.h"
#include "files/notation_length.h"

namespace {

constexpr double TICKS_PER_MS_AT_120 = 192.0 / 500.0;

struct played {
    double start, end; // score ticks
    int pitch;
};

std::vector<midi_played_note> quantise(const std::vector<played> &in,
                                       quantised_grids *grids = nullptr) {
    std::vector<midi_played_note> notes;
    for (const played &p : in)
        notes.push_back(
            {static_cast<int>(p.start), static_cast<int>(p.end), p.pitch, 0, 80, 0, 0, 0, 0});
    quantised_grids chosen = quantise_played_notes(notes, {{0, 120}});
    if (grids)
        *grids = chosen;
    return notes;
}

// Beats of one rhythm, played 1 tick late and held 80 %, so that no time is exact.
std::vector<played> beats_of(std::initializer_list<int> lens, int beats) {
    std::vector<played> out;
    int t = 0;
    for (int b = 0; b < beats; b++)
        for (int len : lens) {
            out.push_back({t + 1.0, t + 1.0 + len * 0.8, 60 + (t / 16) % 12});
            t += len;
        }
    return out;
}

TEST(MidiQuantise, GridIsChosenPerBeat) {
    struct grid_case {
        const char *name;
        std::vector<played> notes;
        int beat0, beat1;
    };
    std::vector<played> mixed;
    for (int bar = 0; bar < 2; bar++) {
        for (played p : beats_of({96, 96}, 1))
            mixed.push_back({p.start + bar * 384, p.end + bar * 384, p.pitch});
        for (played p : beats_of({64, 64, 64}, 1))
            mixed.push_back({p.start + bar * 384 + 192, p.end + bar * 384 + 192, p.pitch});
    }
    std::vector<grid_case> cases = {
        {"quarters", beats_of({192}, 8), 192, 192},
        {"eighths", beats_of({96, 96}, 8), 96, 96},
        {"sixteenths", beats_of({48, 48, 48, 48}, 8), 48, 48},
        {"dotted eighth and sixteenth", beats_of({144, 48}, 8), 48, 48},
        {"triplet eighths", beats_of({64, 64, 64}, 8), 64, 64},
        {"32nds", beats_of({24, 24, 24, 24, 24, 24, 24, 24}, 4), 24, 24},
        {"eighths then triplets", mixed, 96, 64},
    };
    for (const grid_case &c : cases) {
        SCOPED_TRACE(c.name);
        quantised_grids grids;
        std::vector<midi_played_note> q = quantise(c.notes, &grids);
        EXPECT_EQ(quantised_beat_grid(grids, 0, 0), c.beat0);
        EXPECT_EQ(quantised_beat_grid(grids, 0, 192), c.beat1);
        for (size_t i = 0; i < q.size(); i++)
            EXPECT_EQ(q[i].q_start, static_cast<int>(c.notes[i].start) - 1) << i;
    }
}

TEST(MidiQuantise, StartsAndEndsAsAScoreWouldWriteThem) {
    struct end_case {
        const char *name;
        std::vector<played> notes;
        std::vector<int> starts, lens;
    };
    double ms15 = 15 * TICKS_PER_MS_AT_120;
    std::vector<end_case> cases = {
        {"a note 2 ticks early lands on the beat",
         {{0, 190, 60}, {190, 382, 62}},
         {0, 192},
         {192, 192}},
        {"legato gaps closed",
         {{0, 150, 60}, {192, 345, 62}, {384, 560, 64}},
         {0, 192, 384},
         {192, 192, 192}},
        {"a real quarter rest kept", {{0, 160, 60}, {384, 540, 62}}, {0, 384}, {192, 192}},
        {"a real eighth rest kept",
         {{0, 170, 60}, {288, 370, 62}, {384, 550, 60}, {672, 754, 62}},
         {0, 288, 384, 672},
         {192, 96, 192, 96}},
        {"a chord spread over 15 ms is one chord",
         {{2, 190, 60}, {2 + ms15 / 2, 190, 64}, {2 + ms15, 190, 67}, {192, 380, 60}},
         {0, 0, 0, 192},
         {192, 192, 192, 192}},
        {"a sixteenth before a sixteenth rest is a detached eighth",
         {{0, 96, 48}, {96, 144, 60}, {192, 288, 48}, {288, 336, 60}, {384, 480, 48}},
         {0, 96, 192, 288, 384},
         {96, 96, 96, 96, 96}},
        {"a lone off-beat eighth in a track of quarters stays off the beat",
         {{1, 155, 60},
          {193, 347, 62},
          {385, 539, 64},
          {577, 731, 65},
          {769, 845, 67},
          {865, 941, 65},
          {961, 1115, 64},
          {1153, 1307, 62},
          {1345, 1499, 60}},
         {0, 192, 384, 576, 768, 864, 960, 1152, 1344},
         {192, 192, 192, 192, 96, 96, 192, 192, 192}},
        {"overlapping notes of one key end where the next starts",
         {{0, 250, 60}, {192, 380, 60}},
         {0, 192},
         {192, 192}},
    };
    for (const end_case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<midi_played_note> q = quantise(c.notes);
        for (size_t i = 0; i < q.size(); i++) {
            EXPECT_EQ(q[i].q_start, c.starts[i]) << i;
            EXPECT_EQ(q[i].q_len, c.lens[i]) << i;
        }
    }
}

TEST(MidiQuantise, NotatedTimesAreRecognised) {
    struct notated_case {
        played note;
        int exact;
        int notated;
    };
    std::vector<notated_case> cases = {
        {{0, 192, 60}, 1, 1}, {{64, 128, 60}, 1, 1},  {{12, 36, 60}, 1, 1},
        {{0, 170, 60}, 1, 0}, {{382, 576, 60}, 1, 0}, {{0, 192, 60}, 0, 0},
    };
    for (const notated_case &c : cases) {
        std::vector<midi_played_note> n = {{static_cast<int>(c.note.start),
                                            static_cast<int>(c.note.end), 0, 0, 80, c.exact, 0, 0,
                                            0}};
        EXPECT_EQ(played_notes_are_notated(n), c.notated) << c.note.start << " " << c.note.end;
    }
}

TEST(MidiQuantise, DetachedNotesAreWrittenStaccatoWhereThatTakesFewerValues) {
    struct note_at {
        int start, len, pitch;
    };
    struct detached_case {
        const char *name;
        std::vector<note_at> notes;
        int may_shorten;
        std::vector<int> lens; // written, after the rule
        std::string staccato;  // per note
    };
    std::vector<note_at> eighths = {{0, 96, 60}, {192, 96, 62}, {384, 96, 64}, {576, 96, 65}};
    std::vector<note_at> held = eighths;
    held.push_back({0, 768, 48});
    std::vector<note_at> legato = {
        {0, 192, 60}, {192, 192, 62}, {384, 192, 64}, {576, 96, 65}, {768, 192, 67}};
    std::vector<detached_case> cases = {
        {"eighths before eighth rests are staccato quarters (the last keeps its rest)",
         eighths,
         0,
         {192, 192, 192, 96},
         "1110"},
        {"notes under a held note keep their rests", held, 1, {96, 96, 96, 96, 768}, "00000"},
        {"a track played legato keeps its rests", legato, 1, {192, 192, 192, 96, 192}, "00000"},
        {"an eighth before a sixteenth rest is a dotted eighth when it may sound shorter",
         {{0, 96, 60}, {144, 48, 62}, {192, 192, 64}},
         1,
         {144, 48, 192},
         "100"},
        {"the same without shortening",
         {{0, 96, 60}, {144, 48, 62}, {192, 192, 64}},
         0,
         {96, 48, 192},
         "000"},
        {"nothing longer than a dotted quarter",
         {{0, 192, 60}, {384, 192, 62}, {768, 96, 64}},
         1,
         {192, 192, 96},
         "000"},
    };
    // One value for a plain, dotted or triplet length, two for any other.
    written_values_counter values = [](int, int len, int) {
        notation_piece p;
        return notation_value(len, &p) ? 1 : 2;
    };
    for (const detached_case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<midi_played_note> notes;
        for (const note_at &n : c.notes)
            notes.push_back({n.start, n.start + n.len, n.pitch, 0, 80, 1, n.start, n.len, 0});
        mark_detached_notes(notes, c.may_shorten, values);
        std::string marks;
        for (size_t i = 0; i < notes.size(); i++) {
            EXPECT_EQ(notes[i].q_len, c.lens[i]) << i;
            marks += notes[i].staccato ? '1' : '0';
        }
        EXPECT_EQ(marks, c.staccato);
    }
}

class MidiGridModes : public FileTest {
  protected:
    midi_grid_mode saved = MIDI_GRID_AUTO;
    void SetUp() override {
        FileTest::SetUp();
        saved = midi_grid;
    }
    void TearDown() override {
        midi_grid = saved;
        FileTest::TearDown();
    }
    std::vector<std::string> read(const std::string &file, midi_grid_mode mode,
                                  bool sounding = false) {
        destroy_score(&g_score);
        init_g_score();
        midi_grid = mode;
        EXPECT_EQ(midi_import(file.c_str(), &g_score), 1) << file;
        return first_pieces(&g_score, sounding);
    }
};

TEST_F(MidiGridModes, AutomaticIsTheDefaultAndPlaysOnTheBeat) {
    EXPECT_EQ(saved, MIDI_GRID_AUTO);
    // At 96 ticks per quarter: a quarter, then a note from tick 105 to 192 (start 210 in score
    // ticks, which the exact rule keeps off the beat).
    bytes t = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x09, 0x90, 60, 100, 0x57, 0x80, 60, 0};
    write_bytes(path("in.mid"), smf(0, 96, {cat({t, END})}));
    std::vector<std::string> exact = read(path("in.mid"), MIDI_GRID_EXACT);
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[1].substr(0, 6), "0 216 ");
    std::vector<std::string> automatic = read(path("in.mid"), MIDI_GRID_AUTO);
    ASSERT_EQ(automatic.size(), 2u);
    EXPECT_EQ(automatic[1].substr(0, 6), "0 192 ");
}

// Channel 1 changes its program but never sounds: the automatic grid hides its track, the exact
// rule shows it, and the sounding track is shown in both.
TEST_F(MidiGridModes, SilentChannelsAreHiddenByTheAutomaticGrid) {
    bytes t = {0x00, 0xC1, 5, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0};
    write_bytes(path("in.mid"), smf(0, 96, {cat({t, END})}));
    for (midi_grid_mode mode : {MIDI_GRID_AUTO, MIDI_GRID_EXACT, MIDI_GRID_AUTO}) {
        g_score.tracks[1].active = 0; // hidden by an earlier score
        ASSERT_EQ(read(path("in.mid"), mode).size(), 1u);
        ASSERT_EQ(g_score.track_num, 2);
        EXPECT_EQ(g_score.tracks[0].active, mode == MIDI_GRID_EXACT) << mode;
        EXPECT_EQ(g_score.tracks[1].active, 1u) << mode;
    }
}

// The automatic grid may write a detached note of such a file as a staccato note of twice its
// length; every note still sounds as the exact rule has it.
TEST_F(MidiGridModes, FilesWrittenExactlySoundTheSameInBothModes) {
    const char *songs[] = {"chemistry_lab", "coconut_run2", "harp_harmony", "ultimate_run"};
    std::string dir = "/usr/share/games/openttd/baseset/openmsx/";
    size_t marked = 0;
    for (const char *s : songs) {
        std::string file = dir + s + ".mid";
        if (!std::ifstream(file))
            GTEST_SKIP() << "openttd-openmsx is not installed";
        SCOPED_TRACE(s);
        std::vector<std::string> exact = read(file, MIDI_GRID_EXACT, true);
        EXPECT_EQ(staccato_marks(&g_score).find('1'), std::string::npos);
        EXPECT_EQ(read(file, MIDI_GRID_AUTO, true), exact);
        std::string marks = staccato_marks(&g_score);
        marked += static_cast<size_t>(std::count(marks.begin(), marks.end(), '1'));
    }
    EXPECT_GT(marked, 0u);
}

} // namespace
