// PIC16 export. Two passes over the score build the tables: the first collects the distinct
// pitch and duration codes, the second packs each note or rest into one byte. The music table
// is then compressed by back-references to earlier passages, one level deep.
#include "files/pic16.h"

#include <cstdio>

#include "files/file_support.h"
#include "model/voice.h"

std::vector<int> pitch_table;
int n_pitch_table;
std::vector<int> duration_table;
int n_duration_table;
std::vector<unsigned char> out_buffer;
int n_out_buffer;
std::vector<compress_record> compress_table;
int size_of_compress_table;
int n_compress_table;

namespace {

const char *const LISTING_PATH = "out2.asm";
const char *const PLAIN_TABLE_PATH = "out.asm";
constexpr int REFERENCE_SIZE = 3; // PIC16_REPEAT, s, e
constexpr int PLACEHOLDER_START = 0x01;
constexpr int PLACEHOLDER_END = 0x02;
constexpr int NO_RECORD = -1;

int index_of(const std::vector<int> &table, int v) {
    for (size_t i = 0; i < table.size(); i++)
        if (table[i] == v)
            return static_cast<int>(i);
    return -1;
}

void add_unique(std::vector<int> &table, int *count, int v) {
    if (index_of(table, v) < 0)
        table.push_back(v);
    *count = static_cast<int>(table.size());
}

struct element_codes {
    int pitch; // -1 for a rest
    int duration;
};

// A note sounds its whole tie chain; the length is scaled so slow and fast pieces keep
// durations the firmware's clock can count.
element_codes codes_of(score *s, measure *m, const note *n) {
    int len = n->rest ? n->len : n->total_len;
    int tempo = get_x_tempo(s, m, n->x, 1);
    if (tempo < PIC16_SLOW_TEMPO)
        len *= 2;
    else if (tempo > PIC16_FAST_TEMPO)
        len /= 2;
    return {n->rest ? -1 : get_pitch(n->pitch), get_duration(len)};
}

// One pass over every element of every measure, listed in out2.asm. Pass 0 collects the codes
// and counts the bytes; pass 1 packs them. Returns 0 when a packed byte reaches the markers.
int table_pass(FILE *listing, score *s, int pass, int shift) {
    int fits = 1;
    n_out_buffer = 0;
    for (measure *m = s->measures.head; m; m = m->next) {
        std::fprintf(listing, "\t;m %d %d %d\n", m->key, m->num, m->bit);
        for (note *n = m->notes.head; n; n = n->next) {
            std::fprintf(listing, "\t;n :%d           :%d %d\n", n->pitch, n->total_len, n->len);
            if (n->l_prev)
                continue;
            element_codes c = codes_of(s, m, n);
            if (pass == 0) {
                if (c.pitch >= 0)
                    add_unique(pitch_table, &n_pitch_table, c.pitch);
                add_unique(duration_table, &n_duration_table, c.duration);
                n_out_buffer++;
                continue;
            }
            int p = c.pitch < 0 ? n_pitch_table - 1 : index_of(pitch_table, c.pitch);
            int value = p | (index_of(duration_table, c.duration) << shift);
            if (value >= PIC16_REPEAT)
                fits = 0;
            out_buffer[n_out_buffer++] = static_cast<unsigned char>(value & PIC16_MAX_BYTE);
        }
    }
    return fits;
}

// Every code is a RETLW literal: one byte, and no pitch may pass for the rest entry.
int codes_fit() {
    for (int i = 0; i + 1 < n_pitch_table; i++)
        if (pitch_table[i] >= PIC16_REST_PITCH)
            return 0;
    for (int d : duration_table)
        if (d > PIC16_MAX_BYTE)
            return 0;
    return 1;
}

const char *const JUMP = "MOVF\tDATA_BUF,W\nADDWF\tPC,F\n";

void write_tables(FILE *fp, int shift, int indexed) {
    std::fprintf(fp, "GET_INFORMATION\n");
    std::fprintf(fp, "RETLW\t0%xH\n", shift);
    std::fprintf(fp, "GET_DURATION_TABLE\n%s", JUMP);
    for (int d : duration_table)
        std::fprintf(fp, "RETLW\t0%xH\n", d);
    std::fprintf(fp, "GET_PITCH_TABLE\n%s", JUMP);
    for (int p : pitch_table)
        std::fprintf(fp, "RETLW\t0%xH\n", p);
    std::fprintf(fp, "GET_MUSIC\n%s", JUMP);
    for (int i = 0; i < n_out_buffer; i++) {
        if (indexed)
            std::fprintf(fp, "RETLW\t0%xH;%x\n", out_buffer[i], i);
        else
            std::fprintf(fp, "RETLW\t0%xH\n", out_buffer[i]);
    }
    std::fprintf(fp, "RETLW\t0%xH\nRETLW\t0%xH\n", PIC16_END, PIC16_END);
}

int write_table_file(const char *path, int shift, int indexed) {
    output_file out;
    if (!open_output(&out, path))
        return 0;
    write_tables(out.fp, shift, indexed);
    return finish_output(&out, 1);
}

void reset_tables() {
    pitch_table.clear();
    duration_table.clear();
    out_buffer.clear();
    compress_table.clear();
    n_pitch_table = n_duration_table = n_out_buffer = 0;
    size_of_compress_table = n_compress_table = 0;
}

// Steps 1 to 3 of the table building; returns 0 when out2.asm cannot be written or, with
// *fits cleared, when the tables would be misread.
int build_tables(score *s, int *shift, int *fits) {
    output_file listing;
    if (!open_output(&listing, LISTING_PATH))
        return 0;
    table_pass(listing.fp, s, 0, 0);
    pitch_table.push_back(PIC16_REST_PITCH);
    n_pitch_table++;
    out_buffer.assign(n_out_buffer, 0);
    file_trace("0:n_out_buffer:%d\n", n_out_buffer);
    file_trace("0:size_of_compress_table:%d\n", 2 * n_out_buffer + 1);
    *shift = bit_size(n_pitch_table);
    *fits = table_pass(listing.fp, s, 1, *shift) && codes_fit();
    file_trace("1:n_out_buffer:%d\n", n_out_buffer);
    file_trace("1:size_of_compress_table:%d\n", 2 * n_out_buffer + 1);
    return finish_output(&listing, 1);
}

// The firmware reads s and e as single bytes.
int references_fit() {
    for (int i = 0; i < n_compress_table; i++)
        if (compress_table[i].state == REPEAT_APPLIED && compress_table[i].src_end > PIC16_MAX_BYTE)
            return 0;
    return 1;
}

// --- compression ---

int overlap(int a, int b, int c, int d) {
    return a < d && c < b;
}

int record_len(const compress_record &r) {
    return r.src_end - r.src_start;
}

void trace_record(int i) {
    const compress_record &r = compress_table[i];
    file_trace("%d:(%d,%d)-(%d,%d)\n", i, r.src_start, r.src_end, r.dst_start, r.dst_end);
}

void dump_buffer() {
    file_trace("out_buffer\n");
    for (int i = 0; i < n_out_buffer; i++)
        file_trace("out_buffer[%d]=0x%x\n", i, out_buffer[i]);
}

// Step 1: every earlier passage of at least PIC16_MIN_REPEAT bytes that a later one repeats.
void find_repeats() {
    const unsigned char *buf = out_buffer.data();
    for (int n = 0; n < n_out_buffer; n++)
        for (int b = 0; b < n; b++) {
            if (n_compress_table >= size_of_compress_table)
                return; // nothing more could be recorded
            int k = 0;
            while (b + k < n && n + k < n_out_buffer && buf[n + k] == buf[b + k])
                k++;
            if (k < PIC16_MIN_REPEAT)
                continue;
            compress_table[n_compress_table] = {b, b + k, n, n + k, REPEAT_CANDIDATE};
            trace_record(n_compress_table++);
        }
}

// Step 2a: the longest candidate, the first among equals.
int best_candidate() {
    int best = NO_RECORD;
    for (int i = 0; i < n_compress_table; i++)
        if (compress_table[i].state == REPEAT_CANDIDATE &&
            (best == NO_RECORD || record_len(compress_table[i]) > record_len(compress_table[best])))
            best = i;
    return best;
}

// Step 2c: a candidate that would read or write what q replaces, or whose replaced bytes q
// reads, can no longer be applied.
void discard_conflicts(int q) {
    const compress_record &a = compress_table[q];
    for (int i = 0; i < n_compress_table; i++) {
        compress_record &p = compress_table[i];
        if (i == q || p.state != REPEAT_CANDIDATE)
            continue;
        if (overlap(p.dst_start, p.dst_end, a.src_start, a.src_end) ||
            overlap(a.dst_start, a.dst_end, p.src_start, p.src_end) ||
            overlap(p.dst_start, p.dst_end, a.dst_start, a.dst_end))
            p.state = REPEAT_DISCARDED;
    }
}

// Steps 2d and 2e: the replaced bytes become a three-byte placeholder; later ranges move down.
void replace_destination(int q) {
    const compress_record &a = compress_table[q];
    auto first = out_buffer.begin() + a.dst_start;
    out_buffer.erase(first, out_buffer.begin() + a.dst_end);
    const unsigned char placeholder[REFERENCE_SIZE] = {PIC16_REPEAT, PLACEHOLDER_START,
                                                       PLACEHOLDER_END};
    out_buffer.insert(out_buffer.begin() + a.dst_start, placeholder, placeholder + REFERENCE_SIZE);
    int gain = record_len(a) - REFERENCE_SIZE;
    n_out_buffer -= gain;
    for (int i = 0; i < n_compress_table; i++) {
        compress_record &p = compress_table[i];
        if (i == q || p.state == REPEAT_DISCARDED)
            continue;
        if (p.dst_start > a.dst_start) {
            p.dst_start -= gain;
            p.dst_end -= gain;
        }
        if (p.src_start > a.dst_start) {
            p.src_start -= gain;
            p.src_end -= gain;
        }
    }
}

// Step 3: the placeholders get their source bounds.
void write_references() {
    for (int i = 0; i < n_compress_table; i++) {
        const compress_record &r = compress_table[i];
        if (r.state != REPEAT_APPLIED)
            continue;
        out_buffer[r.dst_start] = PIC16_REPEAT;
        out_buffer[r.dst_start + 1] = static_cast<unsigned char>(r.src_start & PIC16_MAX_BYTE);
        out_buffer[r.dst_start + 2] = static_cast<unsigned char>(r.src_end & PIC16_MAX_BYTE);
    }
}

} // namespace

