// A document's stages: opening it, its subtotal and total, continuing after the total, ending
// and cancelling it; and the free lines and slip flags of text documents.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

constexpr uint32_t kFlagRoll = 0x04;        // the document prints on the roll, not on a slip
constexpr uint32_t kFlagNoSlipForm = 0x08;  // no form in the slip station
constexpr uint32_t kFlagFormFull = 0x20;    // the form has no room for another line
constexpr uint32_t kLineControlTapeOnly = 2;

// Restaurant texts and the annulled document's text ride in one request of at most 512 bytes.
constexpr size_t kMaxHeadingText = 160;

uint8_t ParseOpening(const PrinterState& state, const Request& request, OpenReceipt& receipt) {
    const std::vector<std::string> parts = request.Parts(0);
    uint32_t type = 0;
    if (request.FieldCount() < 1 || request.FieldCount() > 2 || !ParseNumber(parts[0], 255, type) ||
        KindOf(type) == DocumentKind::Unknown) {
        return kErrBadParameter;
    }
    receipt.type = type;
    const bool restaurant = type == kReceiptSale || type >= kReceiptOrder;
    if (type == kReceiptAnnulment) {
        // 5 GS number of the annulled document [GS its text]
        if (parts.size() < 2 || parts.size() > 3 || request.FieldCount() != 1 ||
            !ParseNumber(parts[1], UINT32_MAX, receipt.annulledDocument) ||
            (parts.size() == 3 && !IsDocumentText(parts[2], kMaxHeadingText))) {
            return kErrBadParameter;
        }
        if (receipt.annulledDocument == 0 || receipt.annulledDocument > state.counters.document) {
            return kErrNoDocument;
        }
        if (parts.size() == 3) {
            receipt.annulledText = parts[2];
        }
    } else if (parts.size() > 1) {
        // type GS order GS reservations GS accommodation [FS control tape flag]
        if (!restaurant || parts.size() != 4) {
            return kErrBadParameter;
        }
        for (size_t i = 0; i < 3; ++i) {
            if (!IsPrintableText(parts[i + 1], kMaxHeadingText)) {
                return kErrBadParameter;
            }
            receipt.texts[i] = parts[i + 1];
        }
    }
    if (request.FieldCount() == 2) {
        const std::string& flag = request.Field(1);
        if (parts.size() != 4 || type < kReceiptOrderBillFirst || (flag != "0" && flag != "1")) {
            return kErrBadParameter;
        }
        receipt.controlTapeOnly = flag == "1";
    }
    return kErrNone;
}

std::string SignedTotal(const PrinterState& state, const OpenReceipt& receipt) {
    const Money total = ReceiptTotal(receipt);
    return FormatAmount(PaysOut(KindOf(receipt.type)) ? -total : total, BaseDecimals(state));
}

}  // namespace

// "rb": type [GS ...]: a document opens. Every type but the text document needs an open day.
CommandResult CmdBeginReceipt(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    OpenReceipt receipt;
    result.error = ParseOpening(state, context.request, receipt);
    if (result.error != kErrNone) {
        return result;
    }
    if ((state.status & kStatusReceiptOpen) != 0 ||
        (receipt.type != kReceiptText && !IsDayOpen(state))) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (receipt.type != kReceiptText && DayOverdue(state)) {
        result.error = kErrDayOver24Hours;
        return result;
    }
    BeginDocument(state, context.paper, std::move(receipt));
    return result;
}

// "rs": the subtotal is printed.
CommandResult CmdSubtotal(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || !TakesArticles(KindOf(receipt->type))) {
        result.error = kErrWrongOrder;
        return result;
    }
    Printout out = NewPrintout(state);
    out.Pair("ПОДИТОГ", "=" + FormatAmount(ReceiptTotal(*receipt), BaseDecimals(state)));
    PrintInDocument(state, context.paper, out);
    return result;
}

