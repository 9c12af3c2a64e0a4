// The fiscal command layer: one CBrontal per printer.
//
// It owns the X28 link, sends the printer's two-letter commands with their fields through the one
// execution routine Execute (retries, journal and control-unit recovery), decodes the reply
// header (device error, status word, blocking word) and hands the data fields to the operation
// that asked. The field codec, the money rounding and the running receipt total live here too.
// Each command family has a source of its own (Status*.cpp, Currencies.cpp, ...); they all follow
// one pattern: build the fields, Execute, turn a device error into DeviceResult(), read the data.
//
// Results: 0 success, negative failure; Execute, SendCommand and ReceiveReply return a positive
// byte count on success. Argument errors are found before anything is sent (-9002).
//
// Thread-safety: none. The command and reply buffers (and the link's frame buffers) exist once
// per process, so only one exchange may run at a time in the whole process; the driver calls the
// layer from one thread at a time.
#pragma once

#include <windows.h>

#include <memory>

#include "CommandTable.h"
#include "FiscalRecords.h"
#include "Settings.h"

constexpr char kFieldSeparator = '\x1C';  // FS, between fields
constexpr char kPartSeparator = '\x1D';   // GS, between the parts of a compound field

enum BrontalResult {
    kBrontalOk = 0,
    kBrontalBadArguments = -9002,
    kBrontalNoLink = -9003,
    kBrontalLinkFailed = -9004,
    kBrontalBadReply = -9005,
    // A command that may have been executed: its attempts ran out without a reply to confirm
    // it, and the printer could not say.
    kBrontalUnconfirmed = -9009,
    kBrontalDeviceErrorBase = -9200,  // a device error e is reported as -(e) - 9200
};

// Status word bits (the first word of every reply header).
enum BrontalStatusBits : WORD {
    kStatusDayOpen = 0x0001,
    kStatusReceiptOpen = 0x0002,
    kStatusReadyForTotal = 0x0008,
    kStatusNeedReset = 0x0010,
    kStatusNotReady = 0x0020,
    kStatusJournalPresent = 0x0040,
    kStatusFiscal = 0x0080,
    kStatusControlTapeNearEnd = 0x0100,
    kStatusReceiptTapeNearEnd = 0x0200,
    kStatusJournalNearEnd = 0x0400,
    kStatusFiscalMemoryNearEnd = 0x0800,
    kStatusJournalNeedValidate = 0x1000,
    kStatusControlUnitPresent = 0x2000,
    kStatusBlocked = 0x8000,
};

// Blocking word bits: why the printer is blocked.
enum BrontalBlockingBits : WORD {
    kBlockedConfig = 0x0001,
    kBlockedMemory = 0x0002,
    kBlockedRealTimeClock = 0x0004,
    kBlockedNeedPrintZ = 0x0008,
    kBlockedFiscalMemory = 0x0010,
    kBlockedFiscalMemoryFull = 0x0020,
    kBlockedJournal = 0x0040,
    kBlockedJournalFull = 0x0080,
    kBlockedControlUnit = 0x0200,
    kBlockedStartup = 0x1000,
};

// Device errors that start a recovery inside Execute.
constexpr BYTE kDeviceErrorJournal = 22;
constexpr BYTE kDeviceErrorControlUnitFirst = 48;
constexpr BYTE kDeviceErrorControlUnitLast = 50;

// Capacities of the process-wide command text and reply buffers; a command text is at most 1023
// bytes.
constexpr DWORD kCommandTextCapacity = 1024;
constexpr DWORD kReplyTextCapacity = 1024;

// Time budgets of one exchange.
constexpr DWORD kSendBudgetMs = 1000;
constexpr DWORD kReplyBudgetMs = 2000;

// Attempts of Execute when "CmdRetryCount" is 0.
constexpr DWORD kDefaultAttempts = 3;

// A numeric field is read from at most this many characters.
constexpr DWORD kNumericFieldMax = 63;

constexpr int kCurrencyTableCapacity = 8;
constexpr DWORD kCurrencyNameCapacity = 4;  // three letters and the terminator

struct CurrencyEntry {
    LONG code;                         // the printer's currency number
    char name[kCurrencyNameCapacity];  // "UAH"
    LONG decimals;                     // digits after the point of this currency's amounts
};

