#include "Operations.h"

#include <cstdio>
#include <functional>

#include "PrinterFlags.h"
#include "ResultCodes.h"
#include "Script.h"
#include "Values.h"

namespace brontald {

namespace {

constexpr size_t kMaxCallItems = 1000;

Json ResultJson(const MethodResult& result) {
    return {{"method", result.method},
            {"result_code", result.code},
            {"description", result.description},
            {"explanation", ExplainResultCode(result.code)},
            {"hresult", drvkeltor::HresultText(result.hr)}};
}

// The answer of a failed operation: a link failure is the gateway's, a refusal the request's.
Answer FailureAnswer(const MethodResult& result) {
    Answer answer = ErrorAnswer(IsLinkFailure(result.code) ? 502 : 422,
                                IsLinkFailure(result.code) ? "link_failure" : "printer_refused",
                                ExplainResultCode(result.code));
    answer.body["error"].update(ResultJson(result));
    return answer;
}

Json StateSummary(const PrinterCounters& counters) {
    return {{"day_open", counters.DayOpen()},
            {"receipt_open", counters.ReceiptOpen()},
            {"blocked", (counters.status & kStatusBlocked) != 0},
            {"session", counters.session},
            {"last_document", counters.document},
            {"receipts", counters.receipt}};
}

// Connects; work that changes the printer is refused while an outcome is undecided. False with
// the refusal.
bool Prepare(CPrinterSession& session, bool changesPrinter, Answer* refusal) {
    if (changesPrinter && session.Undecided()) {
        *refusal = UndecidedAnswer();
        return false;
    }
    const MethodResult connect = session.EnsureConnected();
    if (IsLinkFailure(connect.code) || connect.code == -1) {
        *refusal = ErrorAnswer(503, "printer_unreachable", "the printer cannot be reached");
        refusal->body["error"].update(ResultJson(connect));
        refusal->body["error"]["code"] = "printer_unreachable";
        return false;
    }
    return true;
}

// Runs `steps` and stores the answer under the request's key: the driver's result of the last
// step, and the printer's state afterwards.
Answer RunRecorded(CPrinterSession& session, DocumentServices& services,
                   const RequestRecord& record, const std::function<MethodResult()>& steps) {
    Answer answer;
    if (!Prepare(session, true, &answer)) {
        record.store->Forget(record.key);
        return answer;
    }
    const MethodResult result = steps();
    services.metrics.CountResult(session.Config().name, result.code);
    if (result.Ok()) {
        answer.body = ResultJson(result);
        PrinterCounters counters;
        if (session.ReadCounters(&counters).Ok()) {
            answer.body["printer"] = StateSummary(counters);
        }
    } else {
        answer = FailureAnswer(result);
    }
    answer.body["key"] = record.key;
    record.store->Finish(record.key, answer.status, JsonText(answer.body));
    return answer;
}

MethodResult Steps(const std::vector<std::function<MethodResult()>>& steps) {
    MethodResult result;
    for (const auto& step : steps) {
        result = step();
        if (!result.Ok()) {
            break;
        }
    }
    return result;
}

bool IsName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_')) {
            return false;
        }
    }
    return true;
}

// The command-line client's item text as an object item.
Json ItemFromText(const std::string& given) {
    const std::string text = drvkeltor::Trimmed(given);
    if (!text.empty() && text[0] == '?') {
        return {{"get", drvkeltor::Trimmed(text.substr(1))}};
    }
    const size_t equals = text.find('=');
    if (equals != std::string::npos) {
        // The value as given after '=': texts keep their spaces.
        return {{"put", drvkeltor::Trimmed(text.substr(0, equals))},
                {"value", given.substr(given.find('=') + 1)}};
    }
    return {{"call", text}};
}

std::string CrcText(unsigned long crc) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "%08lX", crc);
    return text;
}

bool IsRawMember(const std::string& name) {
    return name == "TransferBytes" || name == "RawCommandBytes";
}

}  // namespace

