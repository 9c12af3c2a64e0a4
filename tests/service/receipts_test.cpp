// Receipts through brontald: a sale as JSON and the paper it prints, bad receipts refused with the
// printer left without an open receipt, refunds and cash documents, and idempotency keys (a
// repeated key answered from the store, a reused key refused, a running key 409, the answer kept
// across a restart).
#include <future>

#include "ServiceFixture.h"

namespace servicetest {
namespace {

class ReceiptsTest : public ServiceTest {
  protected:
    void ExpectNoReceiptOpen() {
        EXPECT_EQ(printer_.StatusWord() & 0x0002, 0) << "a receipt is left open";
    }
};

TEST_F(ReceiptsTest, SaleAnswersWithItsNumbersTotalsAndChangeAndPrintsItsPaper) {
    const Json receipt = {
        {"cashier", "Иванова"},
        {"lines",
         {{{"article", "Кофе"}, {"price", "6.54"}, {"quantity", 2}, {"department", 1}},
          {{"article", "Чай"},
           {"price", 3.1},
           {"quantity", "1.5"},
           {"unit", "кг"},
           {"department", 2},
           {"discounts", {{{"amount", "0.15"}, {"label", "акция"}}}}}}},
        {"texts", {"Спасибо за покупку"}},
        {"payments",
         {{{"kind", "noncash"}, {"amount", "5.00"}, {"facility", 1}},
          {{"kind", "cash"}, {"amount", "20"}}}}};
    const Reply reply = Post("/printers/main/receipts", receipt);
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["outcome"], "committed");
    EXPECT_EQ(reply.body["committed"], true);
    EXPECT_EQ(reply.body["reconciled"], false);
    EXPECT_EQ(reply.body["total"], "17.58");  // 13.08 + 4.65 - 0.15
    EXPECT_EQ(reply.body["paid"], "25.00");
    EXPECT_EQ(reply.body["change"], "7.42");
    const emu::PrinterState state = printer_.State();
    EXPECT_EQ(reply.body["document_number"], state.counters.document);
    EXPECT_EQ(reply.body["receipt_number"], 1);
    EXPECT_EQ(reply.body["session"], 1);
    ExpectNoReceiptOpen();