// The running total of the open receipt, kept by the layer as the receipt's lines are sent.
struct ReceiptTotal {
    LONGLONG amount;
    DWORD scale;  // 1, 10, 100, ...; 0 counts as 1
    int kind;     // receipt type of the open receipt; 2 and 5 count negative
};

constexpr DWORD kHardwareTextCapacity = 32;

// The "gw" reply, field by field.
struct HardwareStatus {
    DWORD sensorBits;  // the 0/1 digit string
    LONG number;
    DWORD firstCode;                          // hexadecimal
    LONG printerWidth;                        // characters per line
    char printerName[kHardwareTextCapacity];  // model text, may carry leading '0's
    DWORD secondCode;                         // hexadecimal
    LONG secondWidth;
    char secondName[kHardwareTextCapacity];
    DWORD thirdCode;  // hexadecimal
    char lastText[kHardwareTextCapacity];
};

// Reports a step of a long operation: the user value it was given, a text (a port name while
// searching) and a number (the speed being tried, or the bytes done so far).
using ProgressCallback = void (*)(LPVOID context, LPCSTR text, DWORD value);

// Baud rates a printer search tries, in order.
constexpr int kSearchSpeedCount = 5;
extern const char* const kSearchSpeeds[kSearchSpeedCount];

// The number of a port name "COMn" (any case); 0 for anything else. The search tries the ports so
// named, and the driver counts them for the search's progress bar.
int PortNumberOf(LPCSTR name);

// ASCII letters compared without regard to case, as the printer's codes and names are; false when
// either text is absent.
bool SameTextNoCase(LPCSTR a, LPCSTR b);

// The text of a negative result code of the link, the command layer or the printer, in
// Windows-1251, cut to `capacity` - 1 bytes and always terminated; its length. Codes of no known
// group give an empty text; 0, positive codes, a missing buffer or no capacity give 0.
DWORD ResultCodeTextOf(int code, LPSTR buffer, DWORD capacity);

class AsyncComX28;

class CBrontal {
  public:
    CBrontal();
    ~CBrontal();
    CBrontal(const CBrontal&) = delete;
    CBrontal& operator=(const CBrontal&) = delete;

    // ---- execution ----

    // Sends `command` (its code in, the reply's echo out) with the fields in `fields` (the reply's
    // data fields out) and, when `expectReply` is set, waits for the reply. The reply payload
    // length; 0 when no reply was expected and the command was sent; a negative code. A device
    // error is not a failure here: the caller turns it into DeviceResult().
    int Execute(LPSTR command, DWORD commandCapacity, LPSTR fields, DWORD fieldCapacity,
                int expectReply);
    // Sends a new request. Bytes sent; -9002 (no command, text of 1024 bytes or more), -9003,
    // -9004.
    int SendCommand(LPCSTR command, LPCSTR fields);
    // Payload length; -8107, -8108, -8109 from the link; -9003, -9004; -9005 when the reply does
    // not follow the reply layout, echoes another command than the one sent (the printer's
    // cached answer to an earlier request) or its data does not fit `data`.
    int ReceiveReply(LPSTR echo, DWORD echoCapacity, LPSTR data, DWORD dataCapacity);
    // A raw command line: code, optionally FS and fields; replaced by the reply's data fields.
    int TransferCommandLine(LPSTR line, DWORD capacity);
    // Device error 22: restart the printer ("c0"), poll "gs", reset ("cr"); an "re" counts as done
    // when the receipt closed meanwhile (0). Otherwise the device error stays 22.
    int RecoverJournalError(int commandIndex);
    // Device errors 48 to 50: for "re", unlock the control unit ("vc", "vr", "vw" AUTH); 0 when
    // the document turned out closed, else `deviceError`, which the object then holds again.
    int RecoverControlUnitError(int commandIndex, BYTE deviceError);

    // 0, or -(device error) - 9200 for the last parsed reply.
    int DeviceResult() const;
    WORD GetStatusWords(WORD* blocking) const;
    int IsLinked() const { return m_linked; }
    // The last request went out and no valid reply to it came: whether the printer executed it
    // is not known.
    bool OutcomeUnknown() const;
    // 0..127; -1 for a text shorter than 2 characters; -2 when no code matches.
    static int CommandIndex(LPCSTR text);
    // Closes and discards the link: 0.
    int Detach();

