// Receipt commands: opening, article lines and their corrections, totals, payments, cash income
// and outcome, the cashier, lines printed inside the document.
//
// The layer keeps the running total of the open receipt itself, so that a correction that would
// take it below zero is refused here, before the printer prints half of it.
#include <cstring>

#include "Brontal.h"
#include "FiscalCommand.h"
#include "SaturatedMath.h"

using fiscal::AppendMarkedAmount;
using fiscal::IsDecimalScale;
using fiscal::IsEmpty;
using fiscal::IsFieldText;
using fiscal::PowerOfTen;

namespace {

// Each request's argument text stays below these.
constexpr DWORD kBeginRequestCapacity = 32;
constexpr DWORD kBeginWithTextsRequestCapacity = 512;
constexpr DWORD kLineRequestCapacity = 1024;  // "as", "ad", "aa", "ri", "pl"
constexpr DWORD kReceiptDiscountRequestCapacity = 512;
constexpr DWORD kShortRequestCapacity = 128;  // "ra", "rc", "rn"
constexpr DWORD kCompleteRequestCapacity = 32;
constexpr DWORD kCashierRequestCapacity = 512;

// An article name is wrapped into at most 512 characters; a department's name is at most 31.
constexpr DWORD kArticleNameCapacity = 513;
constexpr DWORD kDepartmentNameCapacity = 32;

constexpr int kAnnulmentReceipt = 5;
constexpr int kSaleReceipt = 1;
constexpr int kFirstTextsReceipt = 20;
constexpr int kLastTextsReceipt = 23;

// Replies read here are short: a total, a flag word, a cashier's name.
constexpr DWORD kReceiptReplyCapacity = 512;

bool HasQuantityText(LPCSTR text) {
    return !IsEmpty(text);
}

// A request that is the command alone.
int RunPlain(CBrontal& layer, LPCSTR code) {
    return fiscal::Run(layer, code, "");
}

// A line that changes the running total: the total follows only once the printer took the line.
int RunCounted(CBrontal& layer, LPCSTR code, LPCSTR request, BOOL subtract, LONGLONG amount,
               DWORD scale) {
    const int result = fiscal::Run(layer, code, request);
    if (result == 0) {
        layer.AddToTotal(subtract, amount, scale);
    }
    return result;
}

}  // namespace

int CBrontal::BeginReceipt(int type, ULONG documentNumber, LPCSTR text) {
    char request[kBeginRequestCapacity];
    if (type < 0 || !IsFieldText(text) ||
        AppendUnsigned(request, sizeof request, 0, static_cast<UINT>(type)) == 0) {
        return kBrontalBadArguments;
    }
    if (type == kAnnulmentReceipt) {
        if (AppendUnsignedLong(request, sizeof request, kPartSeparator, documentNumber) == 0 ||
            (!IsEmpty(text) && AppendText(request, sizeof request, kPartSeparator, text) == 0)) {
            return kBrontalBadArguments;
        }
    }
    const int result = fiscal::Run(*this, "rb", request);
    if (result == 0) {
        ResetTotal(type, 0, 0);
    }
    return result;
}

int CBrontal::BeginReceiptWithTexts(int type, LPCSTR text1, LPCSTR text2, LPCSTR text3,
                                    BOOL controlTapeOnly) {
    if (type != kSaleReceipt && (type < kFirstTextsReceipt || type > kLastTextsReceipt)) {
        return kBrontalBadArguments;
    }
    char request[kBeginWithTextsRequestCapacity];
    if (!IsFieldText(text1) || !IsFieldText(text2) || !IsFieldText(text3) ||
        AppendUnsigned(request, sizeof request, 0, static_cast<UINT>(type)) == 0 ||
        AppendText(request, sizeof request, kPartSeparator, text1 ? text1 : "") == 0 ||
        AppendText(request, sizeof request, kPartSeparator, text2 ? text2 : "") == 0 ||
        AppendText(request, sizeof request, kPartSeparator, text3 ? text3 : "") == 0) {
        return kBrontalBadArguments;
    }
    if (controlTapeOnly && type > kFirstTextsReceipt &&
        AppendText(request, sizeof request, kFieldSeparator, "1") == 0) {
        return kBrontalBadArguments;
    }
    const int result = fiscal::Run(*this, "rb", request);
    if (result == 0) {
        ResetTotal(type, 0, 0);
    }
    return result;
}

