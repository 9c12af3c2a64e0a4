// Command handlers: one source per command family (commands_<family>.cpp), one row per command
// in the table of CommandTable.cpp.
//
// A handler runs with the engine's mutex held, once per executed request (repeats are answered
// from the cache and never reach it). It reads the request, changes the state, prints, and says
// what to answer; the engine adds the header (echo, error, status words) from the state as the
// handler left it. A handler that fails leaves the state as it found it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Paper.h"
#include "PrinterState.h"
#include "Request.h"

namespace emu {

struct CommandContext {
    PrinterState& state;
    Paper& paper;
    const Request& request;
    // How long a printed report keeps the printer busy (VirtualPrinter::SetReportTime).
    unsigned reportMs = 0;
};

struct CommandResult {
    uint8_t error = kErrNone;
    // Data fields of the reply; none: the reply ends after the status words.
    std::vector<std::string> fields;
    // A long operation: the printer answers SYN about every 300 ms for this long before the
    // reply, as a real one does while it prints a report.
    unsigned busyMs = 0;
    // The printer restarts instead of answering: no reply at all, and deaf to the line until it
    // is up again (the engine keeps the time it takes).
    bool restart = false;
};

using CommandHandler = CommandResult (*)(CommandContext& context);

// The handler of a two-letter code (compared exactly: the printer's codes are lower case), or
// nullptr for a code the printer does not know.
CommandHandler FindCommand(const std::string& code);

// Status family (commands_status.cpp).
CommandResult CmdGetStatus(CommandContext& context);
CommandResult CmdGetDocumentNumbers(CommandContext& context);
CommandResult CmdGetClock(CommandContext& context);

// Identification family (commands_identity.cpp).
CommandResult CmdGetManufacturerData(CommandContext& context);
CommandResult CmdGetInitializationData(CommandContext& context);
CommandResult CmdGetHardwareStatus(CommandContext& context);
CommandResult CmdGetFirmware(CommandContext& context);

// Tables, header, footer and clock (commands_tables.cpp).
CommandResult CmdGetDepartments(CommandContext& context);
CommandResult CmdSetDepartments(CommandContext& context);
CommandResult CmdGetCurrencies(CommandContext& context);
CommandResult CmdSetCurrencies(CommandContext& context);
CommandResult CmdGetFacilities(CommandContext& context);
CommandResult CmdSetFacilities(CommandContext& context);
CommandResult CmdGetHeader(CommandContext& context);
CommandResult CmdSetHeader(CommandContext& context);
CommandResult CmdGetFooter(CommandContext& context);
CommandResult CmdSetFooter(CommandContext& context);
CommandResult CmdSetClock(CommandContext& context);

// The day (commands_day.cpp).
CommandResult CmdOpenDay(CommandContext& context);
CommandResult CmdXReport(CommandContext& context);
CommandResult CmdCloseDay(CommandContext& context);

// Other reports (commands_reports.cpp).
CommandResult CmdReportByDate(CommandContext& context);
CommandResult CmdReportByNumber(CommandContext& context);
CommandResult CmdTaxTableReport(CommandContext& context);
CommandResult CmdCashierReport(CommandContext& context);
CommandResult CmdSettingsReport(CommandContext& context);
CommandResult CmdRegistersReport(CommandContext& context);
CommandResult CmdSelfTest(CommandContext& context);

// Document stages and free lines (commands_receipt.cpp).
CommandResult CmdBeginReceipt(CommandContext& context);
CommandResult CmdSubtotal(CommandContext& context);
CommandResult CmdCompleteReceipt(CommandContext& context);
CommandResult CmdContinueReceipt(CommandContext& context);
CommandResult CmdEndReceipt(CommandContext& context);
CommandResult CmdCancelPrinting(CommandContext& context);
CommandResult CmdDocumentFlags(CommandContext& context);
CommandResult CmdPrintLine(CommandContext& context);

// Article lines and corrections (commands_articles.cpp).
CommandResult CmdSellArticle(CommandContext& context);
CommandResult CmdArticleDiscount(CommandContext& context);
CommandResult CmdArticleSurcharge(CommandContext& context);
CommandResult CmdReceiptDiscount(CommandContext& context);
CommandResult CmdReceiptSurcharge(CommandContext& context);

// Payments and cash collection (commands_payments.cpp).
CommandResult CmdPayCash(CommandContext& context);
CommandResult CmdPayNoncash(CommandContext& context);
CommandResult CmdCashInOut(CommandContext& context);

// The cashier (commands_cashier.cpp).
CommandResult CmdCashierLogin(CommandContext& context);
CommandResult CmdReadCashier(CommandContext& context);
CommandResult CmdCashierCollectedAmounts(CommandContext& context);
CommandResult CmdCashierNoncashByFacility(CommandContext& context);

// Day information requests (commands_session_info.cpp).
CommandResult CmdSessionDocumentCounts(CommandContext& context);
CommandResult CmdSessionDateTime(CommandContext& context);
CommandResult CmdSessionSalesByDepartment(CommandContext& context);
CommandResult CmdSessionRefundsByDepartment(CommandContext& context);
CommandResult CmdSessionCashByCurrency(CommandContext& context);
CommandResult CmdSessionNoncashByFacility(CommandContext& context);
CommandResult CmdSessionDiscountsSurcharges(CommandContext& context);
CommandResult CmdSessionAccumulatedTotals(CommandContext& context);
CommandResult CmdSessionCollectedAmounts(CommandContext& context);
CommandResult CmdSessionJournalInfo(CommandContext& context);
CommandResult CmdSessionRestaurantOrders(CommandContext& context);

// Open document information requests (commands_receipt_info.cpp).
CommandResult CmdReceiptTotals(CommandContext& context);
CommandResult CmdReceiptSalesByDepartment(CommandContext& context);
CommandResult CmdReceiptRefundsByDepartment(CommandContext& context);
CommandResult CmdReceiptCashByCurrency(CommandContext& context);
CommandResult CmdReceiptNoncashByFacility(CommandContext& context);
CommandResult CmdReceiptDiscountsSurcharges(CommandContext& context);
CommandResult CmdReceiptCollectedByCurrency(CommandContext& context);

// Link and restart (commands_link.cpp).
CommandResult CmdResetPrinter(CommandContext& context);
CommandResult CmdRestart(CommandContext& context);

// Control unit (commands_control_unit.cpp).
CommandResult CmdUnitExchange(CommandContext& context);
CommandResult CmdUnitStatus(CommandContext& context);
CommandResult CmdUnitUnlock(CommandContext& context);
CommandResult CmdUnitIdentifier(CommandContext& context);
CommandResult CmdReplaceUnit(CommandContext& context);
CommandResult CmdUnitReport(CommandContext& context);

// Fiscalisation (commands_fiscalisation.cpp).
CommandResult CmdInitializeFiscal(CommandContext& context);

// Electronic journal (commands_journal.cpp).
CommandResult CmdJournalExtent(CommandContext& context);
CommandResult CmdJournalBlock(CommandContext& context);
CommandResult CmdJournalDayBounds(CommandContext& context);
CommandResult CmdJournalValidate(CommandContext& context);
CommandResult CmdJournalPrint(CommandContext& context);

// Printing extras (commands_print.cpp).
CommandResult CmdSetFont(CommandContext& context);
CommandResult CmdPrintText(CommandContext& context);
CommandResult CmdPrintBarcode(CommandContext& context);
CommandResult CmdOpenDrawer(CommandContext& context);

// Logo files (commands_logo.cpp).
CommandResult CmdOpenFile(CommandContext& context);
CommandResult CmdWriteFile(CommandContext& context);
CommandResult CmdCloseFile(CommandContext& context);
CommandResult CmdSelectLogo(CommandContext& context);

}  // namespace emu
