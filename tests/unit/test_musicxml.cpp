// MusicXML: seeded random scores written and read back with the same notes, spelling and ties;
// what the reader makes of hand-written files (voices, ties, transposition, percussion,
// pickups, rounding, tempo, and one file per feature of real scores: ties, grace notes,
// tremolos, keys, unpitched notes, details out of range, tuplets); and files it must refuse
// without touching the score.
#include <array>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <zip.h>

#include "file_test_util.h"
#include "files/musicxml_read.h"
#include "files/musicxml_source.h"
#include "files/musicxml_write.h"
#include "invariants.h"

namespace {

class MusicXml : public FileTest {};

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<std::string> signatures(score *s) {
    std::vector<std::string> out;
    for (measure *m = s->measures.head; m; m = m->next)
        out.push_back(std::to_string(m->num) + "/" + std::to_string(m->bit) + " k" +
                      std::to_string(m->key));
    return out;
}

// The text between open and close after at, moving at past it; empty when there is none.
std::string next_value(const std::string &text, size_t *at, const std::string &open,
                       const std::string &close) {
    size_t from = text.find(open, *at);
    if (from == std::string::npos)
        return *at = std::string::npos, "";
    from += open.size();
    size_t to = text.find(close, from);
    *at = to;
    return text.substr(from, to - from);
}

// The most voices any staff of any measure of any part of a written file holds.
size_t most_voices_per_staff(const std::string &text) {
    size_t most = 0;
    size_t at = 0;
    while ((at = text.find("<measure ", at)) != std::string::npos) {
        size_t end = text.find("</measure>", at);
        std::string body = text.substr(at, end - at);
        std::map<std::string, std::set<std::string>> voices;
        size_t pos = 0;
        while (true) {
            std::string voice = next_value(body, &pos, "<voice>", "</voice>");
            if (pos == std::string::npos)
                break;
            voices[next_value(body, &pos, "<staff>", "</staff>")].insert(voice);
        }
        for (const auto &v : voices)
            most = std::max(most, v.second.size());
        at = end;
    }
    return most;
}

// The first pieces of the staccato notes, as first_pieces gives them, sorted.
std::vector<std::string> staccato_notes(score *s) {
    std::vector<std::string> out;
    std::vector<std::string> all = first_pieces(s);
    size_t i = 0;
    for (measure *m = s->measures.head; m; m = m->next)
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev) {
                if (n->staccato)
                    out.push_back(all[i]);
                i++;
            }
    return sorted(out);
}

// Notes on several tracks of varying signatures and keys, crossing bar lines, in chords, with
// lengths that need dots, triplets, ties and single ticks, and spellings off the key.
void make_score(std::mt19937 &rng, int measures, int notes, int tracks) {
    const int sigs[][2] = {{4, 4}, {3, 4}, {6, 8}, {5, 4}, {2, 2}, {7, 8}};
    measure *m = g_score.measures.head;
    for (int i = 0; i < measures; i++) {
        if (i > 0)
            m = append_measure(4, 4, 0);
        const int *sig = sigs[rng() % 6];
        set_measure(m, sig[0], sig[1], static_cast<int>(rng() % 15) - 7);
        if (rng() % 3 == 0)
            add_tempo(m, static_cast<int>(rng() % (m->len / 12)) * 12 + 12, 40 + rng() % 160);
    }
    const int lengths[] = {12, 24,  48, 96,  192, 288, 384, 576, 768, 1152,
                           64, 128, 36, 240, 98,  50,  767, 1,   5,   130};
    for (int i = 0; i < notes; i++) {
        measure *t = get_measure_by_pos(&g_score, static_cast<int>(rng() % measures));
        int x = rng() % 4 ? static_cast<int>(rng() % (t->len / 12)) * 12
                          : static_cast<int>(rng() % t->len);
        note *n = add_note(t, x, static_cast<int>(rng() % 60) - 30, lengths[rng() % 20],
                           static_cast<int>(rng() % tracks), 1 + static_cast<int>(rng() % 127));
        if (rng() % 5 == 0)
            set_note_pos(t->key, n, n->pos.y, static_cast<int>(rng() % 5) - 2, 0);
        n->staccato = i % 3 == 0;
    }
    g_score.track_num = tracks;
    for (int i = 0; i < tracks; i++) {
        int channel = static_cast<int>(rng() % 15); // channel 9 would make it percussion
        g_score.tracks[i].channel = static_cast<int16_t>(channel < 9 ? channel : channel + 1);
        g_score.tracks[i].patch = static_cast<int16_t>(rng() % 128);
        g_score.tracks[i].active = 1;
    }
    g_score.default_tempo = 30 + static_cast<int>(rng() % 200);
    expand_and_validate(&g_score);
}

