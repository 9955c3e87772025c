// Engraving through LilyPond. The source is written into a fresh scratch directory, lilypond
// runs there as a child process watched ten times a second (the progress hook may cancel it),
// and only a complete result is copied to the chosen name; the scratch directory always goes.
#include "files/engrave.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "base/strutil.h"
#include "files/file_support.h"
#include "files/gm_names.h"
#include "files/lilypond.h"

extern char **environ;

engrave_progress_fn engrave_progress_hook = nullptr;

namespace {

const char LILYPOND[] = "lilypond";
const char DEFAULT_PAPER[] = "a4";
const char SYSTEM_PAPER_FILE[] = "/etc/papersize";
constexpr long POLL_NANOSECONDS = 100 * 1000 * 1000;
constexpr double NANOSECONDS = 1e9;
constexpr size_t COPY_BUFFER = 1 << 16;
constexpr size_t PAPER_NAME_MAX = 32;

struct format_info {
    const char *ext;
    const char *option;  // lilypond's output option
    const char *product; // what it appends to the name of a source for its result
};
const format_info FORMATS[] = {
    {"", "", ""},
    {".pdf", "--pdf", ".pdf"},
    {".png", "--png", ".cropped.png"},
    {".svg", "--svg", ".cropped.svg"},
};

// The scratch name of job k's source, without ".ly".
std::string job_base(const std::string &dir, size_t k) {
    return dir + "/score-" + std::to_string(k);
}

bool plain_name(const std::string &name) {
    if (name.empty() || name.size() > PAPER_NAME_MAX)
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string first_word_of(const char *file) {
    std::ifstream in(file);
    std::string word;
    if (in)
        in >> word;
    return word;
}

double seconds_since(const timespec &start) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) +
           static_cast<double>(now.tv_nsec - start.tv_nsec) / NANOSECONDS;
}

// The scratch directory and everything in it (LilyPond writes no subdirectories).
void remove_scratch(const std::string &dir) {
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                unlink((dir + "/" + e->d_name).c_str());
        closedir(d);
    }
    rmdir(dir.c_str());
}

// The first line of LilyPond's log that reports an error, else its last line.
std::string failure_line(const std::string &log) {
    std::ifstream in(log);
    std::string line, last;
    while (std::getline(in, line)) {
        if (line.find("error") != std::string::npos)
            return line;
        if (!line.empty())
            last = line;
    }
    return last;
}

// Starts lilypond in dir on the sources of count jobs, its output going to dir/lilypond.log.
// Returns its process id, or -1 (told) when it cannot be started.
pid_t spawn_lilypond(const std::string &dir, size_t count, engrave_format format) {
    // LilyPond runs in dir: its --output option would name the results of further sources
    // after the directory itself.
    std::string log = dir + "/lilypond.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, S_IRUSR | S_IWUSR);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<std::string> sources;
    for (size_t k = 0; k < count; k++)
        sources.push_back(job_base(".", k) + ".ly");
    std::vector<const char *> argv = {LILYPOND, "--loglevel=WARNING", FORMATS[format].option,
                                      format == ENGRAVE_PDF ? "-dno-crop" : "-dcrop"};
    for (const std::string &source : sources)
        argv.push_back(source.c_str());
    argv.push_back(nullptr);
    // A group of its own, so that a cancel stops the helpers LilyPond starts too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid;
    int spawned = posix_spawnp(&pid, LILYPOND, &actions, &attributes,
                               const_cast<char **>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned == 0)
        return pid;
    file_message("cannot start lilypond: %s", std::strerror(spawned));
    return -1;
}

// Waits for lilypond, asking the progress hook ten times a second. Returns 1 when it finished
// well, 0 (told) when it failed or was cancelled (then stopped with its helpers).
int wait_for_lilypond(pid_t pid, const std::string &dir) {
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const timespec pause = {0, POLL_NANOSECONDS};
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            file_message("lilypond was lost: %s", std::strerror(errno));
            return 0;
        }
        if (engrave_progress_hook && !engrave_progress_hook(seconds_since(start))) {
            kill(-pid, SIGTERM);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
                continue;
            file_message("engraving cancelled: nothing was written");
            return 0;
        }
        nanosleep(&pause, nullptr);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return 1;
    file_message("lilypond failed: %s", failure_line(dir + "/lilypond.log").c_str());
    return 0;
}

int run_lilypond(const std::string &dir, size_t count, engrave_format format) {
    pid_t pid = spawn_lilypond(dir, count, format);
    return pid > 0 && wait_for_lilypond(pid, dir);
}

} // namespace

