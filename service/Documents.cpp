#include "Documents.h"

#include "ResultCodes.h"
#include "Script.h"
#include "Values.h"

namespace brontald {

namespace {

constexpr const char* kOperationReceipt = "receipt";
constexpr const char* kOperationIncome = "cash-income";
constexpr const char* kOperationOutcome = "cash-outcome";
constexpr const char* kOperationZReport = "z-report";

enum class Outcome { Committed, NotCommitted, Unknown };

const char* OutcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Committed:
            return "committed";
        case Outcome::NotCommitted:
            return "not committed";
        default:
            return "unknown";
    }
}

// What the printer showed before the document was begun.
struct Baseline {
    std::string operation;
    PrinterCounters counters;

    Json ToJson() const {
        return {{"operation", operation},      {"document", counters.document},
                {"receipt", counters.receipt}, {"session", counters.session},
                {"status", counters.status},   {"blocking", counters.blocking}};
    }

    static bool FromJson(const std::string& text, Baseline* baseline) {
        const Json json = Json::parse(text, nullptr, false);
        if (!json.is_object() || !json.contains("operation") || !json.contains("document") ||
            !json.contains("receipt") || !json.contains("status")) {
            return false;
        }
        baseline->operation = json.value("operation", std::string());
        baseline->counters.document = json.value("document", 0u);
        baseline->counters.receipt = json.value("receipt", 0u);
        baseline->counters.session = json.value("session", 0u);
        baseline->counters.status = json.value("status", static_cast<uint16_t>(0));
        baseline->counters.blocking = json.value("blocking", static_cast<uint16_t>(0));
        return true;
    }
};

struct Decision {
    Outcome outcome = Outcome::Unknown;
    PrinterCounters after;
    std::string printerState;
    MethodResult failure;  // the read or cancellation that failed, if one did
};

MethodResult ReconnectAndRead(CPrinterSession& session, DocumentServices& services,
                              PrinterCounters* counters) {
    services.metrics.CountReconnect(session.Config().name);
    const MethodResult connect = session.Reconnect();
    if (IsLinkFailure(connect.code) || connect.code == -1) {
        return connect;
    }
    return session.ReadCounters(counters);
}

// Asks the printer what became of the document begun at `baseline`; our receipt found still
// open is cancelled. After a link failure the link is made anew first: whatever the failed
// exchange left on the line goes with it.
Decision Decide(CPrinterSession& session, DocumentServices& services, const Baseline& baseline,
                bool linkFailed) {
    Decision decision;
    MethodResult read = linkFailed ? ReconnectAndRead(session, services, &decision.after)
                                   : session.ReadCounters(&decision.after);
    if (!read.Ok() && IsLinkFailure(read.code)) {
        read = ReconnectAndRead(session, services, &decision.after);
    }
    if (!read.Ok()) {
        decision.failure = read;
        decision.printerState = "unreachable";
        return decision;
    }
    const PrinterCounters& before = baseline.counters;
    PrinterCounters& now = decision.after;
    if (baseline.operation == kOperationZReport) {
        decision.outcome =
            before.DayOpen() && !now.DayOpen() ? Outcome::Committed : Outcome::NotCommitted;
        decision.printerState = now.DayOpen() ? "day open" : "day closed";
        return decision;
    }
    if (now.ReceiptOpen() && now.document == before.document) {
        // Ours, begun and never ended: it cannot have been committed.
        decision.outcome = Outcome::NotCommitted;
        MethodResult cancel = session.Call("CancelPrint");
        if (IsLinkFailure(cancel.code)) {
            PrinterCounters ignored;
            ReconnectAndRead(session, services, &ignored);
            cancel = session.Call("CancelPrint");
        }
        PrinterCounters after;
        const MethodResult check = cancel.Ok() ? session.ReadCounters(&after) : cancel;
        if (check.Ok() && !after.ReceiptOpen()) {
            decision.after = after;
            decision.printerState = "cancelled";
        } else {
            decision.failure = check.Ok() ? cancel : check;
            decision.printerState = "still open: the cancellation failed (" +
                                    std::to_string(decision.failure.code) + " " +
                                    decision.failure.description + ")";
        }
        return decision;
    }
    if (!now.ReceiptOpen() && now.receipt == before.receipt + 1) {
        decision.outcome = Outcome::Committed;
        decision.printerState = "closed";
    } else {
        decision.outcome = Outcome::NotCommitted;
        decision.printerState = now.ReceiptOpen() ? "another document is open" : "no document open";
    }
    return decision;
}

