// Command handlers: one source per command family (commands_<family>.cpp), one row per command
// in the table of CommandTable.cpp.
//
// A handler runs with the engine's mutex held, once per executed request (repeats are answered
// from the cache and never reach it). It reads the request, changes the state, prints, and says
// what to answer; the engine adds the header (echo, error, status words) from the state as the
// handler left it. A handler that fails leaves the state as it found it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Paper.h"
#include "PrinterState.h"
#include "Request.h"

namespace emu {

struct CommandContext {
    PrinterState& state;
    Paper& paper;
    const Request& request;
};

struct CommandResult {
    uint8_t error = kErrNone;
    // Data fields of the reply; none: the reply ends after the status words.
    std::vector<std::string> fields;
    // A long operation: the printer answers SYN about every 300 ms for this long before the
    // reply, as a real one does while it prints a report.
    unsigned busyMs = 0;
};

using CommandHandler = CommandResult (*)(CommandContext& context);

// The handler of a two-letter code (compared exactly: the printer's codes are lower case), or
// nullptr for a code the printer does not know.
CommandHandler FindCommand(const std::string& code);

// Status family (commands_status.cpp).
CommandResult CmdGetStatus(CommandContext& context);

}  // namespace emu
