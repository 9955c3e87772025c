// MIDI import: the grid rule and sampling, channels becoming tracks, meta events becoming
// signatures and tempo events, the refusal of broken headers and over-long files (score and
// track table untouched), real songs checked against python3-mido, and corrupted copies.
#include <map>
#include <random>

#include "file_test_util.h"
#include "files/midi_exp.h"
#include "files/midi_imp.h"
#include "invariants.h"

namespace {

class MidiImport : public FileTest {
  protected:
    int saved_atom = 4;
    midi_grid_mode saved_grid = MIDI_GRID_AUTO;
    // These cases are about the exact grid rule; the automatic grid has its own suite.
    void SetUp() override {
        FileTest::SetUp();
        saved_atom = midi_atom;
        saved_grid = midi_grid;
        midi_atom = 4;
        midi_grid = MIDI_GRID_EXACT;
    }
    void TearDown() override {
        midi_atom = saved_atom;
        midi_grid = saved_grid;
        FileTest::TearDown();
    }
    int import(const bytes &b) {
        write_bytes(path("in.mid"), b);
        return midi_import(path("in.mid").c_str(), &g_score);
    }
    // First pieces as "measure x pitch ... total track volume".
    std::vector<std::string> notes() { return first_pieces(&g_score); }
};

TEST(MidiGrid, SamplingRoundsHalvesUpAndLeavesSmallGridsAlone) {
    EXPECT_EQ(sampling(66, 12), 72);
    EXPECT_EQ(sampling(65, 12), 60);
    EXPECT_EQ(sampling(7, 1), 7);
    EXPECT_EQ(sampling(7, 0), 7);
    EXPECT_EQ(sampling(-5, 12), -12 + 12 - 5 + 5 - 0); // -5 % 12 = -5, below the half: -5 + 5
    EXPECT_EQ(sampling(-7, 12), 0);
}

TEST(MidiGrid, GridRuleKeepsOddAndNonMultiplesOfThree) {
    int saved = midi_atom, t = -1;
    midi_atom = 4;
    EXPECT_EQ(midi_grid_rule(66, &t), 72);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(midi_grid_rule(200, &t), 200);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(midi_grid_rule(64, &t), 64);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(midi_grid_rule(9, &t), 9);
    EXPECT_EQ(t, 1);
    EXPECT_EQ(midi_grid_rule(0, &t), 0);
    EXPECT_EQ(t, 0);
    midi_atom = 32;
    EXPECT_EQ(midi_grid_rule(150, &t), 192);
    midi_atom = saved;
}

TEST_F(MidiImport, Division64SnapsStartAndKeepsTheQuarter) {
    bytes t = {22, 0x90, 60, 100, 64, 0x80, 60, 0};
    ASSERT_EQ(import(smf(0, 64, {cat({t, END})})), 1);
    std::vector<std::string> want = {"0 72 0 0 0 192 0 100"};
    EXPECT_EQ(notes(), want);
    EXPECT_EQ(track_num, 1);
}

TEST_F(MidiImport, Division96KeepsAStartThatIsNoMultipleOfThree) {
    bytes t = {100, 0x90, 62, 90, 0x81, 0x40, 0x80, 62, 0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})})), 1);
    ASSERT_EQ(notes().size(), 1u);
    EXPECT_EQ(notes()[0], "0 200 2 1 0 384 0 90");
}

TEST_F(MidiImport, Division480QuarterAndTripletEighth) {
    // a quarter (480) then an eighth-note triplet (160)
    bytes t = {0x00, 0x90, 60, 80, 0x83, 0x60, 0x80, 60, 0,
               0x00, 0x90, 64, 80, 0x81, 0x20, 0x80, 64, 0};
    ASSERT_EQ(import(smf(0, 480, {cat({t, END})})), 1);
    std::vector<std::string> want = {"0 0 0 0 0 192 0 80", "0 192 4 2 0 64 0 80"};
    EXPECT_EQ(notes(), want);
}

TEST_F(MidiImport, ZeroLengthNoteGetsTheAtom) {
    bytes t = {0x00, 0x90, 60, 80, 0x00, 0x80, 60, 0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})})), 1);
    ASSERT_EQ(notes().size(), 1u);
    EXPECT_EQ(notes()[0], "0 0 0 0 0 4 0 80");
}

