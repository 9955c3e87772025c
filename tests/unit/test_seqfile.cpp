// The .seq file: the exact text written, the records read back, the refusal of files that
// cannot be trusted (the score and globals untouched) and seeded random round trips.
#include <random>

#include "file_test_util.h"
#include "files/fileio.h"
#include "invariants.h"

namespace {

class SeqFile : public FileTest {};

const char *const one_note_file = "vudiz 25\n"
                                  "tempo 120\n"
                                  "num_track 1\n"
                                  "track 0 0 0 -1\n"
                                  "m 0 4 4\n"
                                  "n 0 0 0 192 0 127\n"
                                  "t 0 120\n";

TEST_F(SeqFile, WritesTheOneNoteExampleExactly) {
    measure *m = g_score.measures.head;
    add_note(m, 0, 0, 192);
    add_tempo(m, 0, 120);
    expand_and_validate(&g_score);
    ASSERT_EQ(writefile(path("a.seq").c_str(), &g_score), 1);
    EXPECT_EQ(read_all(path("a.seq")), one_note_file);
    EXPECT_EQ(count_files(dir), 1); // no temporary file is left behind
}

TEST_F(SeqFile, WritesOnlyFirstPiecesWithTheirWholeLength) {
    measure *m = g_score.measures.head;
    append_measure(4, 4, 0);
    add_note(m, 0, 0, 1152);
    expand_and_validate(&g_score);
    ASSERT_EQ(writefile(path("a.seq").c_str(), &g_score), 1);
    std::string text = read_all(path("a.seq"));
    EXPECT_NE(text.find("n 0 0 0 1152 0 127\n"), std::string::npos);
    EXPECT_EQ(text.find("n 0 0 0 384"), std::string::npos);
}

TEST_F(SeqFile, ReadsTheOneNoteExample) {
    write_text(path("a.seq"), one_note_file);
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    ASSERT_EQ(g_score.measures.num, 1);
    measure *m = g_score.measures.head;
    EXPECT_EQ(g_score.ref_measure, m);
    EXPECT_EQ(g_score.cursor_measure, m);
    note *n = m->notes.head;
    while (n && n->rest)
        n = n->next;
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->pitch, 0);
    EXPECT_EQ(n->len, 192);
    EXPECT_EQ(n->volume, 127);
    ASSERT_EQ(m->m_events.num, 1);
    EXPECT_EQ(m->m_events.head->type, EVENT_TEMPO);
    EXPECT_EQ(m->m_events.head->value, 120);
    EXPECT_EQ(g_score.track_num, 1);
}