Answer ReadStatus(CPrinterSession& session) {
    Answer answer;
    const PrinterConfig& config = session.Config();
    Json body = {{"printer", config.name}, {"port", config.port}, {"baud", config.baud}};
    if (!Prepare(session, false, &answer)) {
        answer.body["printer"] = config.name;
        answer.body["connected"] = false;
        answer.body["undecided"] = session.Undecided();
        return answer;
    }
    PrinterCounters counters;
    MethodResult read = session.Call("RefreshStatus");
    if (read.Ok()) {
        read = session.ReadCounters(&counters);
    }
    if (!read.Ok()) {
        answer = IsLinkFailure(read.code)
                     ? ErrorAnswer(503, "printer_unreachable", "the printer cannot be reached")
                     : FailureAnswer(read);
        answer.body["error"].update(ResultJson(read));
        answer.body["printer"] = config.name;
        answer.body["connected"] = session.Connected();
        answer.body["undecided"] = session.Undecided();
        return answer;
    }
    body["connected"] = true;
    body["undecided"] = session.Undecided();
    body["status_word"] = counters.status;
    body["blocking_word"] = counters.blocking;
    body["flags"] = StatusFlagsJson(counters.status);
    body["blocked"] = (counters.status & kStatusBlocked) != 0;
    body["blocking_reasons"] = BlockingReasonsJson(counters.blocking);
    body["identification"] = {
        {"name", session.Text("PrinterName")},
        {"manufacturer_country_code", session.Text("ManufacturerCountryCode")},
        {"serial_number", session.Text("ManufacturerSerialNumber")},
        {"taxpayer_account_number", session.Text("TaxpayerAccountNumber")},
        {"firmware", session.Text("FirmwareMnemo")},
        {"firmware_version", session.Text("FirmwareVersion")},
        {"width", session.Number("PrinterWidth")},
        {"driver_version", session.Text("SoftwareVersion")}};
    body["day"] = {{"open", counters.DayOpen()}, {"session", counters.session}};
    body["receipt"] = {{"open", counters.ReceiptOpen()},
                       {"ready_for_total", (counters.status & kStatusReadyForTotal) != 0},
                       {"type", counters.type}};
    body["documents"] = {{"last_document", counters.document}, {"receipts", counters.receipt}};
    answer.body = body;
    return answer;
}

Answer RunXReport(CPrinterSession& session, DocumentServices& services,
                  const RequestRecord& record) {
    return RunRecorded(session, services, record,
                       [&session] { return session.Call("PrintXReport"); });
}

Answer RunReportRange(CPrinterSession& session, DocumentServices& services,
                      const RequestRecord& record, const ReportRangeRequest& report) {
    return RunRecorded(session, services, record, [&] {
        std::vector<std::function<MethodResult()>> steps = {
            [&] { return session.PutNumber("SelectScopeDetailed", report.detailed ? 1 : 0); },
            [&] { return session.PutText("InitializationPassword", report.password); }};
        if (report.byDate) {
            steps.push_back([&] {
                VARIANT value;
                VariantInit(&value);
                value.vt = VT_DATE;
                value.date = report.fromDate;
                MethodResult put;
                put.method = "SelectFromDate";
                put.hr = session.Driver().Put("SelectFromDate", value);
                value.date = report.toDate;
                if (SUCCEEDED(put.hr)) {
                    put.method = "SelectToDate";
                    put.hr = session.Driver().Put("SelectToDate", value);
                }
                put.code = SUCCEEDED(put.hr) ? 0 : -1;
                return put;
            });
            steps.push_back([&] { return session.Call("PrintReportByDate"); });
        } else {
            steps.push_back([&] {
                return session.PutNumber("SelectFromNumber", static_cast<LONG>(report.fromNumber));
            });
            steps.push_back([&] {
                return session.PutNumber("SelectToNumber", static_cast<LONG>(report.toNumber));
            });
            steps.push_back([&] { return session.Call("PrintReportByZ"); });
        }
        return Steps(steps);
    });
}

Answer RunOpenDay(CPrinterSession& session, DocumentServices& services, const RequestRecord& record,
                  const std::string& cashier) {
    return RunRecorded(session, services, record, [&] {
        const std::string login = cashier.empty() ? session.Config().cashier : cashier;
        // The login is sent with the day's opening when it is given.
        MethodResult put = session.PutDeviceText("CashierLogin", login);
        return put.Ok() ? session.Call("OpenDay") : put;
    });
}

