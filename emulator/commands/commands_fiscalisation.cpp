// Fiscalisation: the printer is registered to its owner (taxpayer account number, options, a new
// access password) and, with option bit 9, to the control unit it works with. It is allowed
// between days only, and asks for the access password the fiscal memory reports ask for.
#include <cstdio>
#include <limits>

#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

constexpr uint32_t kOptionControlUnit = 0x0200;

struct Fiscalisation {
    uint32_t options = 0;
    std::string password;
    std::string newPassword;
    std::string taxpayer;
    std::string unitRegisterNumber;
    std::string unitSerialNumber;
    std::string printerName;
};

bool IsText(const std::string& text, bool required) {
    return (!required || !text.empty()) && IsPrintableText(text, kMaxIdentityText);
}

// options (four hexadecimal digits, not 0) FS password FS new password FS taxpayer account
// number, and with option bit 9: GS register number GS serial number [GS printer name].
bool ParseFiscalisation(const Request& request, Fiscalisation& f) {
    const std::string& options = request.Field(0);
    if (request.FieldCount() != 4 || options.size() != 4 || !ParseHex(options, f.options) ||
        f.options == 0) {
        return false;
    }
    f.password = request.Field(1);
    f.newPassword = request.Field(2);
    const std::vector<std::string> parts = request.Parts(3);
    f.taxpayer = parts[0];
    const bool unit = (f.options & kOptionControlUnit) != 0;
    if (unit ? parts.size() < 3 || parts.size() > 4 : parts.size() != 1) {
        return false;
    }
    if (unit) {
        f.unitRegisterNumber = parts[1];
        f.unitSerialNumber = parts[2];
        f.printerName = parts.size() == 4 ? parts[3] : std::string();
    }
    return IsText(f.password, true) && IsText(f.newPassword, true) && IsText(f.taxpayer, true) &&
           (!unit || (IsText(f.unitRegisterNumber, true) && IsText(f.unitSerialNumber, false) &&
                      IsText(f.printerName, false)));
}

}  // namespace

// "fi": the printer becomes fiscal (status bit 7) under the next fiscalisation number.
CommandResult CmdInitializeFiscal(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    Fiscalisation f;
    if (!ParseFiscalisation(context.request, f)) {
        result.error = kErrBadParameter;
        return result;
    }
    if ((state.status & (kStatusDayOpen | kStatusReceiptOpen)) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (!state.reportPassword.empty() && f.password != state.reportPassword) {
        result.error = kErrWrongPassword;
        return result;
    }
    PrinterIdentity& id = state.identity;
    if (id.initializationNumber == std::numeric_limits<uint32_t>::max()) {
        result.error = kErrOverflow;
        return result;
    }
    ++id.initializationNumber;
    id.initializationOptions = f.options;
    id.taxpayerAccountNumber = f.taxpayer;
    state.reportPassword = f.newPassword;
    state.status = static_cast<uint16_t>(state.status | kStatusFiscal);
    if ((f.options & kOptionControlUnit) != 0) {
        id.unitRegisterNumber = f.unitRegisterNumber;
        id.unitSerialNumber = f.unitSerialNumber;
        if (!f.printerName.empty()) {
            state.unitPrinterName = f.printerName;
        }
        state.status = static_cast<uint16_t>(state.status | kStatusControlUnitPresent);
    }

    char options[8];  // four hexadecimal digits and the terminator
    std::snprintf(options, sizeof options, "%04X", static_cast<unsigned>(f.options));
    Printout out = NewPrintout(state);
    out.Center("ФИСКАЛИЗАЦИЯ");
    out.Pair(id.serialNumber, ShownTime(NowDigits(state))).Rule();
    out.Pair("НОМЕР ФИСКАЛИЗАЦИИ", std::to_string(id.initializationNumber));
    out.Pair("УНП", f.taxpayer).Pair("ПАРАМЕТРЫ", options);
    if ((f.options & kOptionControlUnit) != 0) {
        out.Pair("РЕГ. НОМЕР СКНО", f.unitRegisterNumber);
        out.Pair("ЗАВ. НОМЕР СКНО", f.unitSerialNumber);
    }
    out.Rule().Center("ФИСКАЛЬНЫЙ РЕЖИМ").Text("");
    PrintOnPaper(context.paper, out);
    result.busyMs = context.reportMs;
    return result;
}

}  // namespace emu