int CBrontal::SellArticle(const ArticleLine& line) {
    const BOOL sale = line.sale;
    const int department = line.department;
    const LPCSTR quantityText = line.quantityText;
    LONGLONG price = line.price.value;
    DWORD priceScale = line.price.scale;
    LONGLONG amount = line.amount.value;
    DWORD amountScale = line.amount.scale;
    // A storno is told by the flag; a negative price or amount would write "--" on the wire.
    if (price < 0 || amount < 0 || department < 0 || !IsDecimalScale(priceScale) ||
        !IsDecimalScale(line.quantity.scale) || !IsDecimalScale(amountScale) ||
        !IsFieldText(line.name) || !IsFieldText(quantityText) || !IsFieldText(line.codeText)) {
        return kBrontalBadArguments;
    }
    const fiscal::MoneyRules rules = fiscal::CurrentRules(*this);
    price = fiscal::Normalise(rules, price, &priceScale);
    if (m_settings.quantityPrecision > kMaxQuantityPrecision) {
        m_settings.quantityPrecision = kMaxQuantityPrecision;
    }
    const DWORD precisionScale = PowerOfTen(m_settings.quantityPrecision);

    // Everything after the name, built first: it holds every check, and the department's name
    // is worth asking the printer for only once the line is sound.
    char tail[kLineRequestCapacity] = "";
    bool ok =
        AppendMarkedAmount(tail, sizeof tail, kFieldSeparator, !sale, price, priceScale) > 0 &&
        AppendUnsigned(tail, sizeof tail, kFieldSeparator, static_cast<UINT>(department)) > 0;
    LONGLONG lineAmount = price;
    DWORD lineScale = priceScale;
    bool changesTotal = true;
    const DWORD scale = line.quantity.scale ? line.quantity.scale : 1;
    if (scale != 1 || line.quantity.value > 1) {
        LONGLONG sentQuantity = line.quantity.value;
        DWORD sentScale = scale;
        if (sentScale < precisionScale) {
            sentQuantity = brontal::SaturatedMultiply(
                sentQuantity, static_cast<LONGLONG>(precisionScale / sentScale));
            sentScale = precisionScale;
        }
        ok = ok && AppendAmount(tail, sizeof tail, kFieldSeparator, sentQuantity, sentScale) > 0 &&
             (!HasQuantityText(quantityText) ||
              AppendText(tail, sizeof tail, kPartSeparator, quantityText) > 0);
        DWORD productScale = priceScale;
        const LONGLONG product = MultiplyRounded(price, sentQuantity, sentScale, rules.minBill,
                                                 &productScale, rules.decimals);
        lineAmount = product;
        lineScale = productScale;
        if (amount != 0) {
            amount = fiscal::Normalise(rules, amount, &amountScale);
            DWORD differenceScale = 0;
            const LONGLONG difference =
                SubtractRounded(amount, amountScale, product, productScale, rules.minBill,
                                &differenceScale, rules.decimals);
            const LONGLONG limit = m_settings.refundSumMismatchLimit > 0
                                       ? m_settings.refundSumMismatchLimit
                                       : m_settings.minBill;
            if (difference > limit) {
                return kBrontalBadArguments;
            }
            lineAmount = amount;
            lineScale = amountScale;
        }
        ok = ok && AppendAmount(tail, sizeof tail, kFieldSeparator, lineAmount, lineScale) > 0;
    } else if (line.quantity.value <= 0) {
        // The printer is told the quantity as it is, with nothing to add to the total.
        ok = ok && AppendAmount(tail, sizeof tail, kFieldSeparator, line.quantity.value, 1) > 0 &&
             (!HasQuantityText(quantityText) ||
              AppendText(tail, sizeof tail, kPartSeparator, quantityText) > 0) &&
             AppendAmount(tail, sizeof tail, kFieldSeparator, 0, priceScale) > 0;
        changesTotal = false;
    } else if (line.quantityAlways) {
        ok = ok &&
             AppendAmount(tail, sizeof tail, kFieldSeparator, precisionScale, precisionScale) > 0 &&
             (!HasQuantityText(quantityText) ||
              AppendText(tail, sizeof tail, kPartSeparator, quantityText) > 0) &&
             AppendAmount(tail, sizeof tail, kFieldSeparator, price, priceScale) > 0;
    }
    if (!ok || (changesTotal && PreviewTotal(!sale, lineAmount, lineScale) < 0)) {
        return kBrontalBadArguments;
    }

    char article[kArticleNameCapacity] = "";
    if (line.name && line.name[0] == '\0') {
        char departmentName[kDepartmentNameCapacity] = "";
        const int read = ReadDepartmentName(department, departmentName, sizeof departmentName);
        if (read != 0) {
            return read;
        }
        std::strncpy(article, departmentName, sizeof article - 1);
    } else if (line.name) {
        WrapText(line.name, article, sizeof article, m_settings.hyphenationLength);
    }
    char request[kLineRequestCapacity] = "";
    if ((article[0] != '\0' && AppendText(request, sizeof request, 0, article) == 0) ||
        (line.articleCode != 0 &&
         (AppendUnsigned(request, sizeof request, kPartSeparator, line.articleCode) == 0 ||
          (!IsEmpty(line.codeText) &&
           AppendText(request, sizeof request, ':', line.codeText) == 0))) ||
        // The tail starts with its FS.
        AppendText(request, sizeof request, kFieldSeparator, tail + 1) == 0) {
        return kBrontalBadArguments;
    }
    if (!changesTotal) {
        return fiscal::Run(*this, "as", request);
    }
    return RunCounted(*this, "as", request, !sale, lineAmount, lineScale);
}

