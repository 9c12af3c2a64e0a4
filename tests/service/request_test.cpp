// Request bodies as brontald reads them before anything reaches the printer: receipts with their
// amounts in CY, every refusal with the member it names, money as text or number, texts the
// printer's code page cannot hold, and what an idempotency key stands for.
#include <gtest/gtest.h>

#include "Answer.h"
#include "HttpApi.h"
#include "ReceiptRequest.h"

namespace brontald {
namespace {

Json Parsed(const std::string& text) {
    return Json::parse(text);
}

// The refusal of `body` as "field: message", empty when it was read.
std::string Refusal(const std::string& body) {
    ReceiptRequest receipt;
    const BodyError error = ParseReceipt(Parsed(body), &receipt);
    return error.Empty() ? std::string() : error.field + ": " + error.message;
}

TEST(ReceiptBodyTest, ReadsAWholeReceiptIntoDriverValues) {
    ReceiptRequest receipt;
    const BodyError error = ParseReceipt(Parsed(R"({
        "type": "refund", "cashier": "Иванова",
        "lines": [{"article": "Кофе", "price": "6.54", "quantity": 2.5, "unit": "кг",
                   "department": 3, "goods_type": 7, "barcode": "4601234567890",
                   "discounts": [{"amount": 0.5, "label": "акция"}],
                   "surcharges": [{"amount": "0.0001"}]},
                  {"price": 1}],
        "discounts": [{"amount": "1"}],
        "texts": ["Спасибо"],
        "payments": [{"kind": "cash", "amount": "5"},
                     {"kind": "noncash", "amount": "2.25", "facility": 2},
                     {"kind": "currency", "amount": "10", "currency": "USD", "rate": "90.555"}]})"),
                                         &receipt);
    ASSERT_TRUE(error.Empty()) << error.field << ": " << error.message;
    EXPECT_EQ(receipt.type, kReceiptRefund);
    EXPECT_EQ(receipt.cashier, "Иванова");
    ASSERT_EQ(receipt.lines.size(), 2u);
    const ReceiptLine& line = receipt.lines[0];
    EXPECT_EQ(line.article, "Кофе");
    EXPECT_EQ(line.price, 65400);
    EXPECT_EQ(line.quantity, 25000);
    EXPECT_EQ(line.unit, "кг");
    EXPECT_EQ(line.department, 3u);
    EXPECT_EQ(line.goodsType, 7u);
    EXPECT_EQ(line.barcode, "4601234567890");
    ASSERT_EQ(line.discounts.size(), 1u);
    EXPECT_EQ(line.discounts[0].amount, 5000);
    EXPECT_EQ(line.discounts[0].label, "акция");
    EXPECT_EQ(line.surcharges[0].amount, 1);
    // A line without them: quantity 1, department 1, no name (the department's).
    EXPECT_EQ(receipt.lines[1].quantity, 10000);
    EXPECT_EQ(receipt.lines[1].department, 1u);
    EXPECT_EQ(receipt.lines[1].article, "");
    EXPECT_EQ(receipt.discounts[0].amount, 10000);
    EXPECT_EQ(receipt.texts, std::vector<std::string>{"Спасибо"});
    ASSERT_EQ(receipt.payments.size(), 3u);
    EXPECT_EQ(receipt.payments[1].kind, PaymentKind::Noncash);
    EXPECT_EQ(receipt.payments[1].facility, 2u);
    EXPECT_EQ(receipt.payments[2].kind, PaymentKind::Currency);
    EXPECT_EQ(receipt.payments[2].currency, "USD");
    EXPECT_EQ(receipt.payments[2].rate, 905550);
    // 5 + 2.25 + 10 x 90.555 = 905.55, to the coin 905.55: 912.80.
    EXPECT_EQ(receipt.PaidAmount(), 9128000);
}

TEST(ReceiptBodyTest, RefusalsNameTheMemberAndSayWhy) {
    const std::string sale = R"("payments": [{"amount": 1}])";
    EXPECT_EQ(Refusal("[]"), ": must be a JSON object");
    EXPECT_EQ(Refusal("{" + sale + "}"), "lines: a receipt needs at least one line");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1}]})"),
              "payments: a receipt needs at least one payment");
    EXPECT_EQ(Refusal(R"({"type": "annulment", "lines": [{"price": 1}], )" + sale + "}"),
              "type: must be \"sale\" or \"refund\"");
    EXPECT_EQ(Refusal(R"({"lines": [{"article": "x"}], )" + sale + "}"),
              "lines[0].price: is required");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": "1.23456"}], )" + sale + "}"),
              "lines[0].price: must be an amount such as \"12.50\" (at most four decimals)");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1, "quantity": 0}], )" + sale + "}"),
              "lines[0].quantity: must be greater than 0");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1, "department": 0}], )" + sale + "}"),
              "lines[0].department: must be a whole number from 1 to 65535");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1, "unit": 5}], )" + sale + "}"),
              "lines[0].unit: must be a string");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1, "article": "日本"}], )" + sale + "}"),
              "lines[0].article: holds characters the printer cannot print (Windows-1251)");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1, "discounts": [{"label": "x"}]}], )" + sale + "}"),
              "lines[0].discounts[0].amount: is required");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1}], "payments": [{"kind": "card", "amount": 1}]})"),
              "payments[0].kind: must be \"cash\", \"noncash\" or \"currency\"");
    EXPECT_EQ(
        Refusal(R"({"lines": [{"price": 1}], "payments": [{"kind": "noncash", "amount": 1}]})"),
        "payments[0].facility: is required");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1}], "payments": [{"amount": 1, "facility": 1}]})"),
              "payments[0]: a cash payment has only an amount");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1}], "texts": [""], )" + sale + "}"),
              "texts[0]: must be a non-empty string");
    EXPECT_EQ(Refusal(R"({"lines": [{"price": 1, "article": ")" + std::string(501, 'x') +
                      R"("}], )" + sale + "}"),
              "lines[0].article: is longer than 500 characters");
    // Characters, not bytes: 500 Cyrillic letters fit.
    std::string cyrillic;
    for (int i = 0; i < 500; ++i) {
        cyrillic += "ж";
    }
    EXPECT_EQ(
        Refusal(R"({"lines": [{"price": 1, "article": ")" + cyrillic + R"("}], )" + sale + "}"),
        "");
}

