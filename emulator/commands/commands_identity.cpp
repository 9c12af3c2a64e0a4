// What the printer says about itself: maker's data, fiscalisation, hardware and firmware.
#include <cstdio>

#include "Commands.h"

namespace emu {

namespace {

// Options as the printer prints them: at least four hexadecimal digits.
std::string OptionsText(uint32_t options) {
    char hex[12];  // eight digits and the terminator
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(options));
    return hex;
}

}  // namespace

// "gm": country FS serial FS unit register number GS unit serial number GS model GS.
CommandResult CmdGetManufacturerData(CommandContext& context) {
    const PrinterIdentity& id = context.state.identity;
    CommandResult result;
    result.fields = ReplyData()
                        .Field(id.countryCode)
                        .Field(id.serialNumber)
                        .Part(id.unitRegisterNumber)
                        .Part(id.unitSerialNumber)
                        .Part(id.modelName)
                        .Fields();
    return result;
}

// "gi": fiscalisation number FS options (hexadecimal) FS taxpayer account number FS.
CommandResult CmdGetInitializationData(CommandContext& context) {
    const PrinterIdentity& id = context.state.identity;
    CommandResult result;
    result.fields = ReplyData()
                        .Field(id.initializationNumber)
                        .Field(OptionsText(id.initializationOptions))
                        .Field(id.taxpayerAccountNumber)
                        .Fields();
    return result;
}

// "gw": sensors GS temperature FS, then for the receipt and the journal mechanisms their code GS
// and width GS name FS, and last the cutter's code GS state FS.
CommandResult CmdGetHardwareStatus(CommandContext& context) {
    const HardwareStatus& hw = context.state.hardware;
    CommandResult result;
    result.fields = ReplyData()
                        .Part(hw.sensors)
                        .Field(hw.temperature)
                        .HexPart(hw.receipt.code)
                        .Part(hw.receipt.width)
                        .Field(hw.receipt.name)
                        .HexPart(hw.journal.code)
                        .Part(hw.journal.width)
                        .Field(hw.journal.name)
                        .HexPart(hw.cutterCode)
                        .Field(hw.cutterState)
                        .Fields();
    return result;
}

// "gx": firmware mnemonic FS version FS.
CommandResult CmdGetFirmware(CommandContext& context) {
    const PrinterIdentity& id = context.state.identity;
    CommandResult result;
    result.fields = ReplyData().Field(id.firmwareMnemonic).Field(id.firmwareVersion).Fields();
    return result;
}

}  // namespace emu
