// Day and report commands against a scripted printer: the fixed reports, and the periodic
// reports by Z number and by date with their 31-character limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Payloads = std::vector<std::string>;
using Reports = PeerFixture;

TEST_F(Reports, DayAndFixedReportsAreTheCodeAlone) {
    EXPECT_EQ(layer.OpenDay(), 0);
    EXPECT_EQ(layer.PrintXReport(), 0);
    EXPECT_EQ(layer.PrintTaxTableReport(), 0);
    EXPECT_EQ(layer.PrintCashierReport(), 0);
    EXPECT_EQ(layer.PrintSettTableReport(), 0);
    EXPECT_EQ(layer.PrintOperationsRegsReport(), 0);
    EXPECT_EQ(layer.PrintSelfTestReport(), 0);
    EXPECT_EQ(layer.CloseDay(), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"zb", "zx", "zv", "zw", "zs", "zg", "hc", "ze"}));

    // The printer's refusal is the result: here a day that is already open.
    Play({ReplyWith(0x0A, 0x00C1)});
    EXPECT_EQ(layer.OpenDay(), -10 - 9200);
}

TEST_F(Reports, ByZNumber) {
    ASSERT_EQ(layer.PrintReportByZ(TRUE, 12, 0, nullptr), 0);
    ASSERT_EQ(layer.PrintReportByZ(FALSE, 1, 30, "Q4"), 0);
    ASSERT_EQ(layer.PrintReportByZ(TRUE, 0, 0, ""), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"zz" + FS + "1" + FS + "0012",
                                         "zz" + FS + "0" + GS + "Q4" + FS + "0001" + FS + "0030",
                                         "zz" + FS + "1" + FS + "0000"}));

    // 31 characters at most: 1, GS, the text, FS and two numbers leave 19 for the text.
    peer.ClearRequests();
    ASSERT_EQ(layer.PrintReportByZ(TRUE, 1, 2, std::string(19, 't').c_str()), 0);
    EXPECT_EQ(peer.Payloads()[0].size(), 2U + 1U + 31U);
    EXPECT_EQ(layer.PrintReportByZ(TRUE, 1, 2, std::string(20, 't').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintReportByZ(TRUE, 1, 0, ("a" + FS + "b").c_str()), kBrontalBadArguments);
    EXPECT_EQ(peer.Payloads().size(), 1U);
}

TEST_F(Reports, ByDate) {
    const SYSTEMTIME first = SystemTime(2026, 12, 1);
    const SYSTEMTIME last = SystemTime(2026, 12, 7);
    const SYSTEMTIME none = {};
    ASSERT_EQ(layer.PrintReportByDate(TRUE, &first, &last, "Dec"), 0);
    ASSERT_EQ(layer.PrintReportByDate(FALSE, &first, nullptr, nullptr), 0);
    ASSERT_EQ(layer.PrintReportByDate(FALSE, &first, &none, ""), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"zd" + FS + "1" + GS + "Dec" + FS + "20261201" + FS + "20261207",
                        "zd" + FS + "0" + FS + "20261201", "zd" + FS + "0" + FS + "20261201"}));

    // 1, GS, the text, FS and two dates of eight: 11 characters of text at most.
    peer.ClearRequests();
    ASSERT_EQ(layer.PrintReportByDate(TRUE, &first, &last, std::string(11, 't').c_str()), 0);
    EXPECT_EQ(layer.PrintReportByDate(TRUE, &first, &last, std::string(12, 't').c_str()),
              kBrontalBadArguments);
    const SYSTEMTIME bad = SystemTime(2026, 2, 30);
    EXPECT_EQ(layer.PrintReportByDate(TRUE, &bad, nullptr, nullptr), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintReportByDate(TRUE, &first, &bad, nullptr), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintReportByDate(TRUE, nullptr, &last, nullptr), kBrontalBadArguments);
    EXPECT_EQ(peer.Payloads().size(), 1U);
}

}  // namespace
}  // namespace prottest
