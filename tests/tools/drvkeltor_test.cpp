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

// The members come from the catalogue the client carries, each with its line of help, also
// where no component is registered.
TEST(DrvkeltorHelp, ListsEveryMemberWithItsTypeAccessAndHelpWithoutARegistry) {
    testsupport::ScopedRegistryDir registry;
    const ToolResult run = RunDrvkeltor({"--help"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Usage: drvkeltor"), std::string::npos);
    EXPECT_NE(run.out.find("--article N"), std::string::npos);
    EXPECT_NE(run.out.find("3  Картофель свежий, 6.71 x 3.261 кг"), std::string::npos);
    EXPECT_NE(run.out.find("Members of BrontalOcx.DrvKeltor (337):"), std::string::npos);

    static const std::regex method(R"(^  (\w+) +(\S.*)$)");
    static const std::regex property(R"(^  (\w+) +(\w+(\[\])?) +(get|put|get/put) +(\S.*)$)");
    std::vector<std::string> names;
    std::map<std::string, std::string> rows;
    std::map<std::string, std::string> help;
    enum { kBefore, kMethods, kProperties } section = kBefore;
    for (const std::string& line : Lines(run.out)) {
        if (line.rfind("Methods (", 0) == 0) {
            section = kMethods;
        } else if (line.rfind("Properties (", 0) == 0) {
            section = kProperties;
        }
        std::smatch match;
        if (section == kProperties && std::regex_match(line, match, property)) {
            names.push_back(match[1]);
            rows[match[1]] = match[2].str() + " " + match[4].str();
            help[match[1]] = match[5];
        } else if (section == kMethods && std::regex_match(line, match, method)) {
            names.push_back(match[1]);
            rows[match[1]] = "method";
            help[match[1]] = match[2];
        }
    }
    EXPECT_EQ(names.size(), 337u);
    EXPECT_EQ(names.front(), "Connect");  // the methods first, then the properties
    EXPECT_EQ(names.back(), "QuantityPrecision");
    for (const std::string& name : names) {
        EXPECT_GE(help[name].size(), 10u) << name << " has no help";
    }
    EXPECT_EQ(rows["Price"], "CY get/put");
    EXPECT_EQ(rows["Subtotal"], "CY get");
    EXPECT_EQ(rows["ResultCode"], "I2 get");
    EXPECT_EQ(rows["ComPort2"], "I4 get/put");
    EXPECT_EQ(rows["DateTime"], "DATE get/put");
    EXPECT_EQ(rows["ElectronicJournalCRC"], "UI4 get/put");
    EXPECT_EQ(rows["StringTableItems"], "BSTR[] get/put");
    EXPECT_EQ(rows["IntegerTableItems2"], "I4[] get/put");
    EXPECT_EQ(rows["Sale"], "method");
    EXPECT_EQ(help["Price"], "Price of the next sale or storno line");
    EXPECT_EQ(help["ComPort2"], "As ComPort, as a 32-bit number");

    const ToolResult names2 = RunDrvkeltor({"--list-members"});
    EXPECT_EQ(Lines(names2.out).size(), 337u);
    EXPECT_EQ(Lines(names2.out).front(), "ComPort");
}

TEST(DrvkeltorUsage, NoArgumentsIsAUsageErrorAndTheVersionIsShown) {
    const ToolResult bare = RunDrvkeltor({});
    EXPECT_EQ(bare.exitCode, kExitUsage);
    EXPECT_TRUE(bare.out.empty());
    EXPECT_EQ(bare.err.rfind("Usage: drvkeltor", 0), 0u) << bare.err;
    const ToolResult version = RunDrvkeltor({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("drvkeltor [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
}

TEST(DrvkeltorWithoutComponent, SaysSoAndExitsThree) {
    testsupport::ScopedRegistryDir registry;
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
              (std::vector<std::string>{
                  "Connect: 0 (success)", "OpenReceipt: 0 (success)", "Sale: 0 (success)",
                  "Subtotal=17.40", "CompleteReceipt: 0 (success)", "PayCash: 0 (success)",
                  "Change=2.60", "CloseReceipt: 0 (success)", "StateReceiptOpen=0"}));
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
    const std::string noPort =
        " Драйвер: не задан COM-порт. ФР заблокирован (no port is set: set ComPort and BaudRate, "
        "then call Connect)";
    EXPECT_EQ(Lines(stop.out), std::vector<std::string>{"Sale: -9003" + noPort});

    const ToolResult go = RunDrvkeltor({"--keep-going", "Sale", "PayCash", "?ResultCode"});
    EXPECT_EQ(go.exitCode, 0);
    EXPECT_EQ(Lines(go.out),
              (std::vector<std::string>{"Sale: -9003" + noPort, "PayCash: -9003" + noPort,
                                        "ResultCode=-9003"}));
}

TEST_F(DrvkeltorTest, APositiveResultIsASuccess) {
    printer_.ChangeState([](emu::PrinterState& state) { state.slipFormInserted = false; });
    const ToolResult run =
        RunDrvkeltor({PortItem(), "BaudRate=9600", "SuppressAutodetect=1", "Connect",
                      "ReceiptType=10", "OpenReceipt", "StringToPrint=строка", "PrintLine"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Connect: 0 (success)", "OpenReceipt: 0 (success)",
                                        "PrintLine: 19 (success, with note 19)"}));
}

TEST_F(DrvkeltorTest, APortScanShowsItsProgressOnStandardErrorOnly) {
    const std::string port = "COM" + std::to_string(port_);
    const ToolResult run =
        RunDrvkeltor({"--progress", "ComPort=0", "BaudRate=0", "Connect", "?ComPort"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"Connect: 0 (success)",
                                                        "ComPort=" + std::to_string(port_)}));
    // One line redrawn in place: the port being tried and a bar.
    EXPECT_NE(run.err.find('\r'), std::string::npos);
    EXPECT_NE(run.err.find(port + " 9600 ["), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("%"), std::string::npos) << run.err;

    // Standard error is no terminal here: no bar unless asked for, only where the printer was.
    const ToolResult quiet = RunDrvkeltor({"ComPort=0", "BaudRate=0", "Connect", "?ComPort"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, run.out);
    EXPECT_EQ(quiet.err, "drvkeltor: the printer was found on " + port + " at 9600 baud\n");
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
    // Nothing runs, not even what comes before the bad item; every bad item is named.
    const ToolResult run = RunDrvkeltor({"?Price", "Bogus", "Price=x", "?Price"});
    EXPECT_EQ(run.exitCode, kExitUsage);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("argument 2: the driver has no member Bogus"), std::string::npos);
    EXPECT_NE(run.err.find("argument 3: Price (CY): \"x\" is not an amount"), std::string::npos);
    EXPECT_NE(run.err.find("nothing was called"), std::string::npos) << run.err;
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
