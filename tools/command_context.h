#pragma once

#include <QTextStream>

#include <vector>

#include "backends/backend_options.h"
#include "device_link/device_listing.h"
#include "tools/command_result.h"
#include "tools/ctl_options.h"
#include "tools/program_file_input.h"
#include "tools/program_summary.h"
#include "tools/status_log.h"
#include "tools/tester_session.h"

class TestProgramsModel;

// What a command works with: the parsed command line, the driver (for the commands that talk
// to a tester), the log for --verbose, and where results and warnings go. When `identity` is set,
// the commands that connect also read the tester's identity into it right after the open.
struct CommandContext {
  const CtlOptions& options;
  const Backend& backend;
  StatusLog log;
  QTextStream& out;
  QTextStream& err;
  TesterIdentity* identity = nullptr;
};

// The polling interval and reply time-out of the command line.
TesterSession::Settings SessionSettings(const CtlOptions& options);

// Opens the session and, when the context asks for it, reads the tester's identity.
CommandResult OpenSession(const CommandContext& context, TesterSession& session);

// The programs with the warnings of loading them from a file, by program index.
std::vector<ProgramSummary> WithWarnings(std::vector<ProgramSummary> programs,
                                         const FileInput& input);

// The programs as a table (warnings then on standard error, unless `warnOnStderr` is false
// because a failure names them) or, with --json, as one object.
void PrintPrograms(const CommandContext& context, const std::vector<ProgramSummary>& programs,
                   bool warnOnStderr = true);

// Whether FILE was applied as written: CheckFailed with one line per key not applied, each
// ending in `consequence` when it is not empty; with --lenient these are warnings only.
CommandResult CheckFileApplied(const CommandContext& context, const FileInput& input,
                               const QString& consequence);

// The editor's check before an upload; CheckFailed names each program whose pass limit is not
// below its fail limit, each line ending in `consequence` when it is not empty.
CommandResult CheckPassFailLimits(const TestProgramsModel& model,
                                  const std::vector<ProgramSummary>& programs,
                                  const QString& consequence);

// The failure of a device listing, in words.
CommandResult ListingFailed(const CommandContext& context, const DeviceListing& listing);

// The commands; each prints its result on success and returns what failed otherwise.
CommandResult ListDevices(const CommandContext& context);
CommandResult ShowIdentity(const CommandContext& context);
CommandResult DownloadPrograms(const CommandContext& context);
CommandResult UploadPrograms(const CommandContext& context);
// run N: one test, its result printed and, with --csv, appended to the record file.
CommandResult RunTestProgram(const CommandContext& context);
// service ...: without --yes only what it would send; with it the write and its read-back.
CommandResult ServiceTester(const CommandContext& context);
// records [stats|sync]: the runs kept, newest first, by the filters; their figures per
// program; or the records waiting for the server sent.
CommandResult ListRecords(const CommandContext& context);
// history: the changes of the testers' programs, newest first, by the filters.
CommandResult ListProgramChanges(const CommandContext& context);
// show, and with `check` check.
CommandResult ShowFile(const CommandContext& context, bool check);
