// MIDI export: the exact bytes of small scores, the pending note-off rules, channel folding and
// 7-bit data, the slot limit, variable lengths, and files read back by independent readers
// (python3-mido and midicsv).
#include <allegro.h>
#include <array>
#include <map>
#include <random>

#include "file_test_util.h"
#include "files/midi_exp.h"
#include "files/midi_imp.h"

namespace {

typedef std::vector<int> bytes;

bytes slot(MIDI *midi, int i) {
    return bytes(midi->track[i].data, midi->track[i].data + midi->track[i].len);
}

class MidiExport : public FileTest {
  protected:
    MIDI *midi = nullptr;
    void TearDown() override {
        if (midi)
            destroy_midi(midi);
        FileTest::TearDown();
    }
    int render(int mode = 0) {
        expand_and_validate(&g_score);
        midi = makenew_midi();
        return plinkel_midi_write_to_memory(&g_score, g_score.measures.head, midi, mode);
    }
};

TEST_F(MidiExport, OneNoteScoreGivesTheExactTracksAndHeader) {
    g_score.default_tempo = 120;
    g_score.tracks[0].channel = 0;
    g_score.tracks[0].patch = 0;
    add_note(g_score.measures.head, 0, 0, 192, 0, 100);
    ASSERT_EQ(render(), 1);
    bytes meta = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02,
                  0x78, 0x02, 0x00, 0xFF, 0x59, 0x02, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    bytes track = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x83,
                   0x00, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 0), meta);
    EXPECT_EQ(slot(midi, 1), track);
    EXPECT_EQ(midi->track[2].len, 0);
    ASSERT_EQ(export_midi(midi, path("a.mid").c_str()), 1);
    std::string file = read_all(path("a.mid"));
    std::string head = std::string("MThd") + std::string("\0\0\0\6\0\1\0\2\1\x80", 10);
    EXPECT_EQ(file.substr(0, 14), head);
    EXPECT_EQ(file.size(), 14u + 8 + 25 + 8 + 16);
    EXPECT_EQ(count_files(dir), 1);
}

TEST_F(MidiExport, TempoAtTickZeroReplacesTheInitialTempo) {
    add_tempo(g_score.measures.head, 0, 60);
    ASSERT_EQ(render(), 1);
    bytes meta = {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x78, 0x02, 0x00, 0xFF, 0x59, 0x02, 0x00,
                  0x00, 0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 0), meta);
}

TEST_F(MidiExport, RenderingFromALaterMeasureStartsAtTheTempoInForceThere) {
    g_score.default_tempo = 120;
    add_tempo(g_score.measures.head, 0, 60);
    measure *second = insert_measure(&g_score, g_score.measures.tail, new_measure());
    add_note(second, 0, 0, 192, 0, 100);
    expand_and_validate(&g_score);
    midi = makenew_midi();
    ASSERT_EQ(plinkel_midi_write_to_memory(&g_score, second, midi, 1), 1);
    bytes start_tempo = {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}; // 60 per minute
    bytes meta = slot(midi, 0);
    ASSERT_GT(meta.size(), start_tempo.size());
    EXPECT_EQ(bytes(meta.begin(), meta.begin() + 7), start_tempo);
    EXPECT_EQ(g_score.default_tempo, 120);
}

TEST_F(MidiExport, TempoOfZeroIsLeftOut) {
    g_score.default_tempo = 0;
    add_tempo(g_score.measures.head, 96, 0);
    ASSERT_EQ(render(), 1);
    bytes meta = {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x78, 0x02, 0x00,
                  0xFF, 0x59, 0x02, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 0), meta);
}

TEST_F(MidiExport, SignatureChangesAndFlatKeys) {
    set_measure(g_score.measures.head, 3, 4, -3);
    append_measure(3, 4, -3);
    append_measure(6, 8, -3);
    add_tempo(g_score.measures.head, 0, 120);
    ASSERT_EQ(render(), 1);
    bytes meta = slot(midi, 0);
    bytes want = {0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x78, 0x02, 0x00, 0xFF, 0x59, 0x02, 0xFD,
                  0x00, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                  // two 3/4 measures later: 1152 score ticks = 2304 = 0x92 0x00
                  0x92, 0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0x78, 0x02, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(meta, want);
}

TEST_F(MidiExport, SameKeyStruckTogetherIsOneNoteToTheLaterEnd) {
    add_note(g_score.measures.head, 0, 0, 96, 0, 90);
    add_note(g_score.measures.head, 0, 0, 384, 0, 90);
    ASSERT_EQ(render(), 1);
    bytes want = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x5A, 0x86,
                  0x00, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 1), want);
}

