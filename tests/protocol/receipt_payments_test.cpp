// Totalling, payments, cash income and outcome, the cashier and the lines printed inside a
// document, against a scripted printer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Payloads = std::vector<std::string>;
using ReceiptPayments = PeerFixture;

std::string Last(const ScriptedPrinter& peer) {
    const Payloads payloads = peer.Payloads();
    return payloads.empty() ? std::string() : payloads.back();
}

TEST_F(ReceiptPayments, CompletingTakesThePrintersTotal) {
    LONGLONG amount = 1250;
    DWORD scale = 100;
    Play({ReplyWith(0, 0x00CB, 0, "12,5" + FS)});
    ASSERT_EQ(layer.CompleteReceipt(&amount, &scale), 0);
    EXPECT_EQ(Last(peer), "rt" + FS + "12.50");
    EXPECT_EQ(amount, 125);
    EXPECT_EQ(scale, 10U);

    // An annulment totals a negative amount; without a total in the reply the caller's stays.
    amount = -5;
    scale = 1;
    ASSERT_EQ(layer.CompleteReceipt(&amount, &scale), 0);
    EXPECT_EQ(Last(peer), "rt" + FS + "-5");
    EXPECT_EQ(amount, -5);

    peer.ClearRequests();
    scale = 4;
    EXPECT_EQ(layer.CompleteReceipt(&amount, &scale), kBrontalBadArguments);
    EXPECT_EQ(layer.CompleteReceipt(nullptr, &scale), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    Play({ReplyWith(0x10, 0x00C3, 0, "99")});
    amount = 7;
    scale = 1;
    EXPECT_EQ(layer.CompleteReceipt(&amount, &scale), -16 - 9200);
    EXPECT_EQ(amount, 7);
}

TEST_F(ReceiptPayments, CashInTheCurrentCurrency) {
    ASSERT_EQ(layer.PayCash(TRUE, 20, 1), 0);
    EXPECT_EQ(Last(peer), "rc" + FS + "20.00");
    ASSERT_EQ(layer.PayCash(FALSE, 340, 100), 0);
    EXPECT_EQ(Last(peer), "rc" + FS + "-3.40");
    layer.Settings().minBill = 10;
    ASSERT_EQ(layer.PayCash(TRUE, 1235, 100, ""), 0);
    EXPECT_EQ(Last(peer), "rc" + FS + "12.40");

    peer.ClearRequests();
    EXPECT_EQ(layer.PayCash(TRUE, -1, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.PayCash(TRUE, 1, 25), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(ReceiptPayments, CashInAnotherCurrencyAtItsRate) {
    // 10 USD at 41.50: 415.00 in the current currency, then the code, the amount and the rate.
    ASSERT_EQ(layer.PayCash(TRUE, 10, 1, "usd", 4150, 100), 0);
    EXPECT_EQ(Last(peer), "rc" + FS + "415.00" + FS + "usd" + FS + "10.00" + FS + "41.50");
    // 2.345 USD are cut to the currency's cents: 2.34 x 41.50 = 97.11.
    ASSERT_EQ(layer.PayCash(FALSE, 2345, 1000, "USD", 415, 10), 0);
    EXPECT_EQ(Last(peer), "rc" + FS + "-97.11" + FS + "USD" + FS + "2.34" + FS + "41.50");
    // The conversion is rounded to the minimum bill; the amounts themselves only to their
    // currencies' decimals.
    layer.Settings().minBill = 5;
    ASSERT_EQ(layer.PayCash(TRUE, 333, 100, "USD", 1, 1), 0);
    EXPECT_EQ(Last(peer), "rc" + FS + "3.35" + FS + "USD" + FS + "3.33" + FS + "1.00");

    peer.ClearRequests();
    EXPECT_EQ(layer.PayCash(TRUE, 10, 1, "USD", 0, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.PayCash(TRUE, 10, 1, "USD", -4150, 100), kBrontalBadArguments);
    EXPECT_EQ(layer.PayCash(TRUE, 10, 1, "USD", 4150, 30), kBrontalBadArguments);
    EXPECT_EQ(layer.PayCash(TRUE, 10, 1, ("U" + FS + "D").c_str(), 1, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.PayCash(TRUE, 10, 1, std::string(120, 'U').c_str(), 1, 1),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(ReceiptPayments, NoncashPayments) {
    ASSERT_EQ(layer.PayNoncash(TRUE, 15, 1, 2), 0);
    ASSERT_EQ(layer.PayNoncash(FALSE, 1505, 100, 3, "Slip 4711"), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"rn" + FS + "15.00" + FS + "2",
                                         "rn" + FS + "-15.05" + FS + "3" + FS + "Slip 4711"}));
    peer.ClearRequests();
    EXPECT_EQ(layer.PayNoncash(TRUE, 1, 1, -1), kBrontalBadArguments);
    EXPECT_EQ(layer.PayNoncash(TRUE, -1, 1, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.PayNoncash(TRUE, 1, 1, 1, std::string(125, 's').c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(ReceiptPayments, CashIncomeAndOutcome) {
    ASSERT_EQ(layer.CashInOut(TRUE, 100, 1), 0);
    ASSERT_EQ(layer.CashInOut(FALSE, 505, 10, nullptr), 0);
    ASSERT_EQ(layer.CashInOut(TRUE, 20, 1, "USD"), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"ri" + FS + "100.00", "ri" + FS + "-50.50",
                                         "ri" + FS + "20.00" + FS + "USD"}));
    // The minimum bill rounds the current currency only; a foreign amount is only cut to its
    // decimals.
    layer.Settings().minBill = 5;
    ASSERT_EQ(layer.CashInOut(TRUE, 12321, 1000), 0);
    EXPECT_EQ(Last(peer), "ri" + FS + "12.35");
    ASSERT_EQ(layer.CashInOut(TRUE, 12321, 1000, "USD"), 0);
    EXPECT_EQ(Last(peer), "ri" + FS + "12.32" + FS + "USD");

    peer.ClearRequests();
    EXPECT_EQ(layer.CashInOut(TRUE, -100, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.CashInOut(TRUE, 100, 11), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(ReceiptPayments, TheCashier) {
    const std::string cashier = testsupport::Cp1251("Иванова");
    ASSERT_EQ(layer.CashierLogin(cashier.c_str()), 0);
    EXPECT_EQ(Last(peer), "wi" + FS + cashier);
    peer.ClearRequests();
    EXPECT_EQ(layer.CashierLogin(""), kBrontalBadArguments);
    EXPECT_EQ(layer.CashierLogin(nullptr), kBrontalBadArguments);
    EXPECT_EQ(layer.CashierLogin(std::string(512, 'c').c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    Play({ReplyWith(0, 0x00C1, 0, "3" + FS + "01" + GS + cashier + FS + "rest")});
    char name[32] = "old";
    ASSERT_EQ(layer.ReadCashier(name, sizeof name), 0);
    EXPECT_EQ(std::string(name), cashier);
    EXPECT_EQ(Last(peer), "wg");

    Play({ReplyWith(0, 0x00C1, 0, "3" + FS + "01" + GS + cashier)});
    ASSERT_EQ(layer.ReadCashier(name, 4), 0);
    EXPECT_EQ(std::string(name), cashier.substr(0, 3));
    // A reply without the name leaves it empty.
    Play({ReplyWith(0, 0x00C1, 0, "3")});
    ASSERT_EQ(layer.ReadCashier(name, sizeof name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(layer.ReadCashier(nullptr, 4), kBrontalBadArguments);
}

TEST_F(ReceiptPayments, DocumentLinesFlagsAndTheCommandsWithoutFields) {
    ASSERT_EQ(layer.PrintDocumentLine(2, "Control tape only"), 0);
    ASSERT_EQ(layer.PrintDocumentLine(0, "Everywhere"), 0);
    ASSERT_EQ(layer.PrintSubtotal(), 0);
    ASSERT_EQ(layer.ContinueReceipt(), 0);
    ASSERT_EQ(layer.CancelPrinting(), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"pl" + FS + "2" + FS + "Control tape only",
                                         "pl" + FS + "0" + FS + "Everywhere", "rs", "ct", "cp"}));
    peer.ClearRequests();
    EXPECT_EQ(layer.PrintDocumentLine(0, ""), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintDocumentLine(-1, "x"), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintDocumentLine(0, std::string(1017, 'x').c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ASSERT_EQ(layer.PrintDocumentLine(0, std::string(1016, 'x').c_str()), 0);

    DWORD flags = 0xFFFF;
    Play({ReplyWith(0, 0x00C3, 0, "6c")});
    ASSERT_EQ(layer.ReadDocumentFlags(&flags), 0);
    EXPECT_EQ(flags, 0x6CU);
    EXPECT_EQ(Last(peer), "ls");
    ASSERT_EQ(layer.ReadDocumentFlags(&flags), 0);  // no flag word: left as it was
    EXPECT_EQ(flags, 0x6CU);
    Play({ReplyWith(0x02, 0x00C3, 0, "FF")});
    EXPECT_EQ(layer.ReadDocumentFlags(&flags), -2 - 9200);
    EXPECT_EQ(flags, 0x6CU);
}

TEST_F(ReceiptPayments, EndingClearsTheTotalOnlyWhenTheDocumentEnded) {
    ASSERT_EQ(layer.BeginReceipt(1), 0);
    ASSERT_EQ(layer.SellArticle({.price = {5, 1}, .name = "x", .department = 1}), 0);
    Play({ReplyWith(0x0E, 0x00C3)});
    EXPECT_EQ(layer.EndReceipt(), -14 - 9200);
    EXPECT_EQ(layer.Total().amount, 500);
    EXPECT_EQ(layer.Total().kind, 1);
    ASSERT_EQ(layer.EndReceipt(), 0);
    EXPECT_EQ(Last(peer), "re");
    EXPECT_EQ(layer.Total().amount, 0);
    EXPECT_EQ(layer.Total().kind, 0);
}

}  // namespace
}  // namespace prottest
