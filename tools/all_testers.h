#pragma once

#include <functional>

#include "tools/command_result.h"

struct CommandContext;

// --all: one command (info, download or upload: the rows with everyTester) on every attached
// tester at once, each tester with a link of its own, and one line per tester: its USB serial
// number, its tester serial number and the result (with --json an array of objects).
// download -o names a folder, in which each tester's programs are saved as USBSERIAL.vap. The
// exit status is the worst of the testers'. The links run side by side, each on a thread of its
// own: the link's open sequence waits by running the event loop, and waits nested on one loop
// would end one after another.
using TesterCommand = std::function<CommandResult(const CommandContext& tester)>;

CommandResult RunOnAllTesters(const CommandContext& context, const TesterCommand& command);
