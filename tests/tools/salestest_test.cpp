// The automatic sales test as a client of the component: its parameters and presets, the run on
// the virtual printer (a document left open cancelled first, days of receipts each closed by a Z
// report), and the first failing call ending it with the driver's description.
#include <unistd.h>

#include <climits>
#include <memory>

#include "SalesTest.h"
#include "ToolRunner.h"

namespace tooltest {
namespace {

using salestest::CDispatchClient;
using salestest::SalesTestParameters;
using salestest::SalesTestReport;

size_t Count(const std::vector<std::string>& codes, const std::string& code) {
    size_t count = 0;
    for (const std::string& c : codes) {
        count += c == code ? 1 : 0;
    }
    return count;
}

// The position of the first `code` at or after `from`; the size when there is none.
size_t Find(const std::vector<std::string>& codes, const std::string& code, size_t from = 0) {
    for (size_t i = from; i < codes.size(); ++i) {
        if (codes[i] == code) {
            return i;
        }
    }
    return codes.size();
}

TEST(SalesTestParameters, PresetsAreTheFourArticles) {
    ASSERT_EQ(salestest::kArticlePresetCount, 4);
    const salestest::ArticlePreset* presets = salestest::kArticlePresets;
    EXPECT_EQ(std::u16string(presets[0].name), u"Пакет фасов. бесплантый");
    EXPECT_EQ(presets[0].price, 0);
    EXPECT_EQ(presets[0].quantity, 10000);
    EXPECT_EQ(std::u16string(presets[1].name), u"Кофе Якобс-Монарх клас.");
    EXPECT_EQ(presets[1].price, 65400);
    EXPECT_EQ(std::u16string(presets[2].name), u"Хлеб нарочанский");
    EXPECT_EQ(presets[2].price, 87000);
    EXPECT_EQ(std::u16string(presets[3].name), u"Картофель свежий");
    EXPECT_EQ(presets[3].price, 67100);
    EXPECT_EQ(presets[3].quantity, 32610);
    EXPECT_EQ(std::u16string(presets[3].unit), u"кг");

    const SalesTestParameters defaults = salestest::DefaultParameters();
    EXPECT_EQ(defaults.days, 2);
    EXPECT_EQ(defaults.receiptsPerDay, 5);
    EXPECT_EQ(defaults.salesPerReceipt, 1);
    EXPECT_FALSE(defaults.printText);
    // The free bag of preset 0 would total 0, which no printer takes as a payment.
    EXPECT_EQ(defaults.article, u"Кофе Якобс-Монарх клас.");
    EXPECT_EQ(defaults.price, 65400);
    // An index outside the list keeps the default preset.
    EXPECT_EQ(salestest::DefaultParameters(7).article, defaults.article);
    EXPECT_EQ(salestest::DefaultParameters(3).unit, u"кг");
}

TEST(SalesTestParameters, EachRangeIsChecked) {
    std::string why;
    EXPECT_TRUE(salestest::ValidateParameters(salestest::DefaultParameters(), &why));
    const auto refused = [](void (*change)(SalesTestParameters&), const char* expected) {
        SalesTestParameters parameters = salestest::DefaultParameters(1);
        change(parameters);
        std::string reason;
        EXPECT_FALSE(salestest::ValidateParameters(parameters, &reason)) << expected;
        EXPECT_EQ(reason, expected);
    };
    refused([](SalesTestParameters& p) { p.days = 0; }, "days must be 1 to 100");
    refused([](SalesTestParameters& p) { p.days = 101; }, "days must be 1 to 100");
    refused([](SalesTestParameters& p) { p.receiptsPerDay = 1001; },
            "receipts per day must be 1 to 1000");
    refused([](SalesTestParameters& p) { p.salesPerReceipt = 0; },
            "sales per receipt must be 1 to 10000");
    refused([](SalesTestParameters& p) { p.price = -1; }, "the price must not be negative");
    refused([](SalesTestParameters& p) { p.quantity = 0; }, "the quantity must be above 0");
    refused([](SalesTestParameters& p) { p.article.clear(); }, "the article needs a name");
    refused([](SalesTestParameters& p) { p.printText = true; }, "the text to print is empty");
    SalesTestParameters limits = salestest::DefaultParameters();
    limits.days = 100;
    limits.receiptsPerDay = 1000;
    limits.salesPerReceipt = 10000;
    EXPECT_TRUE(salestest::ValidateParameters(limits, nullptr));
}

// The component and a printer that keeps no electronic journal, so that a Z report is the day's
// end alone; the driver object connected to it.
class SalesRun : public ToolSession {
  protected:
    void Arrange() override {
        printer_.SetStatusWords(0x0080, 0);
        printer_.SetReportTime(0);
        client::Driver object = Create();
        ASSERT_NE(object.get(), nullptr);
        // The client holds its own reference; this one goes with `object`.
        driver_ = std::make_unique<CDispatchClient>(object.get());
        ASSERT_EQ(driver_->PutNumber("ComPort", port_), S_OK);
        ASSERT_EQ(driver_->PutNumber("BaudRate", 9600), S_OK);
        ASSERT_EQ(driver_->PutNumber("SuppressAutodetect", 1), S_OK);
        ASSERT_EQ(driver_->Call("Connect"), S_OK);
        printer_.ClearLog();
    }
    void TearDown() override {
        driver_.reset();
        ToolSession::TearDown();
    }

