// The service's HTTP endpoints: request checks, the bearer token, idempotency keys, and the hand
// over of printer work to the printer thread.
//
// Thread-safety: handlers run on the HTTP server's threads; everything they share is
// thread-safe (store, metrics, worker) or read-only (configuration, member catalogue).
#pragma once

#include <string>

#include "Answer.h"
#include "Catalogue.h"
#include "Documents.h"
#include "IdempotencyStore.h"
#include "Metrics.h"
#include "PrinterWorker.h"
#include "ServiceConfig.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace brontald {

class CHttpApi {
  public:
    CHttpApi(const ServiceConfig& config, CPrinterWorker& worker, CIdempotencyStore& store,
             CMetrics& metrics, const drvkeltor::CMemberCatalogue& catalogue);

    void Install(httplib::Server& server);

  private:
  public:
    using Job = std::function<Answer(CPrinterSession&, DocumentServices&, const RequestRecord&)>;

  private:
    // Runs state-changing work under the request's idempotency key.
    Answer RunKeyed(const httplib::Request& request, const std::string& printer,
                    const std::string& operation, const Json& body, const Job& job);
    // Runs work that changes nothing on the printer.
    Answer RunRead(const std::string& printer, const std::function<Answer(CPrinterSession&)>& job);
    // The printer named in the path, counted; false with a 404 when it is not configured.
    bool KnownPrinter(const std::string& printer, const std::string& endpoint, Answer* refusal);
    std::string StatusPage();

    const ServiceConfig& m_config;
    CPrinterWorker& m_worker;
    CIdempotencyStore& m_store;
    CMetrics& m_metrics;
    const drvkeltor::CMemberCatalogue& m_catalogue;
    DocumentServices m_services;
};

// The JSON body of a request: an empty body is {}. False with a 400 answer for what is not
// JSON.
bool ParseBody(const std::string& text, Json* body, Answer* refusal);
// An Idempotency-Key a client may give: 1 to 255 visible ASCII characters.
bool IsIdempotencyKey(const std::string& key);
// What a key stands for: the method, the path and the body in canonical form.
std::string RequestDigest(const std::string& method, const std::string& path, const Json& body);

// The OpenAPI description of every endpoint.
Json OpenApiDocument();

}  // namespace brontald