    // ---- status, identification and link (StatusCommands.cpp, FindPrinter.cpp) ----

    // Opens the link to COM`port` at `baud` (decimal text), checks the printer with "gs" and
    // loads the currency table.
    int Attach(int port, LPCSTR baud);
    int GetStatus(WORD* status, WORD* blocking);
    int ReadDocumentNumbers(DWORD* document, DWORD* session, DWORD* receipt, int* documentType);
    int ReadClock(LPSTR date, DWORD dateCapacity, LPSTR time, DWORD timeCapacity);
    int ReadHeaderText(LPSTR text, DWORD capacity);
    int ReadFooterText(LPSTR text, DWORD capacity);
    int ReadManufacturerData(LPSTR countryCode, DWORD countryCodeCapacity, LPSTR serialNumber,
                             DWORD serialNumberCapacity, LPSTR unitSerialNumber,
                             DWORD unitSerialNumberCapacity, LPSTR unitRegistrationNumber,
                             DWORD unitRegistrationNumberCapacity, LPSTR modelName,
                             DWORD modelNameCapacity);
    int ReadInitializationData(LONG* number, DWORD* options, LPSTR taxpayerAccount,
                               DWORD taxpayerAccountCapacity);
    int ReadHardwareStatus(HardwareStatus* status);
    int ReadFirmware(LPSTR mnemonic, DWORD mnemonicCapacity, LPSTR version, DWORD versionCapacity);
    int ResetPrinterFault();
    // 0 once "c0" is sent: the printer restarts and does not answer.
    int RestartPrinter();
    // Tries COM`*port` at `*baud` first (9600 when 0), then every mapped serial port at every
    // search speed; `progress` hears of each try before it is made. 0 with `*port` and `*baud`
    // set; -1 without a port argument or when nothing was tried; link codes become -9004.
    int FindPrinter(int* port, DWORD* baud, ProgressCallback progress, LPVOID context);

    // ---- currencies (Currencies.cpp) ----

    // "gc" into the layer's currency table; 0 or negative.
    int LoadCurrencies();
    // Index of the currency named `name` (any case); the current currency when none matches.
    int FindCurrency(LPCSTR name) const;
    // Reads "number GS name GS decimals FS" entries until `capacity` or an incomplete entry;
    // returns the number of complete entries.
    static int ReadCurrencyList(LPCSTR* position, CurrencyEntry* entries, int capacity);
    // Replaces the layer's table (at most 8 entries); the entry named `baseName` becomes current.
    void ReplaceCurrencyTable(const CurrencyEntry* entries, int count, LPCSTR baseName);
    int CurrencyCount() const { return m_currencyCount; }
    int CurrentCurrency() const { return m_currentCurrency; }
    // nullptr outside the table.
    const CurrencyEntry* Currency(int index) const;

    // ---- reply layout (Execute.cpp) ----
    // A reply's payload: echo FS error(2 hex digits) FS status(4)blocking(4) [FS data].
    struct ReplyLayout {
        size_t echoLength = 0;
        unsigned error = 0;
        unsigned words = 0;  // status word in the high half, blocking word in the low half
        bool hasData = false;
        size_t dataAt = 0;  // with hasData: where the data starts; it runs to the end
    };
    // False for a payload of `length` bytes that does not have that layout.
    static bool ParseReplyLayout(LPCSTR reply, size_t length, ReplyLayout* layout);

    // ---- field readers (FieldReaders.cpp) ----
    // Each reads the field at *position up to `separator` or the end of the text, moves
    // *position past the separator (nullptr when the text ended) and returns the field's length.
    // 0: empty field (or none left), or for the numeric readers a field that is not a number of
    // the output's range; the output is then unchanged.