TEST_F(MusicXml, RandomScoresComeBackWithTheirNotesSpellingAndTies) {
    for (unsigned seed = 1; seed <= 16; seed++) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        make_score(rng, 2 + seed % 6, 10 + 4 * seed, 1 + seed % 5);
        std::vector<std::string> notes = sorted(first_pieces(&g_score));
        std::vector<std::string> marked = staccato_notes(&g_score);
        std::vector<std::string> sigs = signatures(&g_score);
        int tempo = g_score.default_tempo, tracks = g_score.track_num;
        track_info_t written[MAX_TRACKS];
        std::copy(g_score.tracks, g_score.tracks + MAX_TRACKS, written);
        ASSERT_EQ(write_musicxml(path("r.musicxml").c_str(), &g_score), 1);
        EXPECT_LE(most_voices_per_staff(read_all(path("r.musicxml"))), 4u);

        destroy_score(&g_score);
        init_g_score();
        ASSERT_EQ(read_musicxml(path("r.musicxml").c_str(), &g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(sorted(first_pieces(&g_score)), notes);
        EXPECT_EQ(staccato_notes(&g_score), marked);
        EXPECT_EQ(signatures(&g_score), sigs);
        EXPECT_EQ(g_score.default_tempo, tempo);
        ASSERT_EQ(g_score.track_num, tracks);
        for (int i = 0; i < tracks; i++) {
            EXPECT_EQ(g_score.tracks[i].channel, written[i].channel);
            EXPECT_EQ(g_score.tracks[i].patch, written[i].patch);
        }
        EXPECT_TRUE(captured_messages().empty());
        destroy_score(&g_score);
        init_g_score();
    }
}

// Two overlapping notes of one pitch and track, both written as tied pieces: each chain must
// come back whole, not joined to the other note's pieces (715/716 was joined crosswise).
TEST_F(MusicXml, OverlappingUnisonsKeepTheirOwnTies) {
    struct unisons {
        int a_x, a_len, b_x, b_len, partner_len;
    };
    // {a_x, a_len, b_x, b_len, partner_len}: a tied across bar lines or within the measure; a
    // partner a third lower starting with a (none when 0) gives b's later pieces a chance to
    // be mistaken for a's chord
    const unisons cases[] = {
        {576, 384, 672, 480, 0}, {576, 480, 672, 240, 0}, {0, 1700, 384, 900, 0},
        {384, 900, 0, 1700, 0},  {331, 81, 341, 131, 0},  {715, 23, 716, 35, 0},
        {715, 23, 716, 35, 29},  {48, 67, 48, 85, 40},
    };
    for (const unisons &u : cases) {
        SCOPED_TRACE(u.a_x);
        append_measure(4, 4, 0);
        append_measure(4, 4, 0);
        add_note(g_score.measures.head, u.a_x, 5, u.a_len, 0, 40);
        add_note(g_score.measures.head, u.b_x, 5, u.b_len, 0, 100);
        if (u.partner_len)
            add_note(g_score.measures.head, u.a_x, 3, u.partner_len, 0, 40);
        add_note(g_score.measures.head->next, 0, 2, 96, 0, 70);
        expand_and_validate(&g_score);
        std::vector<std::string> notes = sorted(first_pieces(&g_score));
        ASSERT_EQ(write_musicxml(path("u.musicxml").c_str(), &g_score), 1);
        destroy_score(&g_score);
        init_g_score();
        ASSERT_EQ(read_musicxml(path("u.musicxml").c_str(), &g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(sorted(first_pieces(&g_score)), notes);
        destroy_score(&g_score);
        init_g_score();
    }
}

TEST_F(MusicXml, WritesOnlyShownTracksAndRefusesWhenNoneIs) {
    add_note(g_score.measures.head, 0, 0, 192, 0);
    add_note(g_score.measures.head, 0, 4, 192, 1);
    g_score.track_num = 2;
    g_score.tracks[1].active = 0;
    expand_and_validate(&g_score);
    ASSERT_EQ(write_musicxml(path("a.musicxml").c_str(), &g_score), 1);
    std::string text = read_all(path("a.musicxml"));
    EXPECT_NE(text.find("<part id=\"P1\">"), std::string::npos);
    EXPECT_EQ(text.find("<part id=\"P2\">"), std::string::npos);
    g_score.tracks[0].active = 0;
    EXPECT_EQ(write_musicxml(path("b.musicxml").c_str(), &g_score), 0);
    EXPECT_EQ(count_files(dir), 1);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("b.musicxml"), std::string::npos);
}

size_t count_of(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        n++;
    return n;
}

// A track whose notes fit one clef is one staff with that clef; a note the score keeps in
// pieces cut at a beat is written as the one value a notation program writes.
TEST_F(MusicXml, PartsTakeTheStavesTheirNotesNeed) {
    struct {
        std::vector<int> pitches;
        const char *clefs;
        size_t staves;
    } cases[] = {
        {{0, 12, -5}, "<clef><sign>G</sign>", 0},
        {{-12, -24, 5}, "<clef><sign>F</sign>", 0},
        {{-20, 14}, "<clef number=\"2\"><sign>F</sign>", 1},
    };
    for (const auto &c : cases) {
        destroy_score(&g_score);
        init_g_score();
        for (size_t i = 0; i < c.pitches.size(); i++)
            add_note(g_score.measures.head, static_cast<int>(i) * 192, c.pitches[i], 192, 0);
        add_note(g_score.measures.head, 672, c.pitches[0], 192, 0);    // across the bar line
        add_note(g_score.measures.head, 96, c.pitches[0] + 2, 192, 0); // a syncopated quarter
        g_score.track_num = 1;
        expand_and_validate(&g_score);
        ASSERT_EQ(write_musicxml(path("s.musicxml").c_str(), &g_score), 1);
        std::string text = read_all(path("s.musicxml"));
        SCOPED_TRACE(text);
        EXPECT_NE(text.find(c.clefs), std::string::npos);
        EXPECT_EQ(count_of(text, "<staves>"), c.staves);
        EXPECT_EQ(count_of(text, "<staff>2</staff>") > 0, c.staves > 0);
        EXPECT_EQ(count_of(text, "<tie type=\"start\"/>"), 1u); // only at the bar line
    }
}

// A staccato note is marked on its first written value only, after its ties and tuplet
// bracket in the notations that close the note.
TEST_F(MusicXml, StaccatoIsWrittenOnTheFirstValueOfTheNote) {
    const std::string mark = "<staff>1</staff><notations><articulations><staccato/>"
                             "</articulations></notations></note>";
    const std::string tied = "<staff>1</staff><notations><tied type=\"start\"/><articulations>"
                             "<staccato/></articulations></notations></note>";
    const std::string triplet = "<tuplet type=\"start\" bracket=\"yes\"/><articulations>";
    struct {
        const char *name;
        std::vector<std::array<int, 4>> notes; // x, pitch, length, staccato; in two 4/4 measures
        size_t marks;
        std::string written; // a text the file must hold, "" for none
    } cases[] = {
        {"a staccato quarter", {{0, 0, 192, 1}}, 1, mark},
        {"a plain quarter", {{0, 0, 192, 0}}, 0, ""},
        {"tied over the bar line", {{384, 0, 768, 1}}, 1, tied},
        {"split into a half and an eighth", {{0, 0, 480, 1}}, 1, tied},
        {"a chord of two staccato notes", {{0, 0, 192, 1}, {0, 4, 192, 1}}, 2, mark},
        {"a staccato triplet", {{0, 0, 64, 1}, {64, 2, 64, 0}, {128, 4, 64, 0}}, 1, triplet},
        {"overlapping in two voices", {{0, 0, 384, 1}, {192, 4, 384, 1}}, 2, ""},
        {"five at once, a voice cut in segments",
         {{0, 0, 384, 1}, {48, 2, 384, 1}, {96, 4, 384, 1}, {144, 5, 384, 1}, {192, 7, 384, 1}},
         5,
         ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        score_of_marked_notes(c.notes);
        expand_and_validate(&g_score);
        ASSERT_EQ(write_musicxml(path("s.musicxml").c_str(), &g_score), 1);
        std::string text = read_all(path("s.musicxml"));
        EXPECT_EQ(count_of(text, "<staccato/>"), c.marks) << text;
        EXPECT_NE(text.find(c.written), std::string::npos) << text;
    }
}

// A partwise score: part-list entries and parts from the given bodies (one string per part,
// holding its measures).
std::string partwise(const std::vector<std::string> &parts, const std::string &list_extra = "") {
    std::string s = "<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>";
    for (size_t i = 0; i < parts.size(); i++)
        s += "<score-part id=\"P" + std::to_string(i + 1) + "\"><part-name>x</part-name>" +
             (i == 0 ? list_extra : "") + "</score-part>";
    s += "</part-list>";
    for (size_t i = 0; i < parts.size(); i++)
        s += "<part id=\"P" + std::to_string(i + 1) + "\">" + parts[i] + "</part>";
    return s + "</score-partwise>\n";
}

const std::string attrs = "<attributes><divisions>2</divisions><key><fifths>0</fifths></key>"
                          "<time><beats>4</beats><beat-type>4</beat-type></time></attributes>";

std::string note(const std::string &step, int octave, int dur, const std::string &extra = "",
                 int alter = 0) {
    std::string a = alter ? "<alter>" + std::to_string(alter) + "</alter>" : "";
    return "<note><pitch><step>" + step + "</step>" + a + "<octave>" + std::to_string(octave) +
           "</octave></pitch><duration>" + std::to_string(dur) + "</duration>" + extra + "</note>";
}

struct read_case {
    const char *name;
    std::string text;
    std::vector<std::string> pieces; // "measure x pitch pos_y acc total track vol", sorted
    std::vector<std::string> sigs;
};

// Velocity 90 is what dynamics of 100 % (the default) give.
std::vector<read_case> read_cases() {
    const std::string tie_start = "<tie type=\"start\"/>", tie_stop = "<tie type=\"stop\"/>";
    return {
        {"divisions, chords, backup and forward",
         partwise({"<measure>" + attrs + note("C", 4, 2) +
                   note("E", 4, 2, "", -1).insert(6, "<chord/>") +
                   "<forward><duration>2</duration></forward>" + note("G", 4, 4) +
                   "<backup><duration>8</duration></backup>" + note("C", 3, 8) + "</measure>"}),
         {"0 0 -12 -7 0 768 0 90", "0 0 0 0 0 192 0 90", "0 0 3 2 -1 192 0 90",
          "0 384 7 4 0 384 0 90"},
         {"4/4 k0"}},
        {"a tie across the bar line joins into one note",
         partwise({"<measure>" + attrs + "<forward><duration>6</duration></forward>" +
                   note("F", 4, 2, tie_start, 1) + "</measure><measure>" +
                   note("F", 4, 4, tie_stop, 1) + note("F", 4, 4) + "</measure>"}),
         {"0 576 6 3 1 576 0 90", "1 384 5 3 0 384 0 90"},
         {"4/4 k0", "4/4 k0"}},
        {"a transposing part sounds its concert pitch",
         partwise({"<measure><attributes><divisions>1</divisions><key><fifths>2</fifths></key>"
                   "<transpose><chromatic>-2</chromatic></transpose></attributes>" +
                   note("D", 4, 4) + "</measure>"}),
         {"0 0 0 0 0 768 0 90"},
         {"4/4 k0"}},
        {"percussion sounds its MIDI instrument",
         partwise({"<measure><attributes><divisions>1</divisions></attributes><note><unpitched>"
                   "<display-step>C</display-step><display-octave>5</display-octave></unpitched>"
                   "<duration>1</duration><instrument id=\"P1-I39\"/></note></measure>"},
                  "<midi-instrument id=\"P1-I39\"><midi-channel>10</midi-channel>"
                  "<midi-unpitched>39</midi-unpitched></midi-instrument>"),
         {"0 0 -22 -13 0 192 0 90"},
         {"1/4 k0"}},
        {"a pickup measure keeps its own length",
         partwise({"<measure implicit=\"yes\">" + attrs + note("A", 4, 2) + "</measure><measure>" +
                   note("B", 4, 8) + "</measure>"}),
         {"0 0 9 5 0 192 0 90", "1 0 11 6 0 768 0 90"},
         {"1/4 k0", "4/4 k0"}},
        {"several parts become tracks, their dynamics velocities",
         partwise(
             {"<measure>" + attrs + note("C", 5, 8).insert(5, " dynamics=\"50\"") + "</measure>",
              "<measure>" + attrs + "<sound dynamics=\"120\"/>" + note("C", 2, 8) + "</measure>"}),
         {"0 0 -24 -14 0 768 1 108", "0 0 12 7 0 768 0 45"},
         {"4/4 k0"}},
        {"a whole-measure rest written as a whole keeps its measure's length",
         partwise({"<measure><attributes><divisions>1</divisions><time><beats>3</beats>"
                   "<beat-type>4</beat-type></time></attributes><note><rest measure=\"yes\"/>"
                   "<duration>3</duration><type>whole</type></note></measure><measure>" +
                   note("C", 4, 3) + "</measure>"}),
         {"1 0 0 0 0 576 0 90"},
         {"3/4 k0", "3/4 k0"}},
        {"a measure of a beat that is no power of two, as written back (2/5 as 307/768)",
         partwise({"<measure><attributes><divisions>192</divisions><time><beats>307</beats>"
                   "<beat-type>768</beat-type></time></attributes>" +
                   note("C", 4, 307) + "</measure>"}),
         {"0 0 0 0 0 307 0 90"},
         {"307/768 k0"}},
        {"the lowest MIDI keys lie below octave 0",
         partwise(
             {"<measure>" + attrs + note("C", -1, 4) + note("B", -2, 4, "", 1) + "</measure>"}),
         {"0 0 -60 -35 0 384 0 90", "0 384 -60 -36 1 384 0 90"},
         {"4/4 k0"}},
        {"a measure longer than any score measure spreads over measures of its signature",
         partwise({"<measure>" + attrs + note("C", 4, 2) +
                   "<forward><duration>360</duration></forward>" + note("G", 4, 2) +
                   "</measure><measure>" + note("B", 4, 8) + "</measure>"}),
         {"0 0 0 0 0 192 0 90", "45 192 7 4 0 192 0 90", "46 0 11 6 0 768 0 90"},
         [] {
             std::vector<std::string> sigs(45, "4/4 k0");
             sigs.push_back("1/2 k0");
             sigs.push_back("4/4 k0");
             return sigs;
         }()},
    };
}

TEST_F(MusicXml, ReadsWhatOtherProgramsWrite) {
    for (const read_case &c : read_cases()) {
        SCOPED_TRACE(c.name);
        write_text(path("c.musicxml"), c.text);
        ASSERT_EQ(read_musicxml(path("c.musicxml").c_str(), &g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(sorted(first_pieces(&g_score)), c.pieces);
        EXPECT_EQ(signatures(&g_score), c.sigs);
        EXPECT_TRUE(captured_messages().empty());
        destroy_score(&g_score);
        init_g_score();
    }
}

// The detached articulations mark the note, which keeps its written length; a tied chain
// takes the mark of its first note.
TEST_F(MusicXml, DetachedArticulationsMarkTheNote) {
    auto articulated = [](const std::string &a) {
        return "<notations><articulations>" + a + "</articulations></notations>";
    };
    const std::string tie_start = "<tie type=\"start\"/>", tie_stop = "<tie type=\"stop\"/>";
    struct {
        const char *name;
        std::string measures;
        const char *marks; // of every piece read
    } cases[] = {
        {"staccato", note("C", 4, 2, articulated("<staccato/>")) + note("D", 4, 2), "10"},
        {"staccatissimo and spiccato",
         note("C", 4, 2, articulated("<staccatissimo/>")) +
             note("D", 4, 2, articulated("<spiccato placement=\"above\"/>")),
         "11"},
        {"accent and tenuto are not detached", note("C", 4, 2, articulated("<accent/><tenuto/>")),
         "0"},
        {"in a later notations element",
         note("C", 4, 2,
              "<notations><tied type=\"start\"/></notations>" + articulated("<staccato/>")),
         "1"},
        {"a chain takes the mark of its first note",
         "<forward><duration>6</duration></forward>" +
             note("F", 4, 2, tie_start + articulated("<staccato/>")) + "</measure><measure>" +
             note("F", 4, 2, tie_stop),
         "11"},
        {"a mark on a continuation only is not the chain's",
         "<forward><duration>6</duration></forward>" + note("F", 4, 2, tie_start) +
             "</measure><measure>" + note("F", 4, 2, tie_stop + articulated("<staccato/>")),
         "00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write_text(path("c.musicxml"), partwise({"<measure>" + attrs + c.measures + "</measure>"}));
        ASSERT_EQ(read_musicxml(path("c.musicxml").c_str(), &g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(staccato_marks(&g_score), c.marks);
        struct note *first = g_score.measures.head->notes.head;
        while (first->rest)
            first = first->next;
        EXPECT_EQ(first->len, 192); // the written quarter, not shortened
        destroy_score(&g_score);
        init_g_score();
    }
}

// Every note of the score, whole across its tied pieces, as "onset key length" in ticks from
// the start, in the order of onset and key.
std::vector<std::string> sounding(score *s) {
    std::vector<std::array<long, 3>> notes;
    long start = 0;
    for (measure *m = s->measures.head; m; start += m->len, m = m->next)
        for (struct note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev)
                notes.push_back({start + n->x, n->pitch + 60L, n->total_len});
    std::sort(notes.begin(), notes.end());
    std::vector<std::string> out;
    for (const auto &n : notes)
        out.push_back(std::to_string(n[0]) + " " + std::to_string(n[1]) + " " +
                      std::to_string(n[2]));
    return out;
}

struct feature_case {
    const char *file; // in tests/data/musicxml
    std::vector<std::string> notes;
    const char *message;           // part of the one message, "" when there must be none
    std::vector<std::string> sigs; // of the measures, when they matter
};

// count notes of one key and length, step ticks apart (one after the other by default).
std::vector<std::string> repeated(long from, int key, int len, int count, int step = 0) {
    std::vector<std::string> out;
    for (int i = 0; i < count; i++)
        out.push_back(std::to_string(from + i * (step ? step : len)) + " " + std::to_string(key) +
                      " " + std::to_string(len));
    return out;
}

// The notes of all parts in the order of onset and key.
std::vector<std::string> joined(std::vector<std::vector<std::string>> parts) {
    std::vector<std::array<long, 3>> notes;
    for (const auto &p : parts)
        for (const std::string &n : p) {
            std::array<long, 3> v{};
            std::sscanf(n.c_str(), "%ld %ld %ld", &v[0], &v[1], &v[2]);
            notes.push_back(v);
        }
    std::sort(notes.begin(), notes.end());
    std::vector<std::string> out;
    for (const auto &n : notes)
        out.push_back(std::to_string(n[0]) + " " + std::to_string(n[1]) + " " +
                      std::to_string(n[2]));
    return out;
}

std::vector<feature_case> feature_cases() {
    return {
        {"tie_bar_lines_and_time_changes", {"384 67 576", "960 64 768"}, "", {}},
        {"tie_elements_only", {"0 72 1536", "1536 64 1152"}, "", {}},
        {"tie_notations_and_chords", {"0 60 576", "0 64 576", "576 67 384", "960 65 576"}, "", {}},
        {"tie_voices_and_staves", {"0 48 1152", "0 72 1152"}, "", {}},
        {"tie_over_grace_note",
         {"0 74 768", "384 76 96", "768 69 768", "1152 69 24"},
         "2 grace notes written out",
         {}},
        {"tie_unmatched", {"0 60 192", "192 62 192", "384 64 192", "576 65 192"}, "", {}},
        {"grace_notes",
         {"0 67 96", "96 72 96", "192 69 24", "216 76 168", "384 71 96", "384 74 96", "480 79 96",
          "576 74 48", "624 72 48"},
         "5 grace notes written out",
         {}},
        {"grace_notes_written_values",
         {"0 71 48", "48 74 48", "96 79 288", "384 72 96", "384 76 96", "480 84 288", "768 79 384",
          "1152 81 336", "1488 77 48"},
         "5 grace notes written out",
         {}},
        {"tremolo_single",
         joined({repeated(0, 72, 96, 2), repeated(192, 74, 48, 4), repeated(384, 76, 24, 8),
                 repeated(576, 77, 12, 16), repeated(768, 67, 24, 16), repeated(1152, 60, 48, 8),
                 repeated(1152, 64, 48, 8)}),
         "",
         {}},
        {"tremolo_two_notes",
         joined({repeated(0, 60, 24, 8, 48),
                 repeated(24, 67, 24, 8, 48),
                 repeated(384, 64, 48, 2, 96),
                 repeated(432, 72, 48, 2, 96),
                 {"576 60 96", "576 64 96", "672 67 96"}}),
         "",
         {}},
        {"key_beyond_seven",
         {"0 68 192", "192 67 192", "384 73 384", "768 64 192", "960 69 192", "1152 63 384"},
         "2 key signatures beyond seven accidentals read as their enharmonic equivalents",
         {"4/4 k-4", "4/4 k3"}},
        {"unpitched_in_pitched_part",
         {"0 60 192", "192 64 192", "384 71 192", "576 67 192"},
         "2 unpitched notes sounded where they are shown",
         {}},
        {"out_of_range_details",
         {"0 60 192", "384 64 192", "768 67 768"},
         "6 details out of range skipped",
         {"4/4 k0", "4/4 k0"}},
        {"tuplets_nested_and_rounded",
         {"0 64 77", "77 65 77", "154 67 25", "179 69 26", "205 71 25", "230 72 77", "307 74 77",
          "384 67 384", "768 48 768", "768 72 128", "896 74 128", "1024 76 128", "1152 60 384"},
         "7 notes rounded to whole ticks",
         {}},
    };
}

// One small file per feature of the scores other programs write, each with the notes it must
// give; the end-to-end test has MuseScore read the same files.
TEST_F(MusicXml, FeatureFilesGiveTheirNotes) {
    for (const feature_case &c : feature_cases()) {
        SCOPED_TRACE(c.file);
        captured_messages().clear();
        std::string file = std::string(PLINKEL_TEST_DATA) + "/musicxml/" + c.file + ".musicxml";
        ASSERT_EQ(read_musicxml(file.c_str(), &g_score), 1);
        EXPECT_TRUE(score_invariants(&g_score));
        EXPECT_EQ(sounding(&g_score), c.notes);
        if (!c.sigs.empty()) {
            EXPECT_EQ(signatures(&g_score), c.sigs);
        }
        if (*c.message) {
            ASSERT_EQ(captured_messages().size(), 1u);
            EXPECT_NE(captured_messages()[0].find(c.message), std::string::npos)
                << captured_messages()[0];
        } else {
            EXPECT_TRUE(captured_messages().empty());
        }
        destroy_score(&g_score);
        init_g_score();
    }
}

TEST_F(MusicXml, QuintupletsAreRoundedAndCounted) {
    std::string body = "<measure><attributes><divisions>5</divisions></attributes>";
    for (int i = 0; i < 5; i++)
        body += note("C", 4, 1);
    write_text(path("q.musicxml"), partwise({body + "</measure>"}));
    ASSERT_EQ(read_musicxml(path("q.musicxml").c_str(), &g_score), 1);
    EXPECT_TRUE(score_invariants(&g_score));
    EXPECT_EQ(
        sorted(first_pieces(&g_score)),
        (std::vector<std::string>{"0 0 0 0 0 38 0 90", "0 115 0 0 0 39 0 90", "0 154 0 0 0 38 0 90",
                                  "0 38 0 0 0 39 0 90", "0 77 0 0 0 38 0 90"}));
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("5 notes rounded"), std::string::npos);
}

// Septuplet 32nds stored as rounded durations (69 of 480 divisions, not 68.57): the written
// value gives the exact length, so the rounding does not add up and the quarter after them
// starts on its beat.
TEST_F(MusicXml, RoundedTupletDurationsTakeTheWrittenValue) {
    const std::string septuplet = "<type>32nd</type><time-modification><actual-notes>7"
                                  "</actual-notes><normal-notes>8</normal-notes>"
                                  "</time-modification>";
    std::string body = "<measure><attributes><divisions>480</divisions></attributes>";
    for (int i = 0; i < 7; i++)
        body += note(i % 2 ? "E" : "C", 4, 69, septuplet);
    body += note("G", 4, 480, "<type>quarter</type>") + "</measure>";
    write_text(path("s.musicxml"), partwise({body}));
    ASSERT_EQ(read_musicxml(path("s.musicxml").c_str(), &g_score), 1);
    std::vector<std::string> pieces = sorted(first_pieces(&g_score));
    EXPECT_NE(std::find(pieces.begin(), pieces.end(), "0 165 0 0 0 27 0 90"), pieces.end());
    EXPECT_NE(std::find(pieces.begin(), pieces.end(), "0 192 7 4 0 192 0 90"), pieces.end());
}

TEST_F(MusicXml, TempoMarksBecomeTheStartingTempoAndEvents) {
    write_text(path("t.musicxml"),
               partwise({"<measure>" + attrs + "<direction><sound tempo=\"90\"/></direction>" +
                         "<direction><offset>4</offset><sound tempo=\"60.4\"/></direction>" +
                         note("C", 4, 8) + "</measure>"}));
    ASSERT_EQ(read_musicxml(path("t.musicxml").c_str(), &g_score), 1);
    EXPECT_EQ(g_score.default_tempo, 90);
    EXPECT_EQ(measures_and_events(&g_score),
              (std::vector<std::string>{"m 4/4 k0 len768", "t 384 60 1"}));
}

TEST_F(MusicXml, PartsBeyondThirtyOneAreLeftOutWithAMessage) {
    std::vector<std::string> parts(MUSICXML_MAX_PARTS + 2, "<measure>" + attrs + "</measure>");
    write_text(path("p.musicxml"), partwise(parts));
    ASSERT_EQ(read_musicxml(path("p.musicxml").c_str(), &g_score), 1);
    EXPECT_EQ(g_score.track_num, MUSICXML_MAX_PARTS);
    ASSERT_EQ(captured_messages().size(), 1u);
    EXPECT_NE(captured_messages()[0].find("2 parts beyond the first 31"), std::string::npos);
}

// A zip archive holding the given entries.
void write_zip(const std::string &path, const std::vector<std::pair<std::string, std::string>> &e) {
    int err = 0;
    zip_t *z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const auto &[name, text] : e) {
        zip_source_t *src = zip_source_buffer(z, text.data(), text.size(), 0);
        ASSERT_GE(zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(z), 0);
}

TEST_F(MusicXml, CompressedArchivesAreReadThroughTheirContainer) {
    std::string score = partwise({"<measure>" + attrs + note("E", 4, 8) + "</measure>"});
    std::string container = "<container><rootfiles><rootfile full-path=\"s/score.xml\"/>"
                            "</rootfiles></container>";
    write_zip(path("a.mxl"), {{"META-INF/container.xml", container}, {"s/score.xml", score}});
    write_zip(path("b.mxl"), {{"mimetype", "x"}, {"other.musicxml", score}});
    for (const char *name : {"a.mxl", "b.mxl"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(read_musicxml(path(name).c_str(), &g_score), 1);
        EXPECT_EQ(first_pieces(&g_score), (std::vector<std::string>{"0 0 4 2 0 768 0 90"}));
        destroy_score(&g_score);
        init_g_score();
    }
}

struct hostile_case {
    const char *name;
    std::string text;
    const char *reason; // part of the message
};

std::vector<hostile_case> hostile_cases() {
    const int deep = 1000000;
    std::string nest = "<score-partwise>";
    for (int i = 0; i < deep; i++)
        nest += "<a>";
    for (int i = 0; i < deep; i++)
        nest += "</a>";
    std::string many = "<score-partwise>";
    for (long i = 0; i < MUSICXML_MAX_MARKUP; i++)
        many += "<a/>";
    auto in_measure = [](const std::string &body) {
        return partwise({"<measure>" + attrs + body + "</measure>"});
    };
    return {
        {"empty file", "", "not well-formed"},
        {"not XML", "\x89PNG garbage <<<", "not well-formed"},
        {"no score", "<opus/>", "not a MusicXML score"},
        {"timewise", "<score-timewise/>", "timewise"},
        {"no parts", partwise({}), "no parts"},
        {"deep nesting", nest + "</score-partwise>", "no parts"},
        {"too many elements", many + "</score-partwise>", "too many elements"},
        {"huge duration",
         in_measure(note("C", 4, 2).replace(note("C", 4, 2).find("2</d"), 1, "1e308")), "too long"},
        {"zero divisions",
         partwise({"<measure><attributes><divisions>0</divisions>"
                   "</attributes></measure>"}),
         "divisions"},
        {"note without pitch", in_measure("<note><duration>2</duration></note>"), "no pitch"},
        {"step missing",
         in_measure("<note><pitch><octave>4</octave></pitch><duration>2"
                    "</duration></note>"),
         "step"},
        {"negative duration", in_measure("<backup><duration>-4</duration></backup>"), "duration"},
        {"measure beyond reach", in_measure("<forward><duration>20000000</duration></forward>"),
         "too long"},
    };
}

TEST_F(MusicXml, HostileFilesAreRefusedAndChangeNothing) {
    for (const hostile_case &c : hostile_cases()) {
        SCOPED_TRACE(c.name);
        captured_messages().clear();
        measure *first = g_score.measures.head;
        g_score.track_num = 3;
        g_score.default_tempo = 77;
        write_text(path("h.musicxml"), c.text);
        EXPECT_EQ(read_musicxml(path("h.musicxml").c_str(), &g_score), 0);
        expect_fresh(&g_score, first);
        EXPECT_EQ(g_score.track_num, 3);
        EXPECT_EQ(g_score.default_tempo, 77);
        ASSERT_EQ(captured_messages().size(), 1u);
        EXPECT_NE(captured_messages()[0].find("h.musicxml"), std::string::npos);
        EXPECT_NE(captured_messages()[0].find(c.reason), std::string::npos)
            << captured_messages()[0];
    }
}

TEST_F(MusicXml, OversizedInputIsRefusedBeforeParsing) {
    std::string big(MUSICXML_MAX_BYTES + 1, ' ');
    write_text(path("big.musicxml"), big);
    std::string bomb(MUSICXML_MAX_BYTES + 1, '<');
    write_zip(path("bomb.mxl"), {{"score.xml", bomb}});
    for (const char *name : {"big.musicxml", "bomb.mxl", "missing.musicxml"}) {
        SCOPED_TRACE(name);
        captured_messages().clear();
        EXPECT_EQ(read_musicxml(path(name).c_str(), &g_score), 0);
        ASSERT_EQ(captured_messages().size(), 1u);
        EXPECT_NE(captured_messages()[0].find(name), std::string::npos);
    }
}

TEST_F(MusicXml, TenMegabytesOfOneElementAreRead) {
    std::string title(10 << 20, 'x');
    std::string text = partwise({"<measure>" + attrs + note("C", 4, 8) + "</measure>"});
    text.insert(text.find("<part-list>"), "<work><work-title>" + title + "</work-title></work>");
    write_text(path("w.musicxml"), text);
    ASSERT_EQ(read_musicxml(path("w.musicxml").c_str(), &g_score), 1);
    EXPECT_EQ(first_pieces(&g_score).size(), 1u);
}

} // namespace
