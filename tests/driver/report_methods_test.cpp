// Reports and day operations through the component: the requests the printer receives for the
// fixed and periodic reports, opening the day, and the Z report's journal handling.
#include <gtest/gtest.h>

#include <sstream>

#include "DriverHost.h"
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr USHORT kCallFlowBit = 0x0008;

// The call-flow lines of one call of `method`, stamps masked, from its "try" to its "done".
std::vector<std::string> CallLines(const std::string& trace, const std::string& method) {
    std::vector<std::string> lines;
    std::istringstream in(trace);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.find("{stamp}CDrvKeltor::" + method + "() try...") == 0) {
            inside = true;
        }
        if (inside) {
            lines.push_back(line);
        }
        if (line.find("{stamp}CDrvKeltor::" + method + "() done") == 0) {
            break;
        }
    }
    return lines;
}

size_t Refreshes(const std::vector<std::string>& lines) {
    size_t count = 0;
    for (const std::string& line : lines) {
        count += line == "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r" ? 1 : 0;
    }
    return count;
}

using Reports = PrinterSession;

TEST_F(Reports, FixedReportsSendTheirOneCommandWithoutAStatusQueryFirst) {
    Connect();
    const struct {
        Member method;
        const char* request;
    } table[] = {
        {member::PrintXReport, "zx"},
        {member::PrintCashierReport, "zw"},
        {member::PrintTaxTableReport, "zv"},
        {member::PrintSettTableReport, "zs"},
        {member::PrintOperationsRegsReport, "zg"},
        {member::PrintSelfTestReport, "hc"},
        {member::OpenCashDrawer, "ho"},
    };
    for (const auto& row : table) {
        printer_.ClearLog();
        const Call call = D().Method(row.method);
        EXPECT_EQ(Outcome(call), S_OK) << row.request << ": " << call.description;
        // The last reply brought the status words, so neither refresh needed a "gs".
        EXPECT_EQ(Requests(), std::vector<std::string>{row.request})
            << row.request << ": " << Printable(Requests());
        EXPECT_EQ(ResultCode(), 0);
    }
}

TEST_F(Reports, ADeviceErrorOfAReportIsTheResultWithItsText) {
    Connect();
    FailNext("zv", 1);
    const Call call = D().Method(member::PrintTaxTableReport);
    EXPECT_EQ(Outcome(call), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    EXPECT_EQ(Description(), "ФБ: ошибка очередности вызова команд");
    EXPECT_EQ(call.description, "ФБ: ошибка очередности вызова команд");
}

TEST_F(Reports, XReportIsNotSentWhenTheStatusCannotBeRead) {
    Connect();
    // A failed exchange first, so that the refresh has to ask the printer itself.
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.frames = 1000;
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    ASSERT_EQ(Result(member::PrintCashierReport), E_FAIL);
    printer_.ClearLog();
    const Call call = D().Method(member::PrintXReport);
    EXPECT_EQ(Outcome(call), E_FAIL);
    EXPECT_LT(ResultCode(), -8100);
    EXPECT_GT(ResultCode(), -8200);
    for (const emu::ReceivedFrame& frame : printer_.Frames()) {
        EXPECT_EQ(frame.payload.substr(0, 2), "gs") << Printable(frame.payload);
    }
}

TEST_F(Reports, CashierReportOnALostLinkReportsItsOwnLinkError) {
    Connect();
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.frames = 1000;
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    const Call call = D().Method(member::PrintCashierReport);
    EXPECT_EQ(Outcome(call), E_FAIL);
    const SHORT code = ResultCode();
    EXPECT_LT(code, -8100);
    EXPECT_GT(code, -8200);
    EXPECT_FALSE(call.description.empty());
    // No refresh went first: the very first frame after Connect was the report itself.
    const std::vector<emu::ReceivedFrame> frames = printer_.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().payload, "zw");
}

TEST_F(Reports, AFixedReportRefreshesOnlyAfterItsCommand) {
    Connect();
    Put(member::TraceMask, UI2(kCallFlowBit));
    ASSERT_EQ(Result(member::PrintCashierReport), S_OK);
    ASSERT_EQ(Result(member::PrintXReport), S_OK);
    const std::string trace = drivertest::MaskedCallFlow(work_.file("callflow.txt"));
    const std::vector<std::string> cashier = CallLines(trace, "PrintCashierReport");
    ASSERT_EQ(cashier.size(), 4u) << trace;
    EXPECT_EQ(cashier.back(), "{stamp}CDrvKeltor::PrintCashierReport() done, res=0(0)\r");
    EXPECT_EQ(Refreshes(cashier), 1u);
    EXPECT_EQ(Refreshes(CallLines(trace, "PrintXReport")), 2u) << trace;
}

