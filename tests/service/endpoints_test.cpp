// The other endpoints of brontald: the printer's status with every flag and blocking reason,
// the journal as JSON and as text, /call items, the OpenAPI description, the metrics, and what
// malformed or unauthorised requests get.
#include <fstream>
#include <regex>

#include "ServiceFixture.h"

namespace servicetest {
namespace {

class EndpointsTest : public ServiceTest {
  protected:
    Reply Call(const Json& items, bool keepGoing = false) {
        return Post("/printers/main/call", {{"items", items}, {"keep_going", keepGoing}});
    }

    static const Json* Flag(const Json& status, const std::string& property) {
        for (const Json& flag : status["flags"]) {
            if (flag["property"] == property) {
                return &flag;
            }
        }
        return nullptr;
    }
};

TEST_F(EndpointsTest, StatusGivesEveryFlagWithItsMeaningIdentificationAndBlockingReasons) {
    Reply reply = Get("/printers/main/status");
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["identification"]["name"], "RKM-204F");
    EXPECT_EQ(reply.body["identification"]["serial_number"], "KT00012345");
    EXPECT_EQ(reply.body["identification"]["firmware_version"], "3.07.21");
    EXPECT_EQ(reply.body["blocked"], false);
    EXPECT_TRUE(reply.body["blocking_reasons"].empty());

    // Blocked for a Z report and the journal, receipt paper near its end.
    printer_.SetStatusWords(0x8000 | 0x0200 | 0x00C0, 0x0008 | 0x0040);
    reply = Get("/printers/main/status");
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["status_word"], 0x82C0);
    EXPECT_EQ(reply.body["blocking_word"], 0x0048);
    ASSERT_EQ(reply.body["flags"].size(), 14u);
    const Json* ready = Flag(reply.body, "StatePrinterReady");
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ((*ready)["value"], 1) << "bit 5 clear: the printer is ready";
    EXPECT_EQ((*ready)["meaning"], "the printer is ready");
    EXPECT_EQ((*Flag(reply.body, "StateReceiptNearEnd"))["value"], 1);
    EXPECT_EQ((*Flag(reply.body, "StateDayOpen"))["value"], 0);
    EXPECT_EQ((*Flag(reply.body, "StateBlocked"))["meaning"],
              "the printer is blocked (see the blocking reasons)");
    EXPECT_EQ(reply.body["blocked"], true);
    EXPECT_EQ(reply.body["blocking_reasons"],
              Json::parse(R"([{"bit":3,"property":"StateBlockedNeedPrintZ",
                               "reason":"a Z report must be printed"},
                              {"bit":6,"property":"StateBlockedElectronicJournal",
                               "reason":"electronic journal"}])"));
    EXPECT_EQ(reply.body["day"], Json::parse(R"({"open":false,"session":0})"));
    EXPECT_EQ(reply.body["receipt"]["open"], false);

    EXPECT_EQ(Get("/printers/nowhere/status").status, 404);
}

TEST_F(EndpointsTest, JournalOfADayAsJsonLinesAndAsText) {
    ASSERT_EQ(Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2")).status, 200);
    const std::string journal = Journal(1);
    ASSERT_FALSE(journal.empty());

    Reply reply = Get("/printers/main/journal/0");
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["session"], 1);
    EXPECT_EQ(reply.body["size"], printer_.SessionJournal(1).size());
    EXPECT_TRUE(reply.body["crc"].is_null()) << "an open day has no checksum yet";
    std::string joined;
    for (const Json& line : reply.body["lines"]) {
        joined += line.get<std::string>() + "\n";
    }
    EXPECT_EQ(joined, journal);

    reply = Get("/printers/main/journal/1?format=text");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.text, journal);
    EXPECT_EQ(Get("/printers/main/journal/1?format=xml").status, 400);

    reply = Get("/printers/main/journal/7");
    ASSERT_EQ(reply.status, 422) << "a day the printer does not have: " << reply.text;
    EXPECT_EQ(reply.body["error"]["code"], "printer_refused");
}