    // A document of `type` left open on the printer with a line when it takes one.
    void LeaveOpen(LONG type) {
        ASSERT_EQ(driver_->PutNumber("ReceiptType", type), S_OK);
        ASSERT_EQ(driver_->Call("OpenReceipt"), S_OK);
        if (type == 1) {
            ASSERT_EQ(driver_->PutText("Article", u"Хлеб"), S_OK);
            ASSERT_EQ(driver_->PutMoney("Price", 10000), S_OK);
            ASSERT_EQ(driver_->PutMoney("Quantity", 10000), S_OK);
            ASSERT_EQ(driver_->Call("Sale"), S_OK);
        }
        printer_.ClearLog();
    }

    static SalesTestParameters OneOfEach() {
        SalesTestParameters parameters = salestest::DefaultParameters(1);
        parameters.days = 1;
        parameters.receiptsPerDay = 1;
        parameters.salesPerReceipt = 1;
        return parameters;
    }

    std::unique_ptr<CDispatchClient> driver_;
};

TEST_F(SalesRun, ATextDocumentLeftOpenIsCancelledThenOneReceiptAndOneZReport) {
    LeaveOpen(0);
    SalesTestReport report;
    ASSERT_EQ(salestest::RunSalesTest(*driver_, OneOfEach(), &report), S_OK)
        << report.failure.member;
    EXPECT_TRUE(report.cancelledReceipt);
    EXPECT_FALSE(report.closedOpenDay);
    EXPECT_EQ(report.receiptsClosed, 1);
    EXPECT_EQ(report.zReports, 1);
    EXPECT_EQ(report.failure.hr, S_OK);

    const std::vector<std::string> codes = Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), "cp") << Printable(Requests());
    EXPECT_EQ(Count(codes, "zb"), 1u);
    EXPECT_EQ(Count(codes, "rb"), 1u);
    EXPECT_EQ(Count(codes, "as"), 1u);
    EXPECT_EQ(Count(codes, "rt"), 1u);
    EXPECT_EQ(Count(codes, "rc"), 1u);
    EXPECT_EQ(Count(codes, "re"), 1u);
    EXPECT_EQ(Count(codes, "ze"), 1u);
    // In the order of a day: opened, the receipt from opening to end, the Z report.
    const size_t opened = Find(codes, "zb");
    const size_t begun = Find(codes, "rb", opened);
    const size_t ended = Find(codes, "re", Find(codes, "rc", Find(codes, "rt", begun)));
    EXPECT_LT(Find(codes, "ze", ended), codes.size()) << Printable(Requests());
    EXPECT_EQ(printer_.State().counters.receipt, 1u);
    EXPECT_EQ(printer_.StatusWord() & 0x0003, 0);  // day and receipt closed
}

