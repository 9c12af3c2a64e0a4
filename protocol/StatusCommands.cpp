// Status, identification and link commands.
#include <cstring>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// Line settings of the printer's port: no parity, 8 data bits, one stop bit, no handshake.
constexpr BYTE kNoParity = 0;
constexpr BYTE kDataBits = 8;
constexpr BYTE kOneStopBit = 0;
constexpr int kNoHandshake = 1;

// Room for any of the replies read here.
constexpr DWORD kReplyDataCapacity = kReplyTextCapacity;

// The header and footer text fields are at most 1023 characters.
constexpr DWORD kLongTextCapacity = 1024;

// A reply of two texts: the first up to `firstEnd`, the second up to FS. With `bothRequired` a
// reply without both is refused before the caller's texts are touched.
int ReadTwoTexts(CBrontal& layer, LPCSTR code, char firstEnd, LPSTR first, DWORD firstCapacity,
                 LPSTR second, DWORD secondCapacity, bool bothRequired) {
    char data[kReplyDataCapacity];
    const int result = fiscal::Run(layer, code, "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    LPCSTR check = data;
    if (bothRequired && (CBrontal::NextField(&check, firstEnd) <= 0 ||
                         CBrontal::NextField(&check, kFieldSeparator) <= 0)) {
        return kBrontalBadReply;
    }
    fiscal::ClearText(first, firstCapacity);
    fiscal::ClearText(second, secondCapacity);
    LPCSTR position = data;
    CBrontal::NextText(&position, firstEnd, first, firstCapacity);
    CBrontal::NextText(&position, kFieldSeparator, second, secondCapacity);
    return 0;
}

// "gb" and "ge": one text up to FS.
int ReadLongText(CBrontal& layer, LPCSTR code, LPSTR text, DWORD capacity) {
    char data[kReplyDataCapacity];
    const int result = fiscal::Run(layer, code, "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    fiscal::ClearText(text, capacity);
    LPCSTR position = data;
    CBrontal::NextText(&position, kFieldSeparator, text,
                       capacity < kLongTextCapacity ? capacity : kLongTextCapacity);
    return 0;
}

// A decimal baud rate; 0 when the text is not one.
DWORD ParseBaud(LPCSTR text) {
    DWORD baud = 0;
    if (!text || *text == '\0') {
        return 0;
    }
    for (LPCSTR p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || baud > (0xFFFFFFFFU - 9) / 10) {
            return 0;
        }
        baud = baud * 10 + static_cast<DWORD>(*p - '0');
    }
    return baud;
}

// A compound field of "gw" up to FS: a character width and a name separated by GS. False without
// the width.
bool NextWidthAndName(LPCSTR* position, LONG* width, char (&name)[kHardwareTextCapacity]) {
    char compound[kReplyDataCapacity] = "";
    CBrontal::NextText(position, kFieldSeparator, compound, sizeof compound);
    LPCSTR part = compound;
    if (CBrontal::NextLong(&part, kPartSeparator, width) <= 0) {
        return false;
    }
    CBrontal::NextText(&part, kPartSeparator, name, sizeof name);
    return true;
}

}  // namespace

int CBrontal::Attach(int port, LPCSTR baud) {
    if (port <= 0 || !baud) {
        return kBrontalLinkFailed;
    }
    // A closed link is never opened again, and each port has a link of its own.
    if (m_link && (!m_link->IsOpen() || m_linkPort != port)) {
        Detach();
    }
    if (!m_link) {
        const DWORD rate = ParseBaud(baud);
        if (rate == 0) {
            return kBrontalLinkFailed;
        }
        m_link = std::make_unique<AsyncComX28>(port, rate, kNoParity, kDataBits, kOneStopBit,
                                               kNoHandshake);
        m_linkPort = port;
        m_link->Open();
    }
    if (!m_link->IsOpen()) {
        m_link->Open();
        if (!m_link->IsOpen()) {
            return kBrontalLinkFailed;
        }
    }
    const int status = GetStatus(nullptr, nullptr);
    if (status != 0) {
        // The object stays until the next Attach replaces it.
        m_link->Close();
        return status;
    }
    LoadCurrencies();
    return 0;
}

int CBrontal::GetStatus(WORD* status, WORD* blocking) {
    if (!m_link) {
        return kBrontalNoLink;
    }
    if (!m_link->IsOpen()) {
        return kBrontalLinkFailed;
    }
    char data[32];
    const int result = fiscal::Run(*this, "gs", "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    if (status) {
        *status = m_statusWord;
    }
    if (blocking) {
        *blocking = m_blockingWord;
    }
    return 0;
}