Json FailureJson(const MethodResult& failure) {
    return {{"code", IsLinkFailure(failure.code) ? "link_failure" : "printer_refused"},
            {"method", failure.method},
            {"result_code", failure.code},
            {"description", failure.description},
            {"explanation", ExplainResultCode(failure.code)},
            {"hresult", drvkeltor::HresultText(failure.hr)}};
}

// The status of an answer that was not committed: a link failure is the gateway's, a refusal
// is the request's.
int NotCommittedStatus(const Json& error) {
    return error.value("code", std::string()) == "link_failure" ? 502 : 422;
}

Json CountersJson(const PrinterCounters& counters) {
    return {{"document_number", counters.document},
            {"receipt_number", counters.receipt},
            {"session", counters.session}};
}

// The answer of a decided document, from what was known when it ended (`body`).
Answer DecidedAnswer(Json body, const Decision& decision, bool reconciled) {
    Answer answer;
    body["outcome"] = OutcomeText(decision.outcome);
    body["printer_state"] = decision.printerState;
    body["reconciled"] = reconciled;
    switch (decision.outcome) {
        case Outcome::Committed:
            body["committed"] = true;
            body.update(CountersJson(decision.after));
            answer.status = 200;
            break;
        case Outcome::NotCommitted:
            body["committed"] = false;
            answer.status = NotCommittedStatus(body.value("error", Json::object()));
            break;
        default:
            body["committed"] = nullptr;
            answer.status = 503;
            break;
    }
    answer.body = body;
    return answer;
}

// One document from its baseline to its stored answer.
class CDocumentRun {
  public:
    CDocumentRun(CPrinterSession& session, DocumentServices& services, const RequestRecord& record,
                 const char* operation)
        : m_session(session), m_services(services), m_record(record), m_operation(operation) {}

    // Connects, checks that nothing is open and stores the baseline. False with the refusal,
    // after which the request's key is free again: nothing was sent.
    bool Begin(Answer* refusal) {
        if (m_session.Undecided()) {
            return Refuse(UndecidedAnswer(), refusal);
        }
        MethodResult connect = m_session.EnsureConnected();
        PrinterCounters counters;
        MethodResult read = connect;
        if (!IsLinkFailure(connect.code) && connect.code != -1) {
            read = m_session.ReadCounters(&counters);
        }
        if (IsLinkFailure(read.code) && m_session.Connections() > 0) {
            // A link that was up went down since (a Disconnect through /call, a cable).
            read = ReconnectAndRead(m_session, m_services, &counters);
        }
        if (!read.Ok()) {
            Answer answer = ErrorAnswer(IsLinkFailure(read.code) ? 503 : 502, "printer_unreachable",
                                        "the printer cannot be reached; nothing was sent");
            answer.body["error"].update(FailureJson(read));
            answer.body["error"]["code"] = "printer_unreachable";
            answer.body["outcome"] = "not committed";
            answer.body["committed"] = false;
            m_services.metrics.CountResult(m_session.Config().name, read.code);
            return Refuse(answer, refusal);
        }
        if (counters.ReceiptOpen()) {
            Answer answer = ErrorAnswer(
                409, "document_open",
                "a document is open on the printer; finish it or cancel it (CancelPrint through "
                "/call) first; nothing was sent");
            answer.body["outcome"] = "not committed";
            answer.body["committed"] = false;
            return Refuse(answer, refusal);
        }
        m_baseline.operation = m_operation;
        m_baseline.counters = counters;
        if (!m_record.store->SetBaseline(m_record.key, JsonText(m_baseline.ToJson()))) {
            return Refuse(ErrorAnswer(500, "store_failed",
                                      "the request could not be recorded; nothing was sent"),
                          refusal);
        }
        return true;
    }

