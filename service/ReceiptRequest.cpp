#include "ReceiptRequest.h"

#include <set>

#include "Values.h"

namespace brontald {

namespace {

constexpr size_t kMaxLines = 500;
constexpr size_t kMaxPayments = 16;
constexpr size_t kMaxCorrections = 8;
constexpr size_t kMaxTexts = 100;
constexpr size_t kMaxArticle = 500;  // the driver wraps long names into lines
constexpr size_t kMaxLabel = 64;
constexpr size_t kMaxLine = 250;
constexpr size_t kMaxShortText = 32;
constexpr unsigned kMaxTableNumber = 65535;
constexpr LONGLONG kMaxQuantity = 1000000LL * 10000;  // a million units

// Reads the members of one JSON object, refusing members it does not know, so that a misspelt
// member is an error and not a silent default.
class CObjectReader {
  public:
    CObjectReader(const Json& object, std::string path, BodyError* error)
        : m_object(object), m_path(std::move(path)), m_error(error) {
        if (!m_object.is_object()) {
            Fail(m_path, "must be a JSON object");
        }
    }

    bool Ok() const { return m_error->Empty(); }

    // Refuses every member not in `known`.
    void Only(const std::set<std::string>& known) {
        if (!Ok()) {
            return;
        }
        for (const auto& [name, value] : m_object.items()) {
            if (!known.count(name)) {
                Fail(Member(name), "is not a member of this object");
                return;
            }
        }
    }

    const Json* Find(const std::string& name) const {
        if (!Ok() || !m_object.contains(name) || m_object[name].is_null()) {
            return nullptr;
        }
        return &m_object[name];
    }

    // The member, or null when it is absent, which is a failure when it is `required`.
    const Json* Need(const std::string& name, bool required) {
        const Json* value = Find(name);
        if (!value && required && Ok()) {
            Fail(Member(name), "is required");
        }
        return value;
    }

    void Text(const std::string& name, size_t limit, std::string* text, bool required = false) {
        const Json* value = Need(name, required);
        if (!value) {
            return;
        }
        if (!value->is_string()) {
            Fail(Member(name), "must be a string");
            return;
        }
        const std::string given = value->get<std::string>();
        if (required && given.empty()) {
            Fail(Member(name), "must not be empty");
        } else if (!FitsPrinterText(given)) {
            Fail(Member(name), "holds characters the printer cannot print (Windows-1251)");
        } else if (CharacterCount(given) > limit) {
            Fail(Member(name), "is longer than " + std::to_string(limit) + " characters");
        } else {
            *text = given;
        }
    }

    // Money or a quantity; `low` is the least value taken, `positive` refuses 0 as well.
    void Money(const std::string& name, LONGLONG* money, bool required, bool positive,
               LONGLONG high = 0) {
        const Json* value = Need(name, required);
        if (!value) {
            return;
        }
        LONGLONG parsed = 0;
        if (!ParseJsonMoney(*value, &parsed)) {
            Fail(Member(name), "must be an amount such as \"12.50\" (at most four decimals)");
        } else if (parsed < 0) {
            Fail(Member(name), "must not be negative");
        } else if (positive && parsed == 0) {
            Fail(Member(name), "must be greater than 0");
        } else if (high > 0 && parsed > high) {
            Fail(Member(name), "is too large");
        } else {
            *money = parsed;
        }
    }

    void Number(const std::string& name, unsigned low, unsigned high, unsigned* number,
                bool required = false) {
        const Json* value = Need(name, required);
        if (!value) {
            return;
        }
        if (!value->is_number_integer() || value->get<long long>() < low ||
            value->get<long long>() > high) {
            Fail(Member(name), "must be a whole number from " + std::to_string(low) + " to " +
                                   std::to_string(high));
            return;
        }
        *number = static_cast<unsigned>(value->get<long long>());
    }

    void Flag(const std::string& name, bool* flag) {
        const Json* value = Find(name);
        if (!value) {
            return;
        }
        if (!value->is_boolean()) {
            Fail(Member(name), "must be true or false");
            return;
        }
        *flag = value->get<bool>();
    }

