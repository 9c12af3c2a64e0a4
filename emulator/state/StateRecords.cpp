// The fiscal model in the state file: tables as the wire lays them out, the open document, the
// drawer, the grand totals and every day of the fiscal memory as records, and each day's
// journal as a text of its own.
#include <limits>

#include "Fields.h"
#include "Fiscal.h"
#include "PrinterState.h"
#include "StateRecords.h"
#include "StateText.h"
#include "X28Frame.h"

namespace emu {

namespace {

constexpr int64_t kU32 = std::numeric_limits<uint32_t>::max();
// A list in a record is never longer than this; a larger count is damage.
constexpr int64_t kMaxListLength = 100000;

// Entries as on the wire: parts separated by GS, entries by FS.
std::string JoinEntries(const std::vector<std::vector<std::string>>& entries) {
    std::vector<std::string> joined;
    for (const std::vector<std::string>& parts : entries) {
        joined.push_back(Join(parts, kGs));
    }
    return Join(joined, kFs);
}

bool SplitEntries(const std::string& text, size_t parts,
                  std::vector<std::vector<std::string>>& entries) {
    entries.clear();
    if (text.empty()) {
        return true;
    }
    for (const std::string& entry : Split(text, kFs)) {
        entries.push_back(Split(entry, kGs));
        if (entries.back().size() != parts) {
            return false;
        }
    }
    return true;
}

class Out {
  public:
    Out& Int(int64_t value) {
        record_.Int(value);
        return *this;
    }
    Out& Text(const std::string& value) {
        record_.Text(value);
        return *this;
    }
    const std::string& text() const { return record_.text(); }

  private:
    RecordWriter record_;
};

class In {
  public:
    explicit In(const std::string& text) : record_(text) {}
    template <typename T>
    In& Number(T& value, int64_t low = 0, int64_t high = kU32) {
        ok_ = ok_ && record_.Number(value, low, high);
        return *this;
    }
    In& Amount(Money& value) { return Number(value, -kMaxRegister, kMaxRegister); }
    In& Count(size_t& value) { return Number(value, 0, kMaxListLength); }
    In& Flag(bool& value) { return Number(value, 0, 1); }
    In& Text(std::string& value, size_t maxLength) {
        ok_ = ok_ && record_.Text(value) && IsPrintableText(value, maxLength);
        return *this;
    }
    In& DocumentText(std::string& value) {
        ok_ = ok_ && record_.Text(value) && IsDocumentText(value, value.size());
        return *this;
    }
    In& Letter(char& value) {
        std::string text;
        Text(text, 1);
        ok_ = ok_ && text.size() == 1;
        value = ok_ ? text[0] : value;
        return *this;
    }
    bool ok() const { return ok_; }
    bool Done() const { return ok_ && record_.AtEnd(); }

