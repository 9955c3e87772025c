// Helpers shared by the score-file suites: a fixture with a fresh score, a scratch directory
// and captured user messages; building notes and events; reading a file back whole.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "editor/interface.h"
#include "files/file_support.h"
#include "model/pitch.h"
#include "model/score.h"
#include "model/tie.h"
#include "model/voice.h"

inline std::vector<std::string> &captured_messages() {
    static std::vector<std::string> messages;
    return messages;
}

inline void capture_message(const char *text) {
    captured_messages().push_back(text);
}

// A fresh score as the editor gives it to a reader, its track table and tempo kept to compare
// and restored, traces off.
class FileTest : public ::testing::Test {
  protected:
    std::string dir;
    track_info_t saved_tracks[MAX_TRACKS];
    int saved_track_num = 0, saved_tempo = 0;

    void SetUp() override {
        char tmpl[] = "/tmp/plinkel_files_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        file_trace_on = 0;
        file_message_hook = capture_message;
        captured_messages().clear();
        init_g_score();
        std::copy(g_score.tracks, g_score.tracks + MAX_TRACKS, saved_tracks);
        saved_track_num = g_score.track_num;
        saved_tempo = g_score.default_tempo;
    }
    void TearDown() override {
        destroy_score(&g_score);
        std::copy(saved_tracks, saved_tracks + MAX_TRACKS, g_score.tracks);
        g_score.track_num = saved_track_num;
        g_score.default_tempo = saved_tempo;
        file_message_hook = nullptr;
        file_trace_on = 1;
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }
};

inline void write_text(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline int count_files(const std::string &dir) {
    DIR *d = opendir(dir.c_str());
    if (!d)
        return -1;
    int n = 0;
    while (dirent *e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            n++;
    closedir(d);
    return n;
}

// A whole (compressed) note of the given pitch placed in m; the caller expands and validates.
inline note *add_note(measure *m, int x, int pitch, int len, int track = 0, int volume = 127) {
    note *n = new_note();
    n->x = x;
    n->pitch = static_cast<int16_t>(pitch);
    n->len = n->total_len = static_cast<int16_t>(len);
    n->track = static_cast<int8_t>(track);
    n->volume = static_cast<uint8_t>(volume);
    _insert_sorted_note_list(&m->notes, n, note_comp);
    get_note_pos_y(m, n);
    return n;
}

inline void add_tempo(measure *m, int x, int value) {
    m_event *e = new_m_event();
    e->x = x;
    e->type = EVENT_TEMPO;
    e->value = value;
    _insert_sorted_m_event_list(&m->m_events, e, m_event_comp);
}

inline measure *append_measure(int num, int bit, int key) {
    measure *m = new_measure();
    _append_measure_list(&g_score.measures, m);
    set_measure(m, num, bit, key);
    return m;
}

// g_score afresh, a 4/4 measure in C appended to its first, and notes {x, pitch, len,
// staccato} in the first.
inline void score_of_marked_notes(const std::vector<std::array<int, 4>> &notes) {
    destroy_score(&g_score);
    init_g_score();
    append_measure(4, 4, 0);
    for (const std::array<int, 4> &n : notes)
        add_note(g_score.measures.head, n[0], n[1], n[2])->staccato = n[3];
}

inline void expand_and_validate(score *s) {
    score_expand_by_measure(s);
    for (measure *m = s->measures.head; m; m = m->next)
        validate_measure(m);
}

// The first piece of every note of the score, as "measure x pitch pos_y acc total track vol";
// with sounding, the length is how long the note sounds (a staccato note half of total).
inline std::vector<std::string> first_pieces(score *s, bool sounding = false) {
    std::vector<std::string> out;
    int i = 0;
    for (measure *m = s->measures.head; m; m = m->next, i++)
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest && !n->l_prev)
                out.push_back(std::to_string(i) + " " + std::to_string(n->x) + " " +
                              std::to_string(n->pitch) + " " + std::to_string(n->pos.y) + " " +
                              std::to_string(n->accidental) + " " +
                              std::to_string(sounding ? sounding_len(n) : n->total_len) + " " +
                              std::to_string(n->track) + " " + std::to_string(n->volume));
    return out;
}

// The staccato mark of every piece of every note, in score order: "1" marked, "0" plain.
inline std::string staccato_marks(score *s) {
    std::string out;
    for (measure *m = s->measures.head; m; m = m->next)
        for (note *n = m->notes.head; n; n = n->next)
            if (!n->rest)
                out += n->staccato ? '1' : '0';
    return out;
}

inline std::vector<std::string> measures_and_events(score *s) {
    std::vector<std::string> out;
    for (measure *m = s->measures.head; m; m = m->next) {
        out.push_back("m " + std::to_string(m->num) + "/" + std::to_string(m->bit) + " k" +
                      std::to_string(m->key) + " len" + std::to_string(m->len));
        for (m_event *e = m->m_events.head; e; e = e->next)
            out.push_back("t " + std::to_string(e->x) + " " + std::to_string(e->value) + " " +
                          std::to_string(e->type));
    }
    return out;
}

// The fresh score's one empty measure is still all there is.
inline void expect_fresh(score *s, measure *first) {
    ASSERT_EQ(s->measures.num, 1);
    EXPECT_EQ(s->measures.head, first);
    EXPECT_EQ(first->notes.num, 0);
    EXPECT_EQ(first->m_events.num, 0);
    EXPECT_EQ(first->num, default_num);
    EXPECT_EQ(first->bit, default_bit);
    EXPECT_EQ(first->len, 768);
}

// Standard MIDI Files built byte by byte: a header of the given length and the track chunks.
typedef std::vector<unsigned char> bytes;

inline void put32(bytes &b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(v >> s));
}

inline bytes smf(int format, int division, const std::vector<bytes> &tracks, int header_len = 6) {
    bytes b = {'M', 'T', 'h', 'd'};
    put32(b, static_cast<uint32_t>(header_len));
    b.push_back(0), b.push_back(static_cast<unsigned char>(format));
    b.push_back(0), b.push_back(static_cast<unsigned char>(tracks.size()));
    b.push_back(static_cast<unsigned char>(division >> 8));
    b.push_back(static_cast<unsigned char>(division));
    for (int i = 6; i < header_len; i++)
        b.push_back(0xEE);
    for (const bytes &t : tracks) {
        b.insert(b.end(), {'M', 'T', 'r', 'k'});
        put32(b, static_cast<uint32_t>(t.size()));
        b.insert(b.end(), t.begin(), t.end());
    }
    return b;
}

inline const bytes END = {0x00, 0xFF, 0x2F, 0x00};

inline bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline void write_bytes(const std::string &path, const bytes &b) {
    write_text(path, std::string(b.begin(), b.end()));
}
