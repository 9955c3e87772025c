// Recovery copies on disk: where they live, how they are named, who owns them, and their
// header. The header lines use keywords the .seq reader ignores, so a copy reads as a score;
// the score's name is stored in hexadecimal so that any bytes of a file name survive.
#include "files/recovery.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_support.h"
#include "files/fileio.h"

namespace {

const char MAGIC[] = "plinkel_recovery";
constexpr int FORMAT = 1;
const char SUFFIX[] = ".recovery";
const char UNTITLED[] = "untitled";
constexpr mode_t DIR_MODE = 0700;
constexpr size_t MAX_BASE = 100; // bytes of the score's base name kept in a copy's name
constexpr int HEADER_LINES = 4;
constexpr int HEADER_LINE_SIZE = 2 * RECOVERY_NAME_SIZE + 64;
// Field 22 of /proc/PID/stat is the start time: 20 blanks after the closing parenthesis.
constexpr int STAT_FIELDS_AFTER_NAME = 20;

int absolute_env(const char *name, std::string *out) {
    const char *v = std::getenv(name);
    if (!v || v[0] != '/')
        return 0;
    *out = v;
    return 1;
}

// The start time of process pid in clock ticks since boot; 0 when it cannot be read.
unsigned long long process_start(long pid) {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%ld/stat", pid);
    FILE *fp = std::fopen(name, "r");
    if (!fp)
        return 0;
    char line[1024];
    unsigned long long start = 0;
    if (std::fgets(line, sizeof line, fp)) {
        // The command name may hold blanks and parentheses: count from the last ')'.
        char *p = std::strrchr(line, ')');
        for (int i = 0; p && i < STAT_FIELDS_AFTER_NAME; i++)
            p = std::strchr(p + 1, ' ');
        if (p)
            start = std::strtoull(p + 1, nullptr, 10);
    }
    std::fclose(fp);
    return start;
}

void read_boot_id(char *out) {
    out[0] = '\0';
    FILE *fp = std::fopen("/proc/sys/kernel/random/boot_id", "r");
    if (!fp)
        return;
    if (std::fscanf(fp, "%39s", out) != 1)
        out[0] = '\0';
    std::fclose(fp);
}

std::string hex_of(const std::string &s) {
    static const char digits[] = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h += digits[c >> 4];
        h += digits[c & 15];
    }
    return h;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int unhex(const char *h, std::string *out) {
    out->clear();
    size_t n = std::strlen(h);
    if (n % 2 || n / 2 >= RECOVERY_NAME_SIZE)
        return 0;
    for (size_t i = 0; i < n; i += 2) {
        int hi = hex_value(h[i]), lo = hex_value(h[i + 1]);
        if (hi < 0 || lo < 0)
            return 0;
        *out += static_cast<char>(hi * 16 + lo);
    }
    return !out->empty();
}

// A base name that is safe and short inside a file name of the copy directory.
std::string safe_base(const char *score_name) {
    const char *slash = std::strrchr(score_name, '/');
    std::string base = slash ? slash + 1 : score_name;
    if (base.empty() || base == "." || base == "..")
        base = UNTITLED;
    if (base.size() > MAX_BASE)
        base.resize(MAX_BASE);
    return base;
}

void append_header(std::string *out, const char *score_name, const recovery_owner &o) {
    char line[RECOVERY_BOOT_ID_SIZE + 128];
    std::snprintf(line, sizeof line, "%s %d\n", MAGIC, FORMAT);
    *out += line;
    *out += "file " + hex_of(score_name) + "\n";
    std::snprintf(line, sizeof line, "owner %ld %llu %s\nsaved %lld\n", o.pid, o.start,
                  o.boot[0] ? o.boot : "-", static_cast<long long>(std::time(nullptr)));
    *out += line;
}

int parse_header_line(const char *line, recovery_copy *c, int index) {
    char word[RECOVERY_NAME_SIZE * 2 + 1];
    switch (index) {
    case 0: {
        int format = 0;
        return std::sscanf(line, "plinkel_recovery %d", &format) == 1 && format == FORMAT;
    }
    case 1:
        return std::sscanf(line, "file %8192s", word) == 1 && unhex(word, &c->score_name);
    case 2: {
        char boot[RECOVERY_BOOT_ID_SIZE];
        if (std::sscanf(line, "owner %ld %llu %39s", &c->owner.pid, &c->owner.start, boot) != 3)
            return 0;
        std::snprintf(c->owner.boot, sizeof c->owner.boot, "%s",
                      std::strcmp(boot, "-") ? boot : "");
        return c->owner.pid > 0;
    }
    default:
        return std::sscanf(line, "saved %lld", &c->saved_at) == 1;
    }
}

int has_suffix(const char *name) {
    size_t n = std::strlen(name), k = sizeof SUFFIX - 1;
    return n > k && !std::strcmp(name + n - k, SUFFIX);
}

} // namespace

