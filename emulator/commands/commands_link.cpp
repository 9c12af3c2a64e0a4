// Keeping the printer going: the fault reset and the restart.
#include "Commands.h"

namespace emu {

// "cr": the printer takes up its work again after a fault that stopped it.
CommandResult CmdResetPrinter(CommandContext& context) {
    context.state.status = static_cast<uint16_t>(context.state.status & ~kStatusNeedReset);
    return {};
}

// "c0": the printer restarts. It sends nothing back and hears nothing until it is up; its fiscal
// state is kept (a font chosen with "pf" is not). Starting up it checks its journal again, which is
// what lifts a journal block unless the journal is broken for good.
CommandResult CmdRestart(CommandContext& context) {
    PrinterState& state = context.state;
    switch (state.journalFault) {
        case JournalFault::ClearedByRestartReset:
            state.status = static_cast<uint16_t>(state.status | kStatusNeedReset);
            [[fallthrough]];
        case JournalFault::None:
        case JournalFault::ClearedByRestart:
            state.journalFault = JournalFault::None;
            Unblock(state, kBlockJournal);
            break;
        case JournalFault::Permanent:
            Block(state, kBlockJournal);
            break;
    }
    state.font = 0;
    context.paper.PrintPowerOn();
    CommandResult result;
    result.restart = true;
    return result;
}

}  // namespace emu