int copy_result(const char *result, const char *path) {
    FILE *in = std::fopen(result, "rb");
    if (!in) {
        file_message("lilypond wrote no %s", result);
        return 0;
    }
    output_file out;
    if (!open_output(&out, path)) {
        std::fclose(in);
        return 0;
    }
    static char buffer[COPY_BUFFER];
    size_t n;
    int ok = 1;
    while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, n, out.fp) == n;
    ok = ok && !std::ferror(in);
    std::fclose(in);
    return finish_output(&out, ok);
}

namespace {

std::string scratch_directory() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/plinkel-engrave-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : std::string();
}

} // namespace

engrave_format engrave_format_of(const char *path) {
    const char *dot = path_extension(path);
    if (!dot)
        return ENGRAVE_NONE;
    for (int f = ENGRAVE_PDF; f <= ENGRAVE_SVG; f++)
        if (!strcasecmp(dot, FORMATS[f].ext))
            return static_cast<engrave_format>(f);
    return ENGRAVE_NONE;
}

std::string environment_paper_size() {
    const char *env = std::getenv("PAPERSIZE");
    if (env && plain_name(env))
        return env;
    const char *conf = std::getenv("PAPERCONF");
    std::string word = first_word_of(conf && *conf ? conf : SYSTEM_PAPER_FILE);
    return plain_name(word) ? word : DEFAULT_PAPER;
}

int program_on_path(const char *name) {
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0;;) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
        if (access(((dir.empty() ? "." : dir) + "/" + name).c_str(), X_OK) == 0)
            return 1;
        if (end == std::string::npos)
            return 0;
        start = end + 1;
    }
}

int lilypond_ready() {
    if (program_on_path(LILYPOND))
        return 1;
    file_message("cannot engrave: lilypond is not installed (install the Debian package "
                 "\"lilypond\")");
    return 0;
}

std::vector<engrave_job> engrave_jobs(const char *score_path, int parts) {
    std::vector<engrave_job> jobs;
    setup_engraved_score(score_path);
    jobs.push_back({score_path, ly_setup});
    int number = 0;
    for (int t = 0; parts && t < g_score.track_num && t < MAX_TRACKS; t++) {
        if (!track_shown(t))
            continue;
        setup_engraved_part(score_path, t);
        jobs.push_back({part_path(score_path, ++number, t), ly_setup});
    }
    return jobs;
}

// Every source first, then one run of LilyPond for all (it starts slowly), then the results.
int engrave_all(const std::vector<engrave_job> &jobs, score *s, engrave_format format,
                engrave_place_fn place) {
    if (format == ENGRAVE_NONE || jobs.empty() || !lilypond_ready())
        return 0;
    std::string dir = scratch_directory();
    if (dir.empty()) {
        file_message("cannot engrave: no scratch directory (%s)", std::strerror(errno));
        return 0;
    }
    int ok = 1;
    for (size_t k = 0; ok && k < jobs.size(); k++) {
        ly_setup = jobs[k].setup;
        ok = write_lilypond((job_base(dir, k) + ".ly").c_str(), s);
    }
    ok = ok && run_lilypond(dir, jobs.size(), format);
    for (size_t k = 0; ok && k < jobs.size(); k++)
        ok = place((job_base(dir, k) + FORMATS[format].product).c_str(), jobs[k].path.c_str());
    remove_scratch(dir);
    return ok;
}

int write_engraved(const char *path, score *s, engrave_format format) {
    return engrave_all({{path, ly_setup}}, s, format, copy_result);
}

int write_pdf(const char *path, score *s) {
    engrave_format format = engrave_format_of(path);
    return write_engraved(path, s, format == ENGRAVE_NONE ? ENGRAVE_PDF : format);
}

std::string part_path(const char *score_path, int number, int track) {
    const char *dot = path_extension(score_path);
    std::string ext = dot ? dot : ".pdf";
    std::string base(score_path,
                     dot ? static_cast<size_t>(dot - score_path) : std::strlen(score_path));
    std::string name =
        gm_instrument_name(track >= 0 && track < MAX_TRACKS ? g_score.tracks[track].patch : -1);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return base + "-" + std::to_string(number) + "-" + name + ext;
}

void setup_engraved_score(const char *path) {
    std::string title = path;
    size_t slash = title.rfind('/');
    if (slash != std::string::npos)
        title.erase(0, slash + 1);
    size_t dot = title.rfind('.');
    if (dot != std::string::npos && dot > 0)
        title.erase(dot);
    ly_setup.title = title;
    ly_setup.subtitle.clear();
    ly_setup.paper = environment_paper_size();
    ly_setup.part = -1;
}

void setup_engraved_part(const char *score_path, int track) {
    setup_engraved_score(score_path);
    ly_setup.subtitle = gm_instrument_name(g_score.tracks[track].patch);
    ly_setup.part = track;
}