int recovery_dir(char *out, size_t size) {
    std::string base;
    if (absolute_env("XDG_STATE_HOME", &base))
        base += "/plinkel/recovery";
    else if (absolute_env("HOME", &base))
        base += "/.local/state/plinkel/recovery";
    else
        return 0;
    if (base.size() + 1 > size)
        return 0;
    std::memcpy(out, base.c_str(), base.size() + 1);
    return 1;
}

int make_recovery_dir(const char *dir) {
    std::string p(dir);
    for (size_t i = 1; i <= p.size(); i++) {
        if (i < p.size() && p[i] != '/')
            continue;
        std::string part = p.substr(0, i);
        if (mkdir(part.c_str(), DIR_MODE) != 0 && errno != EEXIST)
            return 0;
    }
    struct stat st;
    return stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
}

recovery_owner recovery_self() {
    recovery_owner o;
    o.pid = static_cast<long>(getpid());
    o.start = process_start(o.pid);
    read_boot_id(o.boot);
    return o;
}

int owner_alive(const recovery_owner &o) {
    if (o.pid <= 0 || o.pid > INT_MAX)
        return 0;
    char boot[RECOVERY_BOOT_ID_SIZE];
    read_boot_id(boot);
    if (o.boot[0] && boot[0] && std::strcmp(o.boot, boot))
        return 0;
    if (kill(static_cast<pid_t>(o.pid), 0) != 0 && errno == ESRCH)
        return 0;
    unsigned long long start = process_start(o.pid);
    return !start || !o.start || start == o.start;
}

std::string absolute_score_name(const char *name) {
    if (!name[0] || !std::strcmp(name, UNTITLED))
        return UNTITLED;
    char resolved[PATH_MAX];
    if (realpath(name, resolved))
        return resolved;
    if (name[0] == '/')
        return name;
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        return name;
    return std::string(cwd) + "/" + name;
}

std::string recovery_copy_path(const char *dir, const char *score_name, const recovery_owner &o) {
    char owner[64];
    std::snprintf(owner, sizeof owner, ".%ld-%llu", o.pid, o.start);
    return std::string(dir) + "/" + safe_base(score_name) + owner + SUFFIX;
}

std::string recovery_text(const char *score_name, const recovery_owner &o, score *s) {
    std::string text;
    append_header(&text, score_name, o);
    seq_text(s, &text);
    return text;
}

int write_recovery_text(const char *copy_path, const std::string &text, char *why,
                        size_t why_size) {
    output_file out;
    errno = 0;
    if (!open_output(&out, copy_path)) {
        std::snprintf(why, why_size, "%s", std::strerror(errno ? errno : EINVAL));
        return 0;
    }
    int ok = std::fwrite(text.data(), 1, text.size(), out.fp) == text.size();
    errno = 0;
    if (!finish_output(&out, ok)) {
        std::snprintf(why, why_size, "%s", std::strerror(errno ? errno : EIO));
        return 0;
    }
    why[0] = '\0';
    return 1;
}

int write_recovery_copy(const char *copy_path, const char *score_name, const recovery_owner &o,
                        score *s, char *why, size_t why_size) {
    return write_recovery_text(copy_path, recovery_text(score_name, o, s), why, why_size);
}

int read_recovery_header(const char *copy_path, recovery_copy *out) {
    FILE *fp = std::fopen(copy_path, "r");
    if (!fp)
        return 0;
    *out = recovery_copy();
    out->path = copy_path;
    static char line[HEADER_LINE_SIZE];
    int ok = 1;
    for (int i = 0; ok && i < HEADER_LINES; i++)
        ok = std::fgets(line, sizeof line, fp) && parse_header_line(line, out, i);
    std::fclose(fp);
    return ok;
}

std::vector<recovery_copy> list_recovery_copies(const char *dir) {
    std::vector<recovery_copy> copies;
    DIR *d = opendir(dir);
    if (!d)
        return copies;
    while (struct dirent *e = readdir(d)) {
        if (!has_suffix(e->d_name))
            continue;
        recovery_copy c;
        std::string p = std::string(dir) + "/" + e->d_name;
        if (read_recovery_header(p.c_str(), &c))
            copies.push_back(c);
    }
    closedir(d);
    std::sort(copies.begin(), copies.end(), [](const recovery_copy &a, const recovery_copy &b) {
        return a.saved_at != b.saved_at ? a.saved_at > b.saved_at : a.path < b.path;
    });
    return copies;
}

std::vector<recovery_copy> orphaned_copies(const char *dir, const char *score_name) {
    std::vector<recovery_copy> left;
    std::string wanted = score_name ? absolute_score_name(score_name) : std::string();
    for (const recovery_copy &c : list_recovery_copies(dir))
        if (!owner_alive(c.owner) && (!score_name || c.score_name == wanted))
            left.push_back(c);
    return left;
}
