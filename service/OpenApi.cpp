// The OpenAPI 3 description of the service, served at /openapi.json.
#include "HttpApi.h"

namespace brontald {

namespace {

Json Ref(const std::string& schema) {
    return {{"$ref", "#/components/schemas/" + schema}};
}

Json JsonContent(const Json& schema) {
    return {{"application/json", {{"schema", schema}}}};
}

Json Responses(const std::string& okSchema, const std::string& okText,
               const std::vector<std::pair<std::string, std::string>>& errors) {
    Json responses = {{"200", {{"description", okText}, {"content", JsonContent(Ref(okSchema))}}}};
    for (const auto& [status, text] : errors) {
        responses[status] = {{"description", text}, {"content", JsonContent(Ref("Error"))}};
    }
    return responses;
}

const std::vector<std::pair<std::string, std::string>> kKeyedErrors = {
    {"400", "malformed request, with what is wrong"},
    {"401", "bearer token missing or wrong (when the service has one)"},
    {"404", "no such printer"},
    {"409", "a request with this Idempotency-Key is still running, or a document is open"},
    {"422", "Idempotency-Key reused with another body, or the printer refused"},
    {"502", "the link failed; the outcome was decided from the printer (not committed)"},
    {"503", "the printer cannot be reached (outcome unknown, decided later)"},
};

Json PrinterParameter() {
    return {{"name", "printer"},
            {"in", "path"},
            {"required", true},
            {"schema", {{"type", "string"}}},
            {"description", "the printer's name in the configuration"}};
}

Json KeyParameter() {
    return {{"name", "Idempotency-Key"},
            {"in", "header"},
            {"required", false},
            {"schema", {{"type", "string"}, {"minLength", 1}, {"maxLength", 255}}},
            {"description",
             "repeating a request under its key gives the stored answer without touching the "
             "printer"}};
}

Json Post(const std::string& summary, const Json& body, const std::string& okSchema) {
    Json operation = {{"summary", summary},
                      {"parameters", {PrinterParameter(), KeyParameter()}},
                      {"responses", Responses(okSchema, "done", kKeyedErrors)}};
    if (!body.is_null()) {
        operation["requestBody"] = {{"required", true}, {"content", JsonContent(body)}};
    }
    return {{"post", operation}};
}

Json Money() {
    return {
        {"oneOf",
         {{{"type", "string"}, {"pattern", "^-?[0-9]+(\\.[0-9]{1,4})?$"}}, {{"type", "number"}}}},
        {"description", "an amount with at most four decimals, e.g. \"12.50\""}};
}

Json Schemas() {
    const Json text = {{"type", "string"}};
    const Json integer = {{"type", "integer"}};
    const Json correction = {{"type", "object"},
                             {"required", {"amount"}},
                             {"additionalProperties", false},
                             {"properties", {{"amount", Money()}, {"label", text}}}};
    return {
        {"Error",
         {{"type", "object"},
          {"properties",
           {{"error",
             {{"type", "object"},
              {"properties",
               {{"code", text},
                {"message", text},
                {"field", text},
                {"result_code", integer},
                {"description", {{"type", "string"}, {"description", "the driver's own text"}}},
                {"explanation", text}}}}},
            {"outcome", {{"enum", {"committed", "not committed", "unknown"}}}},
            {"printer_state", text}}}}},
        {"Correction", correction},
        {"Line",
         {{"type", "object"},
          {"required", {"price"}},
          {"additionalProperties", false},
          {"properties",
           {{"article", text},
            {"price", Money()},
            {"quantity", Money()},
            {"unit", text},
            {"department", integer},
            {"goods_type", integer},
            {"barcode", text},
            {"discounts", {{"type", "array"}, {"items", Ref("Correction")}}},
            {"surcharges", {{"type", "array"}, {"items", Ref("Correction")}}}}}}},
        {"Payment",
         {{"type", "object"},
          {"required", {"amount"}},
          {"additionalProperties", false},
          {"properties",
           {{"kind", {{"enum", {"cash", "noncash", "currency"}}}},
            {"amount", Money()},
            {"facility", integer},
            {"currency", text},
            {"rate", Money()}}}}},
        {"Receipt",
         {{"type", "object"},
          {"required", {"lines", "payments"}},
          {"additionalProperties", false},
          {"properties",
           {{"type", {{"enum", {"sale", "refund"}}}},
            {"cashier", text},
            {"lines", {{"type", "array"}, {"items", Ref("Line")}}},
            {"discounts", {{"type", "array"}, {"items", Ref("Correction")}}},
            {"surcharges", {{"type", "array"}, {"items", Ref("Correction")}}},
            {"texts", {{"type", "array"}, {"items", text}}},
            {"payments", {{"type", "array"}, {"items", Ref("Payment")}}}}}}},
        {"Document",
         {{"type", "object"},
          {"properties",
           {{"outcome", {{"enum", {"committed", "not committed", "unknown"}}}},
            {"committed", {{"type", "boolean"}}},
            {"document_number", integer},
            {"receipt_number", integer},
            {"session", integer},
            {"total", text},
            {"paid", text},
            {"change", text},
            {"reconciled", {{"type", "boolean"}}},
            {"replayed", {{"type", "boolean"}}},
            {"key", text}}}}},
        {"Cash",
         {{"type", "object"},
          {"required", {"amount"}},
          {"additionalProperties", false},
          {"properties", {{"amount", Money()}, {"currency", text}}}}},
        {"Range",
         {{"type", "object"},
          {"required", {"from"}},
          {"additionalProperties", false},
          {"properties",
           {{"from", {{"description", "a Z number, or a date such as \"2026-12-08\""}}},
            {"to", {{"description", "optional upper bound"}}},
            {"detailed", {{"type", "boolean"}}},
            {"password", text}}}}},
        {"Result",
         {{"type", "object"},
          {"properties",
           {{"result_code", integer}, {"description", text}, {"printer", {{"type", "object"}}}}}}},
        {"Call",
         {{"type", "object"},
          {"required", {"items"}},
          {"properties",
           {{"items",
             {{"type", "array"},
              {"items",
               {{"description",
                 "{\"put\": \"Price\", \"value\": \"12.50\"}, {\"get\": \"Subtotal\"}, "
                 "{\"call\": \"Sale\"}, or the command-line client's \"Price=12.50\", "
                 "\"?Subtotal\", \"Sale\""}}}}},
            {"keep_going", {{"type", "boolean"}}}}}}},
        {"Status", {{"type", "object"}}},
        {"Journal",
         {{"type", "object"},
          {"properties",
           {{"session", integer},
            {"size", integer},
            {"crc", text},
            {"lines", {{"type", "array"}, {"items", text}}}}}}},
    };
}

}  // namespace

Json OpenApiDocument() {
    const Json getResponses =
        Responses("Status", "the printer's state",
                  {{"404", "no such printer"}, {"503", "the printer cannot be reached"}});
    Json paths = {
        {"/health",
         {{"get",
           {{"summary", "the service runs"}, {"responses", {{"200", {{"description", "ok"}}}}}}}}},
        {"/printers",
         {{"get",
           {{"summary", "the configured printers"},
            {"responses", {{"200", {{"description", "the list"}}}}}}}}},
        {"/printers/{printer}/status",
         {{"get",
           {{"summary",
             "every status flag with its meaning, identification, day and receipt "
             "state, blocking reasons"},
            {"parameters", {PrinterParameter()}},
            {"responses", getResponses}}}}},
        {"/printers/{printer}/receipts",
         Post("a whole receipt as one document", Ref("Receipt"), "Document")},
        {"/printers/{printer}/reports/x", Post("X report", nullptr, "Result")},
        {"/printers/{printer}/reports/z", Post("Z report: closes the day", nullptr, "Document")},
        {"/printers/{printer}/reports/by-date",
         Post("fiscal memory report by dates", Ref("Range"), "Result")},
        {"/printers/{printer}/reports/by-number",
         Post("fiscal memory report by Z numbers", Ref("Range"), "Result")},
        {"/printers/{printer}/day/open",
         Post("opens the fiscal day",
              {{"type", "object"}, {"properties", {{"cashier", {{"type", "string"}}}}}}, "Result")},
        {"/printers/{printer}/cash/income", Post("cash income", Ref("Cash"), "Document")},
        {"/printers/{printer}/cash/outcome", Post("cash outcome", Ref("Cash"), "Document")},
        {"/printers/{printer}/call",
         Post("property writes, method calls and property reads by member name", Ref("Call"),
              "Result")},
        {"/printers/{printer}/journal/{day}",
         {{"get",
           {{"summary", "the electronic journal of a day (0: the current or last one)"},
            {"parameters",
             {PrinterParameter(),
              {{"name", "day"},
               {"in", "path"},
               {"required", true},
               {"schema", {{"type", "integer"}}}},
              {{"name", "format"}, {"in", "query"}, {"schema", {{"enum", {"json", "text"}}}}}}},
            {"responses", Responses("Journal", "the journal", {{"404", "no such printer"}})}}}}},
        {"/openapi.json",
         {{"get",
           {{"summary", "this description"},
            {"responses", {{"200", {{"description", "OpenAPI 3"}}}}}}}}},
        {"/metrics",
         {{"get",
           {{"summary", "counters in the Prometheus text format"},
            {"responses", {{"200", {{"description", "the counters"}}}}}}}}},
        {"/",
         {{"get",
           {{"summary", "the status page"}, {"responses", {{"200", {{"description", "HTML"}}}}}}}}},
    };
    return {{"openapi", "3.0.3"},
            {"info",
             {{"title", "brontald"},
              {"version", "1.0.0"},
              {"description",
               "Fiscal printers over HTTP/JSON. Texts are UTF-8 and must exist in Windows-1251. "
               "State-changing requests may carry an Idempotency-Key."}}},
            {"components",
             {{"schemas", Schemas()},
              {"securitySchemes", {{"bearer", {{"type", "http"}, {"scheme", "bearer"}}}}}}},
            {"paths", paths}};
}

}  // namespace brontald