    void Stage(const char* stage) { m_stage = stage; }
    void Line(int line) { m_line = line; }
    bool Failed() const { return m_failed; }
    Json& Details() { return m_details; }

    // The steps of the document: each runs only while none has failed, and says whether it
    // succeeded.
    bool Call(LPCSTR method) { return !m_failed && Note(m_session.Call(method)); }
    bool PutText(LPCSTR name, const std::string& text) {
        return !m_failed && Note(m_session.PutText(name, text));
    }
    bool PutDeviceText(LPCSTR name, const std::string& text) {
        return !m_failed && Note(m_session.PutDeviceText(name, text));
    }
    bool PutMoney(LPCSTR name, LONGLONG money) {
        return !m_failed && Note(m_session.PutMoney(name, money));
    }
    bool PutNumber(LPCSTR name, LONG number) {
        return !m_failed && Note(m_session.PutNumber(name, number));
    }

  private:
    bool Note(const MethodResult& result) {
        if (!result.Ok()) {
            m_failed = true;
            m_failure = result;
            m_error = FailureJson(result);
            m_error["stage"] = m_stage;
            if (m_line >= 0) {
                m_error["line"] = m_line;
            }
        }
        return !m_failed;
    }

  public:
    // The service itself refuses to go on (the payments do not cover the total).
    void Stop(const std::string& code, const std::string& message) {
        m_failed = true;
        m_error = {{"code", code}, {"message", message}, {"stage", m_stage}};
    }

    // Decides the outcome from the printer, stores the answer and gives it.
    Answer Conclude() {
        const Decision decision =
            Decide(m_session, m_services, m_baseline, m_failed && IsLinkFailure(m_failure.code));
        Json body = m_details;
        body["key"] = m_record.key;
        if (m_failed) {
            body["error"] = m_error;
        } else if (decision.outcome != Outcome::Committed) {
            // Every step succeeded and yet the printer does not show the document committed.
            body["error"] = {{"code", "not_confirmed"},
                             {"message", "the printer does not show the document committed"},
                             {"stage", m_stage}};
        }
        if (decision.outcome == Outcome::Unknown) {
            body["error"]["confirmation"] = FailureJson(decision.failure);
        }
        const bool reconciled = m_failed;
        Answer answer = DecidedAnswer(body, decision, reconciled);
        const std::string& printer = m_session.Config().name;
        m_services.metrics.CountResult(printer, m_failed ? m_failure.code : 0);
        if (reconciled) {
            m_services.metrics.CountReconciliation(printer, OutcomeText(decision.outcome));
        }
        if (decision.outcome == Outcome::Unknown) {
            m_session.SetUndecided(true);
            m_record.store->MarkUnknown(m_record.key, JsonText(body));
        } else {
            const bool committed = decision.outcome == Outcome::Committed;
            m_record.store->Finish(m_record.key, answer.status, JsonText(answer.body),
                                   committed ? decision.after.document : 0,
                                   m_details.value("total", std::string()));
        }
        return answer;
    }

  private:
    bool Refuse(Answer answer, Answer* refusal) {
        m_record.store->Forget(m_record.key);
        *refusal = std::move(answer);
        return false;
    }

    CPrinterSession& m_session;
    DocumentServices& m_services;
    const RequestRecord& m_record;
    const char* m_operation;
    Baseline m_baseline;
    const char* m_stage = "opening";
    int m_line = -1;
    bool m_failed = false;
    MethodResult m_failure;
    Json m_error;
    Json m_details = Json::object();
};

std::string Money(LONGLONG money) {
    return drvkeltor::FormatMoney(money);
}

