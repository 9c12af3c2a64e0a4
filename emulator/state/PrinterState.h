// What the virtual printer remembers: its status and blocking words, its document counters, its
// clock, what it says about itself, the faults that keep it blocked, and its fiscal model
// (FiscalState.h): tables, the open document, the days with their counters and document texts.
// Everything in it survives a power cycle through the state file.
//
// Not thread-safe by itself: the engine guards it with its mutex, and command handlers run with
// that mutex held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FiscalState.h"

namespace emu {

// Status word bits.
constexpr uint16_t kStatusDayOpen = 0x0001;
constexpr uint16_t kStatusReceiptOpen = 0x0002;
constexpr uint16_t kStatusReadyForTotal = 0x0008;
constexpr uint16_t kStatusNeedReset = 0x0010;
constexpr uint16_t kStatusNotReady = 0x0020;
constexpr uint16_t kStatusJournalPresent = 0x0040;
constexpr uint16_t kStatusFiscal = 0x0080;
constexpr uint16_t kStatusControlTapeNearEnd = 0x0100;
constexpr uint16_t kStatusReceiptTapeNearEnd = 0x0200;
constexpr uint16_t kStatusJournalNearEnd = 0x0400;
constexpr uint16_t kStatusFiscalMemoryNearEnd = 0x0800;
constexpr uint16_t kStatusJournalNeedValidate = 0x1000;
constexpr uint16_t kStatusControlUnitPresent = 0x2000;
constexpr uint16_t kStatusBlocked = 0x8000;

// Blocking word bits: the reasons for kStatusBlocked.
constexpr uint16_t kBlockConfig = 0x0001;
constexpr uint16_t kBlockMemory = 0x0002;
constexpr uint16_t kBlockClock = 0x0004;
constexpr uint16_t kBlockNeedZReport = 0x0008;
constexpr uint16_t kBlockFiscalMemory = 0x0010;
constexpr uint16_t kBlockFiscalMemoryFull = 0x0020;
constexpr uint16_t kBlockJournal = 0x0040;
constexpr uint16_t kBlockJournalFull = 0x0080;
constexpr uint16_t kBlockControlUnit = 0x0200;
constexpr uint16_t kBlockStartup = 0x1000;

// A printer out of the box: fiscalised, with its electronic journal in place, ready, the day
// closed, no receipt open and nothing blocking it.
constexpr uint16_t kInitialStatus = kStatusFiscal | kStatusJournalPresent;
constexpr uint16_t kInitialBlocking = 0;

// Limits of what the printer can hold and say: texts go on the wire between separators, so no
// control byte may be in them.
constexpr size_t kMaxIdentityText = 40;
constexpr size_t kMaxCurrencies = 8;
constexpr size_t kMaxCurrencyCode = 3;
constexpr unsigned kMaxCurrencyNumber = 9999;  // requests carry it as four digits; the driver
                                               // numbers the entries it writes from 0
constexpr unsigned kMaxCurrencyDecimals = 4;
constexpr size_t kMaxSensorDigits = 16;
// How far the printer clock may be set from the host's: a century either way keeps every date
// within four-digit years.
constexpr int64_t kMaxClockOffsetSeconds = 100LL * 366 * 24 * 3600;

// The counters "gn" reports.
struct DocumentCounters {
    uint32_t document = 0;  // number of the last document completed
    uint32_t session = 0;   // number of the current or last day
    uint32_t receipt = 0;   // number of the last receipt completed within that day
    uint32_t type = 0;      // kind of the open or last document, as ReceiptType numbers it
};

// A calendar date and time of day as the printer shows it.
struct PrinterTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The clock runs at the host's local time plus an offset, or stands still at a fixed time.
struct PrinterClock {
    int64_t offsetSeconds = 0;
    bool fixed = false;
    PrinterTime fixedTime;
};

// What "gm", "gi" and "gx" say.
struct PrinterIdentity {
    std::string countryCode = "643";
    std::string serialNumber = "KT00012345";
    std::string unitRegisterNumber = "000123456";  // the control unit's registration number
    std::string unitSerialNumber = "SK0004321";
    std::string modelName = "00RKM-204F";  // the leading zeros are the printer's own
    uint32_t initializationNumber = 1;     // fiscalisations made so far
    uint32_t initializationOptions = 0x0201;
    std::string taxpayerAccountNumber = "190123456";
    std::string firmwareMnemonic = "RKMF";
    std::string firmwareVersion = "3.07.21";
};

// One printing mechanism as "gw" describes it.
struct Mechanism {
    uint32_t code = 0;   // hardware identification, sent in hexadecimal
    uint32_t width = 0;  // characters per line
    std::string name;
};

// The eleven values of "gw".
struct HardwareStatus {
    std::string sensors = "00000100";  // one 0/1 digit per sensor, most significant first
    int32_t temperature = 34;          // print head, degrees Celsius
    Mechanism receipt = {0x21, 48, "TP-80R"};
    Mechanism journal = {0x11, 32, "TP-57J"};
    uint32_t cutterCode = 0x3;
    std::string cutterState = "OK";
};

struct Currency {
    uint32_t number = 0;
    std::string code;  // at most three characters
    uint32_t decimals = 2;
};

// How a journal failure (device error 22) ends.
enum class JournalFault : uint8_t {
    None = 0,                   // the journal works; a restart lifts any journal block
    ClearedByRestart = 1,       // a "c0" restart brings it back
    ClearedByRestartReset = 2,  // ... after which the printer wants a "cr" (status bit 4)
    Permanent = 3,              // it stays broken, and the printer stays blocked
};

// What the control unit waits for before "vc" lifts its lock (after device errors 48 to 50).
enum class UnitLock : uint8_t {
    None = 0,         // not locked; "vc" lifts any control-unit block
    Unlock = 1,       // "vc" lifts it at once
    AfterStatus = 2,  // the link to the unit is down until "vr" reads its status
    AfterAuth = 3,    // the unit wants a "vw" AUTH exchange first
    Permanent = 4,    // nothing lifts it
};

struct ControlUnit {
    UnitLock lock = UnitLock::None;
    uint8_t error = 0;  // the device error that locked it: what "vc" answers while locked
};

// Logo files the printer keeps, uploaded with "fo", "fw" and "fc".
constexpr size_t kMaxLogoName = 31;  // "fo" names a file in fewer than 32 bytes
constexpr size_t kMaxLogoBytes = 65536;
constexpr size_t kMaxLogoFiles = 8;
constexpr uint32_t kMaxPrintFont = 3;  // 0 normal, 1 double height, 2 double width, 3 both

// A file being uploaded: opened by "fo", filled by "fw", kept by "fc".
struct LogoUpload {
    std::string name;  // may be empty: the driver names no file for a path without a folder
    std::string data;
};

// The logo "sl" selected: printed at the head of every fiscal document.
struct LogoSelection {
    std::string name;   // empty: none
    std::string kind;   // "EPSON", "BMP" or "FISCAL"
    uint32_t size = 0;  // 0: none given
};

struct PrinterState {
    uint16_t status = kInitialStatus;
    uint16_t blocking = kInitialBlocking;
    DocumentCounters counters;
    PrinterClock clock;
    PrinterIdentity identity;
    HardwareStatus hardware;
    std::vector<Currency> currencies = {{1, "RUB", 2}, {2, "USD", 2}, {3, "EUR", 2}};
    std::string baseCurrency = "RUB";
    JournalFault journalFault = JournalFault::None;
    ControlUnit unit;
    // The open receipt was counted while a fault blocked the printer; it still shows as open
    // and is dropped with the first request after the block is lifted.
    bool receiptClosing = false;