// "rt": the expected total; the document is totalled and the reply is the printer's own total.
// An annulment or restaurant document without article lines takes the expected total as its.
CommandResult CmdCompleteReceipt(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    Money expected = 0;
    if (context.request.FieldCount() != 1 ||
        !ParseAmount(context.request.Field(0), kMoneyDecimals, expected)) {
        result.error = kErrBadParameter;
        return result;
    }
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || !TakesArticles(KindOf(receipt->type)) || PaymentStarted(*receipt)) {
        result.error = kErrWrongOrder;
        return result;
    }
    const bool givesTotal = receipt->type == kReceiptAnnulment || receipt->type >= kReceiptOrder;
    if (givesTotal && receipt->lines.empty()) {
        const Money magnitude =
            RoundToDecimals(expected < 0 ? -expected : expected, BaseDecimals(state));
        if (magnitude > kMaxReceiptRegister) {
            result.error = kErrBadParameter;
            return result;
        }
        receipt->totalGiven = true;
        receipt->givenTotal = magnitude;
    }
    if ((state.status & kStatusReadyForTotal) == 0) {
        Printout out = NewPrintout(state);
        out.Rule().Pair("ИТОГ", "=" + FormatAmount(ReceiptTotal(*receipt), BaseDecimals(state)));
        state.status = static_cast<uint16_t>(state.status | kStatusReadyForTotal);
        PrintInDocument(state, context.paper, out);
    }
    result.fields = ReplyData().Field(SignedTotal(state, *receipt)).Fields();
    return result;
}

// "ct": back from the total to the article lines, as long as nothing was paid.
CommandResult CmdContinueReceipt(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || (state.status & kStatusReadyForTotal) == 0 || PaymentStarted(*receipt)) {
        result.error = kErrWrongOrder;
        return result;
    }
    state.status = static_cast<uint16_t>(state.status & ~kStatusReadyForTotal);
    Printout out = NewPrintout(state);
    out.Text("ПРОДОЛЖЕНИЕ ЧЕКА");
    PrintInDocument(state, context.paper, out);
    return result;
}

// "re": the document ends. A paid document must be totalled and paid in full (an overpayment in
// cash comes back as change); a refund or annulment must be paid out exactly.
CommandResult CmdEndReceipt(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt) {
        result.error = kErrWrongOrder;
        return result;
    }
    const DocumentKind kind = KindOf(receipt->type);
    if (TakesPayments(kind)) {
        const Money total = ReceiptTotal(*receipt);
        const Money paid = ReceiptPaid(*receipt);
        if ((state.status & kStatusReadyForTotal) == 0 || paid < total ||
            (PaysOut(kind) && paid != total)) {
            result.error = kErrWrongOrder;
            return result;
        }
        const OpenReceipt before = *receipt;
        receipt->change += paid - total;  // cannot exceed the cash paid: non-cash stays <= total
        result.error = FinishDocument(state, &context.paper, false, false);
        if (result.error != kErrNone) {
            *state.receipt = before;
        }
        return result;
    }
    result.error = FinishDocument(state, &context.paper, false, false);
    return result;
}

// "cp": whatever is being printed stops; an open document is cancelled.
CommandResult CmdCancelPrinting(CommandContext& context) {
    PrinterState& state = context.state;
    state.status = static_cast<uint16_t>(state.status & ~kStatusNotReady);
    CancelDocument(state, context.paper);
    return {};
}

// "ls": the flags of the open document's printing (see the constants above).
CommandResult CmdDocumentFlags(CommandContext& context) {
    const PrinterState& state = context.state;
    const OpenReceipt* receipt = ShownReceipt(state);
    uint32_t flags = 0;
    if (!receipt || receipt->type != kReceiptSlip) {
        flags |= kFlagRoll;
    } else {
        if (!state.slipFormInserted) {
            flags |= kFlagNoSlipForm;
        }
        if (receipt->slipLines >= state.slipFormLines) {
            flags |= kFlagFormFull;
        }
    }
    CommandResult result;
    result.fields = ReplyData().HexField(flags).Fields();
    return result;
}

// "pl": attribute FS text: a free line in the open document; attribute 2 puts it on the
// control tape only.
CommandResult CmdPrintLine(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    uint32_t attribute = 0;
    if (request.FieldCount() != 2 || !ParseNumber(request.Field(0), 255, attribute) ||
        request.Field(1).empty() || !IsDocumentText(request.Field(1), kMaxDocumentText)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!CurrentReceipt(state)) {
        result.error = kErrWrongOrder;
        return result;
    }
    Printout out = NewPrintout(state);
    out.Text(request.Field(1));
    result.error =
        PrintFreeLines(state, context.paper, out, (attribute & kLineControlTapeOnly) != 0);
    return result;
}

}  // namespace emu