    static int NextField(LPCSTR* position, char separator);
    static int NextInt(LPCSTR* position, char separator, int* value);
    static int NextLong(LPCSTR* position, char separator, LONG* value);
    // Copies the field cut to capacity - 1 (always terminated when capacity > 0).
    static int NextText(LPCSTR* position, char separator, LPSTR buffer, DWORD capacity);
    static int NextChar(LPCSTR* position, char separator, char* value);
    // "12.05" -> (1205, 100), "-0.05" -> (-5, 100), "3,25" -> (325, 100); "7" and "12," have
    // scale 0.
    static int NextAmount(LPCSTR* position, char separator, LONGLONG* value, DWORD* scale);
    static int NextHex(LPCSTR* position, char separator, DWORD* value);
    static int NextHexLong(LPCSTR* position, char separator, ULONG* value);
    // Most significant digit first; any character other than '0' and '1' fails.
    static int NextBinary(LPCSTR* position, char separator, DWORD* value);

    // ---- field writers (FieldWriters.cpp) ----
    // Each appends `separator` and one field to the text in `text` (capacity bytes); a separator
    // of 0 starts the text afresh with the field. The new length of the text, or 0 when the field
    // and its separator do not fit with the terminator (the text is then unchanged).

    static int AppendText(LPSTR text, DWORD capacity, char separator, LPCSTR field);
    static int AppendBinary(LPSTR text, DWORD capacity, char separator, DWORD value);
    // `format` holds one conversion of an unsigned value: "%u", "%04u", "%X", ...
    static int AppendUnsigned(LPSTR text, DWORD capacity, char separator, UINT value,
                              LPCSTR format = "%u");
    static int AppendUnsignedLong(LPSTR text, DWORD capacity, char separator, ULONG value,
                                  LPCSTR format = "%lu");
    // (1205, 100) -> "12.05", (-5, 100) -> "-0.05", (7, 1) -> "7". A scale other than 0 and 1
    // that is not a multiple of 10 is refused.
    static int AppendAmount(LPSTR text, DWORD capacity, char separator, LONGLONG value,
                            DWORD scale);
    static int AppendChar(LPSTR text, DWORD capacity, char separator, char value);

    // ---- text helpers (TextHelpers.cpp) ----

    // Two hexadecimal digits per byte, high nibble first, either case: the byte count, or -9002
    // for an odd length, a character that is not a digit, or more bytes than `capacity`.
    static int HexToBytes(LPCSTR hex, BYTE* bytes, DWORD capacity);
    // Upper-case digits, terminated: the text length, or -9002 when it does not fit.
    static int BytesToHex(const BYTE* bytes, DWORD count, LPSTR hex, DWORD capacity);
    // Copies `text`; when it has no line feed and `lineLength` is nonzero, a line feed goes
    // between every `lineLength` characters. The output length (cut to capacity - 1).
    static int WrapText(LPCSTR text, LPSTR output, DWORD capacity, DWORD lineLength);

    // ---- money (MoneyRounding.cpp, ReceiptTotal.cpp) ----
    // Amounts are (value, scale) pairs: value / scale, the scale 1, 10, 100, ... (0 counts as 1).
    // Results that would not fit 64 bits saturate.

    // Brings `value` at *scale to the currency's `decimals` (cutting extra digits) and rounds it
    // to a multiple of `minBill`, halves away from zero; *scale becomes 10^decimals. A minimum
    // bill of 0 (or below) leaves the amount and scale as they are.
    static LONGLONG RoundToMinBill(LONGLONG value, DWORD* scale, LONGLONG minBill, DWORD decimals);
    // x * y / divisor, a positive remainder of at least half the divisor rounding up and a
    // negative one truncating, then RoundToMinBill at *scale.
    static LONGLONG MultiplyRounded(LONGLONG x, LONGLONG y, LONGLONG divisor, LONGLONG minBill,
                                    DWORD* scale, DWORD decimals);
    // |x - y| at the larger of the two scales, then RoundToMinBill; *scale receives the result's
    // scale.
    static LONGLONG SubtractRounded(LONGLONG x, DWORD xScale, LONGLONG y, DWORD yScale,
                                    LONGLONG minBill, DWORD* scale, DWORD decimals);