TEST_F(EndpointsTest, CallRunsItemsInOrderAfterCheckingThemAll) {
    Reply reply = Call({"Price=12.50",
                        {{"get", "Price"}},
                        {{"call", "RefreshStatus"}},
                        "?StateDayOpen",
                        {{"put", "Article"}, {"value", "Хлеб ржаной"}},
                        "Article",
                        {{"put", "Quantity"}, {"value", 2.5}},
                        "?Quantity"});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["completed"], true);
    const Json& results = reply.body["results"];
    ASSERT_EQ(results.size(), 8u);
    EXPECT_EQ(results[0], Json::parse(R"({"item":0,"ok":true,"put":"Price"})"));
    EXPECT_EQ(results[1]["value"], "12.50");
    EXPECT_EQ(results[1]["type"], "CY");
    EXPECT_EQ(results[2]["call"], "RefreshStatus");
    EXPECT_EQ(results[2]["result_code"], 0);
    EXPECT_EQ(results[3]["value"], 0);
    EXPECT_EQ(results[3]["type"], "UI2");
    EXPECT_EQ(results[5]["value"], "Хлеб ржаной");
    EXPECT_EQ(results[7]["value"], "2.50");

    // Nothing runs when one item cannot: Price keeps 12.50.
    for (const Json& bad : {Json{"Price=1", "NoSuchMember"}, Json{"Price=1", "Subtotal=3"},
                            Json{"Price=1", "Price=abc"}, Json{"Price=1", "?Sale"},
                            Json{"Price=1", {{"put", "Article"}, {"value", "☕"}}}}) {
        reply = Call(bad);
        EXPECT_EQ(reply.status, 400) << bad.dump() << ": " << reply.text;
        EXPECT_EQ(reply.body["error"]["field"].get<std::string>().substr(0, 8), "items[1]");
    }
    EXPECT_EQ(Call({"?Price"}).body["results"][0]["value"], "12.50");

    reply = Call({"Amount=0", "CashIncome", "?Amount"});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["completed"], false);
    EXPECT_EQ(reply.body["failed_at"], 1);
    ASSERT_EQ(reply.body["results"].size(), 2u);
    EXPECT_EQ(reply.body["results"][1]["result_code"], -9002);
    reply = Call({"Amount=0", "CashIncome", "?Amount"}, true);
    EXPECT_EQ(reply.body["results"].size(), 3u);
    EXPECT_EQ(reply.body["failed_at"], 1);

    // What a call leaves in the driver object does not leak into the next receipt.
    ASSERT_EQ(Call({"RestaurantOrder=Стол 5"}).status, 200);
    ASSERT_EQ(Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2")).status, 200);
    const std::vector<std::string> documents = Documents(Paper());
    ASSERT_FALSE(documents.empty());
    EXPECT_EQ(documents.back().find("ЗАКАЗ"), std::string::npos) << documents.back();

    reply = Call({"RawCommandBytes=gs", "TransferBytes"});
    EXPECT_EQ(reply.status, 403) << reply.text;
    EXPECT_EQ(reply.body["error"]["code"], "forbidden");
    StopService();
    StartService({"--allow-raw-commands"});
    reply = Call({"RawCommandBytes=gs", "TransferBytes"});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["results"][1]["result_code"], 0);
}

TEST_F(EndpointsTest, OpenApiDescribesEveryEndpoint) {
    const Reply reply = Get("/openapi.json");
    ASSERT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body["openapi"], "3.0.3");
    for (const char* path :
         {"/health", "/printers", "/printers/{printer}/status", "/printers/{printer}/receipts",
          "/printers/{printer}/reports/x", "/printers/{printer}/reports/z",
          "/printers/{printer}/reports/by-date", "/printers/{printer}/reports/by-number",
          "/printers/{printer}/day/open", "/printers/{printer}/cash/income",
          "/printers/{printer}/cash/outcome", "/printers/{printer}/call",
          "/printers/{printer}/journal/{day}", "/metrics", "/openapi.json", "/"}) {
        EXPECT_TRUE(reply.body["paths"].contains(path)) << path;
    }
    const Json& receipts = reply.body["paths"]["/printers/{printer}/receipts"]["post"];
    EXPECT_EQ(receipts["parameters"][1]["name"], "Idempotency-Key");
    EXPECT_EQ(receipts["requestBody"]["content"]["application/json"]["schema"]["$ref"],
              "#/components/schemas/Receipt");
    EXPECT_TRUE(reply.body["components"]["schemas"].contains("Payment"));
}