Answer ReadJournal(CPrinterSession& session, unsigned day, bool asText) {
    Answer answer;
    if (!Prepare(session, false, &answer)) {
        return answer;
    }
    MethodResult result =
        Steps({[&] { return session.PutNumber("RequestSession", static_cast<LONG>(day)); },
               [&] { return session.Call("RequestSessionElectronicJournalInfo"); }});
    if (!result.Ok()) {
        return FailureAnswer(result);
    }
    const LONG number = session.Number("RequestSession");
    const LONG size = session.Number("ElectronicJournalSize");
    // The twin reads the unsigned checksum through a signed type without losing a bit.
    const auto crc =
        static_cast<unsigned long>(static_cast<ULONG>(session.Number("ElectronicJournalCRC2")));
    std::string text;
    if (size > 0) {
        result = Steps({[&] { return session.PutNumber("SessionNumber", number); },
                        [&] { return session.PutNumber("ElectronicJournalReadOffset", 0); },
                        [&] { return session.PutNumber("ElectronicJournalReadSize", size); },
                        [&] { return session.PutText("ElectronicJournalSavePath", std::string()); },
                        [&] { return session.PutNumber("SuppressEJournalReadProgress", 1); },
                        [&] { return session.Call("ReadElectronicJournal"); }});
        if (!result.Ok()) {
            return FailureAnswer(result);
        }
        text = session.Text("ElectronicJournalData");
    }
    if (asText) {
        answer.text = text;
        answer.contentType = "text/plain; charset=utf-8";
        return answer;
    }
    Json lines = Json::array();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    answer.body = {{"session", number},
                   {"size", size},
                   // An open day has no checksum yet.
                   {"crc", crc == 0 ? Json(nullptr) : Json(CrcText(crc))},
                   {"lines", lines}};
    return answer;
}

BodyError ParseCallItems(const Json& body, const drvkeltor::CMemberCatalogue& catalogue,
                         bool allowRaw, std::vector<CallItem>* items, bool* keepGoing,
                         bool* forbidden) {
    *forbidden = false;
    if (!body.is_object()) {
        return {"", "must be a JSON object with \"items\""};
    }
    for (const auto& [name, value] : body.items()) {
        if (name != "items" && name != "keep_going") {
            return {name, "is not a member of this object"};
        }
    }
    const Json empty = Json::array();
    const Json& list = body.contains("items") ? body["items"] : empty;
    if (!list.is_array() || list.empty() || list.size() > kMaxCallItems) {
        return {"items", "must be an array of 1 to " + std::to_string(kMaxCallItems) + " items"};
    }
    *keepGoing = false;
    if (body.contains("keep_going")) {
        if (!body["keep_going"].is_boolean()) {
            return {"keep_going", "must be true or false"};
        }
        *keepGoing = body["keep_going"].get<bool>();
    }
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string path = "items[" + std::to_string(i) + "]";
        const Json item = list[i].is_string() ? ItemFromText(list[i].get<std::string>()) : list[i];
        if (!item.is_object()) {
            return {path, "must be an object or an item text"};
        }
        CallItem parsed;
        std::string verb;
        for (const char* kind : {"put", "get", "call"}) {
            if (item.contains(kind)) {
                if (!verb.empty()) {
                    return {path, "has more than one of put, get and call"};
                }
                verb = kind;
            }
        }
        if (verb.empty() || !item[verb].is_string()) {
            return {path, "needs one of \"put\", \"get\" or \"call\" with a member name"};
        }
        for (const auto& [name, value] : item.items()) {
            if (name != verb && !(verb == "put" && name == "value")) {
                return {path + "." + name, "is not a member of this item"};
            }
        }
        const std::string name = item[verb].get<std::string>();
        const BrontalMemberInfo* member = IsName(name) ? catalogue.Find(name) : nullptr;
        if (!member) {
            return {path, "the driver has no member \"" + name + "\""};
        }
        parsed.member = member->name;
        parsed.type = member->type;
        if (IsRawMember(parsed.member) && !allowRaw) {
            *forbidden = true;
            return {path, parsed.member +
                              " transfers raw commands, which the configuration does not allow "
                              "(allow_raw_commands)"};
        }
        if (verb == "call") {
            if (!member->isMethod) {
                // As in the command-line client, a property named alone is read.
                verb = "get";
            } else {
                parsed.kind = CallItem::Kind::Call;
            }
        }
        if (verb == "get") {
            if (member->isMethod) {
                return {path, parsed.member + " is a method, not a property"};
            }
            if (!(member->access & kCatalogueGet)) {
                return {path, parsed.member + " can only be written"};
            }
            parsed.kind = CallItem::Kind::Get;
        } else if (verb == "put") {
            if (member->isMethod) {
                return {path, parsed.member + " is a method: it takes no value"};
            }
            if (!(member->access & kCataloguePut)) {
                return {path, parsed.member + " can only be read"};
            }
            if (!item.contains("value")) {
                return {path + ".value", "is required"};
            }
            std::string error;
            if (!JsonValueText(item["value"], member->type, &parsed.value, &error)) {
                return {path + ".value", error};
            }
            VARIANT value;
            if (!drvkeltor::ParseValue(member->type, parsed.value, &value, &error)) {
                return {path + ".value", parsed.member + " (" + drvkeltor::TypeName(member->type) +
                                             "): \"" + parsed.value + "\" is " + error};
            }
            const bool text = (member->type & ~VT_ARRAY) == VT_BSTR;
            VariantClear(&value);
            if (text && !FitsPrinterText(parsed.value)) {
                return {path + ".value",
                        "holds characters the printer cannot print (Windows-1251)"};
            }
            parsed.kind = CallItem::Kind::Put;
        }
        items->push_back(parsed);
    }
    return {};
}

