#include "HttpApi.h"

#include <httplib.h>

#include <random>

#include "Operations.h"
#include "ReceiptRequest.h"

namespace brontald {

namespace {

constexpr size_t kMaxKeyLength = 255;
constexpr const char* kPrinterPath = R"(/printers/([^/]+))";

void Send(httplib::Response& response, const Answer& answer) {
    response.status = answer.status;
    if (!answer.contentType.empty()) {
        response.set_content(answer.text, answer.contentType.c_str());
    } else {
        response.set_content(JsonText(answer.body) + "\n", "application/json");
    }
}

Answer BodyErrorAnswer(const BodyError& error) {
    Answer answer =
        ErrorAnswer(400, "bad_request",
                    (error.field.empty() ? std::string() : error.field + ": ") + error.message);
    if (!error.field.empty()) {
        answer.body["error"]["field"] = error.field;
    }
    return answer;
}

// A key of the service's own for a request that came without one, so that its outcome is
// recorded and decided all the same.
std::string ServiceKey() {
    static std::mutex mutex;
    static std::random_device device;
    static std::mt19937_64 generator((static_cast<unsigned long long>(device()) << 32) ^ device());
    std::lock_guard<std::mutex> lock(mutex);
    char text[48] = {};  // "service-" and 32 digits
    std::snprintf(text, sizeof text, "service-%016llx%016llx",
                  static_cast<unsigned long long>(generator()),
                  static_cast<unsigned long long>(generator()));
    return text;
}

// Compares without returning early, so that the time taken does not tell how much matched.
bool SameSecret(const std::string& given, const std::string& secret) {
    if (secret.empty()) {
        return false;
    }
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (size_t i = 0; i < given.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i] ^ secret[i % secret.size()]);
    }
    return difference == 0;
}

struct NoBody {};

using Job = CHttpApi::Job;
// Reads a body into the work it asks for; the answer is a refusal when no work was set.
using Reader = std::function<Answer(const Json& body, Job* job)>;

// The reader of an endpoint whose body `parse` reads into a `Parsed` that `run` carries out.
template <typename Parsed, typename Parse, typename Run>
Reader Endpoint(Parse parse, Run run) {
    return [parse, run](const Json& body, Job* job) {
        Parsed parsed;
        const BodyError error = parse(body, &parsed);
        if (!error.Empty()) {
            return BodyErrorAnswer(error);
        }
        *job = [parsed, run](CPrinterSession& session, DocumentServices& services,
                             const RequestRecord& record) {
            return run(session, services, record, parsed);
        };
        return Answer();
    };
}

std::string Route(const std::string& tail) {
    return std::string(kPrinterPath) + tail;
}

}  // namespace

bool ParseBody(const std::string& text, Json* body, Answer* refusal) {
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        *body = Json::object();
        return true;
    }
    try {
        *body = Json::parse(text);
    } catch (const Json::parse_error& error) {
        *refusal =
            ErrorAnswer(400, "bad_json", std::string("the body is not JSON: ") + error.what());
        return false;
    }
    return true;
}

