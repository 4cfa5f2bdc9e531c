#pragma once

#include <ctime>

// CPU time of this thread: the machine is shared, so wall time mostly measures the others.
struct CpuTimer
{
    double start = now();
    static double now()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }
    double ms() const { return now() - start; }
};
