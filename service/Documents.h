// Fiscal documents that must happen exactly once: receipts, cash income and outcome, the Z report.
//
// Before a document is begun the printer's counters are read and stored with the request's key
// (the baseline). When a step fails, the printer is asked again, after reconnecting when the link
// failed, and the outcome is decided from what it shows: a receipt counter one past the baseline
// with no document open means the document was committed; our document still open is cancelled
// and was not committed. Only when the printer cannot be reached is the outcome "unknown"; it is
// stored so, and decided before the printer does anything else.
//
// Everything here runs on the printer thread.
#pragma once

#include <cstdint>
#include <string>

#include "Answer.h"
#include "IdempotencyStore.h"
#include "Metrics.h"
#include "PrinterSession.h"
#include "ReceiptRequest.h"

namespace brontald {

// The store row of the request being run.
struct RequestRecord {
    CIdempotencyStore* store = nullptr;
    std::string key;
};

// What the service works with on the printer thread.
struct DocumentServices {
    CIdempotencyStore& store;
    CMetrics& metrics;
};

Answer RunReceipt(CPrinterSession& session, DocumentServices& services, const RequestRecord& record,
                  const ReceiptRequest& receipt);
// Cash income (`income`) or outcome: a cash collection document of its own.
Answer RunCashDocument(CPrinterSession& session, DocumentServices& services,
                       const RequestRecord& record, const CashRequest& cash, bool income);
Answer RunZReport(CPrinterSession& session, DocumentServices& services,
                  const RequestRecord& record);

// Decides the unknown rows of the session's printer, oldest first, and stores their answers.
// False while one of them cannot be decided (the printer cannot be reached); the session then
// refuses new work that changes the printer.
bool DecideUnknown(CPrinterSession& session, DocumentServices& services);

// The refusal of work while an outcome is undecided.
Answer UndecidedAnswer();

}  // namespace brontald