Answer RunCallItems(CPrinterSession& session, DocumentServices& services,
                    const RequestRecord& record, const std::vector<CallItem>& items,
                    bool keepGoing) {
    Answer answer;
    if (!Prepare(session, true, &answer)) {
        record.store->Forget(record.key);
        return answer;
    }
    Json results = Json::array();
    bool failed = false;
    size_t failedAt = 0;
    long lastCode = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const CallItem& item = items[i];
        Json result = {{"item", i}};
        MethodResult outcome;
        if (item.kind == CallItem::Kind::Call) {
            outcome = session.Call(item.member.c_str());
            result["call"] = item.member;
            result.update(ResultJson(outcome));
            result.erase("method");
            lastCode = outcome.code;
        } else if (item.kind == CallItem::Kind::Get) {
            VARIANT value;
            outcome.method = item.member;
            outcome.hr = session.Driver().Get(item.member.c_str(), &value);
            result["get"] = item.member;
            if (SUCCEEDED(outcome.hr)) {
                result["value"] = VariantJson(value);
                result["type"] = drvkeltor::TypeName(item.type);
            } else {
                outcome.code = -1;
                result["hresult"] = drvkeltor::HresultText(outcome.hr);
                result["description"] =
                    salestest::Utf8FromWide(session.Driver().LastFailure().description);
            }
            VariantClear(&value);
        } else {
            VARIANT value;
            std::string error;
            drvkeltor::ParseValue(item.type, item.value, &value, &error);  // checked before
            outcome.method = item.member;
            outcome.hr = session.Driver().Put(item.member.c_str(), value);
            VariantClear(&value);
            result["put"] = item.member;
            if (FAILED(outcome.hr)) {
                outcome.code = -1;
                result["hresult"] = drvkeltor::HresultText(outcome.hr);
                result["description"] =
                    salestest::Utf8FromWide(session.Driver().LastFailure().description);
            }
        }
        result["ok"] = outcome.Ok();
        results.push_back(result);
        if (!outcome.Ok() && !failed) {
            failed = true;
            failedAt = i;
        }
        if (!outcome.Ok() && !keepGoing) {
            break;
        }
    }
    services.metrics.CountResult(session.Config().name, lastCode);
    answer.body = {{"completed", !failed || keepGoing}, {"results", results}};
    if (failed) {
        answer.body["failed_at"] = failedAt;
    }
    answer.body["key"] = record.key;
    record.store->Finish(record.key, answer.status, JsonText(answer.body));
    return answer;
}

}  // namespace brontald