TEST_F(EndpointsTest, MetricsCountRequestsResultsAndRetriesPerPrinter) {
    const Json receipt = Sale("Хлеб", "1.20", "2");
    ASSERT_EQ(Post("/printers/main/receipts", receipt, "m-1").status, 200);
    ASSERT_EQ(Post("/printers/main/receipts", receipt, "m-1").status, 200);
    Json unknownDepartment = receipt;
    unknownDepartment["lines"][0]["department"] = 9;
    ASSERT_EQ(Post("/printers/main/receipts", unknownDepartment).status, 422);
    ASSERT_EQ(Get("/printers/main/status").status, 200);

    const Reply reply = Get("/metrics");
    ASSERT_EQ(reply.status, 200);
    for (const char* line : {"brontald_requests_total{printer=\"main\",endpoint=\"receipt\"} 3\n",
                             "brontald_requests_total{printer=\"main\",endpoint=\"status\"} 1\n",
                             "brontald_results_total{printer=\"main\",code=\"0\"} 1\n",
                             "brontald_results_total{printer=\"main\",code=\"-9233\"} 1\n",
                             "brontald_retries_total{printer=\"main\"} 1\n",
                             "# TYPE brontald_timeouts_total counter\n",
                             "# TYPE brontald_link_errors_total counter\n"}) {
        EXPECT_NE(reply.text.find(line), std::string::npos) << line << "not in\n" << reply.text;
    }
}

TEST_F(EndpointsTest, MalformedRequestsGetA400SayingWhatIsWrong) {
    Reply reply = Request(service_.Port(), "POST", "/printers/main/receipts", "{\"lines\": [");
    ASSERT_EQ(reply.status, 400);
    EXPECT_EQ(reply.body["error"]["code"], "bad_json");
    EXPECT_NE(reply.body["error"]["message"].get<std::string>().find("parse error"),
              std::string::npos);

    Json misspelt = Sale("Хлеб", "1.20", "2");
    misspelt["lines"][0]["qty"] = 2;
    reply = Post("/printers/main/receipts", misspelt);
    ASSERT_EQ(reply.status, 400);
    EXPECT_EQ(reply.body["error"]["field"], "lines[0].qty");
    EXPECT_EQ(reply.body["error"]["message"], "lines[0].qty: is not a member of this object");

    reply = Post("/printers/main/reports/by-number", {{"from", 5}, {"to", 2}});
    ASSERT_EQ(reply.status, 400);
    EXPECT_EQ(reply.body["error"]["field"], "to");

    EXPECT_EQ(Post("/printers/elsewhere/receipts", Sale("Хлеб", "1", "1")).status, 404);
    reply = Get("/printers/main/nothing");
    EXPECT_EQ(reply.status, 404);
    EXPECT_EQ(reply.body["error"]["code"], "not_found");
}

TEST_F(EndpointsTest, TokenAndBodyLimitComeFromTheConfiguration) {
    StopService();
    const std::string config = work_.file("brontald.conf");
    std::ofstream(config) << "# a shop's till\n[service]\ntoken = s3cret#1  ; spoken once\n"
                             "max_body_kb = 1\n";
    StartService({"--config", config});
    const int port = service_.Port();
    EXPECT_EQ(Request(port, "GET", "/health").status, 200) << "health needs no token";
    Reply reply = Request(port, "GET", "/printers");
    EXPECT_EQ(reply.status, 401);
    EXPECT_EQ(reply.body["error"]["code"], "unauthorized");
    EXPECT_EQ(Request(port, "GET", "/printers", "", {{"Authorization", "Bearer s3cret"}}).status,
              401);
    const std::map<std::string, std::string> bearer = {{"Authorization", "Bearer s3cret#1"}};
    reply = Request(port, "GET", "/printers", "", bearer);
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["printers"][0]["name"], "main");

    reply = Request(port, "POST", "/printers/main/call",
                    Json{{"items", {"Article=" + std::string(1100, 'x')}}}.dump(), bearer);
    EXPECT_EQ(reply.status, 413);
    EXPECT_EQ(reply.body["error"]["code"], "body_too_large");

    // Another address than loopback without a token is refused at the start.
    StopService();
    ServiceProcess open;
    std::string error;
    EXPECT_FALSE(open.Start({"--printer", "main=COM1", "--listen", "0.0.0.0", "--port", "0",
                             "--database", work_.file("other.db")},
                            work_.path(), &error));
    EXPECT_NE(error.find("listening on 0.0.0.0 needs a token"), std::string::npos) << error;
}

}  // namespace
}  // namespace servicetest
