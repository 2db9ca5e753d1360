#pragma once

#include <QObject>

#include <functional>
#include <memory>

// While a StopSignals lives, an operator's Ctrl-C or a line controller's SIGTERM (on Windows:
// Ctrl-C, Ctrl-Break or closing the console) does not end the process: it asks the wait that
// watches for it to stop, so that the command keeps what it has and ends on its own. The
// handler only records the signal; it never writes a file, exits or takes a lock, and a second
// signal only asks again. The destructor restores what was there before. One at a time, made
// and watched on one thread.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Whether a stop came since this guard was made.
  bool Requested() const;
  // Calls `stopped` once from the event loop when a stop comes (at the loop's next turn if one
  // already came), for as long as the returned watcher lives.
  std::unique_ptr<QObject> Watch(std::function<void()> stopped) const;
};
