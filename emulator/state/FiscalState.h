// The printer's fiscal model: its programming tables, the document being built, and the fiscal
// memory of days (sessions) with their counters and the texts of their documents.
//
// Amounts are Money (ten-thousandths, see Money.h). Amounts in the base currency are counted in
// it; amounts "in currency" are counted in that currency's own units.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Money.h"

namespace emu {

// Table limits: what the tables hold and what a reply can carry.
constexpr size_t kMaxDepartments = 16;
constexpr size_t kMaxFacilities = 8;
constexpr size_t kMaxTableName = 14;
constexpr uint32_t kMaxTableNumber = 9999;  // reads name their start number with four digits
// The longest header or footer a "gb"/"ge" reply can carry in one frame.
constexpr size_t kMaxHeaderText = 1004;
constexpr size_t kMaxCashierName = 32;
constexpr size_t kMaxDocumentText = 512;  // one name, line or restaurant text of a document
constexpr size_t kMaxReceiptLines = 500;
constexpr size_t kMaxOpenOrders = 100;
constexpr size_t kMaxSessions = 10000;  // Z numbers are four digits
constexpr uint32_t kDefaultSlipFormLines = 20;
// What one document may add up to, in any of its registers (total, payments, collection): the
// sum of all of them stays far inside 64 bits.
constexpr Money kMaxReceiptRegister = 1000000000000LL * kMoneyScale;

// Receipt types as "rb" numbers them.
constexpr uint32_t kReceiptText = 0;
constexpr uint32_t kReceiptSale = 1;
constexpr uint32_t kReceiptRefund = 2;
constexpr uint32_t kReceiptCashCollection = 3;
constexpr uint32_t kReceiptFuel = 4;
constexpr uint32_t kReceiptAnnulment = 5;
constexpr uint32_t kReceiptTechnical = 7;
constexpr uint32_t kReceiptSlip = 10;
constexpr uint32_t kReceiptOrder = 20;           // a restaurant order ticket: taken, not paid
constexpr uint32_t kReceiptOrderBillFirst = 21;  // 21 to 23: restaurant bills that settle one
constexpr uint32_t kReceiptOrderBillLast = 23;

// How a document of a type is counted.
enum class DocumentKind {
    Text,        // 0, 10: printed lines only
    Sale,        // 1, 4, 21-23: article lines, paid in full
    Refund,      // 2: article lines, paid back in full
    Annulment,   // 5: cancels an earlier document, paid back in full
    Unpaid,      // 7, 20: article lines without payment
    Collection,  // 3: cash income and outcome
    Unknown,
};
DocumentKind KindOf(uint32_t type);
inline bool TakesArticles(DocumentKind kind) {
    return kind == DocumentKind::Sale || kind == DocumentKind::Refund ||
           kind == DocumentKind::Annulment || kind == DocumentKind::Unpaid;
}
inline bool TakesPayments(DocumentKind kind) {
    return kind == DocumentKind::Sale || kind == DocumentKind::Refund ||
           kind == DocumentKind::Annulment;
}
// Refunds and annulments pay money out: the printer shows their totals and payments negative.
inline bool PaysOut(DocumentKind kind) {
    return kind == DocumentKind::Refund || kind == DocumentKind::Annulment;
}
// Every type but the text documents is fiscal and gets a receipt number.
inline bool IsFiscal(DocumentKind kind) {
    return kind != DocumentKind::Text && kind != DocumentKind::Unknown;
}

struct Department {
    uint32_t number = 0;
    char letter = 'A';  // tax group
    std::string name;
};

struct PaymentFacility {
    uint32_t number = 0;
    std::string name;
};

// One article line of the open document.
struct ReceiptLine {
    uint32_t department = 0;
    Money amount = 0;     // negative for a storno line
    Money discount = 0;   // article discounts less their cancellations
    Money surcharge = 0;  // article surcharges less their cancellations
};

struct CashPayment {
    Money base = 0;        // in the base currency
    Money inCurrency = 0;  // in the currency paid with
};

struct OpenReceipt {
    uint32_t type = kReceiptSale;
    std::array<std::string, 3> texts;  // restaurant order, reservations, accommodation
    bool controlTapeOnly = false;
    uint32_t annulledDocument = 0;
    std::string annulledText;
    std::vector<ReceiptLine> lines;
    Money receiptDiscount = 0;
    Money receiptSurcharge = 0;
    // An annulment or restaurant document without article lines is totalled by "rt" alone.
    bool totalGiven = false;
    Money givenTotal = 0;
    std::map<std::string, CashPayment> cash;  // by currency code
    std::map<uint32_t, Money> noncash;        // by payment facility
    Money change = 0;                         // cash handed back so far
    std::map<std::string, Money> income;      // cash collection, in each currency's units
    std::map<std::string, Money> outcome;
    uint32_t slipLines = 0;  // lines on the slip form in the station
    std::string text;        // the document as printed so far
};

// Amount of the document as a magnitude (refunds and annulments are shown negative).
Money ReceiptTotal(const OpenReceipt& receipt);
// Paid so far (less the change handed back), as a magnitude.
Money ReceiptPaid(const OpenReceipt& receipt);
Money ReceiptDiscounts(const OpenReceipt& receipt);
Money ReceiptSurcharges(const OpenReceipt& receipt);
Money ReceiptNoncash(const OpenReceipt& receipt);
bool PaymentStarted(const OpenReceipt& receipt);

struct DepartmentTotals {
    char letter = 'N';
    Money sales = 0;     // line amounts of sales (storno lines taken off)
    Money salesNet = 0;  // the same after article discounts and surcharges
    Money refunds = 0;
    Money refundsNet = 0;
};

struct CurrencyTotals {
    Money cashSales = 0;  // base currency
    Money cashSalesInCurrency = 0;
    Money cashRefunds = 0;
    Money cashRefundsInCurrency = 0;
    Money income = 0;  // the currency's units from here on
    Money outcome = 0;
    Money previous = 0;   // in the drawer when the day opened
    Money collected = 0;  // in the drawer when the day closed (while open: see the drawer)
};

struct FacilityTotals {
    Money sales = 0;
    Money refunds = 0;
};

struct CashierCurrencyTotals {
    Money income = 0;
    Money outcome = 0;
    Money collected = 0;  // what the cashier's documents put into the drawer, net
};

struct CashierTotals {
    std::map<std::string, CashierCurrencyTotals> currencies;
    std::map<uint32_t, Money> noncash;  // non-cash payments taken less those paid back
};

// A day as the fiscal memory keeps it. Its documents' texts are in PrinterState::journals.
struct Session {
    uint32_t number = 0;
    std::string opened;  // "YYYYMMDDhhmmss"
    std::string closed;  // empty while the day is open
    uint32_t lastDocument = 0;
    uint32_t sales = 0;          // sale receipts
    uint32_t refunds = 0;        // refund receipts
    uint32_t documents = 0;      // every document of the day
    uint32_t cancellations = 0;  // annulments and cancelled documents
    std::map<uint32_t, DepartmentTotals> departments;
    std::map<std::string, CurrencyTotals> currencies;
    std::map<uint32_t, FacilityTotals> facilities;
    Money discounts = 0;
    Money surcharges = 0;
    // Grand totals since fiscalisation and the open orders, as they stood when the day closed.
    Money accumulatedSales = 0;
    Money accumulatedRefunds = 0;
    Money accumulatedAnnulments = 0;
    Money openOrderAmount = 0;
    uint32_t openOrderCount = 0;
    Money closedOrderAmount = 0;  // settled during the day
    uint32_t closedOrderCount = 0;
    std::map<std::string, CashierTotals> cashiers;
};

struct RestaurantOrder {
    std::string order;  // the order text its ticket carried
    Money amount = 0;
};

// What the open orders add up to (at most kMaxRegister).
Money OpenOrderAmount(const std::vector<RestaurantOrder>& orders);

struct GrandTotals {
    Money sales = 0;
    Money refunds = 0;
    Money annulments = 0;
};

// What a printer out of the box is programmed with (defined where the texts are Windows-1251).
std::vector<Department> DefaultDepartments();
std::vector<PaymentFacility> DefaultFacilities();
std::string DefaultHeader();
std::string DefaultFooter();

}  // namespace emu