TEST_F(Reports, ReportByZCarriesTheUpperNumberOnlyWhenGiven) {
    // A printer without closed days has no report to print and refuses; the request is the test.
    Connect();
    Put(member::SelectFromNumber, UI2(12));
    D().Method(member::PrintReportByZ);
    EXPECT_EQ(Requests(), std::vector<std::string>{"zz" + kFs + "1" + kFs + "0012"})
        << Printable(Requests());

    printer_.ClearLog();
    Put(member::SelectToNumber, UI2(345));
    Put(member::SelectScopeDetailed, UI2(1));
    D().Method(member::PrintReportByZ);
    EXPECT_EQ(Requests(), std::vector<std::string>{"zz" + kFs + "0" + kFs + "0012" + kFs + "0345"})
        << Printable(Requests());

    // The password follows the scope digit as a part of the same field.
    printer_.ClearLog();
    PutText(member::InitializationPassword, "7071");
    Put(member::SelectToNumber, UI2(0));
    D().Method(member::PrintReportByZ);
    EXPECT_EQ(Requests(), std::vector<std::string>{"zz" + kFs + "0" + kGs + "7071" + kFs + "0012"})
        << Printable(Requests());
}

TEST_F(Reports, ReportByDateCarriesTheLastDateOnlyWhenSet) {
    // As above, what counts is the request, not the printer's refusal.
    Connect();
    Put(member::SelectFromDate, Date(Moment(2014, 3, 7) + 0.75));
    Put(member::SelectToDate, Date(0.0));
    D().Method(member::PrintReportByDate);
    EXPECT_EQ(Requests(), std::vector<std::string>{"zd" + kFs + "1" + kFs + "20140307"})
        << Printable(Requests());

    printer_.ClearLog();
    Put(member::SelectToDate, Date(Moment(2026, 12, 31)));
    PutText(member::InitializationPassword, "0000");
    D().Method(member::PrintReportByDate);
    EXPECT_EQ(Requests(), std::vector<std::string>{"zd" + kFs + "1" + kGs + "0000" + kFs +
                                                   "20140307" + kFs + "20261231"})
        << Printable(Requests());
}

TEST_F(Reports, PeriodicReportsRefuseWhatTheirRequestCannotHold) {
    Connect();
    Put(member::SelectFromNumber, UI2(1));
    // 31 characters hold the scope, the password and two numbers; this password does not fit.
    PutText(member::InitializationPassword, std::string(40, '9'));
    EXPECT_EQ(Result(member::PrintReportByZ), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_EQ(Result(member::PrintReportByDate), static_cast<HRESULT>(0x8004232A));
    // A date beyond the printer's four-digit years is no date it can take.
    PutText(member::InitializationPassword, "");
    Put(member::SelectFromDate, Date(Moment(9999, 12, 31) + 1.0));
    EXPECT_EQ(Result(member::PrintReportByDate), static_cast<HRESULT>(0x8004232A));
    EXPECT_FALSE(Sent("zz"));
    EXPECT_FALSE(Sent("zd"));
}

TEST_F(Reports, OpenDayLogsTheCashierInOnlyWhenOneIsNamed) {
    Connect();
    ASSERT_EQ(Result(member::OpenDay), S_OK);
    EXPECT_EQ(Requests(), std::vector<std::string>{"zb"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateDayOpen), 1);  // from the closing refresh
}

TEST_F(Reports, OpenDayWithACashierSendsTheLoginAfterTheDayOpened) {
    Connect();
    // The login is kept by the object while the day is closed (nothing is sent then).
    PutText(member::CashierLogin, "Иванова");
    printer_.ClearLog();
    ASSERT_EQ(Result(member::OpenDay), S_OK);
    EXPECT_EQ(Commands(), (std::vector<std::string>{"zb", "wi" + kFs + Cp1251("Иванова")}))
        << Printable(Requests());
}

TEST_F(Reports, AFailedDayOpeningSendsNoLogin) {
    Connect();
    PutText(member::CashierLogin, "Петров");
    printer_.ClearLog();
    FailNext("zb", 1);
    EXPECT_EQ(Result(member::OpenDay), static_cast<HRESULT>(0x800423F1));
    EXPECT_FALSE(Sent("wi"));
}

// ---- the Z report ----

// The printer closes only an open day.
class ZReport : public PrinterSession {
  protected:
    void ConnectWithDayOpen() {
        Connect();
        ASSERT_EQ(Result(member::OpenDay), S_OK) << Description();
        printer_.ClearLog();
    }
};

TEST_F(ZReport, ConfirmsTheJournalWithoutDownloadingIt) {
    WriteJournalSettings(1, 0);
    ConnectWithDayOpen();
    ASSERT_NE(printer_.StatusWord() & emu::kStatusJournalPresent, 0);
    ASSERT_EQ(Result(member::PrintZReport), S_OK) << Description();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"jp", "ze", "jv" + kFs + "VALID"}))
        << Printable(Requests());
    EXPECT_FALSE(Sent("jz"));
    EXPECT_FALSE(Sent("jg"));
}

