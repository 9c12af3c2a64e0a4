// The printer's state, its reports and day opening, its electronic journal, and the member
// calls of /call. Everything here runs on the printer thread.
#pragma once

#include <string>
#include <vector>

#include "Answer.h"
#include "Catalogue.h"
#include "Documents.h"
#include "PrinterSession.h"
#include "ReceiptRequest.h"

namespace brontald {

// Every status flag with its meaning, identification, day and receipt state and the blocking
// reasons, read from the printer now.
Answer ReadStatus(CPrinterSession& session);

Answer RunXReport(CPrinterSession& session, DocumentServices& services,
                  const RequestRecord& record);
Answer RunReportRange(CPrinterSession& session, DocumentServices& services,
                      const RequestRecord& record, const ReportRangeRequest& report);
Answer RunOpenDay(CPrinterSession& session, DocumentServices& services, const RequestRecord& record,
                  const std::string& cashier);

// The electronic journal of day `day` (0: the current or last one), as JSON lines or as text.
Answer ReadJournal(CPrinterSession& session, unsigned day, bool asText);

// One item of /call: a property write, a property read or a method call, by member name.
struct CallItem {
    enum class Kind { Put, Get, Call } kind = Kind::Call;
    std::string member;  // the catalogue's spelling
    VARTYPE type = VT_EMPTY;
    std::string value;  // for a write, in the command-line client's value syntax
};

// {"items": [...], "keep_going": false}; each item an object {"put": "Price", "value": "12.50"},
// {"get": "Subtotal"}, {"call": "Sale"}, or the command-line client's text ("Price=12.50",
// "?Subtotal", "Sale"). Every item is checked before any runs: an unknown member, a value of the
// wrong type or a write to a read-only property is a 400. Raw command transfer
// (TransferBytes, RawCommandBytes) needs `allowRaw`; `forbidden` is set when it was asked for
// without it.
BodyError ParseCallItems(const Json& body, const drvkeltor::CMemberCatalogue& catalogue,
                         bool allowRaw, std::vector<CallItem>* items, bool* keepGoing,
                         bool* forbidden);
Answer RunCallItems(CPrinterSession& session, DocumentServices& services,
                    const RequestRecord& record, const std::vector<CallItem>& items,
                    bool keepGoing);

}  // namespace brontald