    void ResetTotal(int kind, LONGLONG amount, DWORD scale);
    // Adds (or with `subtract` subtracts) the amount at the larger of the two scales, which the
    // total takes; returns the total and, when `commonScale` is given, its scale.
    LONGLONG AddToTotal(BOOL subtract, LONGLONG amount, DWORD scale, DWORD* commonScale = nullptr);
    // The same without storing.
    LONGLONG PreviewTotal(BOOL subtract, LONGLONG amount, DWORD scale,
                          DWORD* commonScale = nullptr) const;
    // Kinds 1 and 4: the total; 2 and 5: the total negated (TRUE). Other kinds leave the outputs
    // unchanged (FALSE).
    BOOL GetTotal(LONGLONG* amount, DWORD* scale) const;
    const ReceiptTotal& Total() const { return m_total; }

    // ---- electronic journal (JournalCommands.cpp, Crc32.cpp) ----
    // Journal numbers are sessions; offsets and lengths count bytes of the session's journal.

    // The CRC-32 the printer checks a journal read with: reflected 0xEDB88320, initial all ones,
    // final complement. Crc32Update continues a running value (start from 0) over more bytes.
    static DWORD Crc32(const BYTE* data, DWORD count);
    static DWORD Crc32Update(DWORD crc, const BYTE* data, DWORD count);
    // "jp": the printer prints its journal ("PRINT" when the setting "PrintEJ" is 0).
    int PrintJournal();
    // "jv" with the CRC-32 of the `count` bytes read: the printer accepts the journal when it
    // matches its own.
    int ValidateJournalData(const BYTE* data, DWORD count);
    // "jv" with `crc`, or "VALID" when it is 0: the journal is accepted without a check.
    int ForceValidateJournal(DWORD crc);
    // "jz" for journal *journal (the current one when 0): *journal, *offset and *length receive
    // its number, start offset and length; -9005 when the reply lacks one of them.
    int ReadJournalExtent(DWORD* journal, DWORD* offset, DWORD* length);
    // "jg": up to `requested` bytes (1..512) at `offset` into `buffer`, terminated; *length
    // receives the bytes read (left at `requested` when the printer sent an empty block). -9005
    // when the block does not fit `capacity` with its terminator (what fitted is kept).
    int ReadJournalBlock(DWORD journal, DWORD offset, DWORD requested, LPSTR buffer, DWORD capacity,
                         DWORD* length);
    // "jb": start and end position of the day's journal (0 for a missing field).
    int ReadJournalInfo(DWORD* start, DWORD* end);
    // `length` bytes from `offset` in blocks of 512, `progress` hearing the total after each
    // block. `capacity` must hold `length` bytes and a terminator (else -9002, nothing sent). A
    // failed block ends the read with its code; the bytes before it stay in the buffer.
    int ReadJournal(DWORD journal, DWORD offset, LPSTR buffer, DWORD capacity, DWORD length,
                    ProgressCallback progress, LPVOID context);

    // ---- print commands (PrintCommands.cpp) ----

    // "pt": one text (non-empty, below 1024 bytes) in the open document.
    int PrintTextLine(LPCSTR text);
    // "pf": 0 normal, 1 double height, 2 double width, 3 both.
    int SetPrintFont(UINT font);
    // "pb": types 1 to 9 are the printer's barcodes; 10 prints `data` as a QR code of size 3,
    // level "H", version 2.
    int PrintBarcode(UINT type, LPCSTR data);
    // "pb" QRCODE: size 0 means 3, an absent or empty level "H", version 0 means 2.
    int PrintQRCode(UINT size, LPCSTR level, UINT version, LPCSTR data);
    // "ho".
    int OpenCashDrawer();
    // "sl": selects logo `name` of kind `kind` (0, 1 and above 3 "EPSON", 2 "BMP", 3 "FISCAL")
    // with an optional size word. 0 without sending when the name is absent or empty.
    int SelectLogo(UINT kind, LPCSTR name, DWORD size);
    // "fo": opens a file in the printer; a name of 32 bytes or more goes out as none.
    int OpenFileUpload(LPCSTR name);
    // "fw": 1 to 255 bytes of the open file.
    int WriteFileChunk(const BYTE* data, DWORD count);
    // "fc".
    int CloseFileUpload();
    // The whole `length` bytes as "fw" chunks of 255, `progress` hearing the bytes sent after
    // each; the first failing chunk ends it.
    int UploadFileData(const BYTE* data, DWORD length, ProgressCallback progress, LPVOID context);

    // ---- control unit and fiscalisation (ControlUnitCommands.cpp) ----