    const std::vector<std::string> documents = Documents(Paper());
    ASSERT_FALSE(documents.empty());
    const std::string& paper = documents.back();
    for (const char* printed :
         {"ЧЕК ПРОДАЖИ", "КАССИР Иванова",
          "Кофе\n  2 x 6.54 ОТД.1                          =13.08\n",
          "Чай\n  1.5 кг x 3.10 ОТД.2                      =4.65\n",
          "СКИДКА акция                               -0.15\n", "Спасибо за покупку\n",
          "ИТОГ                                      =17.58\n",
          "КАРТА                                       5.00\n",
          "НАЛИЧНЫМИ                                  20.00\n",
          "СДАЧА                                       7.42\n", "ФИСКАЛЬНЫЙ ДОКУМЕНТ"}) {
        EXPECT_NE(paper.find(printed), std::string::npos) << printed << " not in\n" << paper;
    }
}

TEST_F(ReceiptsTest, BadReceiptsAreRefusedClearlyAndLeaveNoReceiptOpen) {
    const size_t before = ExecutedRequests();
    Json negative = Sale("Хлеб", "-1.00", "5");
    Reply reply = Post("/printers/main/receipts", negative);
    ASSERT_EQ(reply.status, 400) << reply.text;
    EXPECT_EQ(reply.body["error"]["field"], "lines[0].price");
    EXPECT_EQ(reply.body["error"]["message"], "lines[0].price: must not be negative");
    reply = Post("/printers/main/receipts", Sale("Кофе ☕", "1.00", "5"));
    ASSERT_EQ(reply.status, 400) << reply.text;
    EXPECT_EQ(reply.body["error"]["field"], "lines[0].article");
    EXPECT_EQ(ExecutedRequests(), before) << "a malformed receipt reached the printer";

    Json unknownDepartment = Sale("Хлеб", "1.00", "5");
    unknownDepartment["lines"][0]["department"] = 9;
    reply = Post("/printers/main/receipts", unknownDepartment);
    ASSERT_EQ(reply.status, 422) << reply.text;
    EXPECT_EQ(reply.body["outcome"], "not committed");
    EXPECT_EQ(reply.body["committed"], false);
    EXPECT_EQ(reply.body["printer_state"], "cancelled");
    EXPECT_EQ(reply.body["error"]["code"], "printer_refused");
    EXPECT_EQ(reply.body["error"]["stage"], "lines");
    EXPECT_EQ(reply.body["error"]["line"], 0);
    EXPECT_EQ(reply.body["error"]["method"], "Sale");
    EXPECT_EQ(reply.body["error"]["result_code"], -9233);
    EXPECT_EQ(reply.body["error"]["description"], "ФБ: отдел не найден");
    EXPECT_EQ(reply.body["error"]["explanation"],
              "Department not found: it is not programmed in the printer.");
    EXPECT_EQ(reply.body["error"]["hresult"], "0x80042411");
    ExpectNoReceiptOpen();

    reply = Post("/printers/main/receipts", Sale("Хлеб", "10.00", "9.99"));
    ASSERT_EQ(reply.status, 422) << reply.text;
    EXPECT_EQ(reply.body["error"]["code"], "payments_short");
    EXPECT_EQ(reply.body["error"]["message"],
              "the payments (9.99) are short of the receipt's total (10.00)");
    EXPECT_EQ(reply.body["printer_state"], "cancelled");
    ExpectNoReceiptOpen();

    EXPECT_EQ(printer_.State().counters.receipt, 0u) << "a refused receipt was committed";
    const std::vector<std::string> documents = Documents(Paper());
    ASSERT_EQ(documents.size(), 2u);
    for (const std::string& document : documents) {
        EXPECT_NE(document.find("*** ДОКУМЕНТ АННУЛИРОВАН ***"), std::string::npos) << document;
    }
}

TEST_F(ReceiptsTest, RefundPaysOutItsTotalAndCashDocumentsCountTheDrawer) {
    Reply reply = Post("/printers/main/cash/income", {{"amount", "100"}});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["committed"], true);
    const Json refund = {{"type", "refund"},
                         {"lines", {{{"article", "Чай"}, {"price", "10"}}}},
                         {"payments",
                          {{{"kind", "cash"}, {"amount", "4"}},
                           {{"kind", "noncash"}, {"amount", "6"}, {"facility", 1}}}}};
    reply = Post("/printers/main/receipts", refund);
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["total"], "10.00");
    const std::vector<std::string> documents = Documents(Paper());
    ASSERT_FALSE(documents.empty());
    const std::string& paper = documents.back();
    EXPECT_NE(paper.find("ЧЕК ВОЗВРАТА"), std::string::npos) << paper;
    EXPECT_NE(paper.find("ВЫПЛАЧЕНО НАЛИЧНЫМИ                         4.00\n"), std::string::npos)
        << paper;
    EXPECT_NE(paper.find("ВЫПЛАЧЕНО КАРТА                             6.00\n"), std::string::npos)
        << paper;

    Json shortRefund = refund;
    shortRefund["payments"] = {{{"kind", "cash"}, {"amount", "9"}}};
    reply = Post("/printers/main/receipts", shortRefund);
    ASSERT_EQ(reply.status, 422) << reply.text;
    EXPECT_EQ(reply.body["error"]["code"], "payments_mismatch");

    // 100 in, 4 paid out in cash: 96 in the drawer.
    reply = Post("/printers/main/cash/outcome", {{"amount", "96.01"}});
    ASSERT_EQ(reply.status, 422) << reply.text;
    EXPECT_EQ(reply.body["error"]["result_code"], -9205);
    EXPECT_EQ(reply.body["printer_state"], "cancelled");
    reply = Post("/printers/main/cash/outcome", {{"amount", "96"}});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(printer_.State().counters.receipt, 3u);
    ExpectNoReceiptOpen();

    reply = Post("/printers/main/reports/z", Json::object());
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["committed"], true);
    EXPECT_EQ(reply.body["printer_state"], "day closed");
    EXPECT_EQ(printer_.StatusWord() & 0x0001, 0);
    reply = Post("/printers/main/reports/z", Json::object());
    ASSERT_EQ(reply.status, 422) << "a second Z report with the day closed: " << reply.text;
    EXPECT_EQ(reply.body["committed"], false);
}