TEST_F(MidiImport, ChannelsBecomeTracksInOrderOfAppearance) {
    bytes t = {0x00, 0x92, 60, 100, 0x00, 0x90, 62, 100, 0x00, 0x99, 36, 100,
               0x60, 0x82, 60, 0,   0x00, 0x80, 62, 0,   0x00, 0x89, 36, 0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})})), 1);
    EXPECT_EQ(track_num, 3);
    EXPECT_EQ(track_info[0].channel, 2);
    EXPECT_EQ(track_info[1].channel, 0);
    EXPECT_EQ(track_info[2].channel, 9);
    EXPECT_EQ(track_info[2].patch, PERCUSSION_PATCH);
    std::vector<std::string> got = notes();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].substr(got[0].rfind(' ', got[0].size() - 5) + 1), "2 100");
}

TEST_F(MidiImport, ProgramChangeSetsPatchExceptOnPercussion) {
    bytes t = {0x00, 0xC3, 41, 0x00, 0xC9, 5, 0x00, 0x93, 60, 70, 0x60, 0x83, 60, 0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})})), 1);
    EXPECT_EQ(track_info[0].patch, 41);
    EXPECT_EQ(track_info[1].patch, PERCUSSION_PATCH);
    // The percussion track plays nothing: its measures still hold a voice of rests.
    EXPECT_TRUE(score_invariants(&g_score));
}

TEST_F(MidiImport, Format1TempoTrackMakesNoTrackAndVolumesFollowChunks) {
    bytes tempo = cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, END});
    bytes t1 =
        cat({{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0x90, 62, 50, 0x60, 0x80, 62, 0}, END});
    ASSERT_EQ(import(smf(1, 96, {tempo, t1})), 1);
    EXPECT_EQ(track_num, 1);
    EXPECT_EQ(track_info[0].volume, 75);
    EXPECT_EQ(track_info[5].volume, 127);
    std::vector<std::string> ev = {"m 4/4 k0 len768", "t 0 120 1"};
    EXPECT_EQ(measures_and_events(&g_score), ev);
}

TEST_F(MidiImport, ThreeFourAtTimeZeroCarriesIntoNewMeasures) {
    bytes meta = {0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18,
                  0x08, 0x00, 0xFF, 0x59, 0x02, 0xFE, 0x00};
    bytes note = {0x00, 0x90, 60, 100, 0x8F, 0x00, 0x80, 60, 0}; // 1920 ticks at 96: 3840
    ASSERT_EQ(import(smf(0, 96, {cat({meta, note, END})})), 1);
    ASSERT_GE(g_score.measures.num, 7);
    for (measure *m = g_score.measures.head; m; m = m->next) {
        EXPECT_EQ(m->num, 3);
        EXPECT_EQ(m->bit, 4);
        EXPECT_EQ(m->key, -2);
    }
}

TEST_F(MidiImport, TempoOfZeroAndBadSignaturesAreIgnored) {
    bytes meta = {0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00,       // tempo 0
                  0x00, 0xFF, 0x58, 0x04, 0x00, 0x02, 0x18, 0x08, // numerator 0
                  0x00, 0xFF, 0x58, 0x04, 0x04, 0xF0, 0x18, 0x08, // 4/2^240
                  0x00, 0xFF, 0x59, 0x02, 0x09, 0x00,             // nine sharps
                  0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1};            // tempo with two bytes
    ASSERT_EQ(import(smf(0, 96, {cat({meta, END})})), 1);
    std::vector<std::string> want = {"m 4/4 k0 len768"};
    EXPECT_EQ(measures_and_events(&g_score), want);
}

TEST_F(MidiImport, Format0NoteOffEndsTheEarliestKeyFromAnyChannel) {
    bytes t = {0x00, 0x90, 60, 100, 0x00, 0x91, 60, 90, 0x60, 0x81, 60, 0, 0x60, 0x80, 60, 0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})})), 1);
    std::vector<std::string> want = {"0 0 0 0 0 192 1 100", "0 0 0 0 0 384 0 90"};
    EXPECT_EQ(notes(), want);
}

TEST_F(MidiImport, RunningStatusAndItsAbsenceAtTheStart) {
    bytes t = {0x00, 0x40, 0x00, 0x90, 60, 100, 0x00, 64, 100, 0x60, 60, 0, 0x00, 64, 0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})})), 1);
    EXPECT_EQ(notes().size(), 2u);
}

TEST_F(MidiImport, LongHeaderIsSkippedAndSysexAndUnknownMetaIgnored) {
    bytes t = {0x00, 0xF0, 0x03, 1,    2,  0xF7, 0x00, 0xFF, 0x01, 0x02,
               'h',  'i',  0x00, 0x90, 60, 100,  0x60, 0x80, 60,   0};
    ASSERT_EQ(import(smf(0, 96, {cat({t, END})}, 10)), 1);
    EXPECT_EQ(notes().size(), 1u);
}

