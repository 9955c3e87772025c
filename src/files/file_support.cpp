// Shared support of the score-file readers and writers: user messages, traces, limits, handing a
// read score over, output files renamed into place when complete, packfiles over stdio streams.
#include "files/file_support.h"

#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "model/invariants.h"
#include "model/tie.h"
#include "model/voice.h"

file_message_fn file_message_hook = nullptr;
int file_trace_on = 1;

constexpr int MESSAGE_SIZE = 1024;
constexpr mode_t NEW_FILE_MODE = 0666;

void file_message(const char *fmt, ...) {
    char text[MESSAGE_SIZE];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    if (file_message_hook)
        file_message_hook(text);
    else
        std::fprintf(stderr, "%s\n", text);
}

void file_trace(const char *fmt, ...) {
    if (!file_trace_on)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
}

int file_size_acceptable(const char *path, FILE *fp) {
    struct stat st;
    if (fstat(fileno(fp), &st) != 0) {
        file_message("%s: cannot be read", path);
        return 0;
    }
    if (st.st_size <= SCORE_FILE_MAX_BYTES)
        return 1;
    file_message("%s: larger than %ld bytes, the limit of a score file", path,
                 SCORE_FILE_MAX_BYTES);
    return 0;
}

void commit_read_score(score *s, measure_list staged, int tempo, int track_count,
                       const track_info_t *tracks) {
    destroy_score(s);
    s->measures = staged;
    s->ref_measure = s->cursor_measure = s->measures.head;
    s->default_tempo = tempo;
    s->track_num = track_count;
    for (int i = 0; i < MAX_TRACKS; i++)
        s->tracks[i] = tracks[i];
    tracks_of_score validating(s);
    score_expand_by_measure(s);
    for (measure *m = s->measures.head; m; m = m->next)
        validate_measure(m);
}

void check_read_score(score *s, const char *what) {
    tracks_of_score validating(s);
    check_score(s, what);
}

int score_size_acceptable(const char *path, measure *first) {
    int measures = 0;
    int64_t events = 0;
    for (measure *m = first; m; m = m->next) {
        measures++;
        events += m->m_events.num;
    }
    if (events > SCORE_MAX_EVENTS) {
        file_message("%s: more than %d tempo events, the limit of a score", path, SCORE_MAX_EVENTS);
        return 0;
    }
    expansion_size size = score_expansion_size(first, SCORE_MAX_PIECES);
    if (size.pieces > SCORE_MAX_PIECES) {
        file_message("%s: the notes would be split into more than %lld tied pieces, the limit of "
                     "a score",
                     path, static_cast<long long>(SCORE_MAX_PIECES));
        return 0;
    }
    if (static_cast<int64_t>(measures) + size.appended_measures > SCORE_MAX_MEASURES) {
        file_message("%s: more than %d measures, the limit of a score", path, SCORE_MAX_MEASURES);
        return 0;
    }
    return 1;
}

int open_output(output_file *out, const char *path) {
    out->fp = nullptr;
    size_t n = std::strlen(path);
    static const char suffix[] = ".tmpXXXXXX";
    if (n == 0 || n + sizeof suffix > OUTPUT_PATH_SIZE)
        return 0;
    std::memcpy(out->final_path, path, n + 1);
    std::memcpy(out->tmp_path, path, n);
    std::memcpy(out->tmp_path + n, suffix, sizeof suffix);
    int fd = mkstemp(out->tmp_path);
    if (fd < 0)
        return 0;
    // mkstemp makes the file private; give it what an ordinary new file would get.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, NEW_FILE_MODE & ~mask);
    out->fp = fdopen(fd, "wb");
    if (!out->fp) {
        close(fd);
        std::remove(out->tmp_path);
        return 0;
    }
    return 1;
}

void sync_directory_of(const char *path) {
    char dir[OUTPUT_PATH_SIZE];
    std::snprintf(dir, sizeof dir, "%s", path);
    char *slash = std::strrchr(dir, '/');
    if (!slash)
        std::snprintf(dir, sizeof dir, ".");
    else if (slash == dir)
        dir[1] = '\0';
    else
        *slash = '\0';
    int fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

int finish_output(output_file *out, int ok) {
    if (!out->fp)
        return 0;
    // The contents reach the disk before the new name does: after a power cut the final name
    // holds the old file or the complete new one.
    if (std::fflush(out->fp) != 0 || std::ferror(out->fp) || fsync(fileno(out->fp)) != 0)
        ok = 0;
    if (std::fclose(out->fp) != 0)
        ok = 0;
    out->fp = nullptr;
    if (ok && std::rename(out->tmp_path, out->final_path) == 0) {
        sync_directory_of(out->final_path);
        return 1;
    }
    int err = errno;
    std::remove(out->tmp_path);
    errno = err;
    return 0;
}

// The packfile vtable over a stdio stream. userdata is a stdio_pack record.
namespace {

struct stdio_pack {
    FILE *fp;
    int owns_fp;
};

FILE *fp_of(void *userdata) {
    return static_cast<stdio_pack *>(userdata)->fp;
}

int sp_fclose(void *userdata) {
    stdio_pack *sp = static_cast<stdio_pack *>(userdata);
    int result = 0;
    if (sp->owns_fp)
        result = std::fclose(sp->fp);
    else if (std::fflush(sp->fp) != 0)
        result = EOF;
    std::free(sp);
    return result;
}

int sp_getc(void *userdata) {
    return std::fgetc(fp_of(userdata));
}
int sp_ungetc(int c, void *userdata) {
    return std::ungetc(c, fp_of(userdata));
}
long sp_fread(void *p, long n, void *userdata) {
    return static_cast<long>(std::fread(p, 1, static_cast<size_t>(n), fp_of(userdata)));
}
int sp_putc(int c, void *userdata) {
    return std::fputc(c, fp_of(userdata));
}
long sp_fwrite(const void *p, long n, void *userdata) {
    return static_cast<long>(std::fwrite(p, 1, static_cast<size_t>(n), fp_of(userdata)));
}
int sp_fseek(void *userdata, int offset) {
    return std::fseek(fp_of(userdata), offset, SEEK_CUR);
}
int sp_feof(void *userdata) {
    return std::feof(fp_of(userdata));
}
int sp_ferror(void *userdata) {
    return std::ferror(fp_of(userdata));
}

PACKFILE_VTABLE stdio_vtable = {sp_fclose, sp_getc,  sp_ungetc, sp_fread, sp_putc,
                                sp_fwrite, sp_fseek, sp_feof,   sp_ferror};

} // namespace

PACKFILE *pack_from_stdio(FILE *fp, int owns_fp) {
    if (!fp)
        return nullptr;
    stdio_pack *sp = static_cast<stdio_pack *>(std::malloc(sizeof(stdio_pack)));
    if (!sp)
        return nullptr;
    sp->fp = fp;
    sp->owns_fp = owns_fp;
    PACKFILE *f = pack_fopen_vtable(&stdio_vtable, sp);
    if (!f)
        std::free(sp);
    return f;
}

PACKFILE *pack_open_path(const char *path, const char *mode) {
    FILE *fp = std::fopen(path, mode);
    if (!fp)
        return nullptr;
    PACKFILE *f = pack_from_stdio(fp, 1);
    if (!f)
        std::fclose(fp);
    return f;
}