TEST_F(ReceiptsTest, DayOpeningAndReportsAnswerWithTheDriversResultAndThePrinterAfter) {
    Reply reply = Post("/printers/main/day/open", {{"cashier", "Петров"}});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["result_code"], 0);
    EXPECT_EQ(reply.body["printer"]["day_open"], true);
    EXPECT_EQ(reply.body["printer"]["session"], 1);
    EXPECT_EQ(printer_.State().cashier, testsupport::Cp1251("Петров"));
    reply = Post("/printers/main/day/open", Json::object());
    EXPECT_EQ(reply.status, 422) << "the day is open already: " << reply.text;

    ASSERT_EQ(Post("/printers/main/reports/x", Json::object()).status, 200);
    EXPECT_NE(Paper().rfind("X-ОТЧЕТ"), std::string::npos);
    EXPECT_EQ(Post("/printers/main/reports/x", {{"copies", 2}}).status, 400);

    reply = Post("/printers/main/reports/by-number", {{"from", 1}});
    ASSERT_EQ(reply.status, 422) << "no Z report yet: " << reply.text;
    EXPECT_EQ(reply.body["error"]["result_code"], -9238);
    ASSERT_EQ(Post("/printers/main/reports/z", Json::object()).status, 200);
    reply = Post("/printers/main/reports/by-number", {{"from", 1}, {"to", 1}, {"detailed", true}});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_NE(Paper().rfind("ОТЧЕТ ПО НОМЕРАМ"), std::string::npos);
    reply = Post("/printers/main/reports/by-date", {{"from", "2000-01-01"}, {"to", "2099-12-31"}});
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_NE(Paper().rfind("ОТЧЕТ ПО ДАТАМ"), std::string::npos);
    EXPECT_EQ(reply.body["printer"]["day_open"], false);
}

TEST_F(ReceiptsTest, RepeatedKeyGetsTheStoredAnswerWithoutThePrinterEvenAfterARestart) {
    const Json receipt = Sale("Хлеб", "1.20", "2");
    const Reply first = Post("/printers/main/receipts", receipt, "till-1-receipt-17");
    ASSERT_EQ(first.status, 200) << first.text;
    EXPECT_EQ(first.body["key"], "till-1-receipt-17");
    const size_t executed = ExecutedRequests();

    Reply again = Post("/printers/main/receipts", receipt, "till-1-receipt-17");
    ASSERT_EQ(again.status, 200) << again.text;
    EXPECT_EQ(again.body["replayed"], true);
    again.body.erase("replayed");
    EXPECT_EQ(again.body, first.body);

    Json other = receipt;
    other["lines"][0]["price"] = "1.30";
    const Reply reused = Post("/printers/main/receipts", other, "till-1-receipt-17");
    ASSERT_EQ(reused.status, 422) << reused.text;
    EXPECT_EQ(reused.body["error"]["code"], "idempotency_key_reused");
    // The same key on another endpoint is another request too.
    EXPECT_EQ(Post("/printers/main/cash/income", {{"amount", "1"}}, "till-1-receipt-17").status,
              422);
    EXPECT_EQ(ExecutedRequests(), executed) << "a repeated key reached the printer";

    StopService();
    StartService();
    again = Post("/printers/main/receipts", receipt, "till-1-receipt-17");
    ASSERT_EQ(again.status, 200) << again.text;
    EXPECT_EQ(again.body["document_number"], first.body["document_number"]);
    EXPECT_EQ(printer_.State().counters.receipt, 1u);
    const Reply badKey = Post("/printers/main/receipts", receipt, "two words");
    EXPECT_EQ(badKey.status, 400) << badKey.text;
    EXPECT_EQ(badKey.body["error"]["code"], "bad_idempotency_key");
}

TEST_F(ReceiptsTest, KeyStillRunningAnswers409) {
    ASSERT_EQ(Get("/printers/main/status").status, 200);  // connected
    const size_t frames = printer_.Frames().size();
    printer_.KeepBusy(3000);
    const Json receipt = Sale("Хлеб", "1.20", "2");
    auto running = std::async(std::launch::async, [&] {
        return Post("/printers/main/receipts", receipt, "slow-receipt");
    });
    ASSERT_TRUE(printer_.WaitForFrames(frames + 1, 10000));
    const Reply meanwhile = Post("/printers/main/receipts", receipt, "slow-receipt");
    EXPECT_EQ(meanwhile.status, 409) << meanwhile.text;
    EXPECT_EQ(meanwhile.body["error"]["code"], "request_in_progress");
    const Reply done = running.get();
    ASSERT_EQ(done.status, 200) << done.text;
    EXPECT_EQ(Post("/printers/main/receipts", receipt, "slow-receipt").body["replayed"], true);
    EXPECT_EQ(printer_.State().counters.receipt, 1u);
}

}  // namespace
}  // namespace servicetest