int CBrontal::ReadDocumentNumbers(DWORD* document, DWORD* session, DWORD* receipt,
                                  int* documentType) {
    char data[kReplyDataCapacity];
    const int result = fiscal::Run(*this, "gn", "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    LPCSTR position = data;
    LONG documentNumber = 0;
    LONG sessionNumber = 0;
    LONG receiptNumber = 0;
    int type = 0;
    if (NextLong(&position, kFieldSeparator, &documentNumber) <= 0 ||
        NextLong(&position, '/', &sessionNumber) <= 0 ||
        NextLong(&position, kFieldSeparator, &receiptNumber) <= 0 ||
        NextInt(&position, kFieldSeparator, &type) <= 0) {
        return kBrontalBadReply;
    }
    m_lastDocumentNumber = static_cast<DWORD>(documentNumber);
    // While a receipt is open the printer reports 20 for any receipt kind; the layer knows which.
    if (type == 20 && (m_statusWord & kStatusReceiptOpen) && m_total.kind != 0 &&
        m_total.kind != 20) {
        type = m_total.kind;
    }
    if (document) {
        *document = static_cast<DWORD>(documentNumber);
    }
    if (session) {
        *session = static_cast<DWORD>(sessionNumber);
    }
    if (receipt) {
        *receipt = static_cast<DWORD>(receiptNumber);
    }
    if (documentType) {
        *documentType = type;
    }
    return 0;
}

int CBrontal::ReadClock(LPSTR date, DWORD dateCapacity, LPSTR time, DWORD timeCapacity) {
    // Both fields are looked for first: a refused reply leaves the caller's texts as they were.
    return ReadTwoTexts(*this, "gt", kPartSeparator, date, dateCapacity, time, timeCapacity, true);
}

int CBrontal::ReadHeaderText(LPSTR text, DWORD capacity) {
    return ReadLongText(*this, "gb", text, capacity);
}

int CBrontal::ReadFooterText(LPSTR text, DWORD capacity) {
    return ReadLongText(*this, "ge", text, capacity);
}

int CBrontal::ReadManufacturerData(LPSTR countryCode, DWORD countryCodeCapacity, LPSTR serialNumber,
                                   DWORD serialNumberCapacity, LPSTR unitSerialNumber,
                                   DWORD unitSerialNumberCapacity, LPSTR unitRegistrationNumber,
                                   DWORD unitRegistrationNumberCapacity, LPSTR modelName,
                                   DWORD modelNameCapacity) {
    char data[kReplyDataCapacity];
    const int result = fiscal::Run(*this, "gm", "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    fiscal::ClearText(countryCode, countryCodeCapacity);
    fiscal::ClearText(serialNumber, serialNumberCapacity);
    fiscal::ClearText(unitSerialNumber, unitSerialNumberCapacity);
    fiscal::ClearText(unitRegistrationNumber, unitRegistrationNumberCapacity);
    fiscal::ClearText(modelName, modelNameCapacity);
    // The reply gives the control unit's registration number before its serial number.
    LPCSTR position = data;
    NextText(&position, kFieldSeparator, countryCode, countryCodeCapacity);
    NextText(&position, kFieldSeparator, serialNumber, serialNumberCapacity);
    NextText(&position, kPartSeparator, unitRegistrationNumber, unitRegistrationNumberCapacity);
    NextText(&position, kPartSeparator, unitSerialNumber, unitSerialNumberCapacity);
    NextText(&position, kPartSeparator, modelName, modelNameCapacity);
    return 0;
}

int CBrontal::ReadInitializationData(LONG* number, DWORD* options, LPSTR taxpayerAccount,
                                     DWORD taxpayerAccountCapacity) {
    char data[kReplyDataCapacity];
    const int result = fiscal::Run(*this, "gi", "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    LONG readNumber = 0;
    DWORD readOptions = 0;
    LPCSTR position = data;
    if (NextLong(&position, kFieldSeparator, &readNumber) <= 0 ||
        NextHex(&position, kFieldSeparator, &readOptions) <= 0) {
        return kBrontalBadReply;
    }
    fiscal::ClearText(taxpayerAccount, taxpayerAccountCapacity);
    NextText(&position, kFieldSeparator, taxpayerAccount, taxpayerAccountCapacity);
    if (number) {
        *number = readNumber;
    }
    if (options) {
        *options = readOptions;
    }
    return 0;
}

int CBrontal::ReadHardwareStatus(HardwareStatus* status) {
    if (!status) {
        return kBrontalBadArguments;
    }
    char data[kReplyDataCapacity];
    const int result = fiscal::Run(*this, "gw", "", data, sizeof data);
    if (result != 0) {
        return result;
    }
    HardwareStatus read = {};
    LPCSTR position = data;
    if (NextBinary(&position, kPartSeparator, &read.sensorBits) <= 0 ||
        NextLong(&position, kFieldSeparator, &read.number) <= 0 ||
        NextHex(&position, kPartSeparator, &read.firstCode) <= 0) {
        return kBrontalBadReply;
    }
    if (!NextWidthAndName(&position, &read.printerWidth, read.printerName) ||
        NextHex(&position, kPartSeparator, &read.secondCode) <= 0 ||
        !NextWidthAndName(&position, &read.secondWidth, read.secondName)) {
        return kBrontalBadReply;
    }
    if (NextHex(&position, kPartSeparator, &read.thirdCode) <= 0) {
        return kBrontalBadReply;
    }
    NextText(&position, kFieldSeparator, read.lastText, sizeof read.lastText);
    *status = read;
    return 0;
}

int CBrontal::ReadFirmware(LPSTR mnemonic, DWORD mnemonicCapacity, LPSTR version,
                           DWORD versionCapacity) {
    return ReadTwoTexts(*this, "gx", kFieldSeparator, mnemonic, mnemonicCapacity, version,
                        versionCapacity, false);
}

int CBrontal::ResetPrinterFault() {
    char data[32];  // "cr" answers without data
    return fiscal::Run(*this, "cr", "", data, sizeof data);
}

int CBrontal::RestartPrinter() {
    char command[8] = "c0";
    char fields[8] = "";
    const int result = Execute(command, sizeof command, fields, sizeof fields, 0);
    return result < 0 ? result : 0;
}
