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
    // The printer restarts instead of answering: no reply at all, and deaf to the line until it
    // is up again (the engine keeps the time it takes).
    bool restart = false;
};

using CommandHandler = CommandResult (*)(CommandContext& context);

// The handler of a two-letter code (compared exactly: the printer's codes are lower case), or
// nullptr for a code the printer does not know.
CommandHandler FindCommand(const std::string& code);

// Status family (commands_status.cpp).
CommandResult CmdGetStatus(CommandContext& context);
CommandResult CmdGetDocumentNumbers(CommandContext& context);
CommandResult CmdGetClock(CommandContext& context);

// Identification family (commands_identity.cpp).
CommandResult CmdGetManufacturerData(CommandContext& context);
CommandResult CmdGetInitializationData(CommandContext& context);
CommandResult CmdGetHardwareStatus(CommandContext& context);
CommandResult CmdGetFirmware(CommandContext& context);

// Tables (commands_tables.cpp).
CommandResult CmdGetCurrencies(CommandContext& context);

// Link and restart (commands_link.cpp).
CommandResult CmdResetPrinter(CommandContext& context);
CommandResult CmdRestart(CommandContext& context);

// Control unit (commands_control_unit.cpp).
CommandResult CmdUnitExchange(CommandContext& context);
CommandResult CmdUnitStatus(CommandContext& context);
CommandResult CmdUnitUnlock(CommandContext& context);

}  // namespace emu
