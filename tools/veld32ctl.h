#pragma once

#include <QStringList>
#include <QTextStream>

#include <functional>

#include "backends/backend_options.h"

// veld32ctl: the tester from the command line, for scripts and production lines. Runs one
// command line (without the program's own name) and returns the exit status: 0 success, 1 a
// pass limit not below its fail limit or an upload not confirmed, 2 usage, 3 no tester found,
// 4 link failure or reply time-out, 5 a file that cannot be read or written, 130 a run stopped by
// SIGINT or SIGTERM (kept as a stopped record). Results go to
// `out`; errors, warnings and (with --verbose) the log go to `err`, one line each.
// Needs a QCoreApplication: the waits for the tester's replies run its event loop.

// Makes the driver a command line asks for; tests pass their own drivers here.
using BackendFactory = std::function<Backend(const BackendOptions&)>;

int RunVeld32Ctl(const QStringList& arguments, QTextStream& out, QTextStream& err,
                 const BackendFactory& createBackend = CreateBackend);
