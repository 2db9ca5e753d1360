#include "bench/process_usage.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>

#include <QFile>
#endif

#ifdef _WIN32
namespace {
PROCESS_MEMORY_COUNTERS MemoryCounters() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) counters = {};
  return counters;
}

double Seconds(const FILETIME& t) {
  const ULARGE_INTEGER ticks{{t.dwLowDateTime, t.dwHighDateTime}};
  return static_cast<double>(ticks.QuadPart) / 1e7;  // 100 ns ticks
}
}  // namespace

long PeakRssKiB() { return static_cast<long>(MemoryCounters().PeakWorkingSetSize / 1024); }

long CurrentRssKiB() { return static_cast<long>(MemoryCounters().WorkingSetSize / 1024); }

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  return Seconds(kernel) + Seconds(user);
}
#else
long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long CurrentRssKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
#endif
