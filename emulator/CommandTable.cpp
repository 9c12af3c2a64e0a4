#include <cstring>

#include "Commands.h"

namespace emu {

namespace {

struct CommandEntry {
    char code[3];  // two letters and the terminator
    CommandHandler handler;
};

constexpr CommandEntry kCommands[] = {
    {"gs", CmdGetStatus},         {"gn", CmdGetDocumentNumbers},  {"gt", CmdGetClock},
    {"gc", CmdGetCurrencies},     {"gm", CmdGetManufacturerData}, {"gi", CmdGetInitializationData},
    {"gw", CmdGetHardwareStatus}, {"gx", CmdGetFirmware},         {"cr", CmdResetPrinter},
    {"c0", CmdRestart},           {"vw", CmdUnitExchange},        {"vr", CmdUnitStatus},
    {"vc", CmdUnitUnlock},
};

}  // namespace

CommandHandler FindCommand(const std::string& code) {
    if (code.size() != 2) {
        return nullptr;
    }
    for (const CommandEntry& entry : kCommands) {
        if (std::memcmp(entry.code, code.data(), 2) == 0) {
            return entry.handler;
        }
    }
    return nullptr;
}

}  // namespace emu
