// The editor's millisecond clock: a library timer increments msec every millisecond, and every
// user of time reads it against a base of its own.
#pragma once

extern volatile int msec;

void inc_msec();
// Milliseconds since the private base; with reset non-zero the base becomes now.
int get_time(int reset);
// Milliseconds since *base; with reset 1 *base becomes now.
int get_time2(int *base, int reset);
int get_tick();
// Milliseconds on msec's scale read straight from the monotonic clock, to the microsecond: what
// msec will read once the timer has caught up.
double precise_tick();
// The repeat guard of held keys: 1 when more than interval ms have passed since *base, which
// then becomes now; 0 (base kept) otherwise.
int time_passed(int *base, int interval);
// Makes now the clock's zero: msec becomes 0.
void reset_clock();
// Starts the clock at zero and installs inc_msec as a 1 ms library timer. Returns 0 on success.
int start_clock();
