// A whole receipt as one JSON document, and the other documents' bodies, read and checked
// before anything goes to the printer. Money and quantities are CY values (times 10000).
//
//   {"type": "sale" | "refund", "cashier": "...",
//    "lines": [{"article": "...", "price": "12.50", "quantity": 2, "unit": "kg",
//               "department": 1, "goods_type": 0, "barcode": "...",
//               "discounts": [{"amount": "1.00", "label": "..."}], "surcharges": [...]}],
//    "discounts": [...], "surcharges": [...],          (on the whole receipt)
//    "texts": ["free line", ...],                       (printed after the lines)
//    "payments": [{"kind": "cash", "amount": "20.00"},
//                 {"kind": "noncash", "amount": "5.00", "facility": 1},
//                 {"kind": "currency", "amount": "10.00", "currency": "USD",
//                  "rate": "90.50"}]}
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "JsonValues.h"

namespace brontald {

// What is wrong with a request body: the member's path ("lines[1].price") and why.
struct BodyError {
    std::string field;
    std::string message;

    bool Empty() const { return message.empty(); }
};

struct Correction {
    LONGLONG amount = 0;
    std::string label;
};

struct ReceiptLine {
    std::string article;
    LONGLONG price = 0;
    LONGLONG quantity = 10000;
    std::string unit;
    unsigned department = 1;
    unsigned goodsType = 0;
    std::string barcode;
    std::vector<Correction> discounts;
    std::vector<Correction> surcharges;
};

enum class PaymentKind { Cash, Noncash, Currency };

struct Payment {
    PaymentKind kind = PaymentKind::Cash;
    LONGLONG amount = 0;
    unsigned facility = 0;
    std::string currency;
    LONGLONG rate = 0;
};

constexpr unsigned kReceiptSale = 1;
constexpr unsigned kReceiptRefund = 2;

struct ReceiptRequest {
    unsigned type = kReceiptSale;
    std::string cashier;
    std::vector<ReceiptLine> lines;
    std::vector<Correction> discounts;
    std::vector<Correction> surcharges;
    std::vector<std::string> texts;
    std::vector<Payment> payments;

    // What the payments bring in the base currency (a foreign amount at its rate, rounded to
    // the coin).
    LONGLONG PaidAmount() const;
};

BodyError ParseReceipt(const Json& body, ReceiptRequest* receipt);

// Cash income and outcome: {"amount": "100.00", "currency": "USD"}.
struct CashRequest {
    LONGLONG amount = 0;
    std::string currency;
};
BodyError ParseCash(const Json& body, CashRequest* cash);

// Reports by range: {"from": 1 | "2026-01-01", "to": ..., "detailed": false, "password": ""}.
struct ReportRangeRequest {
    bool byDate = false;
    unsigned fromNumber = 0;
    unsigned toNumber = 0;
    DATE fromDate = 0;
    DATE toDate = 0;
    bool detailed = false;
    std::string password;
};
BodyError ParseReportRange(const Json& body, bool byDate, ReportRangeRequest* report);

// Bodies that take only optional texts, such as the day opening's {"cashier": "..."}; every
// member must be one of `names` and a printable text. `texts` may be null for a body that must
// be empty.
BodyError ParseTexts(const Json& body, const std::vector<std::string>& names,
                     std::vector<std::string>* texts);

}  // namespace brontald
