// Loading the text of a MusicXML score: plain files are read whole; .mxl archives (zip files,
// recognised by their signature) are opened with libzip, their container names the root score,
// and every read stops at MUSICXML_MAX_BYTES whatever the archive claims about its sizes.
#include "files/musicxml_source.h"

#include <cstdio>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <zip.h>

namespace {

const char ZIP_SIGNATURE[] = "PK\x03\x04";
constexpr size_t ZIP_SIGNATURE_SIZE = 4;
constexpr long CONTAINER_MAX_BYTES = 1L << 20;
const char CONTAINER_NAME[] = "META-INF/container.xml";
constexpr size_t READ_CHUNK = 1 << 16;

int is_zip(FILE *fp) {
    char head[ZIP_SIGNATURE_SIZE];
    size_t got = std::fread(head, 1, sizeof head, fp);
    std::rewind(fp);
    return got == ZIP_SIGNATURE_SIZE && !std::memcmp(head, ZIP_SIGNATURE, ZIP_SIGNATURE_SIZE);
}

// Reads fp to its end, refusing more than max bytes.
int read_plain(FILE *fp, long max, std::vector<char> *out, const char **why) {
    char chunk[READ_CHUNK];
    size_t got;
    out->clear();
    while ((got = std::fread(chunk, 1, sizeof chunk, fp)) > 0) {
        if (static_cast<long>(out->size() + got) > max)
            return *why = "file too large (more than 32 MB)", 0;
        out->insert(out->end(), chunk, chunk + got);
    }
    if (std::ferror(fp))
        return *why = "read failed", 0;
    return 1;
}

// Reads the archive entry index, refusing more than max bytes of uncompressed data.
int read_entry(zip_t *z, zip_int64_t index, long max, std::vector<char> *out, const char **why) {
    zip_file_t *f = zip_fopen_index(z, static_cast<zip_uint64_t>(index), 0);
    if (!f)
        return *why = "archive entry cannot be opened", 0;
    char chunk[READ_CHUNK];
    zip_int64_t got;
    int ok = 1;
    out->clear();
    while ((got = zip_fread(f, chunk, sizeof chunk)) > 0) {
        if (static_cast<long>(out->size()) + got > max) {
            *why = "score in the archive too large (more than 32 MB)";
            ok = 0;
            break;
        }
        out->insert(out->end(), chunk, chunk + got);
    }
    if (ok && got < 0) {
        *why = "archive entry cannot be read";
        ok = 0;
    }
    zip_fclose(f);
    return ok;
}

int ends_with(const std::string &s, const char *tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && !s.compare(s.size() - n, n, tail);
}

// The root score named by the container, else the first .musicxml or .xml entry outside
// META-INF. -1 when there is none.
zip_int64_t find_root(zip_t *z) {
    zip_int64_t c = zip_name_locate(z, CONTAINER_NAME, 0);
    std::vector<char> text;
    const char *why = nullptr;
    if (c >= 0 && read_entry(z, c, CONTAINER_MAX_BYTES, &text, &why)) {
        pugi::xml_document doc;
        if (doc.load_buffer_inplace(text.data(), text.size())) {
            pugi::xml_node rf = doc.child("container").child("rootfiles").child("rootfile");
            zip_int64_t i = zip_name_locate(z, rf.attribute("full-path").value(), 0);
            if (i >= 0)
                return i;
        }
    }
    zip_int64_t n = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < n; i++) {
        const char *name = zip_get_name(z, static_cast<zip_uint64_t>(i), 0);
        if (!name || !std::strncmp(name, "META-INF/", 9))
            continue;
        std::string s(name);
        if (ends_with(s, ".musicxml") || ends_with(s, ".xml"))
            return i;
    }
    return -1;
}

int read_archive(const char *path, std::vector<char> *out, const char **why) {
    int err = 0;
    zip_t *z = zip_open(path, ZIP_RDONLY, &err);
    if (!z)
        return *why = "not a readable .mxl archive", 0;
    zip_int64_t root = find_root(z);
    int ok = root >= 0 ? read_entry(z, root, MUSICXML_MAX_BYTES, out, why)
                       : (*why = "no score in the .mxl archive", 0);
    zip_discard(z);
    return ok;
}

} // namespace

int load_musicxml_text(const char *path, std::vector<char> *out, const char **why) {
    FILE *fp = std::fopen(path, "rb");
    if (!fp)
        return *why = "cannot be opened", 0;
    int zip = is_zip(fp);
    int ok = zip ? 1 : read_plain(fp, MUSICXML_MAX_BYTES, out, why);
    std::fclose(fp);
    return zip ? read_archive(path, out, why) : ok;
}
