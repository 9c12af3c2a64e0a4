// Report commands on the virtual printer: the periodic reports as it received them, over days its
// fiscal memory holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Brontal.h"
#include "FiscalState.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

const std::string FS(1, '\x1C');
const std::string GS(1, '\x1D');

class ReportsOnPrinter : public PrinterFixture {
  protected:
    void SetUp() override {
        PrinterFixture::SetUp();
        printer.SetReportTime(0);
        // Twelve closed days, 1 to 12 December 2026.
        printer.ChangeState([](emu::PrinterState& state) {
            for (uint32_t day = 1; day <= 12; ++day) {
                emu::Session session;
                session.number = day;
                char date[16];
                std::snprintf(date, sizeof date, "202612%02u", day);
                session.opened = std::string(date) + "080000";
                session.closed = std::string(date) + "200000";
                state.sessions.push_back(session);
            }
            state.counters.session = 12;
        });
        AttachAndClear();
    }
};

TEST_F(ReportsOnPrinter, ByZNumberAndByDate) {
    ASSERT_EQ(layer.PrintReportByZ(TRUE, 12, 0, nullptr), 0);
    const SYSTEMTIME first = SystemTime(2026, 12, 1);
    const SYSTEMTIME last = SystemTime(2026, 12, 7);
    ASSERT_EQ(layer.PrintReportByDate(TRUE, &first, &last, "Dec"), 0);
    ASSERT_EQ(layer.PrintReportByZ(FALSE, 3, 5, nullptr), 0);
    EXPECT_EQ(
        printer.Requests(),
        (std::vector<std::string>{"zz" + FS + "1" + FS + "0012",
                                  "zd" + FS + "1" + GS + "Dec" + FS + "20261201" + FS + "20261207",
                                  "zz" + FS + "0" + FS + "0003" + FS + "0005"}));
    // The day and the fixed reports.
    ASSERT_EQ(layer.OpenDay(), 0);
    ASSERT_EQ(layer.PrintXReport(), 0);
    ASSERT_EQ(layer.PrintTaxTableReport(), 0);
    ASSERT_EQ(layer.PrintCashierReport(), 0);
    ASSERT_EQ(layer.PrintSettTableReport(), 0);
    ASSERT_EQ(layer.PrintOperationsRegsReport(), 0);
    ASSERT_EQ(layer.PrintSelfTestReport(), 0);
    ASSERT_EQ(layer.CloseDay(), 0);
    DWORD session = 0;
    ASSERT_EQ(layer.ReadDocumentNumbers(nullptr, &session, nullptr, nullptr), 0);
    EXPECT_EQ(session, 13U);
}

}  // namespace
}  // namespace prottest