TEST_F(MidiImport, TrackWithoutEndStopsAtItsChunk) {
    bytes t = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0x90, 62, 100, 0x60, 0x80};
    ASSERT_EQ(import(smf(0, 96, {t})), 1);
    EXPECT_EQ(notes().size(), 1u);
}

TEST_F(MidiImport, FileWithoutChannelEventsStillHasOneTrack) {
    ASSERT_EQ(import(smf(0, 96, {END})), 1);
    EXPECT_EQ(track_num, 1);
}

struct bad_file {
    const char *name;
    bytes data;
};

TEST_F(MidiImport, BrokenFilesAreRefusedAndChangeNothing) {
    bytes ok_track = cat({{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}, END});
    bytes truncated = smf(0, 96, {ok_track});
    bytes header_only(truncated.begin(), truncated.begin() + 14);
    truncated.resize(truncated.size() - 3);
    bytes long_track = smf(0, 96, {ok_track});
    long_track[21] = 0x7F; // chunk length far beyond the file
    bytes far = {0x8F, 0xFF, 0xFF, 0x7F, 0x90, 60, 100, 0x10, 0x80, 60, 0};
    bytes overflow;
    for (int i = 0; i < 20; i++)
        overflow.insert(overflow.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
    std::vector<bad_file> cases = {
        {"not a MIDI file", {'R', 'I', 'F', 'F', 0, 0, 0, 6}},
        {"empty file", {}},
        {"format 2", smf(2, 96, {ok_track})},
        {"no tracks", smf(0, 96, {})},
        {"33 tracks", smf(1, 96, std::vector<bytes>(33, END))},
        {"division 0", smf(0, 0, {ok_track})},
        {"SMPTE division", smf(0, 0xE728, {ok_track})},
        {"short header", smf(0, 96, {ok_track}, 4)},
        {"missing track chunk", header_only},
        {"truncated chunk", truncated},
        {"chunk longer than file", long_track},
        {"more than 20000 measures", smf(0, 96, {cat({far, END})})},
        {"times overflow",
         smf(0, 1, {cat({overflow, {0x00, 0x90, 60, 1, 0x00, 0x80, 60, 0}, END})})},
    };
    measure *first = g_score.measures.head;
    track_info[0].volume = 55;
    for (const bad_file &c : cases) {
        SCOPED_TRACE(c.name);
        captured_messages().clear();
        EXPECT_EQ(import(c.data), 0);
        expect_fresh(&g_score, first);
        EXPECT_EQ(track_num, saved_track_num);
        EXPECT_EQ(track_info[0].volume, 55);
        EXPECT_EQ(captured_messages().size(), 1u);
        for (const midi_buffer &b : mbuf)
            EXPECT_EQ(b.data, nullptr);
    }
}

TEST_F(MidiImport, MissingFileIsRefused) {
    measure *first = g_score.measures.head;
    EXPECT_EQ(midi_import(path("none.mid").c_str(), &g_score), 0);
    expect_fresh(&g_score, first);
}

TEST_F(MidiImport, MeasureLookupAppendsAndWalksBothWays) {
    int start = -1;
    measure *m = get_measure_by_x(&g_score, 2000, &start);
    EXPECT_EQ(start, 1536);
    EXPECT_EQ(g_score.measures.num, 3);
    EXPECT_EQ(get_measure_by_pos(&g_score, 2), m);
    reset_measure_cache(&g_score);
    EXPECT_EQ(get_measure_by_x_fast(&g_score, 1600, &start), m);
    EXPECT_EQ(get_measure_by_x_fast(&g_score, 10, &start), g_score.measures.head);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(get_measure_by_x_fast(&g_score, 800, &start), m->prev);
    EXPECT_EQ(start, 768);
    EXPECT_EQ(get_measure_by_x_fast(&g_score, SCORE_MAX_MEASURES * 768, &start), nullptr);
    EXPECT_EQ(g_score.measures.num, SCORE_MAX_MEASURES);
}

// ---- Round trip through our own writer ----

TEST_F(MidiImport, ExportedScoreComesBackWithTheSameNotes) {
    std::mt19937 rng(7);
    measure *m = g_score.measures.head;
    append_measure(4, 4, 0);
    append_measure(4, 4, 0);
    track_num = 2;
    track_info[1].channel = 1;
    for (int i = 0; i < 30; i++) {
        int t = static_cast<int>(rng() % 2);
        measure *at = get_measure_by_pos(&g_score, static_cast<int>(rng() % 3));
        add_note(at, 48 * static_cast<int>(rng() % 16), i + t * 40 - 20,
                 48 * (1 + static_cast<int>(rng() % 4)), t, 1 + static_cast<int>(rng() % 126));
    }
    add_tempo(m, 0, 100);
    expand_and_validate(&g_score);
    std::vector<std::string> before = notes();
    MIDI *midi = makenew_midi();
    ASSERT_EQ(plinkel_midi_write_to_memory(m, midi, 0), 1);
    ASSERT_EQ(export_midi(midi, path("rt.mid").c_str()), 1);
    destroy_midi(midi);
    destroy_score(&g_score);
    init_g_score();
    midi_atom = 1;
    ASSERT_EQ(midi_import(path("rt.mid").c_str(), &g_score), 1);
    std::vector<std::string> after = notes();
    // the importer spells pitches itself: compare position, pitch, length, track, velocity
    auto strip = [](std::vector<std::string> v) {
        for (std::string &s : v) {
            std::istringstream in(s);
            long a[8];
            for (long &x : a)
                in >> x;
            s = std::to_string(a[0]) + " " + std::to_string(a[1]) + " " + std::to_string(a[2]) +
                " " + std::to_string(a[5]) + " " + std::to_string(a[6]) + " " +
                std::to_string(a[7]);
        }
        std::sort(v.begin(), v.end());
        return v;
    };
    EXPECT_EQ(strip(after), strip(before));
}

// ---- Songs we did not write ----

int run(const std::string &cmd) {
    return std::system(cmd.c_str());
}

std::string tools_dir() {
    std::string f = __FILE__;
    return f.substr(0, f.rfind("/unit/")) + "/tools";
}

std::vector<std::string> openmsx_songs() {
    std::vector<std::string> out;
    const std::string base = "/usr/share/games/openttd/baseset/openmsx";
    DIR *d = opendir(base.c_str());
    if (!d)
        return out;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.substr(name.size() - 4) == ".mid")
            out.push_back(base + "/" + name);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::map<int, int> counts_per_channel() {
    std::map<int, int> out;
    for (measure *m = g_score.measures.head; m; m = m->next)
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev)
                out[track_info[n->track].channel]++;
    return out;
}

