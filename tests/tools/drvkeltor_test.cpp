// drvkeltor as scripts and people run it: items from arguments, files and standard input, the
// printed results and descriptions, the exit status of failures and of items that cannot run,
// --help from the component's member catalogue, and a receipt on the virtual printer.
#include <map>
#include <regex>

#include "ToolRunner.h"

namespace tooltest {
namespace {

using testsupport::Cp1251;

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoDriver = 3;

class DrvkeltorTest : public ToolSession {};

TEST_F(DrvkeltorTest, HelpListsEveryMemberWithItsTypeAndAccess) {
    const ToolResult run = RunDrvkeltor({"--help"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Usage: drvkeltor"), std::string::npos);
    EXPECT_NE(run.out.find("--article N"), std::string::npos);
    EXPECT_NE(run.out.find("3  Картофель свежий, 6.71 x 3.261 кг"), std::string::npos);
    EXPECT_NE(run.out.find("Members of BrontalOcx.DrvKeltor (337):"), std::string::npos);

    static const std::regex row(R"(^  (\w+) +(method|(\w+(\[\])?) +(get|put|get/put))$)");
    std::vector<std::string> names;
    std::map<std::string, std::string> rows;
    for (const std::string& line : Lines(run.out)) {
        std::smatch match;
        if (std::regex_match(line, match, row)) {
            names.push_back(match[1]);
            rows[match[1]] = match[2];
        }
    }
    EXPECT_EQ(names.size(), 337u);
    EXPECT_EQ(names.front(), "ComPort");
    EXPECT_EQ(names.back(), "QuantityPrecision");
    const auto shown = [&](const std::string& name) {
        const std::string text = rows[name];
        return std::regex_replace(text, std::regex(" +"), " ");
    };
    EXPECT_EQ(shown("Price"), "CY get/put");
    EXPECT_EQ(shown("Subtotal"), "CY get");
    EXPECT_EQ(shown("ResultCode"), "I2 get");
    EXPECT_EQ(shown("ComPort2"), "I4 get/put");
    EXPECT_EQ(shown("DateTime"), "DATE get/put");
    EXPECT_EQ(shown("ElectronicJournalCRC"), "UI4 get/put");
    EXPECT_EQ(shown("Article"), "BSTR get/put");
    EXPECT_EQ(shown("StringTableItems"), "BSTR[] get/put");
    EXPECT_EQ(shown("IntegerTableItems"), "UI2[] get/put");
    EXPECT_EQ(shown("IntegerTableItems2"), "I4[] get/put");
    EXPECT_EQ(shown("Sale"), "method");
    EXPECT_EQ(shown("CloseReceipt"), "method");
}

TEST(DrvkeltorWithoutComponent, SaysSoAndExitsThree) {
    testsupport::ScopedRegistryDir registry;
    const ToolResult help = RunDrvkeltor({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: drvkeltor"), std::string::npos);
    EXPECT_NE(help.out.find("members cannot be listed"), std::string::npos);
    const ToolResult run = RunDrvkeltor({"Price=1"});
    EXPECT_EQ(run.exitCode, kExitNoDriver);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("cannot create BrontalOcx.DrvKeltor"), std::string::npos) << run.err;
}

TEST_F(DrvkeltorTest, StoredPropertiesRoundTripTheirTexts) {
    const ToolResult run = RunDrvkeltor(
        {"Price=12.5", "?Price", "Quantity=3.261", "Quantity", "Article=Кофе Якобс", "?Article",
         "ReceiptType=0x0A", "?ReceiptType", "SelectFromDate=2026-12-08", "?SelectFromDate",
         "StringTableItems=Хлеб|Соль", "?StringTableItems", "IntegerTableItems=1,2,3",
         "?IntegerTableItems", "ComPort2=70000", "?ComPort"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Price=12.50", "Quantity=3.261", "Article=Кофе Якобс",
                                        "ReceiptType=10", "SelectFromDate=2026-12-08T00:00:00",
                                        "StringTableItems=Хлеб|Соль", "IntegerTableItems=1,2,3",
                                        "ComPort=4464"}));
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
}

TEST_F(DrvkeltorTest, AScriptFileSellsOnThePrinter) {
    testsupport::TempDir dir;
    const std::string script = dir.file("receipt.txt");
    testsupport::WriteFileBytes(script, "# a receipt\r\n" + PortItem() +
                                            "\r\n"
                                            "BaudRate=9600\n"
                                            "SuppressAutodetect=1\n"
                                            "\n"
                                            "   Connect   # opens the link\n"
                                            "ReceiptType=1\n"
                                            "OpenReceipt\n"
                                            "Article=Хлеб нарочанский\n"
                                            "Price=8.70\n"
                                            "Quantity=2\n"
                                            "Sale\n"
                                            "?Subtotal\n"
                                            "CompleteReceipt\n"
                                            "Amount=20\n"
                                            "PayCash\n"
                                            "?Change\n"
                                            "CloseReceipt\n"
                                            "?StateReceiptOpen\n");
    const ToolResult run = RunDrvkeltor({"--no-progress", "-f", script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Connect: 0", "OpenReceipt: 0", "Sale: 0", "Subtotal=17.40",
                                        "CompleteReceipt: 0", "PayCash: 0", "Change=2.60",
                                        "CloseReceipt: 0", "StateReceiptOpen=0"}));
    const std::vector<std::string> requests = Requests();
    // The line goes with its quantity, at whatever precision the settings give it.
    const std::string sale = "as\x1C" + Cp1251("Хлеб нарочанский") +
                             "\x1C"
                             "8.70\x1C"
                             "0\x1C";
    bool sold = false;
    for (const std::string& request : requests) {
        sold = sold || request.rfind(sale, 0) == 0;
    }
    EXPECT_TRUE(sold) << Printable(requests);
    EXPECT_EQ(Codes().back(), "re");
}

TEST_F(DrvkeltorTest, ItemsFromStandardInputAfterTheArguments) {
    const ToolResult run = RunDrvkeltor({"Price=1", "-f", "-", "?Amount"}, "?Price\nAmount=2\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"Price=1.00", "Amount=2.00"}));
}

TEST_F(DrvkeltorTest, AFailingMethodEndsTheRunUnlessToldToGoOn) {
    // No Connect: the driver has no link, and says so; it has never seen the printer's status,
    // which reads as blocked until it does.
    const ToolResult stop = RunDrvkeltor({"Sale", "?Price"});
    EXPECT_EQ(stop.exitCode, kExitFailed);
    EXPECT_EQ(Lines(stop.out),
              std::vector<std::string>{"Sale: -9003 Драйвер: не задан COM-порт. ФР заблокирован"});

    const ToolResult go = RunDrvkeltor({"--keep-going", "Sale", "PayCash", "?ResultCode"});
    EXPECT_EQ(go.exitCode, 0);
    EXPECT_EQ(Lines(go.out), (std::vector<std::string>{
                                 "Sale: -9003 Драйвер: не задан COM-порт. ФР заблокирован",
                                 "PayCash: -9003 Драйвер: не задан COM-порт. ФР заблокирован",
                                 "ResultCode=-9003"}));
}

TEST_F(DrvkeltorTest, APositiveResultIsASuccess) {
    printer_.ChangeState([](emu::PrinterState& state) { state.slipFormInserted = false; });
    const ToolResult run =
        RunDrvkeltor({PortItem(), "BaudRate=9600", "SuppressAutodetect=1", "Connect",
                      "ReceiptType=10", "OpenReceipt", "StringToPrint=строка", "PrintLine"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Connect: 0", "OpenReceipt: 0", "PrintLine: 19"}));
}

TEST_F(DrvkeltorTest, APortScanShowsItsProgressOnStandardErrorOnly) {
    const std::string port = "COM" + std::to_string(port_);
    const ToolResult run = RunDrvkeltor({"ComPort=0", "BaudRate=0", "Connect", "?ComPort"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Connect: 0", "ComPort=" + std::to_string(port_)}));
    // One line redrawn in place: the port being tried and a bar.
    EXPECT_NE(run.err.find('\r'), std::string::npos);
    EXPECT_NE(run.err.find(port + " 9600 ["), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("%"), std::string::npos) << run.err;

    const ToolResult quiet =
        RunDrvkeltor({"--no-progress", "ComPort=0", "BaudRate=0", "Connect", "?ComPort"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, run.out);
    EXPECT_TRUE(quiet.err.empty()) << quiet.err;
}

TEST_F(DrvkeltorTest, ItemsThatCannotRunEndItWithUsageStatus) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"Frobnicate"}, "argument 1: the driver has no member Frobnicate"},
        {{"Price=1", "Price=12.345.6"}, "argument 2: Price (CY): \"12.345.6\" is not an amount"},
        {{"Price=1.23456"}, "is not an amount"},
        {{"ComPort=65536"}, "not a whole number from 0 to 65535"},
        {{"SelectFromDate=2026-02-30"}, "is not a date"},
        {{"Subtotal=1"}, "Subtotal can only be read"},
        {{"?Sale"}, "Sale is a method, not a property"},
        {{"Sale=1"}, "Sale is a method: it takes no value"},
        {{"Pri ce=1"}, "not a member name"},
        {{"-f", "/nonexistent/script.txt"}, "cannot read the script"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"-f"}, "-f needs a file name"},
        {{"salestest", "--days", "0"}, "bad value for --days: 0"},
        {{"salestest", "--article", "4"}, "--article takes a preset number from 0 to 3"},
        {{"salestest", "--receipts"}, "--receipts needs a value"},
        {{"salestest", "--print-text", ""}, "bad value for --print-text"},
    };
    for (const Case& c : cases) {
        const ToolResult run = RunDrvkeltor(c.arguments);
        EXPECT_EQ(run.exitCode, kExitUsage) << c.arguments.front();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // Nothing after the bad item runs.
    const ToolResult run = RunDrvkeltor({"Price=1", "Bogus", "?Price"});
    EXPECT_EQ(run.exitCode, kExitUsage);
    EXPECT_TRUE(run.out.empty()) << run.out;
}

TEST_F(DrvkeltorTest, ARefusedPutIsAFailure) {
    const ToolResult run = RunDrvkeltor({"MinBill=0", "?MinBill"});
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_NE(run.err.find("the driver refused MinBill=0 (0x80004005)"), std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
}

}  // namespace
}  // namespace tooltest