TEST_F(SalesRun, ASaleLeftOpenIsCancelledAndItsDayClosedFirst) {
    LeaveOpen(1);
    SalesTestReport report;
    ASSERT_EQ(salestest::RunSalesTest(*driver_, OneOfEach(), &report), S_OK)
        << report.failure.member;
    EXPECT_TRUE(report.cancelledReceipt);
    EXPECT_TRUE(report.closedOpenDay);
    EXPECT_EQ(report.receiptsClosed, 1);
    EXPECT_EQ(report.zReports, 2);
    const std::vector<std::string> codes = Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), "cp");
    // The day found open ends before the test's own day begins.
    EXPECT_LT(Find(codes, "ze"), Find(codes, "zb")) << Printable(Requests());
    EXPECT_EQ(Count(codes, "ze"), 2u);
}

TEST_F(SalesRun, DaysOfReceiptsWithTheirLinesAndTexts) {
    SalesTestParameters parameters = salestest::DefaultParameters(3);
    parameters.days = 2;
    parameters.receiptsPerDay = 2;
    parameters.salesPerReceipt = 2;
    parameters.printText = true;
    parameters.textToPrint = u"Спасибо";
    struct Seen {
        std::vector<std::pair<int, int>> receipts;
        std::vector<int> days;
    } seen;
    salestest::SalesTestObserver observer;
    observer.receiptClosed = [](LPVOID context, int day, int receipt) {
        static_cast<Seen*>(context)->receipts.emplace_back(day, receipt);
    };
    observer.dayClosed = [](LPVOID context, int day) {
        static_cast<Seen*>(context)->days.push_back(day);
    };
    observer.context = &seen;
    SalesTestReport report;
    ASSERT_EQ(salestest::RunSalesTest(*driver_, parameters, &report, observer), S_OK)
        << report.failure.member;
    EXPECT_FALSE(report.cancelledReceipt);
    EXPECT_EQ(report.receiptsClosed, 4);
    EXPECT_EQ(report.zReports, 2);
    EXPECT_EQ(seen.receipts, (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {2, 1}, {2, 2}}));
    EXPECT_EQ(seen.days, (std::vector<int>{1, 2}));

    const std::vector<std::string> codes = Codes();
    EXPECT_EQ(Count(codes, "cp"), 0u);
    EXPECT_EQ(Count(codes, "zb"), 2u);
    EXPECT_EQ(Count(codes, "as"), 8u);
    EXPECT_EQ(Count(codes, "pl"), 8u);
    EXPECT_EQ(Count(codes, "ze"), 2u);
    const std::string line = "as\x1C" + testsupport::Cp1251("Картофель свежий") +
                             "\x1C"
                             "6.71";
    size_t sold = 0;
    for (const std::string& request : Requests()) {
        sold += request.rfind(line, 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(sold, 8u);
    EXPECT_EQ(printer_.State().counters.session, 2u);

    // The journal files of the Z reports go to the folder the test ran in.
    salestest::WideText folder;
    ASSERT_EQ(driver_->GetText("ElectronicJournalSavePath", &folder), S_OK);
    char current[PATH_MAX] = {};
    ASSERT_NE(getcwd(current, sizeof current), nullptr);
    EXPECT_EQ(salestest::Utf8FromWide(folder), current);
}

TEST_F(SalesRun, TheFirstFailingCallEndsItWithTheDriversDescription) {
    FailNext("as", 1);
    SalesTestReport report;
    EXPECT_EQ(salestest::RunSalesTest(*driver_, OneOfEach(), &report), DISP_E_EXCEPTION);
    EXPECT_EQ(report.failure.member, "Sale");
    EXPECT_EQ(report.failure.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(report.failure.scode, static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(salestest::Utf8FromWide(report.failure.description),
              "ФБ: ошибка очередности вызова команд");
    EXPECT_EQ(report.receiptsClosed, 0);
    EXPECT_EQ(report.zReports, 0);
    // Nothing after the failing line.
    EXPECT_EQ(Codes().back(), "as") << Printable(Requests());
}

TEST_F(SalesRun, ParametersOutOfRangeCallNothing) {
    SalesTestParameters parameters = OneOfEach();
    parameters.receiptsPerDay = 0;
    SalesTestReport report;
    EXPECT_EQ(salestest::RunSalesTest(*driver_, parameters, &report), E_INVALIDARG);
    EXPECT_EQ(report.failure.hr, E_INVALIDARG);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
}

TEST_F(SalesRun, TheCommandLineRunsItOnTheObjectOfItsItems) {
    LeaveOpen(0);
    // The object above lets the printer go, as another program would.
    driver_.reset();
    const ToolResult run = RunDrvkeltor({"--no-progress", PortItem(), "BaudRate=9600",
                                         "SuppressAutodetect=1", "Connect", "salestest", "--days",
                                         "1", "--receipts", "1", "--sales", "1", "--article", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{
                  "Connect: 0 (success)", "salestest: the receipt left open was cancelled",
                  "salestest: day 1, receipt 1 closed", "salestest: day 1 closed by its Z report",
                  "salestest: done, 1 receipts, 1 Z reports"}));
    const std::vector<std::string> codes = Codes();
    EXPECT_EQ(Count(codes, "cp"), 1u);
    EXPECT_EQ(Count(codes, "re"), 1u);
    EXPECT_EQ(Count(codes, "ze"), 1u);
    EXPECT_LT(Find(codes, "cp"), Find(codes, "rb")) << Printable(Requests());
}

TEST_F(SalesRun, TheCommandLineReportsWhereItStopped) {
    driver_.reset();
    FailNext("rb", 1);
    const ToolResult run =
        RunDrvkeltor({"--no-progress", PortItem(), "BaudRate=9600", "SuppressAutodetect=1",
                      "Connect", "salestest", "--days", "1", "--receipts", "3"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("salestest stopped: OpenReceipt failed (0x800423F1): ФБ: ошибка "
                           "очередности вызова команд"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("salestest: 0 receipts, 0 Z reports before it stopped"),
              std::string::npos)
        << run.out;
    // OpenReceipt opened the day before it failed: the day is open, no receipt is.
    EXPECT_NE(run.err.find("no receipt is left open"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the day is open; a Z report closes it"), std::string::npos) << run.err;
}

TEST_F(SalesRun, TheDefaultRunPassesOnTheVirtualPrinter) {
    driver_.reset();
    const ToolResult run =
        RunDrvkeltor({PortItem(), "BaudRate=9600", "SuppressAutodetect=1", "Connect", "salestest"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out).back(), "salestest: done, 10 receipts, 2 Z reports") << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_EQ(Count(Codes(), "re"), 10u);
    EXPECT_EQ(Count(Codes(), "ze"), 2u);
    const emu::PrinterState state = printer_.State();
    EXPECT_EQ(state.status & 0x0003, 0) << "a day or a receipt was left open";
}

TEST_F(SalesRun, AFailedRunSaysWhatItLeftOpen) {
    FailNext("rt", 17);  // out of paper
    SalesTestReport report;
    EXPECT_EQ(salestest::RunSalesTest(*driver_, OneOfEach(), &report), DISP_E_EXCEPTION);
    EXPECT_EQ(report.failure.member, "CompleteReceipt");
    EXPECT_TRUE(report.stateKnown);
    EXPECT_TRUE(report.receiptLeftOpen);
    EXPECT_TRUE(report.dayLeftOpen);
}

TEST_F(SalesRun, AStopAskedForEndsItBeforeTheNextCall) {
    salestest::SalesTestObserver observer;
    int closed = 0;
    observer.context = &closed;
    observer.receiptClosed = [](LPVOID context, int, int) { ++*static_cast<int*>(context); };
    observer.stopRequested = [](LPVOID context) { return *static_cast<int*>(context) == 1; };
    SalesTestParameters parameters = OneOfEach();
    parameters.receiptsPerDay = 3;
    SalesTestReport report;
    EXPECT_EQ(salestest::RunSalesTest(*driver_, parameters, &report, observer), E_ABORT);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.receiptsClosed, 1);
    EXPECT_EQ(Count(Codes(), "rb"), 1u) << Printable(Requests());
    EXPECT_TRUE(report.stateKnown);
    EXPECT_FALSE(report.receiptLeftOpen);
    EXPECT_TRUE(report.dayLeftOpen);
}

}  // namespace
}  // namespace tooltest
