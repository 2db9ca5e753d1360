#pragma once

#include <QString>

// How a veld32ctl run ends. The numbers are the tool's exit statuses, which scripts rely on.
enum class ExitStatus {
  Success = 0,
  CheckFailed =
      1,  // a pass limit not below its fail limit, or an upload the tester did not confirm
  Usage = 2,
  NoTester = 3,
  LinkFailure = 4,  // a failed driver call, a refused open, or a reply that did not come in time
  FileFailure = 5,  // a file that cannot be read or written, or holds none of the expected sections
  Stopped = 130,    // a run stopped by SIGINT or SIGTERM (Ctrl-C), as shells report SIGINT
};

// The outcome of one step: success, or the status to exit with and the line that says what
// failed (possibly several lines, one per failure).
struct CommandResult {
  ExitStatus status = ExitStatus::Success;
  QString message;

  bool Ok() const { return status == ExitStatus::Success; }
  static CommandResult Failure(ExitStatus status, QString message) {
    return {status, std::move(message)};
  }
};
