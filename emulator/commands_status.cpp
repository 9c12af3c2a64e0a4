// Status commands.
#include "Commands.h"

namespace emu {

// "gs": the header already carries both words; the command has no data of its own.
CommandResult CmdGetStatus(CommandContext&) {
    return {};
}

}  // namespace emu
