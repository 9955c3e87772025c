// mkguifont: build-time generator of the compiled-in GUI font.
// Reads an X11 PCF bitmap font (gzip-compressed or plain), pads the glyphs of the codes 32..255
// into 11 x 20 cells and writes a C++ source holding them as the one FONT of the datafile `data`.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int CELL_W = 11;
const int CELL_H = 20;
const int FIRST_CODE = 32;
const int END_CODE = 256; // one past the last code
const int ROW_BYTES = (CELL_W + 7) / 8;
const int CELL_BYTES = ROW_BYTES * CELL_H;
const size_t MAX_FONT_FILE = 16 * 1024 * 1024;

// PCF table types and format bits.
const uint32_t PCF_MAGIC = 0x70636601; // "\1fcp" read little-endian
const uint32_t PCF_ACCELERATORS = 1 << 1;
const uint32_t PCF_METRICS = 1 << 2;
const uint32_t PCF_BITMAPS = 1 << 3;
const uint32_t PCF_BDF_ENCODINGS = 1 << 5;
const uint32_t PCF_BDF_ACCELERATORS = 1 << 8;
const uint32_t PCF_GLYPH_PAD_MASK = 3;
const uint32_t PCF_BYTE_MASK = 1 << 2; // multi-byte numbers most significant byte first
const uint32_t PCF_BIT_MASK = 1 << 3;  // bitmap bits most significant bit first
const uint32_t PCF_SCAN_UNIT_SHIFT = 4;
const uint32_t PCF_COMPRESSED_METRICS = 0x100;
const int NO_GLYPH = 0xFFFF;

const char *source_name = "";

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "mkguifont: %s: %s\n", source_name, what.c_str());
    std::exit(1);
}

std::vector<unsigned char> read_whole_file(const char *path) {
    gzFile in = gzopen(path, "rb");
    if (!in)
        fail("cannot open");
    std::vector<unsigned char> bytes;
    unsigned char chunk[16384];
    int got;
    while ((got = gzread(in, chunk, sizeof(chunk))) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > MAX_FONT_FILE)
            fail("file too large for a bitmap font");
    }
    int status = got;
    gzclose(in);
    if (status < 0)
        fail("cannot decompress");
    return bytes;
}

// A bounds-checked reader over the file; every table read goes through it.
struct reader {
    const std::vector<unsigned char> &bytes;
    size_t pos;
    bool big_endian;

    void need(size_t n) const {
        if (pos > bytes.size() || bytes.size() - pos < n)
            fail("truncated or malformed PCF data");
    }
    uint32_t u8() {
        need(1);
        return bytes[pos++];
    }
    uint32_t u16() {
        need(2);
        uint32_t a = bytes[pos], b = bytes[pos + 1];
        pos += 2;
        return big_endian ? (a << 8 | b) : (b << 8 | a);
    }
    uint32_t u32() {
        need(4);
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) {
            uint32_t byte = bytes[pos + (big_endian ? i : 3 - i)];
            v = v << 8 | byte;
        }
        pos += 4;
        return v;
    }
    int32_t s16() { return static_cast<int16_t>(u16()); }
    int32_t s32() { return static_cast<int32_t>(u32()); }
};

struct table {
    uint32_t format;
    uint32_t offset;
};

struct metrics {
    int left, right, width, ascent, descent;
};

struct pcf_font {
    std::vector<metrics> glyph_metrics;
    std::vector<uint32_t> bitmap_offsets;
    std::vector<unsigned char> bitmap_data;
    uint32_t bitmap_format = 0;
    int encoding_min = 0, encoding_max = -1;
    std::vector<int> encoding;
    int ascent = 0;
};

bool find_table(const std::vector<unsigned char> &bytes, uint32_t type, table *out) {
    reader r{bytes, 0, false};
    if (r.u32() != PCF_MAGIC)
        fail("not a PCF font");
    uint32_t count = r.u32();
    if (count > 64)
        fail("implausible table count");
    for (uint32_t i = 0; i < count; i++) {
        uint32_t t = r.u32(), format = r.u32();
        r.u32(); // size
        uint32_t offset = r.u32();
        if (t == type) {
            *out = {format, offset};
            return true;
        }
    }
    return false;
}

// Every table starts with its own format word, little-endian, which must repeat the directory's.
reader open_table(const std::vector<unsigned char> &bytes, const table &t) {
    reader r{bytes, t.offset, false};
    if (r.u32() != t.format)
        fail("table format mismatch");
    r.big_endian = (t.format & PCF_BYTE_MASK) != 0;
    return r;
}

