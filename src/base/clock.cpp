// The millisecond clock. inc_msec runs on the library's timer thread and only writes one aligned
// int; everything else reads it from the main thread without locks.
#include "base/clock.h"

#include <allegro.h>
#include <ctime>

volatile int msec = 0;
static int bmsec = 0;
static timespec clock_start;

static double ms_since_start(const timespec &now) {
    return (now.tv_sec - clock_start.tv_sec) * 1000.0 + (now.tv_nsec - clock_start.tv_nsec) / 1e6;
}

// The library's timer thread skips fractions of a period under load, so counting callbacks would
// fall behind real time (about 0.75 ms a second on a busy machine) and playback would drift
// late. Each callback therefore sets msec to the whole milliseconds elapsed on the monotonic
// clock: it still advances once a millisecond and never goes back.
void inc_msec() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long ms = (now.tv_sec - clock_start.tv_sec) * 1000LL +
                   (now.tv_nsec - clock_start.tv_nsec) / 1000000LL;
    if (ms > msec)
        msec = static_cast<int>(ms);
}
END_OF_FUNCTION(inc_msec)

int get_time(int reset) {
    return get_time2(&bmsec, reset);
}

int get_time2(int *base, int reset) {
    int now = msec;
    int elapsed = now - *base;
    if (reset == 1)
        *base = now;
    return elapsed;
}

int get_tick() {
    return msec;
}

double precise_tick() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return ms_since_start(now);
}

int time_passed(int *base, int interval) {
    if (get_time2(base, 0) <= interval)
        return 0;
    get_time2(base, 1);
    return 1;
}

void reset_clock() {
    clock_gettime(CLOCK_MONOTONIC, &clock_start);
    msec = 0;
}

int start_clock() {
    reset_clock();
    LOCK_VARIABLE(msec);
    LOCK_FUNCTION(inc_msec);
    return install_int(inc_msec, 1);
}