TEST_F(MidiImport, EveryOpenmsxSongMatchesMidoNoteCounts) {
    std::vector<std::string> songs = openmsx_songs();
    if (songs.empty() || run("/usr/bin/python3 -c 'import mido' 2>/dev/null") != 0)
        GTEST_SKIP() << "openttd-openmsx or python3-mido is not installed";
    std::string cmd = "/usr/bin/python3 " + tools_dir() + "/midi_notes.py counts";
    for (const std::string &song : songs)
        cmd += " '" + song + "'";
    std::string listed = path("counts.txt");
    ASSERT_EQ(run(cmd + " > " + listed), 0);
    std::map<std::string, std::map<int, int>> want;
    std::ifstream in(listed);
    std::string current;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("== ", 0) == 0) {
            current = line.substr(3);
            continue;
        }
        std::istringstream fields(line);
        int ch = 0, n = 0;
        fields >> ch >> n;
        want[current][ch] = n;
    }
    for (const std::string &song : songs) {
        SCOPED_TRACE(song);
        destroy_score(&g_score);
        init_g_score();
        ASSERT_EQ(midi_import(song.c_str(), &g_score), 1);
        EXPECT_EQ(counts_per_channel(), want[song]);
    }
}

TEST_F(MidiImport, CorruptedCopiesNeverCrashOrHang) {
    std::vector<std::string> songs = openmsx_songs();
    if (songs.empty())
        GTEST_SKIP() << "openttd-openmsx is not installed";
    std::mt19937 rng(2024);
    for (int k = 0; k < 24; k++) {
        std::string text = read_all(songs[static_cast<size_t>(k) * 5 % songs.size()]);
        bytes b(text.begin(), text.end());
        if (k % 3 == 0)
            b.resize(rng() % b.size());
        int flips = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < flips && !b.empty(); i++)
            b[rng() % b.size()] = static_cast<unsigned char>(rng());
        SCOPED_TRACE(k);
        destroy_score(&g_score);
        init_g_score();
        int ok = import(b);
        EXPECT_TRUE(ok == 0 || ok == 1);
        EXPECT_GE(g_score.measures.num, 1);
        EXPECT_GE(track_num, 1);
        EXPECT_LE(track_num, MAX_TRACKS);
        for (measure *m = g_score.measures.head; m; m = m->next) {
            ASSERT_GT(m->len, 0);
            for (note *n = m->notes.head; n; n = n->next) {
                ASSERT_GE(n->x, 0);
                ASSERT_LE(n->x + n->len, m->len);
            }
        }
    }
}

} // namespace
