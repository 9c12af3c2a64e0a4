// Article lines and the corrections of a document: sales and storno ("as"), discounts and
// surcharges on the last article ("ad", "aa") and on the whole document ("rd", "ra").
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

struct Article {
    std::string name;
    std::string code;      // the article's code, empty when none was given
    std::string codeText;  // what followed the code after ':'
    Money price = 0;       // negative: storno
    uint32_t department = 0;
    bool hasQuantity = false;
    Money quantity = kMoneyScale;
    std::string unit;
    Money amount = 0;  // magnitude of the line
};

// name[GS code[:text]] FS price FS department [FS quantity[GS unit] [FS amount]]
uint8_t ParseArticle(const PrinterState& state, const Request& request, Article& article) {
    const size_t count = request.FieldCount();
    if (count < 3 || count > 5) {
        return kErrBadParameter;
    }
    const std::vector<std::string> name = request.Parts(0);
    if (name.size() > 2 || !IsDocumentText(name[0], kMaxDocumentText)) {
        return kErrBadParameter;
    }
    article.name = name[0];
    if (name.size() == 2) {
        const size_t colon = name[1].find(':');
        article.code = name[1].substr(0, colon);
        uint32_t code = 0;
        if (!ParseNumber(article.code, 0xFFFF, code)) {
            return kErrBadParameter;
        }
        if (colon != std::string::npos) {
            article.codeText = name[1].substr(colon + 1);
            if (!IsPrintableText(article.codeText, kMaxDocumentText)) {
                return kErrBadParameter;
            }
        }
    }
    const unsigned decimals = BaseDecimals(state);
    if (!ParseAmount(request.Field(1), decimals, article.price) ||
        !ParseNumber(request.Field(2), kMaxTableNumber, article.department)) {
        return kErrBadParameter;
    }
    if (count >= 4) {
        const std::vector<std::string> quantity = request.Parts(3);
        if (quantity.size() > 2 ||
            !ParseAmount(quantity[0], kMoneyDecimals, kMaxQuantity, article.quantity) ||
            (quantity.size() == 2 && !IsPrintableText(quantity[1], kMaxTableName))) {
            return kErrBadParameter;
        }
        article.hasQuantity = true;
        if (quantity.size() == 2) {
            article.unit = quantity[1];
        }
    }
    const Money magnitude = article.price < 0 ? -article.price : article.price;
    if (count == 5) {
        if (!ParseAmount(request.Field(4), decimals, article.amount) || article.amount < 0) {
            return kErrBadParameter;
        }
    } else if (article.quantity > 0 &&
               !MultiplyQuantity(magnitude, article.quantity, decimals, article.amount)) {
        return kErrBadParameter;
    }
    // A line of no quantity (the driver's zero or negative quantities) counts nothing.
    if (article.quantity <= 0 && article.amount != 0) {
        return kErrBadParameter;
    }
    return kErrNone;
}

Printout ArticleLines(const PrinterState& state, const Article& article) {
    const unsigned decimals = BaseDecimals(state);
    Printout out = NewPrintout(state);
    if (article.price < 0) {
        out.Text("СТОРНО");
    }
    std::string name = article.name;
    if (name.empty()) {
        const Department* department = FindDepartment(state, article.department);
        name = department && !department->name.empty() ? department->name : "ТОВАР";
    }
    out.Text(name);
    if (!article.code.empty()) {
        out.Text("КОД " + article.code + (article.codeText.empty() ? "" : " " + article.codeText));
    }
    const Money price = article.price < 0 ? -article.price : article.price;
    std::string quantity = FormatAmount(article.quantity, DecimalsNeeded(article.quantity));
    if (!article.unit.empty()) {
        quantity += " " + article.unit;
    }
    const Money amount = article.price < 0 ? -article.amount : article.amount;
    out.Pair("  " + quantity + " x " + FormatAmount(price, decimals) + " ОТД." +
                 std::to_string(article.department),
             "=" + FormatAmount(amount, decimals));
    return out;
}

// text[GS text] FS [-]amount FS number, as "ad" and "aa" carry it.
struct Correction {
    std::string text;
    std::string mnemo;
    Money amount = 0;  // negative: the cancellation of an earlier one
    uint32_t department = 0;
};

uint8_t ParseCorrection(const PrinterState& state, const Request& request, Correction& correction) {
    const std::vector<std::string> texts = request.Parts(0);
    if (request.FieldCount() != 3 || texts.size() > 2 ||
        !IsDocumentText(texts[0], kMaxDocumentText) ||
        (texts.size() == 2 && !IsDocumentText(texts[1], kMaxDocumentText)) ||
        !ParseAmount(request.Field(1), BaseDecimals(state), correction.amount) ||
        !ParseNumber(request.Field(2), kMaxTableNumber, correction.department)) {
        return kErrBadParameter;
    }
    correction.text = texts[0];
    if (texts.size() == 2) {
        correction.mnemo = texts[1];
    }
    return kErrNone;
}