TEST_F(SeqFile, LongNoteComesBackAsTwoTiedPieces) {
    write_text(path("a.seq"), "vudiz 25\nnum_track 1\nm 0 4 4\nn 0 0 0 1152 0 100\nm 0 4 4\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    measure *m1 = g_score.measures.head, *m2 = m1->next;
    ASSERT_NE(m2, nullptr);
    note *a = m1->notes.head;
    while (a->rest)
        a = a->next;
    EXPECT_EQ(a->len, 768);
    EXPECT_EQ(a->total_len, 1152);
    ASSERT_NE(a->l_next, nullptr);
    EXPECT_EQ(a->l_next->x, 0);
    EXPECT_EQ(a->l_next->len, 384);
    EXPECT_EQ(a->l_next->total_len, 384);
}

TEST_F(SeqFile, Version24ReadsFiveNumbersAndFullVelocity) {
    write_text(path("a.seq"), "vudiz 24\nm 0 4 4\nn 0 0 0 192 0\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    ASSERT_EQ(first_pieces(&g_score).size(), 1u);
    EXPECT_EQ(first_pieces(&g_score)[0], "0 0 0 0 0 192 0 127");
}

TEST_F(SeqFile, StaccatoNoteAddsASeventhNumberAndPlainNotesStayAsTheyWere) {
    measure *m = g_score.measures.head;
    append_measure(4, 4, 0);
    add_note(m, 0, 0, 192)->staccato = 1;
    add_note(m, 192, 2, 192);
    add_note(m, 384, 4, 768)->staccato = 1; // tied over the bar line: written once
    expand_and_validate(&g_score);
    ASSERT_EQ(writefile(path("a.seq").c_str(), &g_score), 1);
    std::string text = read_all(path("a.seq"));
    EXPECT_NE(text.find("n 0 0 0 192 0 127 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("n 192 1 0 192 0 127\n"), std::string::npos) << text;
    EXPECT_NE(text.find("n 384 2 0 768 0 127 1\n"), std::string::npos) << text;
    size_t note_lines = 0;
    for (size_t at = text.find("\nn "); at != std::string::npos; at = text.find("\nn ", at + 1))
        note_lines++;
    EXPECT_EQ(note_lines, 3u); // the tie piece is not written
}

struct staccato_read_case {
    const char *name;
    const char *text;
    const char *marks; // of every piece read
};

const staccato_read_case staccato_reads[] = {
    {"seventh number 1", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127 1\n", "1"},
    {"seventh number 0", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127 0\n", "0"},
    {"six numbers as before", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127\n", "0"},
    {"text after the numbers", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127 x 5\n", "0"},
    {"version 24 knows no mark", "vudiz 24\nm 0 4 4\nn 0 0 0 192 0 1 1\n", "0"},
    {"every tie piece carries it",
     "vudiz 25\nm 0 4 4\nn 384 0 0 768 0 127 1\nn 0 2 0 192 0 127\nm 0 4 4\n", "011"},
};

TEST_F(SeqFile, StaccatoMarkIsReadFromTheSeventhNumber) {
    for (const staccato_read_case &c : staccato_reads) {
        SCOPED_TRACE(c.name);
        write_text(path("a.seq"), c.text);
        ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
        EXPECT_EQ(staccato_marks(&g_score), c.marks);
        destroy_score(&g_score);
        init_g_score();
    }
}

TEST_F(SeqFile, Version23IsRefusedWithTheOldVersionMessage) {
    measure *first = g_score.measures.head;
    write_text(path("a.seq"), "tempo 99\nvudiz 23\nm 0 4 4\n");
    EXPECT_EQ(readfile(path("a.seq").c_str(), &g_score), 0);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_EQ(captured_messages()[0], "old seq file ver(23)");
    expect_fresh(&g_score, first);
    EXPECT_EQ(g_score.default_tempo, saved_tempo); // nothing read before the refusal sticks
}

TEST_F(SeqFile, FileWithoutVersionIsReadAsCurrentVersion) {
    write_text(path("a.seq"), "m 0 4 4\nn 0 0 0 192 0 55\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    EXPECT_EQ(first_pieces(&g_score)[0], "0 0 0 0 0 192 0 55");
}

TEST_F(SeqFile, BlankLinesLongKeywordsAndUnknownWordsAreSkipped) {
    std::string long_word(64, 'q');
    write_text(path("a.seq"), "vudiz 25\n\n   \nm 0 4 4\n" + long_word + " 1 2 3\nfoo 7\n" +
                                  std::string(63, 'r') + "\nn 0 0 0 192 0 9\n\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    EXPECT_EQ(first_pieces(&g_score).size(), 1u);
}

TEST_F(SeqFile, MeasureAndSyllableReadLikeM) {
    write_text(path("a.seq"), "vudiz 25\nm 1 3 4\nmeasure -2 6 8\nsyllable 0 5 4\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    std::vector<std::string> want = {"m 3/4 k1 len576", "m 6/8 k-2 len576", "m 5/4 k0 len960"};
    EXPECT_EQ(measures_and_events(&g_score), want);
}

TEST_F(SeqFile, TrackLinesSetChannelPatchAndActiveFlag) {
    write_text(path("a.seq"), "vudiz 25\nnum_track 3\ntrack 0 5 128 -1\ntrack 1 6 7 1\n"
                              "track 2 7 8 0\nm 0 4 4\n");
    g_score.tracks[1].volume = 77;
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    EXPECT_EQ(g_score.track_num, 3);
    EXPECT_EQ(g_score.tracks[0].channel, 5);
    EXPECT_EQ(g_score.tracks[0].patch, 128);
    EXPECT_EQ(g_score.tracks[0].active, 1u);
    EXPECT_EQ(g_score.tracks[1].active, 1u);
    EXPECT_EQ(g_score.tracks[2].active, 0u);
    EXPECT_EQ(g_score.tracks[1].volume, 77); // volumes are not in the file
}

struct track_cover_case {
    const char *name;
    const char *text;
    int notes;
    int track_num;
};

// Notes of tracks beyond the track count (before, the score broke its invariants): every note
// is kept and the count raised to cover them, which the user is told.
const track_cover_case track_covers[] = {
    {"count line misspelt", "num_tracks 2\nm 0 4 4\nn 0 0 0 192 0 127\nn 0 2 0 192 1 127\n", 2, 2},
    {"count line missing", "m 0 4 4\nn 0 0 0 192 0 127\nn 0 2 0 192 3 127\n", 2, 4},
    {"note of track 7 in a 2-track file",
     "num_track 2\ntrack 5 9 40 -1\nm 0 4 4\nn 0 0 0 192 1 127\nm 0 4 4\nn 0 4 0 768 7 90\n", 2, 8},
    {"count line after the notes", "m 0 4 4\nn 0 0 0 192 2 127\nnum_track 2\n", 1, 3},
};

TEST_F(SeqFile, NotesBeyondTheTrackCountRaiseItAndKeepEveryNote) {
    for (const track_cover_case &c : track_covers) {
        SCOPED_TRACE(c.name);
        captured_messages().clear();
        write_text(path("a.seq"), std::string("vudiz 25\n") + c.text);
        ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(first_pieces(&g_score).size(), static_cast<size_t>(c.notes));
        EXPECT_EQ(g_score.track_num, c.track_num);
        ASSERT_EQ(captured_messages().size(), 1u);
        std::string want = path("a.seq") + ": notes name track " + std::to_string(c.track_num - 1);
        EXPECT_EQ(captured_messages()[0].rfind(want, 0), 0u) << captured_messages()[0];
    }
}

TEST_F(SeqFile, AddedTracksKeepTheirTrackLinesOrStartAsNewTracks) {
    g_score.tracks[6].patch = 33; // left over from the score open before
    write_text(path("a.seq"), "vudiz 25\nnum_track 2\ntrack 5 9 40 -1\nm 0 4 4\n"
                              "n 0 0 0 192 7 127\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    EXPECT_EQ(g_score.tracks[5].channel, 9);
    EXPECT_EQ(g_score.tracks[5].patch, 40);
    for (int t : {2, 3, 4, 6, 7}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(g_score.tracks[t].patch, new_track(t).patch);
        EXPECT_EQ(g_score.tracks[t].channel, new_track(t).channel);
        EXPECT_EQ(g_score.tracks[t].active, new_track(t).active);
    }
}

TEST_F(SeqFile, NotesWithinTheTrackCountAreReadWithoutAMessage) {
    write_text(path("a.seq"), "vudiz 25\nnum_track 3\nm 0 4 4\nn 0 0 0 192 2 127\n");
    ASSERT_EQ(readfile(path("a.seq").c_str(), &g_score), 1);
    EXPECT_EQ(g_score.track_num, 3);
    EXPECT_TRUE(captured_messages().empty());
}

struct refusal_case {
    const char *name;
    const char *text;
    int line;
};

const refusal_case refusals[] = {
    {"note before measure", "vudiz 25\nn 0 0 0 192 0 127\nm 0 4 4\n", 2},
    {"tempo event before measure", "vudiz 25\nt 0 120\nm 0 4 4\n", 2},
    {"no measure at all", "vudiz 25\ntempo 90\nnum_track 2\n", 3},
    {"track index 32", "vudiz 25\ntrack 32 0 0 -1\nm 0 4 4\n", 2},
    {"track index -1", "vudiz 25\ntrack -1 0 0 -1\nm 0 4 4\n", 2},
    {"short track line", "vudiz 25\ntrack 1 0 0\nm 0 4 4\n", 2},
    {"short measure line", "vudiz 25\nm 0 4\n", 2},
    {"short note line", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0\n", 3},
    {"short tempo event", "vudiz 25\nm 0 4 4\nt 0\n", 3},
    {"numerator 0", "vudiz 25\nm 0 0 4\n", 2},
    {"denominator 0", "vudiz 25\nm 0 4 0\n", 2},
    {"measure of length 0", "vudiz 25\nm 0 1 1024\n", 2},
    {"key 8", "vudiz 25\nm 8 4 4\n", 2},
    {"key -8", "vudiz 25\nm -8 4 4\n", 2},
    {"note length 0", "vudiz 25\nm 0 4 4\nn 0 0 0 0 0 127\n", 3},
    {"note length 32768", "vudiz 25\nm 0 4 4\nn 0 0 0 32768 0 127\n", 3},
    {"note track 32", "vudiz 25\nm 0 4 4\nn 0 0 0 192 32 127\n", 3},
    {"note track -1", "vudiz 25\nm 0 4 4\nn 0 0 0 192 -1 127\n", 3},
    {"note past the bar line", "vudiz 25\nm 0 4 4\nn 768 0 0 192 0 127\n", 3},
    {"note velocity 128", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 128\n", 3},
    {"staccato mark 2", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127 2\n", 3},
    {"staccato mark -1", "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127 -1\n", 3},
    {"tempo event past the bar line", "vudiz 25\nm 0 4 4\nt 800 120\n", 3},
    {"number of tracks 33", "vudiz 25\nnum_track 33\nm 0 4 4\n", 2},
    {"number of tracks 0", "vudiz 25\nnum_track 0\nm 0 4 4\n", 2},
    {"number too large", "vudiz 25\nm 0 4 4\nn 0 0 0 99999999999 0 1\n", 3},
};

TEST_F(SeqFile, UntrustworthyFilesAreRefusedAndChangeNothing) {
    measure *first = g_score.measures.head;
    for (const refusal_case &c : refusals) {
        SCOPED_TRACE(c.name);
        captured_messages().clear();
        write_text(path("bad.seq"), std::string("tempo 61\nnum_track 3\ntrack 0 4 5 0\n") + c.text);
        EXPECT_EQ(readfile(path("bad.seq").c_str(), &g_score), 0);
        expect_fresh(&g_score, first);
        EXPECT_EQ(g_score.default_tempo, saved_tempo);
        EXPECT_EQ(g_score.track_num, saved_track_num);
        EXPECT_EQ(g_score.tracks[0].channel, saved_tracks[0].channel);
        ASSERT_EQ(captured_messages().size(), 1u);
        std::string want = path("bad.seq") + ": line " + std::to_string(c.line + 3) + ":";
        EXPECT_EQ(captured_messages()[0].rfind(want, 0), 0u) << captured_messages()[0];
    }
}

TEST_F(SeqFile, MissingFileGivesZeroQuietly) {
    measure *first = g_score.measures.head;
    EXPECT_EQ(readfile(path("none.seq").c_str(), &g_score), 0);
    expect_fresh(&g_score, first);
    EXPECT_TRUE(captured_messages().empty());
}

TEST_F(SeqFile, WritingIntoAMissingDirectoryFails) {
    EXPECT_EQ(writefile(path("no/such/dir.seq").c_str(), &g_score), 0);
}

TEST_F(SeqFile, OverlongLineKeepsItsStartAndCountsAsOneLine) {
    write_text(path("a.seq"), "vudiz 25\nm 0 4 4\nn 0 0 0 192 0 127" + std::string(300, ' ') +
                                  "9\nn 5000 0 0 192 0 127\n");
    EXPECT_EQ(readfile(path("a.seq").c_str(), &g_score), 0);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("line 4:"), std::string::npos);
}

// A random score of several measures with varying signatures, notes on several tracks (some
// crossing bar lines) and tempo events.
void make_random_score(std::mt19937 &rng, int measures, int notes, int tracks) {
    const int sigs[][2] = {{4, 4}, {3, 4}, {6, 8}, {5, 4}, {2, 2}, {7, 8}};
    measure *m = g_score.measures.head;
    for (int i = 0; i < measures; i++) {
        if (i > 0)
            m = append_measure(4, 4, 0);
        const int *sig = sigs[rng() % 6];
        set_measure(m, sig[0], sig[1], static_cast<int>(rng() % 15) - 7);
        if (rng() % 3 == 0)
            add_tempo(m, static_cast<int>(rng() % (m->len / 12)) * 12, 40 + rng() % 160);
    }
    const int lengths[] = {12, 24, 48, 96, 192, 288, 384, 576, 768, 1152, 64, 128, 36, 240};
    for (int i = 0; i < notes; i++) {
        measure *t = get_measure_by_pos(&g_score, static_cast<int>(rng() % measures));
        note *n = add_note(t, static_cast<int>(rng() % (t->len / 12)) * 12,
                           static_cast<int>(rng() % 60) - 30, lengths[rng() % 14],
                           static_cast<int>(rng() % tracks), static_cast<int>(rng() % 128));
        n->staccato = rng() % 4 == 0;
    }
    g_score.track_num = tracks;
    for (int i = 0; i < tracks; i++) {
        g_score.tracks[i].channel = static_cast<int16_t>(rng() % 16);
        g_score.tracks[i].patch = static_cast<int16_t>(rng() % 129);
        g_score.tracks[i].active = rng() % 2;
    }
    g_score.default_tempo = 30 + static_cast<int>(rng() % 200);
    expand_and_validate(&g_score);
}

TEST_F(SeqFile, RandomScoresSurviveARoundTrip) {
    for (unsigned seed = 1; seed <= 12; seed++) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        make_random_score(rng, 3 + seed % 5, 40, 1 + seed % 6);
        std::vector<std::string> notes = first_pieces(&g_score);
        std::vector<std::string> layout = measures_and_events(&g_score);
        std::string marks = staccato_marks(&g_score);
        int tempo = g_score.default_tempo, tracks = g_score.track_num;
        track_info_t written[MAX_TRACKS];
        std::copy(g_score.tracks, g_score.tracks + MAX_TRACKS, written);
        ASSERT_EQ(writefile(path("r.seq").c_str(), &g_score), 1);

        destroy_score(&g_score);
        init_g_score();
        g_score.default_tempo = 1;
        ASSERT_EQ(readfile(path("r.seq").c_str(), &g_score), 1);
        EXPECT_EQ(first_pieces(&g_score), notes);
        EXPECT_EQ(measures_and_events(&g_score), layout);
        EXPECT_EQ(staccato_marks(&g_score), marks);
        EXPECT_EQ(g_score.default_tempo, tempo);
        ASSERT_EQ(g_score.track_num, tracks);
        for (int i = 0; i < tracks; i++) {
            EXPECT_EQ(g_score.tracks[i].channel, written[i].channel);
            EXPECT_EQ(g_score.tracks[i].patch, written[i].patch);
            EXPECT_EQ(g_score.tracks[i].active, written[i].active);
        }
        destroy_score(&g_score);
        init_g_score();
    }
}

} // namespace