void Correct(CDocumentRun& run, const std::vector<Correction>& corrections, LPCSTR method) {
    for (const Correction& correction : corrections) {
        run.PutMoney("CorrectionAmount", correction.amount) &&
            run.PutText("CorrectionMnemo", correction.label) && run.Call(method);
    }
}

void SellLine(CDocumentRun& run, const ReceiptLine& line) {
    run.PutText("Article", line.article) && run.PutMoney("Price", line.price) &&
        run.PutMoney("Quantity", line.quantity) && run.PutText("QuantityUnit", line.unit) &&
        run.PutNumber("Department", static_cast<LONG>(line.department)) &&
        run.PutNumber("TypeOfGoods", static_cast<LONG>(line.goodsType)) &&
        run.PutText("BarcodeOfGoogs", line.barcode) && run.PutMoney("Amount", 0) &&
        run.Call("Sale");
    Correct(run, line.discounts, "Discount");
    Correct(run, line.surcharges, "Surcharge");
}

void Pay(CDocumentRun& run, const Payment& payment, bool refund) {
    switch (payment.kind) {
        case PaymentKind::Cash:
            run.PutText("AmountCurrency", std::string()) &&
                run.PutMoney("Amount", payment.amount) && run.Call("PayCash");
            break;
        case PaymentKind::Noncash:
            // A refund pays back through the facility; a sale is paid through it.
            run.PutMoney("Amount", payment.amount) &&
                run.PutNumber("NoncashType", static_cast<LONG>(payment.facility)) &&
                run.Call(refund ? "RepayNoncash" : "PayNoncash");
            break;
        case PaymentKind::Currency:
            run.PutMoney("Amount", payment.amount) &&
                run.PutText("AmountCurrency", payment.currency) &&
                run.PutMoney("AmountCurrencyRate", payment.rate) && run.Call("PayCash");
            break;
    }
}

}  // namespace

Answer UndecidedAnswer() {
    return ErrorAnswer(503, "outcome_undecided",
                       "the outcome of an earlier document on this printer is not known yet and "
                       "the printer cannot be reached; nothing was sent");
}

Answer RunReceipt(CPrinterSession& session, DocumentServices& services, const RequestRecord& record,
                  const ReceiptRequest& receipt) {
    CDocumentRun run(session, services, record, kOperationReceipt);
    Answer refusal;
    if (!run.Begin(&refusal)) {
        return refusal;
    }
    const bool refund = receipt.type == kReceiptRefund;
    run.Stage("opening");
    if (!receipt.cashier.empty()) {
        run.PutDeviceText("CashierLogin", receipt.cashier);
    }
    // What /call may have left in the driver object must not change this receipt.
    run.PutText("RestaurantOrder", std::string()) &&
        run.PutText("RestaurantReservations", std::string()) &&
        run.PutText("RestaurantAccommodation", std::string()) &&
        run.PutNumber("ForcePrintControlTapeOnly", 0) &&
        run.PutNumber("ForcePrintSingleQuantity", 0) &&
        run.PutNumber("ReceiptType", static_cast<LONG>(receipt.type)) && run.Call("OpenReceipt");
    run.Stage("lines");
    for (size_t i = 0; i < receipt.lines.size() && !run.Failed(); ++i) {
        run.Line(static_cast<int>(i));
        SellLine(run, receipt.lines[i]);
    }
    run.Line(-1);
    run.Stage("corrections");
    Correct(run, receipt.discounts, "DiscountReceipt");
    Correct(run, receipt.surcharges, "SurchargeReceipt");
    run.Stage("texts");
    for (const std::string& text : receipt.texts) {
        run.PutText("StringToPrint", text) && run.Call("PrintLine");
    }
    run.Stage("total");
    if (run.Call("CompleteReceipt")) {
        // A refund's total shows negative.
        LONGLONG total = session.Money("Subtotal");
        total = total < 0 ? -total : total;
        const LONGLONG paid = receipt.PaidAmount();
        run.Details()["total"] = Money(total);
        run.Details()["paid"] = Money(paid);
        if (!refund && paid < total) {
            run.Stop("payments_short", "the payments (" + Money(paid) +
                                           ") are short of the receipt's total (" + Money(total) +
                                           ")");
        } else if (refund && paid != total) {
            run.Stop("payments_mismatch", "a refund pays out exactly its total (" + Money(total) +
                                              "), the payments make " + Money(paid));
        }
    }
    run.Stage("payment");
    for (const Payment& payment : receipt.payments) {
        if (run.Failed()) {
            break;
        }
        Pay(run, payment, refund);
    }
    run.Stage("close");
    if (!run.Failed()) {
        run.Details()["change"] = Money(session.Money("Change"));
        run.Call("CloseReceipt");
    }
    return run.Conclude();
}

