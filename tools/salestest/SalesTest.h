// The automatic sales test: days of sale receipts against the driver, each day ended by a Z
// report. A client of the driver component only: every step is a member called by name.
//
// The run: a receipt left open is cancelled (CancelPrint) and an open day closed (PrintZReport);
// then for each day OpenDay, and for each receipt ReceiptType = 1, OpenReceipt, the sales
// (Article, Price, Quantity, QuantityUnit, Department = 0, Sale, and with a text StringToPrint
// and PrintLine), CompleteReceipt, Amount = Subtotal, PayCash, CloseReceipt; after the day's
// receipts ElectronicJournalSavePath = the current folder and PrintZReport. The first call that
// fails ends the run, and so does a stop the observer asks for (before the next call); the
// report then tells whether a receipt or the day was left open.
#pragma once

#include <windows.h>

#include "DispatchClient.h"

namespace salestest {

constexpr int kMinDays = 1;
constexpr int kMaxDays = 100;
constexpr int kDefaultDays = 2;
constexpr int kMinReceipts = 1;
constexpr int kMaxReceipts = 1000;
constexpr int kDefaultReceipts = 5;
constexpr int kMinSales = 1;
constexpr int kMaxSales = 10000;
constexpr int kDefaultSales = 1;

// An article of the preset list; money and quantity as CY (times 10000).
struct ArticlePreset {
    LPCOLESTR name;
    LONGLONG price;
    LONGLONG quantity;
    LPCOLESTR unit;
};
constexpr int kArticlePresetCount = 4;
extern const ArticlePreset kArticlePresets[kArticlePresetCount];
// The first preset with a price: a receipt of the free bag (preset 0) totals 0, and a printer
// takes no payment of 0, so a run with it cannot close its receipts.
constexpr int kDefaultArticlePreset = 1;

struct SalesTestParameters {
    int days = kDefaultDays;
    int receiptsPerDay = kDefaultReceipts;
    int salesPerReceipt = kDefaultSales;
    WideText article;
    LONGLONG price = 0;
    LONGLONG quantity = 10000;
    WideText unit;
    bool printText = false;
    WideText textToPrint;
};

// The defaults with the article of preset `index` (0 to kArticlePresetCount - 1; any other index
// takes the default preset).
SalesTestParameters DefaultParameters(int index = kDefaultArticlePreset);
void UsePreset(SalesTestParameters& parameters, int index);
// Counts within their ranges, a quantity above 0, a price not below 0, an article name, and a
// text when it is to be printed. On failure `why` says which (ASCII).
bool ValidateParameters(const SalesTestParameters& parameters, std::string* why);

// Told when the work found open was ended, after every receipt closed and every day closed;
// asked before every call whether the run is to stop there (the call in progress always ends).
struct SalesTestObserver {
    void (*openWorkEnded)(LPVOID context, bool receiptCancelled, bool dayClosed) = nullptr;
    void (*receiptClosed)(LPVOID context, int day, int receipt) = nullptr;
    void (*dayClosed)(LPVOID context, int day) = nullptr;
    LPVOID context = nullptr;
    bool (*stopRequested)(LPVOID context) = nullptr;
};

struct SalesTestReport {
    int receiptsClosed = 0;
    int zReports = 0;  // the one that closes a day found open included
    bool cancelledReceipt = false;
    bool closedOpenDay = false;
    DispatchFailure failure;  // hr S_OK when the run went through
    bool stopped = false;     // the observer asked it to stop (the result is E_ABORT)
    // After a run that did not go through: what the printer was left with, as its status word
    // showed after the last call (stateKnown false when no call reached the printer).
    bool stateKnown = false;
    bool receiptLeftOpen = false;
    bool dayLeftOpen = false;
};

// S_OK when every day went through; E_INVALIDARG for parameters out of range (nothing is
// called); E_ABORT when the observer stopped it; otherwise the failing call's result, its member
// and description in the report.
HRESULT RunSalesTest(CDispatchClient& driver, const SalesTestParameters& parameters,
                     SalesTestReport* report, const SalesTestObserver& observer = {});

}  // namespace salestest
