// The tax authorities' control unit: its status, its identifier, its exchanges, the unlock, its
// replacement by a new unit and its report. A unit whose link is down answers none of the
// requests that need it; a replacement is how a unit broken for good is got rid of.
#include <cstdio>

#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

// The unit's own status word.
constexpr uint16_t kUnitLocked = 0x0001;     // it keeps the printer blocked
constexpr uint16_t kUnitNoLink = 0x0002;     // the printer cannot reach it
constexpr uint16_t kUnitWantsAuth = 0x0004;  // it waits for an authentication

// Device errors of the unit.
constexpr uint8_t kErrUnitLink = 48;
constexpr uint8_t kErrUnitAuth = 50;

// A unit that failed for good after a link error or time-out stays out of reach; one that
// failed authentication still answers, but refuses every authentication.
bool LinkDown(const ControlUnit& unit) {
    return unit.lock == UnitLock::AfterStatus ||
           (unit.lock == UnitLock::Permanent && unit.error != kErrUnitAuth);
}

bool WantsAuth(const ControlUnit& unit) {
    return unit.lock == UnitLock::AfterAuth ||
           (unit.lock == UnitLock::Permanent && unit.error == kErrUnitAuth);
}

uint16_t UnitStatus(const ControlUnit& unit) {
    uint16_t status = 0;
    if (unit.lock != UnitLock::None) {
        status |= kUnitLocked;
    }
    if (LinkDown(unit)) {
        status |= kUnitNoLink;
    }
    if (WantsAuth(unit)) {
        status |= kUnitWantsAuth;
    }
    return status;
}

// The error the unit answers with while it cannot do what was asked.
uint8_t UnitError(const ControlUnit& unit) {
    return unit.error != 0 ? unit.error : kErrUnitLink;
}

// The unit's check word over the texts it returns: the sum of their bytes.
uint32_t CheckWord(const std::string& info, const std::string& answer) {
    uint32_t sum = 0;
    for (const std::string* text : {&info, &answer}) {
        for (char c : *text) {
            sum += static_cast<unsigned char>(c);
        }
    }
    return sum & 0xFFFF;
}

}  // namespace

// "vr": the unit's status word. Reading it is also what brings a lost link back.
CommandResult CmdUnitStatus(CommandContext& context) {
    ControlUnit& unit = context.state.unit;
    CommandResult result;
    if (unit.lock == UnitLock::Permanent && LinkDown(unit)) {
        result.error = UnitError(unit);
        return result;
    }
    if (unit.lock == UnitLock::AfterStatus) {
        unit.lock = UnitLock::Unlock;
    }
    result.fields = ReplyData().HexField(UnitStatus(unit)).Fields();
    return result;
}

// "vw" with the exchange "TIME", "ID" or "AUTH": status FS information GS answer GS check word FS.
CommandResult CmdUnitExchange(CommandContext& context) {
    PrinterState& state = context.state;
    ControlUnit& unit = state.unit;
    const std::string& exchange = context.request.Field(0);
    CommandResult result;
    std::string info;
    std::string answer;
    if (exchange == "TIME") {
        info = TimeDigits(ClockNow(state.clock));
    } else if (exchange == "ID") {
        info = state.identity.unitSerialNumber;
        answer = state.identity.unitRegisterNumber;
    } else if (exchange == "AUTH") {
        info = state.identity.serialNumber;
        answer = "OK";
    } else {
        result.error = kErrBadParameter;
        return result;
    }
    if (LinkDown(unit)) {
        result.error = UnitError(unit);
        return result;
    }
    if (exchange == "AUTH") {
        if (unit.lock == UnitLock::Permanent) {
            result.error = kErrUnitAuth;
            return result;
        }
        if (unit.lock == UnitLock::AfterAuth) {
            unit.lock = UnitLock::Unlock;
        }
    }
    result.fields = ReplyData()
                        .HexField(UnitStatus(unit))
                        .Part(info)
                        .Part(answer)
                        .HexField(CheckWord(info, answer))
                        .Fields();
    return result;
}