namespace {

// "ad" and "aa": texts, the amount ('-' for a cancellation), the number. `lowers` tells whether
// the correction itself lowers the total (a discount) or raises it (a surcharge).
int ArticleCorrection(CBrontal& layer, LPCSTR code, bool lowers, BOOL direction, LONGLONG amount,
                      DWORD scale, LPCSTR text, LPCSTR secondText, int number) {
    if (amount < 0 || number < 0 || !IsDecimalScale(scale) || !IsFieldText(text) ||
        !IsFieldText(secondText)) {
        return kBrontalBadArguments;
    }
    amount = fiscal::Normalise(fiscal::CurrentRules(layer), amount, &scale);
    char request[kLineRequestCapacity] = "";
    // A text that cannot be placed whole is refused rather than sent in part.
    if (!IsEmpty(text)) {
        char wrapped[kLineRequestCapacity];
        CBrontal::WrapText(text, wrapped, sizeof wrapped, layer.Settings().hyphenationLength);
        if (CBrontal::AppendText(request, sizeof request, 0, wrapped) == 0) {
            return kBrontalBadArguments;
        }
    }
    if (!IsEmpty(secondText) &&
        CBrontal::AppendText(request, sizeof request, kPartSeparator, secondText) == 0) {
        return kBrontalBadArguments;
    }
    const bool cancellation = !direction;
    const BOOL subtract = lowers != cancellation;
    if (AppendMarkedAmount(request, sizeof request, kFieldSeparator, cancellation, amount, scale) ==
            0 ||
        CBrontal::AppendUnsigned(request, sizeof request, kFieldSeparator,
                                 static_cast<UINT>(number)) == 0 ||
        layer.PreviewTotal(subtract, amount, scale) < 0) {
        return kBrontalBadArguments;
    }
    return RunCounted(layer, code, request, subtract, amount, scale);
}

// "rd" and "ra": text, FS, amount.
int ReceiptCorrection(CBrontal& layer, LPCSTR code, DWORD capacity, BOOL subtract, LONGLONG amount,
                      DWORD scale, LPCSTR text) {
    if (amount < 0 || !IsDecimalScale(scale) || !IsFieldText(text)) {
        return kBrontalBadArguments;
    }
    amount = fiscal::Normalise(fiscal::CurrentRules(layer), amount, &scale);
    char request[kReceiptDiscountRequestCapacity] = "";
    if ((!IsEmpty(text) && CBrontal::AppendText(request, capacity, 0, text) == 0) ||
        AppendMarkedAmount(request, capacity, kFieldSeparator, false, amount, scale) == 0 ||
        layer.PreviewTotal(subtract, amount, scale) < 0) {
        return kBrontalBadArguments;
    }
    return RunCounted(layer, code, request, subtract, amount, scale);
}

}  // namespace