  private:
    RecordReader record_;
    bool ok_ = true;
};

std::string SaveSession(const Session& s) {
    Out out;
    out.Int(s.number).Text(s.opened).Text(s.closed).Int(s.lastDocument).Int(s.sales);
    out.Int(s.refunds).Int(s.documents).Int(s.cancellations);
    out.Int(static_cast<int64_t>(s.departments.size()));
    for (const auto& [number, t] : s.departments) {
        out.Int(number).Text(std::string(1, t.letter)).Int(t.sales).Int(t.salesNet);
        out.Int(t.refunds).Int(t.refundsNet);
    }
    out.Int(static_cast<int64_t>(s.currencies.size()));
    for (const auto& [code, t] : s.currencies) {
        out.Text(code).Int(t.cashSales).Int(t.cashSalesInCurrency).Int(t.cashRefunds);
        out.Int(t.cashRefundsInCurrency).Int(t.income).Int(t.outcome).Int(t.previous);
        out.Int(t.collected);
    }
    out.Int(static_cast<int64_t>(s.facilities.size()));
    for (const auto& [number, t] : s.facilities) {
        out.Int(number).Int(t.sales).Int(t.refunds);
    }
    out.Int(s.discounts).Int(s.surcharges).Int(s.accumulatedSales).Int(s.accumulatedRefunds);
    out.Int(s.accumulatedAnnulments).Int(s.openOrderAmount).Int(s.openOrderCount);
    out.Int(s.closedOrderAmount).Int(s.closedOrderCount);
    out.Int(static_cast<int64_t>(s.cashiers.size()));
    for (const auto& [name, cashier] : s.cashiers) {
        out.Text(name).Int(static_cast<int64_t>(cashier.currencies.size()));
        for (const auto& [code, t] : cashier.currencies) {
            out.Text(code).Int(t.income).Int(t.outcome).Int(t.collected);
        }
        out.Int(static_cast<int64_t>(cashier.noncash.size()));
        for (const auto& [number, amount] : cashier.noncash) {
            out.Int(number).Int(amount);
        }
    }
    return out.text();
}

bool LoadSession(const std::string& text, Session& s) {
    In in(text);
    in.Number(s.number).Text(s.opened, 14).Text(s.closed, 14).Number(s.lastDocument);
    in.Number(s.sales).Number(s.refunds).Number(s.documents).Number(s.cancellations);
    size_t count = 0;
    in.Count(count);
    for (size_t i = 0; in.ok() && i < count; ++i) {
        uint32_t number = 0;
        DepartmentTotals t;
        in.Number(number).Letter(t.letter).Amount(t.sales).Amount(t.salesNet);
        in.Amount(t.refunds).Amount(t.refundsNet);
        s.departments[number] = t;
    }
    in.Count(count);
    for (size_t i = 0; in.ok() && i < count; ++i) {
        std::string code;
        CurrencyTotals t;
        in.Text(code, kMaxCurrencyCode).Amount(t.cashSales).Amount(t.cashSalesInCurrency);
        in.Amount(t.cashRefunds).Amount(t.cashRefundsInCurrency).Amount(t.income);
        in.Amount(t.outcome).Amount(t.previous).Amount(t.collected);
        s.currencies[code] = t;
    }
    in.Count(count);
    for (size_t i = 0; in.ok() && i < count; ++i) {
        uint32_t number = 0;
        FacilityTotals t;
        in.Number(number).Amount(t.sales).Amount(t.refunds);
        s.facilities[number] = t;
    }
    in.Amount(s.discounts).Amount(s.surcharges).Amount(s.accumulatedSales);
    in.Amount(s.accumulatedRefunds).Amount(s.accumulatedAnnulments).Amount(s.openOrderAmount);
    in.Number(s.openOrderCount).Amount(s.closedOrderAmount).Number(s.closedOrderCount);
    in.Count(count);
    for (size_t i = 0; in.ok() && i < count; ++i) {
        std::string name;
        CashierTotals cashier;
        size_t entries = 0;
        in.Text(name, kMaxCashierName).Count(entries);
        for (size_t k = 0; in.ok() && k < entries; ++k) {
            std::string code;
            CashierCurrencyTotals t;
            in.Text(code, kMaxCurrencyCode).Amount(t.income).Amount(t.outcome).Amount(t.collected);
            cashier.currencies[code] = t;
        }
        in.Count(entries);
        for (size_t k = 0; in.ok() && k < entries; ++k) {
            uint32_t number = 0;
            Money amount = 0;
            in.Number(number).Amount(amount);
            cashier.noncash[number] = amount;
        }
        s.cashiers[name] = cashier;
    }
    PrinterTime time;
    return in.Done() && ParseTimeDigitsOrEmpty(s.opened, time) &&
           ParseTimeDigitsOrEmpty(s.closed, time);
}

std::string SaveReceipt(const OpenReceipt& r) {
    Out out;
    out.Int(r.type).Text(r.texts[0]).Text(r.texts[1]).Text(r.texts[2]);
    out.Int(r.controlTapeOnly ? 1 : 0).Int(r.annulledDocument).Text(r.annulledText);
    out.Int(static_cast<int64_t>(r.lines.size()));
    for (const ReceiptLine& line : r.lines) {
        out.Int(line.department).Int(line.amount).Int(line.discount).Int(line.surcharge);
    }
    out.Int(r.receiptDiscount).Int(r.receiptSurcharge).Int(r.totalGiven ? 1 : 0);
    out.Int(r.givenTotal).Int(static_cast<int64_t>(r.cash.size()));
    for (const auto& [code, payment] : r.cash) {
        out.Text(code).Int(payment.base).Int(payment.inCurrency);
    }
    out.Int(static_cast<int64_t>(r.noncash.size()));
    for (const auto& [number, amount] : r.noncash) {
        out.Int(number).Int(amount);
    }
    out.Int(r.change);
    for (const std::map<std::string, Money>* amounts : {&r.income, &r.outcome}) {
        out.Int(static_cast<int64_t>(amounts->size()));
        for (const auto& [code, amount] : *amounts) {
            out.Text(code).Int(amount);
        }
    }
    out.Int(r.slipLines).Text(r.text);
    return out.text();
}

bool LoadReceipt(const std::string& text, OpenReceipt& r) {
    In in(text);
    in.Number(r.type);
    for (std::string& t : r.texts) {
        in.Text(t, kMaxDocumentText);
    }
    in.Flag(r.controlTapeOnly).Number(r.annulledDocument).Text(r.annulledText, kMaxDocumentText);
    size_t count = 0;
    in.Count(count);
    for (size_t i = 0; in.ok() && i < count && i < kMaxReceiptLines; ++i) {
        ReceiptLine line;
        in.Number(line.department).Amount(line.amount).Amount(line.discount);
        in.Amount(line.surcharge);
        r.lines.push_back(line);
    }
    in.Amount(r.receiptDiscount).Amount(r.receiptSurcharge).Flag(r.totalGiven);
    in.Amount(r.givenTotal).Count(count);
    for (size_t i = 0; in.ok() && i < count; ++i) {
        std::string code;
        CashPayment payment;
        in.Text(code, kMaxCurrencyCode).Amount(payment.base).Amount(payment.inCurrency);
        r.cash[code] = payment;
    }
    in.Count(count);
    for (size_t i = 0; in.ok() && i < count; ++i) {
        uint32_t number = 0;
        Money amount = 0;
        in.Number(number).Amount(amount);
        r.noncash[number] = amount;
    }
    in.Amount(r.change);
    for (std::map<std::string, Money>* amounts : {&r.income, &r.outcome}) {
        in.Count(count);
        for (size_t i = 0; in.ok() && i < count; ++i) {
            std::string code;
            Money amount = 0;
            in.Text(code, kMaxCurrencyCode).Amount(amount);
            (*amounts)[code] = amount;
        }
    }
    in.Number(r.slipLines).DocumentText(r.text);
    // Every register of a document stays within what one document may hold, so that the sums
    // the printer forms from them cannot overflow.
    bool bounded = r.lines.size() <= kMaxReceiptLines && r.cash.size() <= kMaxCurrencies &&
                   r.noncash.size() <= kMaxFacilities && r.income.size() <= kMaxCurrencies &&
                   r.outcome.size() <= kMaxCurrencies;
    for (const ReceiptLine& line : r.lines) {
        bounded = bounded && line.amount >= -kMaxFieldAmount && line.amount <= kMaxFieldAmount &&
                  line.discount >= 0 && line.discount <= kMaxReceiptRegister &&
                  line.surcharge >= 0 && line.surcharge <= kMaxReceiptRegister;
    }
    for (Money m : {r.receiptDiscount, r.receiptSurcharge, r.givenTotal, r.change}) {
        bounded = bounded && m >= 0 && m <= kMaxReceiptRegister;
    }
    for (const auto& [code, payment] : r.cash) {
        bounded = bounded && payment.base >= 0 && payment.base <= kMaxReceiptRegister &&
                  payment.inCurrency >= 0 && payment.inCurrency <= kMaxReceiptRegister;
    }
    for (const std::map<uint32_t, Money>::value_type& entry : r.noncash) {
        bounded = bounded && entry.second >= 0 && entry.second <= kMaxReceiptRegister;
    }
    for (const std::map<std::string, Money>* amounts : {&r.income, &r.outcome}) {
        for (const auto& [code, amount] : *amounts) {
            bounded = bounded && amount >= 0 && amount <= kMaxReceiptRegister;
        }
    }
    return in.Done() && bounded && KindOf(r.type) != DocumentKind::Unknown;
}

std::string SaveOrders(const std::vector<RestaurantOrder>& orders) {
    Out out;
    out.Int(static_cast<int64_t>(orders.size()));
    for (const RestaurantOrder& order : orders) {
        out.Text(order.order).Int(order.amount);
    }
    return out.text();
}

bool LoadOrders(const std::string& text, std::vector<RestaurantOrder>& orders) {
    In in(text);
    size_t count = 0;
    in.Count(count);
    orders.clear();
    for (size_t i = 0; in.ok() && i < count; ++i) {
        RestaurantOrder order;
        in.Text(order.order, kMaxDocumentText).Amount(order.amount);
        orders.push_back(order);
    }
    return in.Done() && orders.size() <= kMaxOpenOrders;
}

}  // namespace

bool ParseTimeDigitsOrEmpty(const std::string& digits, PrinterTime& time) {
    return digits.empty() || ParseTimeDigits(digits, time);
}

void SaveFiscal(const PrinterState& state, StateWriter& out) {
    std::vector<std::vector<std::string>> entries;
    for (const Department& d : state.departments) {
        entries.push_back({std::to_string(d.number), std::string(1, d.letter), d.name});
    }
    out.Text("departments", JoinEntries(entries));
    entries.clear();
    for (const PaymentFacility& f : state.facilities) {
        entries.push_back({std::to_string(f.number), f.name});
    }
    out.Text("facilities", JoinEntries(entries));
    out.Text("header", state.header);
    out.Text("footer", state.footer);
    out.Text("cashier", state.cashier);
    out.Text("cashier-since", state.cashierSince);
    out.Text("report-password", state.reportPassword);
    out.Int("slip-form", state.slipFormInserted ? 1 : 0);
    out.Int("slip-form-lines", state.slipFormLines);
    entries.clear();
    for (const auto& [code, amount] : state.drawer) {
        entries.push_back({code, std::to_string(amount)});
    }
    out.Text("drawer", JoinEntries(entries));
    out.Text(
        "grand-totals",
        Out().Int(state.grand.sales).Int(state.grand.refunds).Int(state.grand.annulments).text());
    out.Text("open-orders", SaveOrders(state.openOrders));
    out.Text("open-document", state.receipt ? SaveReceipt(*state.receipt) : std::string());
    out.Int("sessions", static_cast<int64_t>(state.sessions.size()));
    for (size_t i = 0; i < state.sessions.size(); ++i) {
        out.Text("session." + std::to_string(i), SaveSession(state.sessions[i]));
    }
    for (const auto& [number, journal] : state.journals) {
        out.Text("journal." + std::to_string(number), journal);
    }
}

bool LoadFiscal(const StateReader& in, PrinterState& next) {
    std::string text;
    std::vector<std::vector<std::string>> entries;
    if (in.Text("departments", text)) {
        std::vector<Department> table;
        if (!SplitEntries(text, 3, entries) || !ReadDepartments(entries, table)) {
            return false;
        }
        next.departments = table;
    }
    if (in.Text("facilities", text)) {
        std::vector<PaymentFacility> table;
        if (!SplitEntries(text, 2, entries) || !ReadFacilities(entries, table)) {
            return false;
        }
        next.facilities = table;
    }
    for (auto [key, value] :
         {std::pair<const char*, std::string*>{"header", &next.header}, {"footer", &next.footer}}) {
        if (in.Text(key, text)) {
            if (!IsValidHeaderText(text)) {
                return false;
            }
            *value = text;
        }
    }
    PrinterTime time;
    if (in.Has("cashier") &&
        (!in.Text("cashier", next.cashier) || !IsPrintableText(next.cashier, kMaxCashierName))) {
        return false;
    }
    if (in.Has("cashier-since") && (!in.Text("cashier-since", next.cashierSince) ||
                                    !ParseTimeDigitsOrEmpty(next.cashierSince, time))) {
        return false;
    }
    if (in.Has("report-password") && (!in.Text("report-password", next.reportPassword) ||
                                      !IsPrintableText(next.reportPassword, kMaxDocumentText))) {
        return false;
    }
    int64_t number = 0;
    if (in.Has("slip-form")) {
        if (!in.Int("slip-form", number) || number < 0 || number > 1) {
            return false;
        }
        next.slipFormInserted = number == 1;
    }
    if (in.Has("slip-form-lines")) {
        if (!in.Int("slip-form-lines", number) || number < 1 || number > 1000) {
            return false;
        }
        next.slipFormLines = static_cast<uint32_t>(number);
    }
    if (in.Text("drawer", text)) {
        std::map<std::string, Money> drawer;
        if (!SplitEntries(text, 2, entries) || entries.size() > kMaxListLength) {
            return false;
        }
        for (const std::vector<std::string>& e : entries) {
            RecordReader amount(e[1]);
            Money value = 0;
            if (!IsPrintableText(e[0], kMaxCurrencyCode) || e[0].empty() ||
                !amount.Number(value, -kMaxRegister, kMaxRegister) || !amount.AtEnd()) {
                return false;
            }
            drawer[e[0]] = value;
        }
        next.drawer = drawer;
    }
    if (in.Text("grand-totals", text)) {
        In record(text);
        GrandTotals grand;
        record.Amount(grand.sales).Amount(grand.refunds).Amount(grand.annulments);
        if (!record.Done()) {
            return false;
        }
        next.grand = grand;
    }
    if (in.Text("open-orders", text) && !LoadOrders(text, next.openOrders)) {
        return false;
    }
    if (in.Text("open-document", text)) {
        next.receipt.reset();
        if (!text.empty()) {
            OpenReceipt receipt;
            if (!LoadReceipt(text, receipt)) {
                return false;
            }
            next.receipt = receipt;
        }
    }
    if (in.Has("sessions")) {
        if (!in.Int("sessions", number) || number < 0 ||
            number > static_cast<int64_t>(kMaxSessions)) {
            return false;
        }
        std::vector<Session> sessions;
        for (int64_t i = 0; i < number; ++i) {
            Session session;
            if (!in.Text("session." + std::to_string(i), text) || !LoadSession(text, session)) {
                return false;
            }
            sessions.push_back(session);
        }
        next.sessions = sessions;
        // The journals go with the days they belong to.
        next.journals.clear();
        for (const Session& session : next.sessions) {
            if (in.Text("journal." + std::to_string(session.number), text)) {
                if (!IsValidJournal(text)) {
                    return false;
                }
                next.journals[session.number] = text;
            }
        }
    }
    return true;
}

}  // namespace emu