TEST(ReceiptBodyTest, MoneyAsTextOrAsANumberWithAtMostFourDecimals) {
    LONGLONG money = 0;
    EXPECT_TRUE(ParseJsonMoney(Json("12.50"), &money));
    EXPECT_EQ(money, 125000);
    EXPECT_TRUE(ParseJsonMoney(Json(12.345), &money));  // 12.3449999... as a double
    EXPECT_EQ(money, 123450);
    EXPECT_TRUE(ParseJsonMoney(Json(7), &money));
    EXPECT_EQ(money, 70000);
    EXPECT_TRUE(ParseJsonMoney(Json(0.0001), &money));
    EXPECT_EQ(money, 1);
    EXPECT_FALSE(ParseJsonMoney(Json(0.00001), &money));
    EXPECT_FALSE(ParseJsonMoney(Json("12,50"), &money));
    EXPECT_FALSE(ParseJsonMoney(Json(1e300), &money));
    EXPECT_FALSE(ParseJsonMoney(Json(true), &money));
    EXPECT_FALSE(ParseJsonMoney(Json::array(), &money));
}

TEST(ReceiptBodyTest, OtherBodies) {
    CashRequest cash;
    EXPECT_TRUE(ParseCash(Parsed(R"({"amount": "100", "currency": "USD"})"), &cash).Empty());
    EXPECT_EQ(cash.amount, 1000000);
    EXPECT_EQ(cash.currency, "USD");
    EXPECT_EQ(ParseCash(Parsed(R"({"amount": 0})"), &cash).message, "must be greater than 0");

    ReportRangeRequest report;
    EXPECT_TRUE(ParseReportRange(Parsed(R"({"from": "2026-01-01", "to": "2026-01-31",
                                            "detailed": true, "password": "0000"})"),
                                 true, &report)
                    .Empty());
    EXPECT_TRUE(report.byDate);
    EXPECT_LT(report.fromDate, report.toDate);
    EXPECT_TRUE(report.detailed);
    EXPECT_EQ(report.password, "0000");
    EXPECT_EQ(ParseReportRange(Parsed(R"({"from": "2026-02-30"})"), true, &report).field, "from");
    EXPECT_EQ(ParseReportRange(Parsed(R"({"from": 3, "to": 1})"), false, &report).message,
              "is less than \"from\"");
    EXPECT_EQ(ParseReportRange(Parsed(R"({"from": 3, "detailed": 1})"), false, &report).message,
              "must be true or false");

    std::vector<std::string> texts;
    EXPECT_TRUE(ParseTexts(Parsed(R"({"cashier": "Петров"})"), {"cashier"}, &texts).Empty());
    EXPECT_EQ(texts, std::vector<std::string>{"Петров"});
    EXPECT_EQ(ParseTexts(Parsed(R"({"force": true})"), {}, nullptr).field, "force");
    EXPECT_TRUE(ParseTexts(Json::object(), {}, nullptr).Empty());
}

TEST(RequestKeyTest, KeysAndDigestsOfRequests) {
    EXPECT_TRUE(IsIdempotencyKey("till-1/receipt-17"));
    EXPECT_TRUE(IsIdempotencyKey(std::string(255, 'k')));
    EXPECT_FALSE(IsIdempotencyKey(std::string(256, 'k')));
    EXPECT_FALSE(IsIdempotencyKey(""));
    EXPECT_FALSE(IsIdempotencyKey("two words"));
    EXPECT_FALSE(IsIdempotencyKey("ключ"));

    // The same request however its JSON is spaced and ordered; another path or body is another.
    const std::string digest =
        RequestDigest("POST", "/printers/main/receipts", Parsed(R"({"b": 1, "a": [1, 2]})"));
    EXPECT_EQ(digest.size(), 64u);
    EXPECT_EQ(digest,
              RequestDigest("POST", "/printers/main/receipts", Parsed("{\"a\":[1,2],\n \"b\":1}")));
    EXPECT_NE(digest,
              RequestDigest("POST", "/printers/main/cash/income", Parsed(R"({"b":1,"a":[1,2]})")));
    EXPECT_NE(digest,
              RequestDigest("POST", "/printers/main/receipts", Parsed(R"({"b":1,"a":[2,1]})")));

    Json body;
    Answer refusal;
    EXPECT_TRUE(ParseBody(" \r\n", &body, &refusal));
    EXPECT_EQ(body, Json::object());
    EXPECT_FALSE(ParseBody("{\"a\": }", &body, &refusal));
    EXPECT_EQ(refusal.status, 400);
    EXPECT_EQ(refusal.body["error"]["code"], "bad_json");
    EXPECT_FALSE(ParseBody("\"\xff\"", &body, &refusal)) << "not UTF-8";
}

}  // namespace
}  // namespace brontald