int CBrontal::ArticleDiscount(BOOL direction, LONGLONG amount, DWORD scale, LPCSTR text,
                              LPCSTR secondText, int number) {
    return ArticleCorrection(*this, "ad", true, direction, amount, scale, text, secondText, number);
}

int CBrontal::ArticleSurcharge(BOOL direction, LONGLONG amount, DWORD scale, LPCSTR text,
                               LPCSTR secondText, int number) {
    return ArticleCorrection(*this, "aa", false, direction, amount, scale, text, secondText,
                             number);
}

int CBrontal::ReceiptDiscount(LONGLONG amount, DWORD scale, LPCSTR text) {
    return ReceiptCorrection(*this, "rd", kReceiptDiscountRequestCapacity, TRUE, amount, scale,
                             text);
}

int CBrontal::ReceiptSurcharge(LONGLONG amount, DWORD scale, LPCSTR text) {
    return ReceiptCorrection(*this, "ra", kShortRequestCapacity, FALSE, amount, scale, text);
}

int CBrontal::PrintSubtotal() {
    return RunPlain(*this, "rs");
}

int CBrontal::CompleteReceipt(LONGLONG* amount, DWORD* scale) {
    char request[kCompleteRequestCapacity];
    if (!amount || !scale || !IsDecimalScale(*scale) ||
        AppendAmount(request, sizeof request, 0, *amount, *scale) == 0) {
        return kBrontalBadArguments;
    }
    char reply[kReceiptReplyCapacity];
    const int result = fiscal::Run(*this, "rt", request, reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    LPCSTR position = reply;
    NextAmount(&position, kFieldSeparator, amount, scale);
    return 0;
}

int CBrontal::ContinueReceipt() {
    return RunPlain(*this, "ct");
}

int CBrontal::PayCash(BOOL payment, LONGLONG amount, DWORD scale, LPCSTR currencyCode,
                      LONGLONG currencyAmount, DWORD currencyScale) {
    if (amount < 0 || !IsDecimalScale(scale) || !IsFieldText(currencyCode)) {
        return kBrontalBadArguments;
    }
    char request[kShortRequestCapacity];
    if (IsEmpty(currencyCode)) {
        amount = fiscal::Normalise(fiscal::CurrentRules(*this), amount, &scale);
        if (AppendMarkedAmount(request, sizeof request, 0, !payment, amount, scale) == 0) {
            return kBrontalBadArguments;
        }
        return fiscal::Run(*this, "rc", request);
    }
    // In another currency: the amount is in that currency, the currency amount its rate, and
    // the printer is told what they make in the current currency as well.
    if (currencyAmount <= 0 || !IsDecimalScale(currencyScale)) {
        return kBrontalBadArguments;
    }
    const fiscal::MoneyRules foreign = fiscal::RulesOf(*this, FindCurrency(currencyCode), 1);
    const fiscal::MoneyRules current = fiscal::RulesOf(*this, CurrentCurrency(), 1);
    amount = fiscal::Normalise(foreign, amount, &scale);
    currencyAmount = fiscal::Normalise(current, currencyAmount, &currencyScale);
    const fiscal::MoneyRules conversion = fiscal::CurrentRules(*this);
    DWORD convertedScale = currencyScale;
    const LONGLONG converted = MultiplyRounded(currencyAmount, amount, scale, conversion.minBill,
                                               &convertedScale, conversion.decimals);
    if (AppendMarkedAmount(request, sizeof request, 0, !payment, converted, convertedScale) == 0 ||
        AppendText(request, sizeof request, kFieldSeparator, currencyCode) == 0 ||
        AppendAmount(request, sizeof request, kFieldSeparator, amount, scale) == 0 ||
        AppendAmount(request, sizeof request, kFieldSeparator, currencyAmount, currencyScale) ==
            0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "rc", request);
}

int CBrontal::PayNoncash(BOOL payment, LONGLONG amount, DWORD scale, int facility, LPCSTR text) {
    if (amount < 0 || facility < 0 || !IsDecimalScale(scale) || !IsFieldText(text)) {
        return kBrontalBadArguments;
    }
    amount = fiscal::Normalise(fiscal::CurrentRules(*this), amount, &scale);
    char request[kShortRequestCapacity];
    if (AppendMarkedAmount(request, sizeof request, 0, !payment, amount, scale) == 0 ||
        AppendUnsigned(request, sizeof request, kFieldSeparator, static_cast<UINT>(facility)) ==
            0 ||
        (!IsEmpty(text) && AppendText(request, sizeof request, kFieldSeparator, text) == 0)) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "rn", request);
}

