// Rules that the fiscal command families share: table look-ups, the day and the open document,
// finishing and cancelling a document with its counting, and printing onto the paper and into
// the day's journal.
//
// Everything here runs with the engine's mutex held, like the handlers that call it.
#pragma once

#include <cstdint>
#include <string>

#include "Paper.h"
#include "PrinterState.h"
#include "Printout.h"
#include "Request.h"

namespace emu {

// Device errors of the fiscal model.
constexpr uint8_t kErrWrongOrder = 1;  // "ошибка очередности вызова команд"
constexpr uint8_t kErrOverflow = 4;  // "переполнение счетчика"
constexpr uint8_t kErrNoCash = 5;    // "недостаточно наличных в кассе"
constexpr uint8_t kErrDayOver24Hours = 14;  // "смена превысила 24 часа"
constexpr uint8_t kErrWrongPassword = 15;   // "неверный пароль"
constexpr uint8_t kErrNoSlipForm = 19;  // "отсутствует подкладной бланк"
constexpr uint8_t kErrNoDepartment = 33;  // "отдел не найден"
constexpr uint8_t kErrNoCurrency = 35;    // "код валюты не найден"
constexpr uint8_t kErrNoFacility = 36;    // "средство платежа не найдено"
constexpr uint8_t kErrNoZReport = 38;     // "Z-отчет не найден"
constexpr uint8_t kErrNoDocument = 39;    // "документ не найден"

// Tables. Currency codes compare without regard to case, as the driver compares them.
const Currency& BaseCurrency(const PrinterState& state);
unsigned BaseDecimals(const PrinterState& state);
const Currency* FindCurrency(const PrinterState& state, const std::string& code);
// The decimals of a currency in the table, or 2 for a code no longer in it.
unsigned CurrencyDecimals(const PrinterState& state, const std::string& code);
const Department* FindDepartment(const PrinterState& state, uint32_t number);
// Department 0 always exists: sales without a department go there.
bool IsKnownDepartment(const PrinterState& state, uint32_t number);
const PaymentFacility* FindFacility(const PrinterState& state, uint32_t number);

// The day. The status word is what the printer shows; a day or a receipt shown open by a test
// that set the words by hand gets its record when a command first needs it.
bool IsDayOpen(const PrinterState& state);
Session& CurrentSession(PrinterState& state);
// The record of day `number`; for 0 the current or last day. nullptr when there is none.
const Session* FindSession(const PrinterState& state, uint32_t number);
// Whether the day has lasted beyond 24 hours by the printer's clock.
bool DayOverdue(const PrinterState& state);

// The open document, or nullptr when none is open (or the one shown open was already counted).
OpenReceipt* CurrentReceipt(PrinterState& state);
const OpenReceipt* ShownReceipt(const PrinterState& state);
// Makes `receipt` the open document and prints its heading.
void BeginDocument(PrinterState& state, Paper& paper, OpenReceipt receipt);
// Counts the open document into the day's registers, prints its closing part and keeps its text
// in the day's journal. kErrOverflow (nothing changed) when a register would overflow, unless
// `force`: a fault finishes a document whatever it holds.
uint8_t FinishDocument(PrinterState& state, Paper* paper, bool keepShown, bool force);
// The open document is cancelled: printed as such, counted as a document but not as a sale.
void CancelDocument(PrinterState& state, Paper& paper);
// The open document when it may take article lines, discounts and surcharges now (it is of a
// kind that has them, not yet totalled and nothing paid), else nullptr.
OpenReceipt* DocumentForArticles(PrinterState& state);
// The open document when it may take payments now (totalled, of a kind that is paid).
OpenReceipt* DocumentForPayments(PrinterState& state);

// The numbers the open document prints with.
uint32_t NextDocumentNumber(const PrinterState& state);

// Printing. Every document prints on the paper; its text also goes into the open document's
// text (and so into the day's journal when it ends), or, for a report, into the journal of the
// open day.
unsigned PaperWidth(const PrinterState& state);
Printout NewPrintout(const PrinterState& state);
void PrintInDocument(PrinterState& state, Paper& paper, const Printout& printout);
// Lines that go into the document's text but not onto the receipt tape ("pl" attribute 2).
void PrintControlTapeOnly(PrinterState& state, const Printout& printout);
// Free lines in the open document: on a slip form they take its room (kErrNoSlipForm, nothing
// printed, when it is missing or full), and with `controlTapeOnly` they go into the document's
// text alone.
uint8_t PrintFreeLines(PrinterState& state, Paper& paper, const Printout& printout,
                       bool controlTapeOnly);
void PrintInJournal(PrinterState& state, Paper& paper, const Printout& printout);
void PrintOnPaper(Paper& paper, const Printout& printout);
// The selected logo as the paper shows it: a marked line with its name, kind, size and bytes;
// empty when none is selected.
Printout LogoPrintout(const PrinterState& state);

// CRC-32 (IEEE 802.3) of the bytes, as the journal checks them.
uint32_t Crc32(const std::string& bytes);

// "dd.mm.yyyy hh:mm" of "YYYYMMDDhhmmss".
std::string ShownTime(const std::string& digits);
std::string NowDigits(const PrinterState& state);
// Seconds since 1970 of a valid printer time, for day lengths.
int64_t SecondsOf(const PrinterTime& time);
bool ParseTimeDigits(const std::string& digits, PrinterTime& time);

}  // namespace emu