    // "vr": the control unit's status word.
    int ReadControlUnitStatus(WORD* status);
    // "iv": the session number and the unit's identifier text (cut to `capacity`).
    int ReadControlUnitUID(DWORD* session, LPSTR uid, DWORD capacity);
    // "vw" exchange `exchange`: 0 "TIME", 1 "ID", 2 "AUTH" (above 2: -9002, nothing sent). On
    // success the unit's status word, its information and answer texts (emptied first, cut to
    // their capacities) and its checksum word; fields missing from the reply leave those empty
    // or unchanged.
    int ControlUnitExchange(UINT exchange, WORD* status, LPSTR info, DWORD infoCapacity,
                            LPSTR answer, DWORD answerCapacity, WORD* checksum);
    // "vc".
    int UnlockControlUnit();
    // "fv": registers a replacement unit. The password must not be empty; the register and
    // serial numbers must be given (the serial may be empty); the printer name is optional.
    int ReplaceControlUnit(LPCSTR password, LPCSTR registerNumber, LPCSTR serialNumber,
                           LPCSTR printerName);
    // "zi".
    int PrintControlUnitReport();
    // "fi": fiscalises the printer. `options` must be nonzero; its bit 0x200 adds the control
    // unit's register and serial numbers and the printer name. An empty new password sends the
    // password again; the taxpayer account number must not be empty.
    int InitializeFiscal(WORD options, LPCSTR password, LPCSTR newPassword, LPCSTR taxpayerAccount,
                         LPCSTR registerNumber, LPCSTR serialNumber, LPCSTR printerName);
    // "c0" without waiting for an answer: 0 once sent; the printer restarts.
    int ResetFiscal();

    // ---- tables and clock (TableCommands.cpp) ----
    // A read starts at entry *start (four digits; the table's start when 0) and stores back the
    // number the reply leads with. Every entry of `entries` is cleared; *count receives the
    // complete entries read, up to `capacity`.

    int ReadDepartments(LONG* start, DepartmentEntry* entries, int capacity, int* count);
    // Also replaces the layer's currency table and makes the entry named by the base code
    // (copied to `baseCode`) the current currency.
    int ReadCurrencies(LONG* start, LPSTR baseCode, DWORD baseCodeCapacity, CurrencyEntry* entries,
                       int capacity, int* count);
    int ReadPaymentFacilities(LONG* start, PaymentFacilityEntry* entries, int capacity, int* count);
    int ReadReceiptHeader(LPSTR text, DWORD capacity);
    int ReadReceiptFooter(LPSTR text, DWORD capacity);
    // The name of department `department` (below 16) from a fresh "gd"; -9002 when the table
    // has no such entry.
    int ReadDepartmentName(int department, LPSTR name, DWORD capacity);
    // "gc" from the start, so that the layer knows the current currency.
    int LoadCurrencyTable();
    // 1 to 16 entries.
    int WriteDepartments(const DepartmentEntry* entries, int count);
    // 1 to 8 entries; on success they become the layer's currency table.
    int WriteCurrencies(LPCSTR baseCode, const CurrencyEntry* entries, int count);
    // 1 to 8 entries.
    int WritePaymentFacilities(const PaymentFacilityEntry* entries, int count);
    int WriteReceiptHeader(LPCSTR text);
    int WriteReceiptFooter(LPCSTR text);
    // The printer's clock; only the date and time fields of `time` are used.
    int SetDateTime(const SYSTEMTIME* time);

    // ---- receipts (ReceiptCommands.cpp) ----
    // Amounts are normalised to the minimum bill and the current currency's decimals before they
    // are sent; argument problems give -9002 before anything is sent and leave the running total
    // as it was. A device error leaves it as it was too.