int CBrontal::EndReceipt() {
    const int result = RunPlain(*this, "re");
    if (result == 0) {
        ResetTotal(0, 0, 0);
    }
    return result;
}

int CBrontal::CashInOut(BOOL income, LONGLONG amount, DWORD scale, LPCSTR currencyCode) {
    if (amount < 0 || !IsDecimalScale(scale) || !IsFieldText(currencyCode)) {
        return kBrontalBadArguments;
    }
    const fiscal::MoneyRules rules = IsEmpty(currencyCode)
                                         ? fiscal::CurrentRules(*this)
                                         : fiscal::RulesOf(*this, FindCurrency(currencyCode), 1);
    amount = fiscal::Normalise(rules, amount, &scale);
    char request[kLineRequestCapacity];
    if (AppendMarkedAmount(request, sizeof request, 0, !income, amount, scale) == 0 ||
        (!IsEmpty(currencyCode) &&
         AppendText(request, sizeof request, kFieldSeparator, currencyCode) == 0)) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "ri", request);
}

int CBrontal::CashierLogin(LPCSTR cashier) {
    char request[kCashierRequestCapacity];
    if (IsEmpty(cashier) || !IsFieldText(cashier) ||
        AppendText(request, sizeof request, 0, cashier) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "wi", request);
}

int CBrontal::ReadCashier(LPSTR name, DWORD capacity) {
    if (!name || capacity == 0) {
        return kBrontalBadArguments;
    }
    char reply[kReceiptReplyCapacity];
    const int result = fiscal::Run(*this, "wg", "", reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    // A number and a sub-field come before the name.
    name[0] = '\0';
    LPCSTR position = reply;
    NextField(&position, kFieldSeparator);
    NextField(&position, kPartSeparator);
    NextText(&position, kFieldSeparator, name, capacity);
    return 0;
}

int CBrontal::PrintDocumentLine(int attribute, LPCSTR text) {
    char request[kLineRequestCapacity];
    if (attribute < 0 || IsEmpty(text) || !IsFieldText(text) ||
        AppendUnsigned(request, sizeof request, 0, static_cast<UINT>(attribute)) == 0 ||
        AppendText(request, sizeof request, kFieldSeparator, text) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "pl", request);
}

int CBrontal::CancelPrinting() {
    return RunPlain(*this, "cp");
}

int CBrontal::ReadDocumentFlags(DWORD* flags) {
    if (!flags) {
        return kBrontalBadArguments;
    }
    char reply[kReceiptReplyCapacity];
    const int result = fiscal::Run(*this, "ls", "", reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    LPCSTR position = reply;
    NextHex(&position, kFieldSeparator, flags);
    return 0;
}