Answer RunCashDocument(CPrinterSession& session, DocumentServices& services,
                       const RequestRecord& record, const CashRequest& cash, bool income) {
    CDocumentRun run(session, services, record, income ? kOperationIncome : kOperationOutcome);
    Answer refusal;
    if (!run.Begin(&refusal)) {
        return refusal;
    }
    run.Details()["total"] = Money(cash.amount);
    if (!cash.currency.empty()) {
        run.Details()["currency"] = cash.currency;
    }
    run.Stage("payment");
    run.PutMoney("Amount", cash.amount) && run.PutText("AmountCurrency", cash.currency) &&
        run.Call(income ? "CashIncome" : "CashOutcome");
    run.Stage("close");
    run.Call("CloseReceipt");
    return run.Conclude();
}

Answer RunZReport(CPrinterSession& session, DocumentServices& services,
                  const RequestRecord& record) {
    CDocumentRun run(session, services, record, kOperationZReport);
    Answer refusal;
    if (!run.Begin(&refusal)) {
        return refusal;
    }
    run.Stage("report");
    run.PutNumber("SuppressEJournalReadProgress", 1) && run.Call("PrintZReport");
    return run.Conclude();
}

bool DecideUnknown(CPrinterSession& session, DocumentServices& services) {
    const std::string& printer = session.Config().name;
    for (const StoredRequest& row : services.store.Unknown(printer)) {
        Baseline baseline;
        const bool document =
            row.operation == kOperationReceipt || row.operation == kOperationIncome ||
            row.operation == kOperationOutcome || row.operation == kOperationZReport;
        if (row.baseline.empty() || !document || !Baseline::FromJson(row.baseline, &baseline)) {
            // Stopped before a document was begun, or work whose effect the printer cannot tell.
            const bool nothingSent = document && row.baseline.empty();
            Answer answer = ErrorAnswer(
                500, "interrupted",
                nothingSent ? "the service stopped before the document was begun; nothing was sent"
                            : "the service stopped while this request ran; what it did on the "
                              "printer is not known");
            answer.body["outcome"] = nothingSent ? "not committed" : "unknown";
            answer.body["committed"] = nothingSent ? Json(false) : Json(nullptr);
            answer.body["key"] = row.key;
            services.store.Finish(row.key, answer.status, JsonText(answer.body));
            continue;
        }
        const Decision decision = Decide(session, services, baseline, false);
        if (decision.outcome == Outcome::Unknown) {
            session.SetUndecided(true);
            return false;
        }
        Json partial = Json::parse(row.partial, nullptr, false);
        if (!partial.is_object()) {
            partial = Json::object();
        }
        if (!partial.contains("error")) {
            partial["error"] = {{"code", "interrupted"},
                                {"message", "the service stopped while the document ran"}};
        }
        partial["key"] = row.key;
        const Answer answer = DecidedAnswer(partial, decision, true);
        services.metrics.CountReconciliation(printer, OutcomeText(decision.outcome));
        services.store.Finish(row.key, answer.status, JsonText(answer.body),
                              decision.outcome == Outcome::Committed ? decision.after.document : 0,
                              partial.value("total", std::string()));
    }
    session.SetUndecided(false);
    return true;
}

}  // namespace brontald
