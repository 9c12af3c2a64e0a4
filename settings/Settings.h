// The process-wide settings record, its registry store and the registry monitor.
//
// The settings live under HKEY_CURRENT_USER\SOFTWARE\Orvane\Brontl\Settings with the subkeys
// "Communication" and "Fiscal". The record is loaded when the monitor starts, reloaded by the
// monitor thread whenever a value under the key changes, and written back by SaveSettings (which
// every setter below calls).
//
// Thread-safety: every word of the record is a lock-free 32-bit atomic, so any thread may read it
// while the monitor thread reloads it and sees either the old or the new value. The trace path is
// a 260-byte buffer that the monitor may rewrite: read it through CopyTracePath (or
// GetTracePath), never from the record directly. Initialize and UnInitialize are meant for the
// thread that creates and destroys the driver objects; the setters and getters may be called from
// any thread.
#pragma once

#include <windows.h>

#include <atomic>

// Capacity of the trace path buffer, terminator included; a path must be shorter than this.
constexpr DWORD kTracePathCapacity = MAX_PATH;

constexpr DWORD kDefaultTraceFileSizeLimitKb = 65536;
constexpr DWORD kDefaultBaud = 9600;
constexpr DWORD kDefaultCmdRetryCount = 11;
constexpr DWORD kMaxQuantityPrecision = 3;

// Result codes of the settings operations (texts in the result-code catalogue).
enum SettingsResult {
    kSettingsBadArguments = -9002,
    kSettingsReadFailed = -9006,
    kSettingsSaveFailed = -9007,
};

using SettingWord = std::atomic<DWORD>;
static_assert(sizeof(SettingWord) == sizeof(DWORD) && SettingWord::is_always_lock_free,
              "a setting is a single lock-free 32-bit word");

struct ExtenderSettingsRecord {
    SettingWord traceMask{0};                                      // "TraceMask"
    char tracePath[kTracePathCapacity] = {};                       // "TracePath", see CopyTracePath
    SettingWord traceFileSizeLimit{kDefaultTraceFileSizeLimitKb};  // "TraceFileSizeLimit", KiB
    SettingWord downloadEJ{0};                                     // "DownloadEJ", 0 or 1
    SettingWord printEJ{1};                                        // "PrintEJ"
    SettingWord comPort{0};                                        // "Communication\COM"
    SettingWord baud{kDefaultBaud};                                // "Communication\Baud"
    SettingWord minBill{1};                                        // "Fiscal\MinBill"
    SettingWord hyphenationLength{0};                              // "Fiscal\HyphenationLenth"
    SettingWord cmdRetryCount{kDefaultCmdRetryCount};              // "Fiscal\CmdRetryCount"
    SettingWord refundSumMismatchLimit{0};  // "Fiscal\RefundSumMismatchLimit"
    SettingWord quantityPrecision{0};       // "Fiscal\QuantityPrecision"
};

// The one record of the process.
extern ExtenderSettingsRecord ExtenderSettings;

// The device object's working copies of the fiscal settings. The fiscal command layer object holds
// one; the setters and getters below keep it in step with the record.
struct SettingsMirror {
    LONGLONG minBill = 1;                 // smallest coin, as "MinBill" stores it
    LONGLONG refundSumMismatchLimit = 0;  // 0: the minimum bill is the limit
    DWORD hyphenationLength = 0;          // 0: long names are not wrapped
    DWORD quantityPrecision = 0;          // decimals of quantities, 0..3
    DWORD skipJournalDownload = 1;        // the negation of "DownloadEJ"
};

// Registry names.
extern const char kSettingsKeyName[];       // "SOFTWARE\\Orvane\\Brontl\\Settings"
extern const char kCommunicationKeyName[];  // "Communication"
extern const char kFiscalKeyName[];         // "Fiscal"

// ---- store ----

// Reads every value from an open settings key (and its two subkeys, opened for query) into the
// record with the defaults of each value. Returns the status of opening "Fiscal" (ERROR_SUCCESS
// when it opened).
LONG LoadSettings(HKEY settingsKey);

// A port number or baud rate greater than 0 first replaces the record's value; then the record is
// written. Returns ERROR_SUCCESS or the first system error code met.
LONG SaveSettings(HKEY hive, int portNumber, int baudRate);

// Copies the trace path into `buffer` (always terminated, cut to capacity - 1); returns its length.
DWORD CopyTracePath(LPSTR buffer, DWORD capacity);

// ---- the driver's settings-backed properties ----
// Each setter updates the record (and the mirror), then saves; it returns the save status.

LONG SetTraceMask(DWORD mask);
// Ignored (ERROR_SUCCESS, nothing saved) when `path` is null or kTracePathCapacity characters or
// longer.
LONG SetTracePath(LPCSTR path);
// The 64-bit minimum bill as low and high words. A negative or zero value becomes 1 and goes to the
// mirror; the record takes the low word when it is nonzero and the high word is 0.
LONG SetMinBill(SettingsMirror& mirror, DWORD low, LONG high);
// Values <= 0 clear the mirror's length and keep the record's.
LONG SetHyphenationLength(SettingsMirror& mirror, LONG length);
LONG SetDownloadEJ(SettingsMirror& mirror, LONG download);
// Clamped to 0..3.
LONG SetQuantityPrecision(SettingsMirror& mirror, LONG precision);

DWORD GetTraceMask();
// The path's length when it fits into `buffer` with its terminator, else 0 (buffer untouched).
DWORD GetTracePath(LPSTR buffer, DWORD capacity);
// These refresh the mirror from the record before returning the record's value.
DWORD GetMinBill(SettingsMirror& mirror);
DWORD GetHyphenationLength(SettingsMirror& mirror);
DWORD GetDownloadEJ(SettingsMirror& mirror);
DWORD GetQuantityPrecision(SettingsMirror& mirror);

// ---- the fiscal command layer's link settings ----

// Loads the settings. 0 with the stored port and baud rate when both are set; otherwise the
// mirror takes the stored minimum bill, hyphenation length and refund limit (those that are
// nonzero) and the result is -9006 (no stored port). -9002 when an output is null, -9006 when the
// settings key cannot be opened (the record is then unchanged).
int ReadStoredLinkSettings(SettingsMirror& mirror, DWORD* portNumber, DWORD* baudRate);
// Saves a port and baud rate that worked: 0, -9002 when either is 0, -9007 when the save failed.
int StoreLinkSettings(DWORD portNumber, DWORD baudRate);

// ---- serial ports ----

// The data of value `index` under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM ("COM3") in a
// buffer allocated with new[] that the caller frees with delete[], or null when the value is not
// text. Returns the registry status: ERROR_NO_MORE_ITEMS past the last port.
LONG EnumSerialPortName(DWORD index, LPSTR* portName);

// ---- monitor ----

class CBrontExtender {
  public:
    // Starts the monitor and loads the settings: 0; -1 when the monitor already runs (a second
    // driver object) or its thread was refused; a system error code when the key cannot be opened
    // or the thread cannot be created.
    static int Initialize();
    // Stops the monitor (the stop event, then at most 5000 ms) and frees its state: always 0.
    static int UnInitialize();
    // The monitor thread: its argument is the open settings key, which it owns and closes.
    static unsigned WINAPI RegMonitorThread(void* settingsKey);

    CBrontExtender() = delete;
};
