#pragma once

#include <QObject>

#include <functional>
#include <memory>

// While a StopSignals lives, an operator's Ctrl-C or a line controller's SIGTERM (on Windows:
// Ctrl-C, Ctrl-Break or closing the console) does not end the process: it asks every wait that
// watches for it to stop, so that the command can keep what it has and end on its own. The
// handler only records the signal; it never writes, exits or takes a lock. Guards may live on
// several threads at once (--all): the first installs the handler, the last restores what was
// there before, and a signal stops every watched wait until then.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Whether a stop came since the first of the live guards was made.
  bool Requested() const;
  // Calls `stopped` once from the calling thread's event loop when a stop comes (at the loop's
  // next turn if one already came), for as long as the returned watcher lives.
  std::unique_ptr<QObject> Watch(std::function<void()> stopped) const;
};