// An article correction changes the last article line: a discount never takes more than what
// is left of it, a cancellation never more than was given.
CommandResult CorrectArticle(CommandContext& context, bool surcharge) {
    PrinterState& state = context.state;
    CommandResult result;
    Correction correction;
    result.error = ParseCorrection(state, context.request, correction);
    if (result.error != kErrNone) {
        return result;
    }
    OpenReceipt* receipt = DocumentForArticles(state);
    if (!receipt || receipt->lines.empty() || receipt->lines.back().amount < 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (!IsKnownDepartment(state, correction.department)) {
        result.error = kErrNoDepartment;
        return result;
    }
    ReceiptLine& line = receipt->lines.back();
    const Money amount = correction.amount;
    Money& given = surcharge ? line.surcharge : line.discount;
    const Money left = line.amount - line.discount + line.surcharge;
    const bool fits = amount >= 0 ? (surcharge || amount <= left) : -amount <= given;
    const Money total = ReceiptTotal(*receipt) + (surcharge ? amount : -amount);
    if (!fits || total < 0 || total > kMaxReceiptRegister || given + amount > kMaxReceiptRegister) {
        result.error = kErrBadParameter;
        return result;
    }
    given += amount;
    const unsigned decimals = BaseDecimals(state);
    Printout out = NewPrintout(state);
    std::string label = amount >= 0 ? (surcharge ? "НАДБАВКА" : "СКИДКА")
                                    : (surcharge ? "ОТМЕНА НАДБАВКИ" : "ОТМЕНА СКИДКИ");
    if (!correction.mnemo.empty()) {
        label += " " + correction.mnemo;
    }
    const Money shown = surcharge ? amount : -amount;
    out.Pair(label, (shown >= 0 ? "+" : "") + FormatAmount(shown, decimals));
    PrintInDocument(state, context.paper, out);
    return result;
}

// text FS amount, as "rd" and "ra" carry it; on the whole document, before it is paid.
CommandResult CorrectReceipt(CommandContext& context, bool surcharge) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    Money amount = 0;
    if (request.FieldCount() != 2 || !IsDocumentText(request.Field(0), kMaxDocumentText) ||
        !ParseAmount(request.Field(1), BaseDecimals(state), amount) || amount < 0) {
        result.error = kErrBadParameter;
        return result;
    }
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || !TakesArticles(KindOf(receipt->type)) || PaymentStarted(*receipt) ||
        receipt->totalGiven) {
        result.error = kErrWrongOrder;
        return result;
    }
    Money& given = surcharge ? receipt->receiptSurcharge : receipt->receiptDiscount;
    const Money total = ReceiptTotal(*receipt) + (surcharge ? amount : -amount);
    if (total < 0 || total > kMaxReceiptRegister || given + amount > kMaxReceiptRegister) {
        result.error = kErrBadParameter;
        return result;
    }
    given += amount;
    const unsigned decimals = BaseDecimals(state);
    Printout out = NewPrintout(state);
    std::string label = surcharge ? "НАДБАВКА НА ЧЕК" : "СКИДКА НА ЧЕК";
    if (!request.Field(0).empty()) {
        label += " " + request.Field(0);
    }
    out.Pair(label, (surcharge ? "+" : "-") + FormatAmount(amount, decimals));
    if ((state.status & kStatusReadyForTotal) != 0) {
        out.Pair("ИТОГ", "=" + FormatAmount(ReceiptTotal(*receipt), decimals));
    }
    PrintInDocument(state, context.paper, out);
    return result;
}

}  // namespace

// "as": an article line. A price with '-' is a storno: it takes the line's amount off.
CommandResult CmdSellArticle(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    Article article;
    result.error = ParseArticle(state, context.request, article);
    if (result.error != kErrNone) {
        return result;
    }
    OpenReceipt* receipt = DocumentForArticles(state);
    if (!receipt || receipt->totalGiven) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (!IsKnownDepartment(state, article.department)) {
        result.error = kErrNoDepartment;
        return result;
    }
    if (receipt->lines.size() >= kMaxReceiptLines) {
        result.error = kErrOverflow;
        return result;
    }
    const Money amount = article.price < 0 ? -article.amount : article.amount;
    const Money total = ReceiptTotal(*receipt) + amount;
    if (total < 0 || total > kMaxReceiptRegister) {
        result.error = kErrBadParameter;  // a storno of more than the document holds
        return result;
    }
    ReceiptLine line;
    line.department = article.department;
    line.amount = amount;
    receipt->lines.push_back(line);
    PrintInDocument(state, context.paper, ArticleLines(state, article));
    return result;
}

// "ad": a discount on the last article, or with a negative amount its cancellation.
CommandResult CmdArticleDiscount(CommandContext& context) {
    return CorrectArticle(context, false);
}

// "aa": a surcharge on the last article, or with a negative amount its cancellation.
CommandResult CmdArticleSurcharge(CommandContext& context) {
    return CorrectArticle(context, true);
}

// "rd": a discount on the whole document.
CommandResult CmdReceiptDiscount(CommandContext& context) {
    return CorrectReceipt(context, false);
}

// "ra": a surcharge on the whole document.
CommandResult CmdReceiptSurcharge(CommandContext& context) {
    return CorrectReceipt(context, true);
}

}  // namespace emu