bool IsIdempotencyKey(const std::string& key) {
    if (key.empty() || key.size() > kMaxKeyLength) {
        return false;
    }
    for (const char c : key) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string RequestDigest(const std::string& method, const std::string& path, const Json& body) {
    // The dump of a parsed body is canonical: members sorted, no spaces.
    return Sha256Hex(method + " " + path + "\n" + JsonText(body));
}

CHttpApi::CHttpApi(const ServiceConfig& config, CPrinterWorker& worker, CIdempotencyStore& store,
                   CMetrics& metrics, const drvkeltor::CMemberCatalogue& catalogue)
    : m_config(config),
      m_worker(worker),
      m_store(store),
      m_metrics(metrics),
      m_catalogue(catalogue),
      m_services{store, metrics} {}

bool CHttpApi::KnownPrinter(const std::string& printer, const std::string& endpoint,
                            Answer* refusal) {
    if (!m_config.Find(printer)) {
        *refusal = ErrorAnswer(404, "unknown_printer", "no printer is called \"" + printer + "\"");
        return false;
    }
    m_metrics.CountRequest(printer, endpoint);
    return true;
}

Answer CHttpApi::RunRead(const std::string& printer,
                         const std::function<Answer(CPrinterSession&)>& job) {
    Answer answer = ErrorAnswer(503, "stopping", "the service is stopping");
    m_worker.Run(printer, [&](CPrinterSession& session) {
        try {
            answer = job(session);
        } catch (const std::exception& error) {
            answer = ErrorAnswer(500, "internal_error", error.what());
        }
    });
    return answer;
}

Answer CHttpApi::RunKeyed(const httplib::Request& request, const std::string& printer,
                          const std::string& operation, const Json& body, const Job& job) {
    const bool given = request.has_header("Idempotency-Key");
    const std::string key = given ? request.get_header_value("Idempotency-Key") : ServiceKey();
    if (given && !IsIdempotencyKey(key)) {
        return ErrorAnswer(400, "bad_idempotency_key",
                           "Idempotency-Key: 1 to 255 visible ASCII characters");
    }
    const std::string digest = RequestDigest(request.method, request.path, body);
    StoredAnswer stored;
    KeyState state = m_store.Begin(key, digest, printer, operation, &stored);
    if (state == KeyState::Pending) {
        // Undecided: the printer is asked first (every job of a printer begins with that).
        m_metrics.CountRetry(printer);
        m_worker.Run(printer, [](CPrinterSession&) {});
        if (!m_store.Answer(key, &stored)) {
            Answer answer = UndecidedAnswer();
            answer.body["outcome"] = "unknown";
            answer.body["committed"] = nullptr;
            answer.body["key"] = key;
            return answer;
        }
        state = KeyState::Replay;
    } else if (state == KeyState::Replay || state == KeyState::Running) {
        m_metrics.CountRetry(printer);
    }
    switch (state) {
        case KeyState::Replay: {
            Answer answer;
            answer.status = stored.status;
            answer.body = Json::parse(stored.body, nullptr, false);
            if (!answer.body.is_object()) {
                return ErrorAnswer(500, "store_failed", "the stored answer cannot be read");
            }
            answer.body["replayed"] = true;
            return answer;
        }
        case KeyState::Mismatch:
            return ErrorAnswer(422, "idempotency_key_reused",
                               "this Idempotency-Key was used for another request");
        case KeyState::Running:
            return ErrorAnswer(409, "request_in_progress",
                               "the request with this Idempotency-Key is still running; ask "
                               "again later");
        case KeyState::Failed:
            return ErrorAnswer(500, "store_failed",
                               "the request could not be recorded; nothing was sent");
        default:
            break;
    }
    const RequestRecord record{&m_store, key};
    Answer answer;
    const bool ran = m_worker.Run(printer, [&](CPrinterSession& session) {
        try {
            answer = job(session, m_services, record);
        } catch (const std::exception& error) {
            // What the work did to the printer is not known: it is decided before the next job.
            m_store.MarkUnknown(key, "{}");
            session.SetUndecided(true);
            answer =
                ErrorAnswer(500, "internal_error",
                            std::string("the request failed inside the service (") + error.what() +
                                "); its outcome is decided from the printer "
                                "before its next work");
        }
    });
    if (!ran) {
        m_store.Forget(key);
        return ErrorAnswer(503, "stopping", "the service is stopping; nothing was sent");
    }
    return answer;
}

void CHttpApi::Install(httplib::Server& server) {
    server.set_payload_max_length(m_config.maxBodyBytes);
    server.set_pre_routing_handler([this](const httplib::Request& request,
                                          httplib::Response& response) {
        if (m_config.token.empty() || request.path == "/health") {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        const std::string header = request.get_header_value("Authorization");
        const std::string prefix = "Bearer ";
        if (header.compare(0, prefix.size(), prefix) != 0 ||
            !SameSecret(header.substr(prefix.size()), m_config.token)) {
            response.set_header("WWW-Authenticate", "Bearer");
            Send(response, ErrorAnswer(401, "unauthorized",
                                       "a bearer token is required (Authorization: Bearer ...)"));
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) {
            return;
        }
        switch (response.status) {
            case 404:
                Send(response,
                     ErrorAnswer(404, "not_found", "no such endpoint (see /openapi.json)"));
                break;
            case 400:
                Send(response, ErrorAnswer(400, "bad_request",
                                           "the request cannot be read (a POST needs a "
                                           "Content-Length)"));
                break;
            case 413:
                Send(response, ErrorAnswer(413, "body_too_large", "the body is too large"));
                break;
            default:
                Send(response, ErrorAnswer(response.status, "http_error", "the request failed"));
                break;
        }
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            Send(response, ErrorAnswer(500, "internal_error", "the request could not be handled"));
        });

    server.Get("/health", [this](const httplib::Request&, httplib::Response& response) {
        Answer answer;
        answer.body = {{"status", "ok"}, {"printers", m_config.printers.size()}};
        Send(response, answer);
    });
    server.Get("/printers", [this](const httplib::Request&, httplib::Response& response) {
        Answer answer;
        Json printers = Json::array();
        for (const PrinterConfig& printer : m_config.printers) {
            printers.push_back({{"name", printer.name},
                                {"port", printer.port},
                                {"baud", printer.baud},
                                {"status", "/printers/" + printer.name + "/status"}});
        }
        answer.body = {{"printers", printers}};
        Send(response, answer);
    });
    server.Get("/openapi.json", [](const httplib::Request&, httplib::Response& response) {
        Answer answer;
        answer.body = OpenApiDocument();
        Send(response, answer);
    });
    server.Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(m_metrics.PrometheusText(), "text/plain; version=0.0.4");
    });
    server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(StatusPage(), "text/html; charset=utf-8");
    });

    server.Get(Route("/status"), [this](const httplib::Request& request,
                                        httplib::Response& response) {
        const std::string printer = request.matches[1];
        Answer answer;
        if (KnownPrinter(printer, "status", &answer)) {
            answer = RunRead(printer, [](CPrinterSession& session) { return ReadStatus(session); });
        }
        Send(response, answer);
    });
    server.Get(Route(R"(/journal/(\d{1,5}))"),
               [this](const httplib::Request& request, httplib::Response& response) {
                   const std::string printer = request.matches[1];
                   const unsigned day = static_cast<unsigned>(std::stoul(request.matches[2]));
                   const std::string format = request.get_param_value("format");
                   Answer answer;
                   if (format != "" && format != "json" && format != "text") {
                       answer = ErrorAnswer(400, "bad_request", "format: \"json\" or \"text\"");
                   } else if (day > 65535) {
                       answer = ErrorAnswer(400, "bad_request", "the day number is too large");
                   } else if (KnownPrinter(printer, "journal", &answer)) {
                       answer = RunRead(printer, [&](CPrinterSession& session) {
                           return ReadJournal(session, day, format == "text");
                       });
                   }
                   Send(response, answer);
               });

    // State-changing endpoints: path tail, endpoint name, and the body's reading into work.
    struct Mutating {
        const char* tail;
        const char* endpoint;
        Reader read;
    };
    const auto none = [](const Json& body, NoBody*) { return ParseTexts(body, {}, nullptr); };
    const std::vector<Mutating> endpoints = {
        {"/receipts", "receipt", Endpoint<ReceiptRequest>(ParseReceipt, RunReceipt)},
        {"/reports/x", "x-report",
         Endpoint<NoBody>(none, [](CPrinterSession& session, DocumentServices& services,
                                   const RequestRecord& record, const NoBody&) {
             return RunXReport(session, services, record);
         })},
        {"/reports/z", "z-report",
         Endpoint<NoBody>(none, [](CPrinterSession& session, DocumentServices& services,
                                   const RequestRecord& record, const NoBody&) {
             return RunZReport(session, services, record);
         })},
        {"/reports/by-date", "report-by-date",
         Endpoint<ReportRangeRequest>(
             [](const Json& body, ReportRangeRequest* report) {
                 return ParseReportRange(body, true, report);
             },
             RunReportRange)},
        {"/reports/by-number", "report-by-number",
         Endpoint<ReportRangeRequest>(
             [](const Json& body, ReportRangeRequest* report) {
                 return ParseReportRange(body, false, report);
             },
             RunReportRange)},
        {"/day/open", "day-open",
         Endpoint<std::vector<std::string>>(
             [](const Json& body, std::vector<std::string>* texts) {
                 return ParseTexts(body, {"cashier"}, texts);
             },
             [](CPrinterSession& session, DocumentServices& services, const RequestRecord& record,
                const std::vector<std::string>& texts) {
                 return RunOpenDay(session, services, record, texts[0]);
             })},
        {"/cash/income", "cash-income",
         Endpoint<CashRequest>(ParseCash,
                               [](CPrinterSession& session, DocumentServices& services,
                                  const RequestRecord& record, const CashRequest& cash) {
                                   return RunCashDocument(session, services, record, cash, true);
                               })},
        {"/cash/outcome", "cash-outcome",
         Endpoint<CashRequest>(ParseCash,
                               [](CPrinterSession& session, DocumentServices& services,
                                  const RequestRecord& record, const CashRequest& cash) {
                                   return RunCashDocument(session, services, record, cash, false);
                               })},
        {"/call", "call",
         [this](const Json& body, Job* job) {
             std::vector<CallItem> items;
             bool keepGoing = false;
             bool forbidden = false;
             const BodyError error = ParseCallItems(body, m_catalogue, m_config.allowRawCommands,
                                                    &items, &keepGoing, &forbidden);
             if (!error.Empty()) {
                 Answer answer = BodyErrorAnswer(error);
                 if (forbidden) {
                     answer.status = 403;
                     answer.body["error"]["code"] = "forbidden";
                 }
                 return answer;
             }
             *job = [items, keepGoing](CPrinterSession& session, DocumentServices& services,
                                       const RequestRecord& record) {
                 return RunCallItems(session, services, record, items, keepGoing);
             };
             return Answer();
         }},
    };
    for (const Mutating& endpoint : endpoints) {
        server.Post(Route(endpoint.tail),
                    [this, endpoint](const httplib::Request& request, httplib::Response& response) {
                        const std::string printer = request.matches[1];
                        Answer answer;
                        Json body;
                        Job job;
                        if (KnownPrinter(printer, endpoint.endpoint, &answer) &&
                            ParseBody(request.body, &body, &answer)) {
                            answer = endpoint.read(body, &job);
                            if (job) {
                                answer = RunKeyed(request, printer, endpoint.endpoint, body, job);
                            }
                        }
                        Send(response, answer);
                    });
    }
}

}  // namespace brontald
