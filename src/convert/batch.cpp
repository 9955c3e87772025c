// Batch conversion: a pool of child processes (the readers and writers work on one global
// score, so files are converted side by side in separate processes, not threads), each child's
// standard error kept in a scratch file and copied out when it ends.
#include "convert/batch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int BAR_WIDTH = 30;

struct running_job {
    size_t index;
    FILE *messages; // the child's standard error
};

void copy_messages(FILE *messages) {
    std::rewind(messages);
    char line[1024];
    while (std::fgets(line, sizeof line, messages))
        std::fputs(line, stderr);
    std::fclose(messages);
}

void draw_bar(size_t done, size_t total) {
    int filled = static_cast<int>(done * BAR_WIDTH / total);
    std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled, "##############################",
                 BAR_WIDTH - filled, "", done, total);
    std::fflush(stderr);
}

void clear_bar() {
    std::fputs("\r\033[K", stderr);
}

// Forks a child for jobs[index]; the parent keeps its scratch file of messages.
bool start_job(const std::vector<batch_job> &jobs, size_t index,
               int (*convert_one)(const batch_job &), std::map<pid_t, running_job> *running) {
    FILE *messages = std::tmpfile();
    if (!messages)
        return false;
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        std::fclose(messages);
        return false;
    }
    if (pid == 0) {
        dup2(fileno(messages), STDERR_FILENO);
        std::exit(convert_one(jobs[index]));
    }
    (*running)[pid] = {index, messages};
    return true;
}

// Waits for one child; true when it converted its file.
bool finish_job(const std::vector<batch_job> &jobs, std::map<pid_t, running_job> *running,
                bool bar) {
    int status = 0;
    pid_t pid;
    while ((pid = waitpid(-1, &status, 0)) < 0 && errno == EINTR)
        ;
    auto it = running->find(pid);
    if (it == running->end())
        return false;
    bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    long said = std::ftell(it->second.messages);
    if (bar && said > 0)
        clear_bar();
    copy_messages(it->second.messages);
    if (!ok && said <= 0)
        std::fprintf(stderr, "plinkel-convert: %s: the conversion stopped (status %d)\n",
                     jobs[it->second.index].input.c_str(), status);
    running->erase(it);
    return ok;
}

} // namespace

std::string batch_output_name(const std::string &dir, const std::string &input,
                              const std::string &format) {
    size_t slash = input.rfind('/');
    std::string base = slash == std::string::npos ? input : input.substr(slash + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0)
        base.erase(dot);
    std::string joined = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    return joined + base + "." + format;
}

int run_batch(const std::vector<batch_job> &jobs, int parallel,
              int (*convert_one)(const batch_job &)) {
    bool bar = isatty(STDERR_FILENO);
    std::map<pid_t, running_job> running;
    size_t next = 0, done = 0, failed = 0;
    if (bar)
        draw_bar(0, jobs.size());
    while (done < jobs.size()) {
        while (static_cast<int>(running.size()) < parallel && next < jobs.size()) {
            if (!start_job(jobs, next, convert_one, &running)) {
                std::fprintf(stderr, "plinkel-convert: %s: no process could be started\n",
                             jobs[next].input.c_str());
                failed++;
                done++;
            }
            next++;
        }
        if (running.empty())
            continue;
        if (!finish_job(jobs, &running, bar))
            failed++;
        done++;
        if (bar)
            draw_bar(done, jobs.size());
    }
    if (bar)
        clear_bar();
    std::printf("plinkel-convert: %zu of %zu files converted, %zu failed\n", jobs.size() - failed,
                jobs.size(), failed);
    return failed ? 1 : 0;
}