    // The array member `name` (empty when absent), each item handed to `each` with its path.
    template <typename Each>
    void Array(const std::string& name, size_t limit, Each each) {
        const Json* value = Find(name);
        if (!value) {
            return;
        }
        if (!value->is_array()) {
            Fail(Member(name), "must be an array");
            return;
        }
        if (value->size() > limit) {
            Fail(Member(name), "has more than " + std::to_string(limit) + " items");
            return;
        }
        for (size_t i = 0; i < value->size() && Ok(); ++i) {
            each((*value)[i], Member(name) + "[" + std::to_string(i) + "]");
        }
    }

    std::string Member(const std::string& name) const {
        return m_path.empty() ? name : m_path + "." + name;
    }

    void Fail(const std::string& field, const std::string& message) {
        if (Ok()) {
            *m_error = {field, message};
        }
    }

  private:
    static size_t CharacterCount(const std::string& utf8) {
        size_t count = 0;
        for (const char c : utf8) {
            count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
        return count;
    }

    const Json& m_object;
    std::string m_path;
    BodyError* m_error;
};

void ReadCorrections(CObjectReader& reader, const std::string& name,
                     std::vector<Correction>* corrections, BodyError* error) {
    reader.Array(name, kMaxCorrections, [&](const Json& item, const std::string& path) {
        CObjectReader correction(item, path, error);
        correction.Only({"amount", "label"});
        Correction read;
        correction.Money("amount", &read.amount, true, true);
        correction.Text("label", kMaxLabel, &read.label);
        corrections->push_back(read);
    });
}

void ReadLine(const Json& item, const std::string& path, ReceiptLine* line, BodyError* error) {
    CObjectReader reader(item, path, error);
    reader.Only({"article", "price", "quantity", "unit", "department", "goods_type", "barcode",
                 "discounts", "surcharges"});
    reader.Text("article", kMaxArticle, &line->article);
    reader.Money("price", &line->price, true, false);
    reader.Money("quantity", &line->quantity, false, true, kMaxQuantity);
    reader.Text("unit", kMaxShortText, &line->unit);
    reader.Number("department", 1, kMaxTableNumber, &line->department);
    reader.Number("goods_type", 0, kMaxTableNumber, &line->goodsType);
    reader.Text("barcode", kMaxShortText, &line->barcode);
    ReadCorrections(reader, "discounts", &line->discounts, error);
    ReadCorrections(reader, "surcharges", &line->surcharges, error);
}

void ReadPayment(const Json& item, const std::string& path, Payment* payment, BodyError* error) {
    CObjectReader reader(item, path, error);
    reader.Only({"kind", "amount", "facility", "currency", "rate"});
    std::string kind = "cash";
    reader.Text("kind", kMaxShortText, &kind);
    reader.Money("amount", &payment->amount, true, true);
    if (!reader.Ok()) {
        return;
    }
    if (kind == "cash") {
        payment->kind = PaymentKind::Cash;
        if (reader.Find("facility") || reader.Find("currency") || reader.Find("rate")) {
            reader.Fail(path, "a cash payment has only an amount");
        }
    } else if (kind == "noncash") {
        payment->kind = PaymentKind::Noncash;
        reader.Number("facility", 1, kMaxTableNumber, &payment->facility, true);
        if (reader.Find("currency") || reader.Find("rate")) {
            reader.Fail(path, "a non-cash payment has an amount and a facility");
        }
    } else if (kind == "currency") {
        payment->kind = PaymentKind::Currency;
        reader.Text("currency", 8, &payment->currency, true);
        reader.Money("rate", &payment->rate, true, true);
    } else {
        reader.Fail(reader.Member("kind"), "must be \"cash\", \"noncash\" or \"currency\"");
    }
}

}  // namespace

LONGLONG ReceiptRequest::PaidAmount() const {
    LONGLONG paid = 0;
    for (const Payment& payment : payments) {
        if (payment.kind == PaymentKind::Currency) {
            // amount x rate, both times 10000, to the coin
            const __int128 product = static_cast<__int128>(payment.amount) * payment.rate;
            paid += static_cast<LONGLONG>((product / 10000 + 50) / 100 * 100);
        } else {
            paid += payment.amount;
        }
    }
    return paid;
}

BodyError ParseReceipt(const Json& body, ReceiptRequest* receipt) {
    *receipt = ReceiptRequest();
    BodyError error;
    CObjectReader reader(body, "", &error);
    reader.Only({"type", "cashier", "lines", "discounts", "surcharges", "texts", "payments"});
    std::string type = "sale";
    reader.Text("type", kMaxShortText, &type);
    if (reader.Ok()) {
        if (type == "sale") {
            receipt->type = kReceiptSale;
        } else if (type == "refund") {
            receipt->type = kReceiptRefund;
        } else {
            reader.Fail("type", "must be \"sale\" or \"refund\"");
        }
    }
    reader.Text("cashier", kMaxShortText, &receipt->cashier);
    reader.Array("lines", kMaxLines, [&](const Json& item, const std::string& path) {
        ReceiptLine line;
        ReadLine(item, path, &line, &error);
        receipt->lines.push_back(line);
    });
    if (reader.Ok() && receipt->lines.empty()) {
        reader.Fail("lines", "a receipt needs at least one line");
    }
    ReadCorrections(reader, "discounts", &receipt->discounts, &error);
    ReadCorrections(reader, "surcharges", &receipt->surcharges, &error);
    reader.Array("texts", kMaxTexts, [&](const Json& item, const std::string& path) {
        if (!item.is_string() || item.get<std::string>().empty()) {
            reader.Fail(path, "must be a non-empty string");
        } else if (!FitsPrinterText(item.get<std::string>())) {
            reader.Fail(path, "holds characters the printer cannot print (Windows-1251)");
        } else if (item.get<std::string>().size() > kMaxLine * 2) {
            reader.Fail(path, "is too long for a line");
        } else {
            receipt->texts.push_back(item.get<std::string>());
        }
    });
    reader.Array("payments", kMaxPayments, [&](const Json& item, const std::string& path) {
        Payment payment;
        ReadPayment(item, path, &payment, &error);
        receipt->payments.push_back(payment);
    });
    if (reader.Ok() && receipt->payments.empty()) {
        reader.Fail("payments", "a receipt needs at least one payment");
    }
    return error;
}

BodyError ParseCash(const Json& body, CashRequest* cash) {
    *cash = CashRequest();
    BodyError error;
    CObjectReader reader(body, "", &error);
    reader.Only({"amount", "currency"});
    reader.Money("amount", &cash->amount, true, true);
    reader.Text("currency", 8, &cash->currency);
    return error;
}

BodyError ParseReportRange(const Json& body, bool byDate, ReportRangeRequest* report) {
    *report = ReportRangeRequest();
    BodyError error;
    CObjectReader reader(body, "", &error);
    reader.Only({"from", "to", "detailed", "password"});
    report->byDate = byDate;
    if (byDate) {
        std::string from;
        std::string to;
        reader.Text("from", kMaxShortText, &from, true);
        reader.Text("to", kMaxShortText, &to);
        if (reader.Ok() && !drvkeltor::ParseDate(from, &report->fromDate)) {
            reader.Fail("from", "must be a date such as \"2026-12-08\"");
        }
        if (reader.Ok() && !to.empty() && !drvkeltor::ParseDate(to, &report->toDate)) {
            reader.Fail("to", "must be a date such as \"2026-12-08\"");
        }
        if (reader.Ok() && report->toDate != 0 && report->toDate < report->fromDate) {
            reader.Fail("to", "comes before \"from\"");
        }
    } else {
        reader.Number("from", 1, 9999, &report->fromNumber, true);
        reader.Number("to", 1, 9999, &report->toNumber);
        if (reader.Ok() && report->toNumber != 0 && report->toNumber < report->fromNumber) {
            reader.Fail("to", "is less than \"from\"");
        }
    }
    reader.Flag("detailed", &report->detailed);
    reader.Text("password", kMaxShortText, &report->password);
    return error;
}

BodyError ParseTexts(const Json& body, const std::vector<std::string>& names,
                     std::vector<std::string>* texts) {
    BodyError error;
    CObjectReader reader(body, "", &error);
    reader.Only(std::set<std::string>(names.begin(), names.end()));
    std::vector<std::string> read(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        reader.Text(names[i], kMaxShortText, &read[i]);
    }
    if (texts) {
        *texts = read;
    }
    return error;
}

}  // namespace brontald
