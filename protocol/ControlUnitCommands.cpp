// Control unit (the tax authorities' security module) and fiscalisation commands.
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// The exchanges of "vw", by index.
constexpr const char* kExchangeNames[] = {"TIME", "ID", "AUTH"};
constexpr UINT kExchangeCount = sizeof kExchangeNames / sizeof kExchangeNames[0];

// Room for every reply read here.
constexpr DWORD kUnitReplyCapacity = kReplyTextCapacity;
// Request texts stay below these sizes.
constexpr DWORD kReplaceRequestCapacity = 128;
constexpr DWORD kFiscalRequestCapacity = 256;

// Option bit of "fi": the printer is fiscalised with a control unit, whose numbers go along.
constexpr WORD kFiscalOptionControlUnit = 0x0200;

// A separator inside a text would shift the registration data into the wrong fields of a
// request that cannot be undone.
bool HasSeparator(LPCSTR text) {
    return !fiscal::IsFieldText(text);
}

using fiscal::ClearText;
using fiscal::IsEmpty;

}  // namespace

int CBrontal::ReadControlUnitStatus(WORD* status) {
    char fields[kUnitReplyCapacity];
    const int result = fiscal::Run(*this, "vr", "", fields, sizeof fields);
    if (result != 0) {
        return result;
    }
    DWORD word = 0;
    LPCSTR position = fields;
    if (NextHex(&position, kFieldSeparator, &word) <= 0) {
        return kBrontalBadReply;
    }
    if (status) {
        *status = static_cast<WORD>(word & 0xFFFFU);
    }
    return 0;
}

int CBrontal::ReadControlUnitUID(DWORD* session, LPSTR uid, DWORD capacity) {
    char fields[kUnitReplyCapacity];
    const int result = fiscal::Run(*this, "iv", "", fields, sizeof fields);
    if (result != 0) {
        return result;
    }
    LONG number = 0;
    LPCSTR position = fields;
    if (NextLong(&position, kFieldSeparator, &number) <= 0 || number < 0) {
        return kBrontalBadReply;
    }
    if (session) {
        *session = static_cast<DWORD>(number);
    }
    ClearText(uid, capacity);
    NextText(&position, kFieldSeparator, uid, capacity);
    return 0;
}

int CBrontal::ControlUnitExchange(UINT exchange, WORD* status, LPSTR info, DWORD infoCapacity,
                                  LPSTR answer, DWORD answerCapacity, WORD* checksum) {
    if (exchange >= kExchangeCount) {
        return kBrontalBadArguments;
    }
    char fields[kUnitReplyCapacity];
    const int result = fiscal::Run(*this, "vw", kExchangeNames[exchange], fields, sizeof fields);
    if (result != 0) {
        return result;
    }
    ClearText(info, infoCapacity);
    ClearText(answer, answerCapacity);
    // status FS info GS answer GS checksum FS
    LPCSTR position = fields;
    DWORD word = 0;
    if (NextHex(&position, kFieldSeparator, &word) > 0 && status) {
        *status = static_cast<WORD>(word & 0xFFFFU);
    }
    char compound[kUnitReplyCapacity] = "";
    NextText(&position, kFieldSeparator, compound, sizeof compound);
    LPCSTR part = compound;
    NextText(&part, kPartSeparator, info, infoCapacity);
    NextText(&part, kPartSeparator, answer, answerCapacity);
    word = 0;
    if (NextHex(&part, kPartSeparator, &word) > 0 && checksum) {
        *checksum = static_cast<WORD>(word & 0xFFFFU);
    }
    return 0;
}

int CBrontal::UnlockControlUnit() {
    return fiscal::Run(*this, "vc", "");
}

int CBrontal::ReplaceControlUnit(LPCSTR password, LPCSTR registerNumber, LPCSTR serialNumber,
                                 LPCSTR printerName) {
    if (IsEmpty(password) || !registerNumber || !serialNumber || HasSeparator(password) ||
        HasSeparator(registerNumber) || HasSeparator(serialNumber) || HasSeparator(printerName)) {
        return kBrontalBadArguments;
    }
    char fields[kReplaceRequestCapacity];
    const DWORD limit = sizeof fields;
    if (AppendText(fields, limit, 0, password) == 0 ||
        AppendText(fields, limit, kFieldSeparator, registerNumber) == 0 ||
        AppendText(fields, limit, kPartSeparator, serialNumber) == 0 ||
        (!IsEmpty(printerName) && AppendText(fields, limit, kPartSeparator, printerName) == 0)) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "fv", fields);
}

int CBrontal::PrintControlUnitReport() {
    return fiscal::Run(*this, "zi", "");
}

int CBrontal::InitializeFiscal(WORD options, LPCSTR password, LPCSTR newPassword,
                               LPCSTR taxpayerAccount, LPCSTR registerNumber, LPCSTR serialNumber,
                               LPCSTR printerName) {
    const bool withControlUnit = (options & kFiscalOptionControlUnit) != 0;
    if (options == 0 || !password || IsEmpty(taxpayerAccount) ||
        (withControlUnit && (!registerNumber || !serialNumber))) {
        return kBrontalBadArguments;
    }
    if (HasSeparator(password) || HasSeparator(newPassword) || HasSeparator(taxpayerAccount) ||
        (withControlUnit && (HasSeparator(registerNumber) || HasSeparator(serialNumber) ||
                             HasSeparator(printerName)))) {
        return kBrontalBadArguments;
    }
    char fields[kFiscalRequestCapacity];
    const DWORD limit = sizeof fields;
    AppendUnsigned(fields, limit, 0, options, "%04X");
    if (AppendText(fields, limit, kFieldSeparator, password) == 0 ||
        AppendText(fields, limit, kFieldSeparator, IsEmpty(newPassword) ? password : newPassword) ==
            0 ||
        AppendText(fields, limit, kFieldSeparator, taxpayerAccount) == 0) {
        return kBrontalBadArguments;
    }
    if (withControlUnit &&
        (AppendText(fields, limit, kPartSeparator, registerNumber) == 0 ||
         AppendText(fields, limit, kPartSeparator, serialNumber) == 0 ||
         (!IsEmpty(printerName) && AppendText(fields, limit, kPartSeparator, printerName) == 0))) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "fi", fields);
}

// The same restart the recoveries make.
int CBrontal::ResetFiscal() {
    return RestartPrinter();
}