    // "rb"; a type 5 (annulment) carries the annulled document's number and an optional text.
    int BeginReceipt(int type, ULONG documentNumber = 0, LPCSTR text = nullptr);
    // "rb" of type 1 or 20 to 23 with three texts; `controlTapeOnly` counts for 21 to 23.
    int BeginReceiptWithTexts(int type, LPCSTR text1, LPCSTR text2, LPCSTR text3,
                              BOOL controlTapeOnly);
    // "as": a sale line or its storno (see ArticleLine).
    int SellArticle(const ArticleLine& line);
    // "ad" / "aa" on the last line: the correction itself (`direction` nonzero) or its
    // cancellation.
    int ArticleDiscount(BOOL direction, LONGLONG amount, DWORD scale, LPCSTR text,
                        LPCSTR secondText, int number);
    int ArticleSurcharge(BOOL direction, LONGLONG amount, DWORD scale, LPCSTR text,
                         LPCSTR secondText, int number);
    // "rd" / "ra" on the whole receipt.
    int ReceiptDiscount(LONGLONG amount, DWORD scale, LPCSTR text);
    int ReceiptSurcharge(LONGLONG amount, DWORD scale, LPCSTR text);
    int PrintSubtotal();
    // "rt" with the expected total; *amount and *scale receive the printer's total.
    int CompleteReceipt(LONGLONG* amount, DWORD* scale);
    int ContinueReceipt();
    // "rc": a payment (`payment` nonzero) or a pay-back. With a currency code, `amount` is in
    // that currency and `currencyAmount` (above 0) its rate.
    int PayCash(BOOL payment, LONGLONG amount, DWORD scale, LPCSTR currencyCode = nullptr,
                LONGLONG currencyAmount = 0, DWORD currencyScale = 0);
    // "rn" with payment facility `facility` and an optional text.
    int PayNoncash(BOOL payment, LONGLONG amount, DWORD scale, int facility, LPCSTR text = nullptr);
    // "re": the running total is cleared.
    int EndReceipt();
    // "ri": cash income (`income` nonzero) or outcome, optionally in another currency.
    int CashInOut(BOOL income, LONGLONG amount, DWORD scale, LPCSTR currencyCode = nullptr);
    int CashierLogin(LPCSTR cashier);
    int ReadCashier(LPSTR name, DWORD capacity);
    // "pl": `attribute` 2 prints on the control tape only, 0 everywhere.
    int PrintDocumentLine(int attribute, LPCSTR text);
    int CancelPrinting();
    // "ls": *flags is left as it was when the reply has no flag word.
    int ReadDocumentFlags(DWORD* flags);

    // ---- day and reports (ReportCommands.cpp) ----

    int OpenDay();
    // The Z report that ends the day.
    int CloseDay();
    int PrintXReport();
    int PrintTaxTableReport();
    int PrintCashierReport();
    int PrintSettTableReport();
    int PrintOperationsRegsReport();
    int PrintSelfTestReport();
    // Fiscal memory report from Z `first` to Z `last` (0: only `first`), full or short, with an
    // optional text.
    int PrintReportByZ(BOOL full, UINT first, UINT last, LPCSTR text);
    // The same by dates; only the date fields of `first` and `last` are used, and `last` may be
    // absent or all zero.
    int PrintReportByDate(BOOL full, const SYSTEMTIME* first, const SYSTEMTIME* last, LPCSTR text);

    // ---- session, receipt and cashier information requests (InfoRequests.cpp) ----
    // A session request asks about session *session (the current one when 0 or absent) and
    // stores back the number the reply leads with. List requests clear every entry first and
    // set *count to the complete entries read, up to `capacity`. Fields missing from a reply
    // read as zero where the outputs are cleared, and leave the outputs as they were elsewhere;
    // only the device's error decides the result.

