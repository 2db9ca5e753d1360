#pragma once

// The process's own memory and processor time, as the benchmarks print them, on Linux and
// Windows alike. A figure the platform cannot give is -1.

// Peak resident memory (Windows: peak working set) so far, in KiB.
long PeakRssKiB();
// Resident memory (Windows: working set) right now, in KiB.
long CurrentRssKiB();
// Processor time used so far, user and system together, in seconds.
double CpuSeconds();