TEST_F(MidiExport, RestrikeEndsTheOldNoteAndSoundsToTheLaterEnd) {
    add_note(g_score.measures.head, 0, 2, 576, 0, 90);
    add_note(g_score.measures.head, 192, 2, 96, 0, 80);
    ASSERT_EQ(render(), 1);
    bytes want = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3E, 0x5A, 0x83, 0x00, 0x80, 0x3E, 0x00, 0x00,
                  0x90, 0x3E, 0x50, 0x86, 0x00, 0x80, 0x3E, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 1), want);
}

TEST_F(MidiExport, TiedNoteIsOnePair) {
    append_measure(4, 4, 0);
    add_note(g_score.measures.head, 384, 0, 768, 0, 64);
    ASSERT_EQ(render(), 1);
    // on at 768 MIDI ticks (0x86 0x00), off 1536 later (0x8C 0x00)
    bytes want = {0x00, 0xC0, 0x00, 0x86, 0x00, 0x90, 0x3C, 0x40, 0x8C,
                  0x00, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 1), want);
}

// The notes of a rendered score track, read back from its bytes: "key on off" in MIDI ticks.
std::vector<std::string> sounded(const bytes &b) {
    std::vector<std::string> out;
    std::map<int, int> on_at;
    long tick = 0;
    for (size_t i = 0; i < b.size();) {
        long delta = 0;
        do
            delta = (delta << 7) | (b[i] & 0x7F);
        while (b[i++] & 0x80);
        tick += delta;
        int status = b[i] & 0xF0;
        if (b[i] == 0xFF)
            break; // the end of the track
        if (status == 0xC0) {
            i += 2;
            continue;
        }
        int key = b[i + 1];
        if (status == 0x90 && b[i + 2] > 0)
            on_at[key] = static_cast<int>(tick);
        else
            out.push_back(std::to_string(key) + " " + std::to_string(on_at[key]) + " " +
                          std::to_string(tick));
        i += 3;
    }
    return out;
}

struct staccato_case {
    const char *name;
    std::vector<std::array<int, 4>> notes; // x, pitch, length, staccato; in two 4/4 measures
    std::vector<std::string> want;
};

const staccato_case staccato_cases[] = {
    {"plain quarter sounds whole", {{0, 0, 192, 0}}, {"60 0 384"}},
    {"staccato quarter sounds half", {{0, 0, 192, 1}}, {"60 0 192"}},
    {"staccato chain over the bar line", {{384, 0, 768, 1}}, {"60 768 1536"}},
    {"odd length rounds down", {{0, 2, 3, 1}}, {"62 0 2"}},
    {"shortest note sounds a tick", {{0, 2, 1, 1}}, {"62 0 2"}},
    {"same key struck where the staccato ends",
     {{0, 0, 384, 1}, {192, 0, 192, 0}},
     {"60 0 384", "60 384 768"}},
    {"chord of staccato and plain notes",
     {{0, 0, 192, 1}, {0, 4, 192, 0}},
     {"60 0 192", "64 0 384"}},
};

TEST_F(MidiExport, StaccatoNotesSoundHalfTheirWholeLength) {
    for (const staccato_case &c : staccato_cases) {
        SCOPED_TRACE(c.name);
        append_measure(4, 4, 0);
        for (const std::array<int, 4> &n : c.notes)
            add_note(g_score.measures.head, n[0], n[1], n[2])->staccato = n[3];
        ASSERT_EQ(render(), 1);
        EXPECT_EQ(sounded(slot(midi, 1)), c.want);
        destroy_midi(midi);
        midi = nullptr;
        destroy_score(&g_score);
        init_g_score();
    }
}