void read_metrics(const std::vector<unsigned char> &bytes, pcf_font *f) {
    table t;
    if (!find_table(bytes, PCF_METRICS, &t))
        fail("no metrics table");
    reader r = open_table(bytes, t);
    bool compressed = (t.format & PCF_COMPRESSED_METRICS) != 0;
    uint32_t count = compressed ? r.u16() : r.u32();
    if (count > 65536)
        fail("implausible glyph count");
    for (uint32_t i = 0; i < count; i++) {
        metrics m;
        if (compressed) {
            m.left = static_cast<int>(r.u8()) - 0x80;
            m.right = static_cast<int>(r.u8()) - 0x80;
            m.width = static_cast<int>(r.u8()) - 0x80;
            m.ascent = static_cast<int>(r.u8()) - 0x80;
            m.descent = static_cast<int>(r.u8()) - 0x80;
        } else {
            m.left = r.s16();
            m.right = r.s16();
            m.width = r.s16();
            m.ascent = r.s16();
            m.descent = r.s16();
            r.u16(); // attributes
        }
        f->glyph_metrics.push_back(m);
    }
}

void read_bitmaps(const std::vector<unsigned char> &bytes, pcf_font *f) {
    table t;
    if (!find_table(bytes, PCF_BITMAPS, &t))
        fail("no bitmap table");
    reader r = open_table(bytes, t);
    f->bitmap_format = t.format;
    uint32_t count = r.u32();
    if (count != f->glyph_metrics.size())
        fail("bitmap and metrics tables disagree on the glyph count");
    for (uint32_t i = 0; i < count; i++)
        f->bitmap_offsets.push_back(r.u32());
    uint32_t sizes[4];
    for (uint32_t &s : sizes)
        s = r.u32();
    uint32_t size = sizes[t.format & PCF_GLYPH_PAD_MASK];
    r.need(size);
    f->bitmap_data.assign(bytes.begin() + r.pos, bytes.begin() + r.pos + size);
}

void read_encodings(const std::vector<unsigned char> &bytes, pcf_font *f) {
    table t;
    if (!find_table(bytes, PCF_BDF_ENCODINGS, &t))
        fail("no encoding table");
    reader r = open_table(bytes, t);
    int min2 = r.s16(), max2 = r.s16(), min1 = r.s16(), max1 = r.s16();
    r.s16(); // default character
    // A single-byte encoding has min1 = max1 = 0: the index is the code minus min2.
    if (min1 != 0 || max1 != 0 || min2 < 0 || max2 > 255 || min2 > max2)
        fail("not a single-byte encoded font");
    f->encoding_min = min2;
    f->encoding_max = max2;
    for (int code = min2; code <= max2; code++)
        f->encoding.push_back(static_cast<int>(r.u16()));
}

void read_ascent(const std::vector<unsigned char> &bytes, pcf_font *f) {
    table t;
    if (!find_table(bytes, PCF_BDF_ACCELERATORS, &t) && !find_table(bytes, PCF_ACCELERATORS, &t))
        fail("no accelerator table");
    reader r = open_table(bytes, t);
    for (int i = 0; i < 8; i++)
        r.u8(); // flags and padding
    f->ascent = r.s32();
    if (f->ascent < 0 || f->ascent > CELL_H)
        fail("font ascent does not fit the cell");
}

// Pixel (x, y) of glyph g as stored in the PCF bitmap, whatever its bit and byte order.
bool glyph_pixel(const pcf_font &f, int g, int x, int y) {
    const metrics &m = f.glyph_metrics[g];
    int width = m.right - m.left;
    uint32_t pad = 1u << (f.bitmap_format & PCF_GLYPH_PAD_MASK);
    uint32_t unit = 1u << ((f.bitmap_format >> PCF_SCAN_UNIT_SHIFT) & 3);
    uint32_t stride = ((static_cast<uint32_t>(width) + 7) / 8 + pad - 1) / pad * pad;
    bool msb_bits = (f.bitmap_format & PCF_BIT_MASK) != 0;
    bool msb_bytes = (f.bitmap_format & PCF_BYTE_MASK) != 0;
    uint32_t byte = static_cast<uint32_t>(x) / 8;
    // Bytes inside a scan unit are in bit order unless the two orders differ.
    if (msb_bits != msb_bytes)
        byte = byte / unit * unit + (unit - 1 - byte % unit);
    size_t at = f.bitmap_offsets[g] + static_cast<size_t>(y) * stride + byte;
    if (at >= f.bitmap_data.size())
        fail("glyph bitmap outside the bitmap table");
    int bit = msb_bits ? 7 - x % 8 : x % 8;
    return (f.bitmap_data[at] >> bit) & 1;
}