// "iv": the current day's number FS the unit's identifier, the registration number that the
// "ID" exchange answers with as well.
CommandResult CmdUnitIdentifier(CommandContext& context) {
    const PrinterState& state = context.state;
    CommandResult result;
    if (context.request.FieldCount() != 0) {
        result.error = kErrBadParameter;
        return result;
    }
    if (LinkDown(state.unit)) {
        result.error = UnitError(state.unit);
        return result;
    }
    result.fields = ReplyData()
                        .Field(static_cast<int64_t>(state.counters.session))
                        .Field(state.identity.unitRegisterNumber)
                        .Fields();
    return result;
}

// "fv" FS unit password FS register number GS serial number [GS printer name]: a new unit takes
// the old one's place, unlocked, and the printer shows it present.
CommandResult CmdReplaceUnit(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    const std::string& password = request.Field(0);
    const std::vector<std::string> parts = request.Parts(1);
    bool ok = request.FieldCount() == 2 && !password.empty() &&
              IsPrintableText(password, kMaxIdentityText) && parts.size() >= 2 &&
              parts.size() <= 3 && !parts[0].empty();
    for (const std::string& part : parts) {
        ok = ok && IsPrintableText(part, kMaxIdentityText);
    }
    if (!ok) {
        result.error = kErrBadParameter;
        return result;
    }
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (!state.unitPassword.empty() && password != state.unitPassword) {
        result.error = kErrWrongPassword;
        return result;
    }
    state.identity.unitRegisterNumber = parts[0];
    state.identity.unitSerialNumber = parts[1];
    if (parts.size() == 3 && !parts[2].empty()) {
        state.unitPrinterName = parts[2];
    }
    state.unit = ControlUnit();
    Unblock(state, kBlockControlUnit);
    state.status = static_cast<uint16_t>(state.status | kStatusControlUnitPresent);
    Printout out = NewPrintout(state);
    out.Center("ЗАМЕНА СКНО");
    out.Pair("РЕГ. НОМЕР СКНО", parts[0]).Pair("ЗАВ. НОМЕР СКНО", parts[1]);
    out.Pair("", ShownTime(NowDigits(state))).Text("");
    PrintInJournal(state, context.paper, out);
    return result;
}

// "zi": the unit's report: its numbers, its status word and the printer it is registered for.
CommandResult CmdUnitReport(CommandContext& context) {
    const PrinterState& state = context.state;
    CommandResult result;
    if (context.request.FieldCount() != 0) {
        result.error = kErrBadParameter;
        return result;
    }
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (LinkDown(state.unit)) {
        result.error = UnitError(state.unit);
        return result;
    }
    const PrinterIdentity& id = state.identity;
    Printout out = NewPrintout(state);
    out.Center("ОТЧЕТ СКНО");
    out.Pair(id.serialNumber, ShownTime(NowDigits(state))).Rule();
    out.Pair("РЕГ. НОМЕР СКНО", id.unitRegisterNumber);
    out.Pair("ЗАВ. НОМЕР СКНО", id.unitSerialNumber);
    char status[8];  // four hexadecimal digits and the terminator
    std::snprintf(status, sizeof status, "%04X", static_cast<unsigned>(UnitStatus(state.unit)));
    out.Pair("СОСТОЯНИЕ СКНО", status);
    if (!state.unitPrinterName.empty()) {
        out.Pair("ККМ", state.unitPrinterName);
    }
    out.Pair("СКНО В ККМ", (state.status & kStatusControlUnitPresent) != 0 ? "ДА" : "НЕТ");
    out.Rule().Text("");
    PrintOnPaper(context.paper, out);
    result.busyMs = context.reportMs;
    return result;
}

// "vc": the unit lets the printer go, once it has what it waited for.
CommandResult CmdUnitUnlock(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    if (state.unit.lock != UnitLock::None && state.unit.lock != UnitLock::Unlock) {
        result.error = UnitError(state.unit);
        return result;
    }
    state.unit = ControlUnit();
    Unblock(state, kBlockControlUnit);
    return result;
}

}  // namespace emu