TEST_F(MidiExport, MutedTracksLeaveTheirSlotEmptyOnlyInMode1) {
    g_score.track_num = 3;
    g_score.tracks[1].mute = 1;
    ASSERT_EQ(render(1), 1);
    EXPECT_GT(midi->track[1].len, 0);
    EXPECT_EQ(midi->track[2].len, 0);
    EXPECT_GT(midi->track[3].len, 0);
    ASSERT_EQ(export_midi(midi, path("m.mid").c_str()), 1);
    EXPECT_EQ(read_all(path("m.mid"))[11], 3); // meta track and two note tracks
    destroy_midi(midi);
    midi = makenew_midi();
    ASSERT_EQ(plinkel_midi_write_to_memory(&g_score, g_score.measures.head, midi, 0), 1);
    EXPECT_GT(midi->track[2].len, 0);
}

TEST_F(MidiExport, ChannelsFoldAndDataBytesStaySevenBit) {
    g_score.track_num = 3;
    g_score.tracks[0].channel = 20; // folds to 4
    g_score.tracks[0].patch = 5;
    g_score.tracks[1].channel = 9;
    g_score.tracks[1].patch = PERCUSSION_PATCH; // no program number
    g_score.tracks[2].channel = 40;
    g_score.tracks[2].patch = -3;
    add_note(g_score.measures.head, 0, 80, 192, 0, 100);  // key 140 clamps to 127
    add_note(g_score.measures.head, 0, -70, 192, 1, 100); // key -10 clamps to 0
    add_note(g_score.measures.head, 0, 0, 192, 2, 100);
    ASSERT_EQ(render(), 1);
    bytes t0 = {0x00, 0xC4, 0x05, 0x00, 0x94, 0x7F, 0x64, 0x83,
                0x00, 0x84, 0x7F, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    bytes t1 = {0x00, 0x99, 0x00, 0x64, 0x83, 0x00, 0x89, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    bytes t2 = {0x00, 0x98, 0x3C, 0x64, 0x83, 0x00, 0x88, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(slot(midi, 1), t0);
    EXPECT_EQ(slot(midi, 2), t1);
    EXPECT_EQ(slot(midi, 3), t2);
}

TEST_F(MidiExport, ThirtySecondTrackIsReportedNotDroppedSilently) {
    g_score.track_num = MAX_TRACKS;
    add_note(g_score.measures.head, 0, 0, 192, 31, 100);
    EXPECT_EQ(render(), 0);
    for (int i = 0; i < MIDI_TRACKS; i++)
        EXPECT_GT(midi->track[i].len, 0) << i;
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("Track 32"), std::string::npos);
}

TEST_F(MidiExport, VariableLengthQuantities) {
    struct {
        int value;
        bytes want;
    } cases[] = {{0, {0x00}},
                 {127, {0x7F}},
                 {128, {0x81, 0x00}},
                 {0x3FFF, {0xFF, 0x7F}},
                 {0x4000, {0x81, 0x80, 0x00}},
                 {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
                 {0x200000, {0x81, 0x80, 0x80, 0x00}},
                 {MIDI_MAX_VAR_LEN, {0xFF, 0xFF, 0xFF, 0x7F}}};
    for (auto &c : cases) {
        unsigned char buf[8] = {0};
        EXPECT_EQ(write_var_len(nullptr, c.value, 0), static_cast<int>(c.want.size()));
        int n = write_var_len(buf, c.value, 1);
        EXPECT_EQ(bytes(buf, buf + n), c.want) << c.value;
    }
}

TEST_F(MidiExport, Log2AndTimeConversion) {
    EXPECT_EQ(my_log2(0), 0);
    EXPECT_EQ(my_log2(1), 0);
    EXPECT_EQ(my_log2(4), 2);
    EXPECT_EQ(my_log2(7), 2);
    EXPECT_EQ(my_log2(8), 3);
    EXPECT_EQ(my_log2(-8), 3);
    midi_divisions = MIDI_EXPORT_DIVISIONS;
    EXPECT_EQ(x_to_midi_time(192), 384);
    EXPECT_EQ(x_to_midi_time(20000000), 40000000); // no overflow on the way
}

TEST_F(MidiExport, FirstTempoOnlyCountsAtTickZero) {
    measure *m = g_score.measures.head;
    EXPECT_EQ(get_first_tempo(m), -1);
    add_tempo(m, 96, 80);
    EXPECT_EQ(get_first_tempo(m), -1);
    add_tempo(m, 0, 70);
    EXPECT_EQ(get_first_tempo(m), 70);
}

TEST_F(MidiExport, UnwritablePathFailsWithoutAFile) {
    midi = makenew_midi();
    EXPECT_EQ(export_midi(midi, path("no/dir/a.mid").c_str()), 0);
    EXPECT_EQ(count_files(dir), 0);
}

// ---- Independent readers ----

int run(const std::string &cmd) {
    return std::system(cmd.c_str());
}

std::string tools_dir() {
    std::string f = __FILE__;
    return f.substr(0, f.rfind("/unit/")) + "/tools";
}

bool have_mido() {
    return run("/usr/bin/python3 -c 'import mido' 2>/dev/null") == 0;
}

// The notes a score should sound as, in MIDI ticks: "channel key start end velocity".
std::vector<std::string> expected_notes() {
    std::vector<std::string> out;
    int sum = 0;
    for (measure *m = g_score.measures.head; m; m = m->next) {
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev) {
                int start = 2 * (sum + n->x);
                out.push_back(
                    std::to_string(g_score.tracks[n->track].channel & 15) + " " +
                    std::to_string(n->pitch + 60) + " " + std::to_string(start) + " " +
                    std::to_string(start + (n->staccato ? n->total_len : 2 * n->total_len)) + " " +
                    std::to_string(n->volume));
            }
        sum += m->len;
    }
    std::sort(out.begin(), out.end(), [](const std::string &a, const std::string &b) {
        std::istringstream x(a), y(b);
        std::vector<long> u, v;
        long t;
        while (x >> t)
            u.push_back(t);
        while (y >> t)
            v.push_back(t);
        return u < v;
    });
    return out;
}

std::vector<std::string> lines_of(const std::string &path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Random scores whose notes of one key on one channel never overlap, so that every note is
// one note-on and one note-off for any reader.
void make_score_without_overlaps(std::mt19937 &rng) {
    measure *m = g_score.measures.head;
    for (int i = 1; i < 6; i++)
        append_measure(i % 2 ? 3 : 4, 4, 0);
    g_score.track_num = 4;
    for (int t = 0; t < 4; t++) {
        g_score.tracks[t].channel = static_cast<int16_t>(t * 3);
        g_score.tracks[t].patch = static_cast<int16_t>(rng() % 128);
        int pos = 0;
        for (int k = 0; k < 12; k++) {
            int len = 48 * (1 + static_cast<int>(rng() % 8));
            pos += 48 * static_cast<int>(rng() % 4);
            int start = 0;
            measure *at = get_measure_by_x(&g_score, pos, &start);
            if (at->next == nullptr && pos + len > start + at->len)
                break;
            add_note(at, pos - start, t * 5 - 10, len, t, 1 + static_cast<int>(rng() % 127))
                ->staccato = rng() % 3 == 0;
            pos += len;
        }
    }
    add_tempo(m, 0, 90);
    add_tempo(m->next, 96, 140);
}

TEST_F(MidiExport, ExportedFilesReadBackByMidoAndMidicsv) {
    if (!have_mido())
        GTEST_SKIP() << "python3-mido is not installed";
    for (unsigned seed = 1; seed <= 4; seed++) {
        SCOPED_TRACE(seed);
        destroy_score(&g_score);
        init_g_score();
        std::mt19937 rng(seed);
        make_score_without_overlaps(rng);
        if (midi)
            destroy_midi(midi);
        ASSERT_EQ(render(), 1);
        std::string file = path("r.mid"), listed = path("notes.txt");
        ASSERT_EQ(export_midi(midi, file.c_str()), 1);
        ASSERT_EQ(run("/usr/bin/python3 " + tools_dir() + "/midi_notes.py notes " + file + " > " +
                      listed),
                  0);
        std::vector<std::string> got = lines_of(listed);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back(), "division 384");
        got.pop_back();
        EXPECT_EQ(got, expected_notes());
        if (run("command -v midicsv >/dev/null") == 0) {
            std::string csv = path("r.csv");
            ASSERT_EQ(run("midicsv " + file + " " + csv + " 2>" + path("err.txt")), 0);
            EXPECT_EQ(read_all(path("err.txt")), "");
            ASSERT_EQ(run("test $(grep -c Note_on_c " + csv + ") -eq " +
                          std::to_string(expected_notes().size())),
                      0);
        }
    }
}

} // namespace
