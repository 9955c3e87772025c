// The millisecond clock. inc_msec runs on the library's timer thread and only increments one
// aligned int; everything else reads it from the main thread without locks.
#include "editor/clock.h"

#include <allegro.h>

volatile int msec = 0;
static int bmsec = 0;

void inc_msec() { msec = msec + 1; }
END_OF_FUNCTION(inc_msec)

int get_time(int reset) { return get_time2(&bmsec, reset); }

int get_time2(int *base, int reset) {
    int now = msec;
    int elapsed = now - *base;
    if (reset == 1)
        *base = now;
    return elapsed;
}

int get_tick() { return msec; }

int start_clock() {
    LOCK_VARIABLE(msec);
    LOCK_FUNCTION(inc_msec);
    return install_int(inc_msec, 1);
}