    // The fiscal model. The defaults' texts come from the engine library, in Windows-1251.
    std::vector<Department> departments = DefaultDepartments();
    std::vector<PaymentFacility> facilities = DefaultFacilities();
    std::string header = DefaultHeader();
    std::string footer = DefaultFooter();
    std::string cashier;       // logged in with "wi"; empty: nobody
    std::string cashierSince;  // "YYYYMMDDhhmmss" of the login
    // The document being built, while kStatusReceiptOpen says one is open.
    std::optional<OpenReceipt> receipt;
    std::vector<Session> sessions;             // every day so far, oldest first
    std::map<uint32_t, std::string> journals;  // by day number: its documents as printed
    std::map<std::string, Money> drawer;       // cash by currency code, in its own units
    GrandTotals grand;
    std::vector<RestaurantOrder> openOrders;
    std::string reportPassword;  // asked of the fiscal memory reports; empty: none
    bool slipFormInserted = true;
    uint32_t slipFormLines = kDefaultSlipFormLines;  // lines one slip form takes

    // Printing extras.
    uint32_t font = 0;            // "pf": the font of the next "pt" lines, until the document ends
    uint32_t drawerOpenings = 0;  // "ho", counted as the drawer's solenoid would be
    std::map<std::string, std::string> logos;  // by name: the bytes as uploaded
    std::optional<LogoUpload> upload;
    LogoSelection logo;