TEST_F(ZReport, AsksForThePrintedJournalWhenPrintEJIsZero) {
    WriteJournalSettings(0, 0);
    ConnectWithDayOpen();
    ASSERT_EQ(Result(member::PrintZReport), S_OK) << Description();
    ASSERT_FALSE(Commands().empty());
    EXPECT_EQ(Commands().front(), "jp" + kFs + "PRINT");
}

TEST_F(ZReport, WithAControlUnitLeavesTheJournalOffPaper) {
    WriteJournalSettings(1, 0);
    ConnectWithDayOpen();
    SetStatus(printer_.StatusWord() | emu::kStatusControlUnitPresent);
    ASSERT_EQ(Result(member::PrintZReport), S_OK) << Description();
    EXPECT_FALSE(Sent("jp"));
    EXPECT_EQ(Commands(), (std::vector<std::string>{"ze", "jv" + kFs + "VALID"}))
        << Printable(Requests());
}

TEST_F(ZReport, WithoutAJournalOnlyClosesTheDay) {
    WriteJournalSettings(1, 1);
    ConnectWithDayOpen();
    SetStatus(printer_.StatusWord() & ~emu::kStatusJournalPresent);
    ASSERT_EQ(Result(member::PrintZReport), S_OK) << Description();
    EXPECT_EQ(Commands(), std::vector<std::string>{"ze"}) << Printable(Requests());
}

TEST_F(ZReport, EveryStepFollowsAFreshLookAtThePrinter) {
    WriteJournalSettings(1, 0);
    ConnectWithDayOpen();
    SetStatus(printer_.StatusWord() | emu::kStatusNotReady);
    Put(member::TraceMask, UI2(kCallFlowBit));
    ASSERT_EQ(Result(member::PrintZReport), S_OK) << Description();
    EXPECT_EQ(Commands(), (std::vector<std::string>{"cp", "jp", "ze", "jv" + kFs + "VALID"}))
        << Printable(Requests());
    // One look before each of the four steps and the closing one.
    const std::string trace = drivertest::MaskedCallFlow(work_.file("callflow.txt"));
    EXPECT_EQ(Refreshes(CallLines(trace, "PrintZReport")), 5u) << trace;
}

TEST_F(ZReport, CancelsAnUnfinishedPrintAndStopsWhenThatFails) {
    WriteJournalSettings(1, 0);
    ConnectWithDayOpen();
    SetStatus(printer_.StatusWord() | emu::kStatusNotReady);
    FailNext("cp", 1);
    EXPECT_EQ(Result(member::PrintZReport), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    // The day stays open: nothing after the failed cancellation.
    EXPECT_EQ(Commands(), std::vector<std::string>{"cp"}) << Printable(Requests());
}

TEST_F(ZReport, StopsAtAFailedJournalPrint) {
    WriteJournalSettings(1, 0);
    ConnectWithDayOpen();
    FailNext("jp", 3);
    EXPECT_EQ(Result(member::PrintZReport), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(Commands(), std::vector<std::string>{"jp"}) << Printable(Requests());
}

}  // namespace
