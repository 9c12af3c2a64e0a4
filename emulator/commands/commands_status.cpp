// Status commands: the words, the document counters and the clock.
#include "Commands.h"

namespace emu {

// "gs": the header already carries both words; the command has no data of its own.
CommandResult CmdGetStatus(CommandContext&) {
    return {};
}

// "gn": document number; day number "/" receipt number; document type.
CommandResult CmdGetDocumentNumbers(CommandContext& context) {
    const DocumentCounters& counters = context.state.counters;
    CommandResult result;
    result.fields =
        ReplyData()
            .Field(counters.document)
            .Field(std::to_string(counters.session) + "/" + std::to_string(counters.receipt))
            .Field(counters.type)
            .Fields();
    return result;
}

// "gt": date GS time, read from the printer's own clock.
CommandResult CmdGetClock(CommandContext& context) {
    const std::string digits = TimeDigits(ClockNow(context.state.clock));
    CommandResult result;
    result.fields = ReplyData().Part(digits.substr(0, 8)).Field(digits.substr(8)).Fields();
    return result;
}

}  // namespace emu