    // The control unit's registration. An empty password is none: anything given passes.
    std::string unitPassword;
    std::string unitPrinterName;  // the printer name registered with the unit by "fv"
};

// Checks of what the setters and the state file may put into a state: each says whether the
// printer could hold and answer with it.
bool IsPrintableText(const std::string& text, size_t maxLength);
bool IsValidTime(const PrinterTime& time);
bool IsValidClock(const PrinterClock& clock);
bool IsValidIdentity(const PrinterIdentity& identity);
bool IsValidHardware(const HardwareStatus& hardware);
// 1 to 8 entries with distinct numbers (1 to 9999) and codes, and a base code that names one of
// them (compared without regard to case, as the driver compares them).
bool IsValidCurrencies(const std::vector<Currency>& currencies, const std::string& base);
// 1 to 16 entries with distinct numbers (0 to 9999), a printable tax letter and a name of at
// most 14 characters.
bool IsValidDepartments(const std::vector<Department>& departments);
// 1 to 8 entries with distinct numbers (0 to 9999) and names of at most 14 characters.
bool IsValidFacilities(const std::vector<PaymentFacility>& facilities);
// The department and facility tables as "sd" and "sp" carry them and the state file keeps them:
// an entry's parts are number, tax letter and name (departments) or number and name
// (facilities). False unless every entry reads and the whole table is valid.
bool ReadDepartments(const std::vector<std::vector<std::string>>& entries,
                     std::vector<Department>& table);
bool ReadFacilities(const std::vector<std::vector<std::string>>& entries,
                    std::vector<PaymentFacility>& table);
// Printable text in lines ended by LF or CR LF, at most `maxLength` bytes.
bool IsTextWithLines(const std::string& text, size_t maxLength);
// The same, at most kMaxHeaderText bytes.
bool IsValidHeaderText(const std::string& text);

// A day's journal the printer can hand out in "jg" blocks: no byte of it may end a frame or a
// field (STX, ETX, FS).
bool IsValidJournal(const std::string& journal);
// Printable names of at most kMaxLogoName bytes, data within kMaxLogoBytes, at most
// kMaxLogoFiles files, and a selection that names one of them with a kind the printer knows.
bool IsValidLogos(const PrinterState& state);
// "EPSON", "BMP" or "FISCAL".
bool IsLogoKind(const std::string& kind);

// The printer's time now, by its clock.
PrinterTime ClockNow(const PrinterClock& clock);
// "YYYYMMDDhhmmss" of a valid time.
std::string TimeDigits(const PrinterTime& time);

// The open document is counted (document and receipt numbers on, its amounts into the day's
// registers) and, unless `keepShown`, closed (receipt bits off; with `keepShown` that waits for
// SettleReceipt). Nothing happens when no receipt is open. A fault uses it for a document that
// was finished before the fault struck; "re" checks first that the document may end.
void CloseDocument(PrinterState& state, bool keepShown = false);
// Drops a receipt counted while the printer was blocked, once nothing blocks it any more.
void SettleReceipt(PrinterState& state);
// Sets or lifts one blocking reason; the blocked bit follows whether any reason is left.
void Block(PrinterState& state, uint16_t reason);
void Unblock(PrinterState& state, uint16_t reason);

// The state as the text of a state file (see StateText.h).
std::string SaveState(const PrinterState& state);
// 0, or -EINVAL when the text is not a state file or holds a value the printer could not have;
// `state` is changed only on success, and items the text does not mention keep their defaults.
int LoadState(const std::string& text, PrinterState& state);
// The same, but items the text does not mention keep their values in `state` (for changing a
// few items of a state, as the vprinter program's --set does).
int MergeState(const std::string& text, PrinterState& state);

// 0, -ENOENT when the file does not exist, -EINVAL when it is not a state file, or another
// negative errno. On failure `state` is unchanged.
int ReadStateFile(const std::string& path, PrinterState& state);
// Writes a temporary file beside `path` and renames it over, so that a crash leaves either the
// old state or the new one, never half of it. 0 or a negative errno.
int WriteStateFile(const std::string& path, const PrinterState& state);
// The same with the state's text already made.
int WriteStateText(const std::string& path, const std::string& text);

}  // namespace emu