    int ReadSessionDocumentCounts(DWORD* session, SessionDocumentCounts* counts);
    int ReadSessionDateTime(DWORD* session, SessionDateTime* dates);
    int ReadSessionSalesByDepartment(DWORD* session, DepartmentTotals* entries, int capacity,
                                     int* count);
    int ReadSessionRefundsByDepartment(DWORD* session, DepartmentTotals* entries, int capacity,
                                       int* count);
    // Four amounts a currency: sales, sales in the currency, refunds, refunds in the currency.
    int ReadSessionCashByCurrency(DWORD* session, CurrencyTotals* entries, int capacity,
                                  int* count);
    // Two amounts a facility: sales and refunds.
    int ReadSessionNoncashByFacility(DWORD* session, FacilityTotals* entries, int capacity,
                                     int* count);
    int ReadSessionDiscountsSurcharges(DWORD* session, DecimalPair* discounts,
                                       DecimalPair* surcharges);
    int ReadSessionAccumulatedTotals(DWORD* session, DecimalPair* sales, DecimalPair* refunds,
                                     DecimalPair* third);
    // Four amounts a currency: income, outcome, previously collected, collected.
    int ReadSessionCollectedAmounts(DWORD* session, CurrencyTotals* entries, int capacity,
                                    int* count);
    int ReadSessionJournalInfo(DWORD* session, DWORD* size, ULONG* checksum);
    // The reply leads with no session number: *session stays as it was.
    int ReadSessionRestaurantOrders(DWORD* session, DecimalPair* openAmount, DWORD* openCount,
                                    DecimalPair* closedAmount, DWORD* closedCount);
    int ReadReceiptTotals(DecimalPair* sales, DecimalPair* payment);
    int ReadReceiptSalesByDepartment(DepartmentTotals* entries, int capacity, int* count);
    int ReadReceiptRefundsByDepartment(DepartmentTotals* entries, int capacity, int* count);
    // Two amounts a currency: the payment and the payment in the currency.
    int ReadReceiptCashByCurrency(CurrencyTotals* entries, int capacity, int* count);
    // One amount a facility.
    int ReadReceiptNoncashByFacility(FacilityTotals* entries, int capacity, int* count);
    int ReadReceiptDiscountsSurcharges(DecimalPair* discounts, DecimalPair* surcharges);
    // One amount a currency.
    int ReadReceiptCollectedByCurrency(CurrencyTotals* entries, int capacity, int* count);
    // Three amounts a currency: income, outcome, collected.
    int ReadCashierCollectedAmounts(CurrencyTotals* entries, int capacity, int* count);
    // One amount a facility.
    int ReadCashierNoncashByFacility(FacilityTotals* entries, int capacity, int* count);

    // ---- state ----

    // The working copies of the fiscal settings (minimum bill, refund mismatch limit,
    // hyphenation length, quantity precision, journal download flag), kept in step with the
    // settings record by the settings' setters and getters.
    SettingsMirror& Settings() { return m_settings; }
    const SettingsMirror& Settings() const { return m_settings; }
    // The link, or nullptr.
    AsyncComX28* Link() const { return m_link.get(); }
    int LinkPort() const { return m_linkPort; }
    BYTE DeviceError() const { return m_deviceError; }
    DWORD LastDocumentNumber() const { return m_lastDocumentNumber; }

  private:
    // What became of one reply read.
    struct ReplyFacts {
        bool answered = false;      // a whole reply to the request in hand: its header is taken
        bool otherCommand = false;  // a whole reply echoing another command (the printer's cache)
        bool dataTooLarge = false;  // answered, but its data does not fit the caller's buffer
        int linkCode = 0;           // the link's failure, if it failed
    };
    static constexpr size_t kRequestCodeLength = 2;

    // One send and one receive without retries, as the recoveries make them; the data goes to
    // `data` (or is dropped).
    int Exchange(LPCSTR command, LPCSTR fields, LPSTR data, DWORD dataCapacity);
    // SendCommand; `repeat` sends the request in hand again under its own sequence character
    // instead of starting a new one.
    int Transmit(LPCSTR command, LPCSTR fields, bool repeat);
    // ReceiveReply telling what the reply was.
    int ReceiveParsed(LPSTR echo, DWORD echoCapacity, LPSTR data, DWORD dataCapacity,
                      ReplyFacts* facts);
    // Whether an echo of `echoLength` bytes names the command last sent.
    bool EchoAnswers(LPCSTR echo, size_t echoLength) const;

    std::unique_ptr<AsyncComX28> m_link;
    int m_linkPort = 0;
    // Minimum bill, refund mismatch limit, hyphenation length, quantity precision and the
    // journal download flag live in the settings copies.
    SettingsMirror m_settings;
    int m_linked = 0;
    BYTE m_deviceError = 0;
    WORD m_statusWord = 0;
    WORD m_blockingWord = 0;
    CurrencyEntry m_currencies[kCurrencyTableCapacity] = {};
    int m_currencyCount = 0;
    int m_currentCurrency = 0;
    ReceiptTotal m_total = {};
    DWORD m_lastDocumentNumber = 0;
    // The code of the request last sent, which its reply echoes.
    char m_requestCode[kRequestCodeLength + 1] = {};
};
