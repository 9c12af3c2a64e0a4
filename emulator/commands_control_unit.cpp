// The tax authorities' control unit, as far as the printer's recovery from a control unit error
// needs it: its status, its exchanges and the unlock.
#include "Commands.h"

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