int bit_size(int a) {
    unsigned v = static_cast<unsigned>(a < 0 ? -a : a);
    int k = 0;
    while (k < 32 && (1ull << k) < v)
        k++;
    return k;
}

int get_pitch(int pitch) {
    int code = pitch + PIC16_PITCH_OFFSET;
    return code < 0 ? 0 : code;
}

int get_duration(int length) {
    return length / PIC16_DURATION_UNIT;
}

int do_compress() {
    file_trace("n_out_buffer:%d\n", n_out_buffer);
    size_of_compress_table = 2 * n_out_buffer + 1;
    file_trace("size_of_compress_table:%d\n", size_of_compress_table);
    compress_table.assign(size_of_compress_table, compress_record{});
    n_compress_table = 0;
    find_repeats();
    dump_buffer();
    file_trace("reducing size\n");
    for (int q = best_candidate(); q != NO_RECORD; q = best_candidate()) {
        compress_table[q].state = REPEAT_APPLIED;
        trace_record(q);
        discard_conflicts(q);
        replace_destination(q);
    }
    dump_buffer();
    write_references();
    dump_buffer();
    return n_out_buffer;
}

int write_pic16(const char *path, score *s) {
    for (measure *m = s->measures.head; m; m = m->next)
        validate_measure(m);
    reset_tables();
    file_trace("out\n");
    int shift = 0, fits = 0;
    if (!build_tables(s, &shift, &fits))
        return 0;
    if (!fits) {
        file_message("%s: %d pitches and %d durations do not fit the PIC16 tables (one byte per "
                     "note below 0xFE)",
                     path, n_pitch_table - 1, n_duration_table);
        return 0;
    }
    if (!write_table_file(PLAIN_TABLE_PATH, shift, 0))
        return 0;
    do_compress();
    if (!references_fit()) {
        file_message("%s: the compressed PIC16 music table would refer beyond byte 255", path);
        return 0;
    }
    return write_table_file(path, shift, 1);
}
