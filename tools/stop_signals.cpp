#include "tools/stop_signals.h"

#include <atomic>

#ifdef _WIN32
#include <QWinEventNotifier>

#include <windows.h>
#else
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#endif

namespace {

std::atomic<bool> requested{false};

// The notifier calls `activated` at its first wake only: what woke it stays set.
template <typename Notifier>
std::unique_ptr<QObject> WakingOnce(std::unique_ptr<Notifier> notifier,
                                    const std::function<void()>& activated) {
  QObject::connect(notifier.get(), &Notifier::activated, notifier.get(),
                   [n = notifier.get(), activated] {
                     n->setEnabled(false);
                     activated();
                   });
  return notifier;
}

#ifdef _WIN32

// Manual-reset events that live as long as the process: a handler may still be running on the
// system's thread when the guard goes.
HANDLE stopEvent = nullptr;
HANDLE releasedEvent = nullptr;  // set when the guard goes

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  requested = true;
  SetEvent(stopEvent);
  // The system ends the process as soon as the handler of a closed console returns: the record
  // is kept first, within the few seconds the system allows.
  if (type == CTRL_CLOSE_EVENT) WaitForSingleObject(releasedEvent, 4000);
  return TRUE;
}

void Install() {
  if (!stopEvent) stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!releasedEvent) releasedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!stopEvent || !releasedEvent) return;  // without them Ctrl-C keeps its default
  ResetEvent(stopEvent);
  ResetEvent(releasedEvent);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void Restore() {
  if (!stopEvent || !releasedEvent) return;
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  SetEvent(releasedEvent);
}

std::unique_ptr<QObject> Notifier(const std::function<void()>& activated) {
  if (!stopEvent) return std::make_unique<QObject>();
  return WakingOnce(std::make_unique<QWinEventNotifier>(stopEvent), activated);
}

#else

constexpr std::array<int, 2> kStopSignals = {SIGINT, SIGTERM};
std::array<struct sigaction, kStopSignals.size()> previous{};
// The handler writes a byte per signal and nobody reads them: the read end stays readable until
// the guard closes both ends.
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void OnStopSignal(int) {
  const int savedErrno = errno;
  requested = true;
  const char byte = 0;
  // A full pipe is readable already: a byte not written loses nothing.
  [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
  errno = savedErrno;
}

void Install() {
  int ends[2];
  if (::pipe(ends) != 0) return;  // without a pipe the signals keep their default
  for (int fd : ends) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  wakeRead = ends[0];
  wakeWrite = ends[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i)
    ::sigaction(kStopSignals[i], &action, &previous[i]);
}

void Restore() {
  if (wakeRead < 0) return;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i)
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
  ::close(wakeRead);
  ::close(wakeWrite);
  wakeRead = wakeWrite = -1;
}

std::unique_ptr<QObject> Notifier(const std::function<void()>& activated) {
  if (wakeRead < 0) return std::make_unique<QObject>();
  return WakingOnce(std::make_unique<QSocketNotifier>(wakeRead, QSocketNotifier::Read), activated);
}

#endif

}  // namespace

StopSignals::StopSignals() {
  requested = false;
  Install();
}

StopSignals::~StopSignals() { Restore(); }

bool StopSignals::Requested() const { return requested; }

std::unique_ptr<QObject> StopSignals::Watch(std::function<void()> stopped) const {
  return Notifier(stopped);
}