// Renders the glyph of code into an 11 x 20 cell, one bit per pixel, rows of two bytes, most
// significant bit leftmost (the library's mono glyph layout). Ink outside the cell is clipped;
// codes the font lacks stay blank.
void render_cell(const pcf_font &f, int code, unsigned char *cell) {
    for (int i = 0; i < CELL_BYTES; i++)
        cell[i] = 0;
    if (code < f.encoding_min || code > f.encoding_max)
        return;
    int g = f.encoding[code - f.encoding_min];
    if (g == NO_GLYPH || g < 0 || static_cast<size_t>(g) >= f.glyph_metrics.size())
        return;
    const metrics &m = f.glyph_metrics[g];
    int width = m.right - m.left, height = m.ascent + m.descent;
    if (width <= 0 || height <= 0)
        return;
    for (int y = 0; y < height; y++) {
        int cy = f.ascent - m.ascent + y;
        for (int x = 0; x < width; x++) {
            int cx = m.left + x;
            if (cx < 0 || cx >= CELL_W || cy < 0 || cy >= CELL_H)
                continue;
            if (glyph_pixel(f, g, x, y))
                cell[cy * ROW_BYTES + cx / 8] |= static_cast<unsigned char>(0x80 >> (cx % 8));
        }
    }
}

void write_source(FILE *out, const pcf_font &f, const char *font_file) {
    const int count = END_CODE - FIRST_CODE;
    std::fprintf(out,
                 "// Generated by tools/mkguifont from %s; do not edit.\n"
                 "// The GUI font: %d glyphs of %d x %d pixels for the codes %d to %d, the one "
                 "FONT of the datafile `data`.\n\n",
                 font_file, count, CELL_W, CELL_H, FIRST_CODE, END_CODE - 1);
    std::fprintf(out, "#include <allegro.h>\n#include <allegro/internal/aintern.h>\n\n");
    std::fprintf(out, "namespace {\n\n");
    std::fprintf(out, "// Laid out as the library's FONT_GLYPH: width, height, then the rows.\n");
    std::fprintf(out, "struct glyph_cell {\n    short w, h;\n    unsigned char dat[%d];\n};\n\n",
                 CELL_BYTES);
    std::fprintf(out, "glyph_cell cells[%d] = {\n", count);
    unsigned char cell[CELL_BYTES];
    for (int code = FIRST_CODE; code < END_CODE; code++) {
        render_cell(f, code, cell);
        std::fprintf(out, "    {%d, %d, {", CELL_W, CELL_H);
        for (int i = 0; i < CELL_BYTES; i++)
            std::fprintf(out, "%s0x%02x", i ? "," : "", cell[i]);
        std::fprintf(out, "}}, // %d\n", code);
    }
    std::fprintf(out, "};\n\n");
    std::fprintf(out, "FONT_GLYPH *glyphs[%d] = {\n", count + 1);
    for (int i = 0; i < count; i++)
        std::fprintf(out, "    reinterpret_cast<FONT_GLYPH *>(&cells[%d]),\n", i);
    std::fprintf(out, "    nullptr,\n};\n\n");
    std::fprintf(out, "FONT_MONO_DATA range = {%d, %d, glyphs, nullptr};\n\n", FIRST_CODE,
                 END_CODE);
    std::fprintf(out, "// A null vtable marks a mono font; _construct_datafile installs the real "
                      "one.\n");
    std::fprintf(out, "FONT gui_font_object = {&range, %d, nullptr};\n\n", CELL_H);
    std::fprintf(out, "} // namespace\n\n");
    std::fprintf(out,
                 "DATAFILE data[] = {\n    {&gui_font_object, DAT_FONT, %ld, nullptr},\n"
                 "    {nullptr, DAT_END, 0, nullptr},\n};\n\n",
                 static_cast<long>(count) * (4 + CELL_BYTES));
    std::fprintf(out, "// Runs during static initialisation, before the main function.\n");
    std::fprintf(
        out,
        "[[maybe_unused]] const bool gui_font_constructed = (_construct_datafile(data), true);\n");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkguifont FONT.pcf[.gz] OUTPUT.cpp\n");
        return 2;
    }
    source_name = argv[1];
    std::vector<unsigned char> bytes = read_whole_file(argv[1]);
    pcf_font f;
    read_metrics(bytes, &f);
    read_bitmaps(bytes, &f);
    read_encodings(bytes, &f);
    read_ascent(bytes, &f);

    // Written beside the target and renamed, so a failed run never leaves half a source behind.
    std::string tmp = std::string(argv[2]) + ".tmp";
    FILE *out = std::fopen(tmp.c_str(), "w");
    if (!out)
        fail("cannot write " + tmp);
    const char *base = argv[1];
    for (const char *p = argv[1]; *p; p++)
        if (*p == '/')
            base = p + 1;
    write_source(out, f, base);
    if (std::fclose(out) != 0 || std::rename(tmp.c_str(), argv[2]) != 0) {
        std::remove(tmp.c_str());
        fail("cannot write " + std::string(argv[2]));
    }
    return 0;
}
