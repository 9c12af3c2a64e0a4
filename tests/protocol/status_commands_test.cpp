// Status, identification and link commands against the virtual printer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

using StatusCommands = PrinterFixture;
using Strings = std::vector<std::string>;

TEST_F(StatusCommands, AttachChecksThePrinterAndLoadsItsCurrencies) {
    ASSERT_EQ(printer.SetCurrencies({{1, "RUB", 2}, {7, "USD", 2}, {9, "JPY", 0}}, "usd"), 0);
    ASSERT_EQ(layer.Attach(kPrinterPort, "9600"), 0);
    EXPECT_EQ(Payloads(), (Strings{"gs", "gc"}));
    EXPECT_EQ(Sequences(), (std::vector<char>{'Z', '0'}));
    ASSERT_EQ(layer.CurrencyCount(), 3);
    EXPECT_EQ(layer.Currency(1)->code, 7);
    EXPECT_STREQ(layer.Currency(1)->name, "USD");
    EXPECT_EQ(layer.Currency(2)->decimals, 0);
    EXPECT_EQ(layer.Currency(3), nullptr);
    // The base currency came in lower case.
    EXPECT_EQ(layer.CurrentCurrency(), 1);
    EXPECT_EQ(layer.FindCurrency("jpy"), 2);
    EXPECT_EQ(layer.FindCurrency("Rub"), 0);
    EXPECT_EQ(layer.FindCurrency("EUR"), 1);
    EXPECT_EQ(layer.FindCurrency(nullptr), 1);
    EXPECT_EQ(layer.LinkPort(), kPrinterPort);
    EXPECT_EQ(layer.IsLinked(), 1);

    // Another table whose base is not where the old current index was.
    ASSERT_EQ(printer.SetCurrencies({{5, "EUR", 2}}, "EUR"), 0);
    EXPECT_EQ(layer.LoadCurrencies(), 0);
    EXPECT_EQ(layer.CurrencyCount(), 1);
    EXPECT_EQ(layer.CurrentCurrency(), 0);
}

TEST_F(StatusCommands, AttachingTwiceKeepsTheLinkAndItsSequence) {
    ASSERT_EQ(layer.Attach(kPrinterPort, "9600"), 0);
    AsyncComX28* link = layer.Link();
    ASSERT_NE(link, nullptr);
    ASSERT_EQ(layer.Attach(kPrinterPort, "19200"), 0);
    EXPECT_EQ(layer.Link(), link);
    EXPECT_EQ(Sequences(), (std::vector<char>{'Z', '0', '1', '2'}));

    // Another port: a new link, starting again at 'Z'.
    emu::VirtualPrinter second;
    ASSERT_EQ(second.Start(), 0);
    ASSERT_EQ(second.RegisterPort(4), 4);
    ASSERT_EQ(layer.Attach(4, "9600"), 0);
    EXPECT_EQ(layer.LinkPort(), 4);
    std::vector<char> sequences;
    for (const emu::ReceivedFrame& frame : second.Frames()) {
        sequences.push_back(frame.sequence);
    }
    EXPECT_EQ(sequences, (std::vector<char>{'Z', '0'}));
    EXPECT_EQ(printer.Frames().size(), 4U);
    layer.Detach();
}

TEST_F(StatusCommands, AttachFailuresCloseThePort) {
    EXPECT_EQ(layer.Attach(0, "9600"), kBrontalLinkFailed);
    EXPECT_EQ(layer.Attach(kPrinterPort, nullptr), kBrontalLinkFailed);
    EXPECT_EQ(layer.Attach(kPrinterPort, "fast"), kBrontalLinkFailed);
    EXPECT_EQ(layer.Attach(9, "9600"), kBrontalLinkFailed);  // not in the port map
    EXPECT_TRUE(printer.Frames().empty());

    // A printer that does not answer: every attempt times out and the port is closed.
    ASSERT_TRUE(UseRetryCount(1));
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    ASSERT_EQ(printer.InjectFault(silence), 0);
    EXPECT_EQ(layer.Attach(kPrinterPort, "9600"), kX28PacketTimeout);
    AsyncComX28* closed = layer.Link();
    ASSERT_NE(closed, nullptr);
    EXPECT_FALSE(closed->IsOpen());

    // The closed link is replaced by the next Attach. The printer may hold 'Z' with an answer
    // to the unanswered "gs", so the new link goes on after it.
    ASSERT_EQ(layer.Attach(kPrinterPort, "9600"), 0);
    ASSERT_NE(layer.Link(), nullptr);
    EXPECT_TRUE(layer.Link()->IsOpen());
    EXPECT_EQ(Sequences(), (std::vector<char>{'Z', '0', '1'}));

    // A printer that answers "gs" with a device error: its device result, and the port closed.
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 0x0B;
    fault.command = "gs";
    ASSERT_EQ(printer.InjectFault(fault), 0);
    EXPECT_EQ(layer.Attach(kPrinterPort, "9600"), -9211);
    ASSERT_NE(layer.Link(), nullptr);
    EXPECT_FALSE(layer.Link()->IsOpen());
    EXPECT_EQ(Payloads(), (Strings{"gs", "gs", "gc", "gs"}));
}

TEST_F(StatusCommands, StatusAndDocumentNumbers) {
    AttachAndClear();
    printer.SetStatusWords(0x2083, 0x0208);
    WORD status = 0;
    WORD blocking = 0;
    EXPECT_EQ(layer.GetStatus(&status, &blocking), 0);
    EXPECT_EQ(status, 0x2083);
    EXPECT_EQ(blocking, 0x0208);

    printer.SetDocumentCounters({1234567, 42, 17, 1});
    DWORD document = 0;
    DWORD session = 0;
    DWORD receipt = 0;
    int type = -1;
    EXPECT_EQ(layer.ReadDocumentNumbers(&document, &session, &receipt, &type), 0);
    EXPECT_EQ(document, 1234567U);
    EXPECT_EQ(session, 42U);
    EXPECT_EQ(receipt, 17U);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(layer.LastDocumentNumber(), 1234567U);
    EXPECT_EQ(Payloads(), (Strings{"gs", "gn"}));
}

TEST_F(StatusCommands, DocumentType20DuringAReceiptIsTheKindTheLayerKnows) {
    AttachAndClear();
    printer.SetDocumentCounters({5, 1, 2, 20});
    const struct {
        unsigned status;
        int kind;
        int reported;
    } cases[] = {
        {0x0003, 2, 2}, {0x0003, 1, 1}, {0x0003, 0, 20}, {0x0003, 20, 20}, {0x0001, 2, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " " << c.kind);
        printer.SetStatusWords(static_cast<uint16_t>(c.status), 0);
        layer.ResetTotal(c.kind, 0, 0);
        int type = -1;
        ASSERT_EQ(layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, &type), 0);
        EXPECT_EQ(type, c.reported);
    }
    // Another reported type is never replaced.
    printer.SetDocumentCounters({5, 1, 2, 10});
    printer.SetStatusWords(0x0003, 0);
    layer.ResetTotal(2, 0, 0);
    int type = -1;
    ASSERT_EQ(layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, &type), 0);
    EXPECT_EQ(type, 10);
}

TEST_F(StatusCommands, ClockHeaderOfTheReply) {
    AttachAndClear();
    ASSERT_EQ(printer.SetFixedClock({2026, 12, 7, 1, 52, 7}), 0);
    char date[16] = "x";
    char time[16] = "x";
    EXPECT_EQ(layer.ReadClock(date, sizeof date, time, sizeof time), 0);
    EXPECT_STREQ(date, "20261207");
    EXPECT_STREQ(time, "015207");
    char shortDate[5];
    EXPECT_EQ(layer.ReadClock(shortDate, sizeof shortDate, time, sizeof time), 0);
    EXPECT_STREQ(shortDate, "2026");
}

TEST_F(StatusCommands, IdentificationTextsInTheirOrderAndCapacities) {
    AttachAndClear();
    emu::PrinterIdentity identity;
    identity.countryCode = "804";
    identity.serialNumber = "ZZ77";
    identity.unitRegisterNumber = "REG-1";
    identity.unitSerialNumber = "SER-2";
    identity.modelName = "000MINI";
    identity.initializationNumber = 3;
    identity.initializationOptions = 0x1A201;
    identity.taxpayerAccountNumber = "ACC-9";
    identity.firmwareMnemonic = "MNEM";
    identity.firmwareVersion = "1.2.3";
    ASSERT_EQ(printer.SetIdentity(identity), 0);

    char country[8];
    char serial[8];
    char unitSerial[8];
    char unitRegistration[8];
    char model[5];
    ASSERT_EQ(layer.ReadManufacturerData(country, sizeof country, serial, sizeof serial, unitSerial,
                                         sizeof unitSerial, unitRegistration,
                                         sizeof unitRegistration, model, sizeof model),
              0);
    EXPECT_STREQ(country, "804");
    EXPECT_STREQ(serial, "ZZ77");
    EXPECT_STREQ(unitSerial, "SER-2");
    EXPECT_STREQ(unitRegistration, "REG-1");
    EXPECT_STREQ(model, "000M");

    LONG number = 0;
    DWORD options = 0;
    char account[16];
    ASSERT_EQ(layer.ReadInitializationData(&number, &options, account, sizeof account), 0);
    EXPECT_EQ(number, 3);
    EXPECT_EQ(options, 0x1A201U);
    EXPECT_STREQ(account, "ACC-9");

    char mnemonic[8];
    char version[8];
    ASSERT_EQ(layer.ReadFirmware(mnemonic, sizeof mnemonic, version, sizeof version), 0);
    EXPECT_STREQ(mnemonic, "MNEM");
    EXPECT_STREQ(version, "1.2.3");
    EXPECT_EQ(Payloads(), (Strings{"gm", "gi", "gx"}));
}

TEST_F(StatusCommands, HardwareStatusAllValues) {
    AttachAndClear();
    emu::HardwareStatus hardware;
    hardware.sensors = "10100101";
    hardware.temperature = -5;
    hardware.receipt = {0xABCD, 42, "RECEIPT-HEAD"};
    hardware.journal = {0x12, 24, "JOURNAL"};
    hardware.cutterCode = 0x7F;
    hardware.cutterState = "JAM";
    ASSERT_EQ(printer.SetHardwareStatus(hardware), 0);
    ::HardwareStatus status = {};
    ASSERT_EQ(layer.ReadHardwareStatus(&status), 0);
    EXPECT_EQ(status.sensorBits, 0xA5U);
    EXPECT_EQ(status.number, -5);
    EXPECT_EQ(status.firstCode, 0xABCDU);
    EXPECT_EQ(status.printerWidth, 42);
    EXPECT_STREQ(status.printerName, "RECEIPT-HEAD");
    EXPECT_EQ(status.secondCode, 0x12U);
    EXPECT_EQ(status.secondWidth, 24);
    EXPECT_STREQ(status.secondName, "JOURNAL");
    EXPECT_EQ(status.thirdCode, 0x7FU);
    EXPECT_STREQ(status.lastText, "JAM");
    EXPECT_EQ(Payloads(), Strings{"gw"});
    EXPECT_EQ(layer.ReadHardwareStatus(nullptr), kBrontalBadArguments);
}

TEST_F(StatusCommands, ResetAndRestart) {
    AttachAndClear();
    printer.SetStatusWords(0x0010 | 0x00C0, 0);
    EXPECT_EQ(layer.ResetPrinterFault(), 0);
    EXPECT_EQ(printer.StatusWord() & 0x0010, 0);
    EXPECT_EQ(layer.GetStatusWords(nullptr) & kStatusNeedReset, 0);
    // The printer sends nothing back to "c0", and the layer does not wait for it.
    EXPECT_EQ(layer.RestartPrinter(), 0);
    ASSERT_TRUE(printer.WaitForFrames(2, 2000));
    EXPECT_EQ(Payloads(), (Strings{"cr", "c0"}));
    EXPECT_EQ(printer.Requests(), (Strings{"cr", "c0"}));
}

TEST_F(StatusCommands, ADeviceErrorBecomesTheResult) {
    AttachAndClear();
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 0x21;
    ASSERT_EQ(printer.InjectFault(fault), 0);
    char date[16] = "keep";
    char time[16] = "keep";
    EXPECT_EQ(layer.ReadClock(date, sizeof date, time, sizeof time), -9233);
    EXPECT_STREQ(date, "keep");
    EXPECT_EQ(layer.GetStatus(nullptr, nullptr), 0);
    EXPECT_EQ(layer.DeviceResult(), 0);
}

TEST_F(StatusCommands, EveryRequestOnTheWire) {
    ASSERT_EQ(layer.Attach(kPrinterPort, "9600"), 0);
    layer.GetStatus(nullptr, nullptr);
    layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, nullptr);
    char a[16];
    char b[16];
    char c[16];
    char d[16];
    char e[16];
    layer.ReadClock(a, sizeof a, b, sizeof b);
    layer.ReadManufacturerData(a, sizeof a, b, sizeof b, c, sizeof c, d, sizeof d, e, sizeof e);
    LONG number = 0;
    DWORD options = 0;
    layer.ReadInitializationData(&number, &options, a, sizeof a);
    ::HardwareStatus hardware = {};
    layer.ReadHardwareStatus(&hardware);
    layer.ReadFirmware(a, sizeof a, b, sizeof b);
    layer.LoadCurrencies();
    layer.ResetPrinterFault();
    layer.RestartPrinter();
    ASSERT_TRUE(printer.WaitForFrames(12, 2000));
    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    const Strings expected = {"gs", "gc", "gs", "gn", "gt", "gm",
                              "gi", "gw", "gx", "gc", "cr", "c0"};
    ASSERT_EQ(frames.size(), expected.size());
    // Every frame is new work with a sound check byte, its sequence one on from the last reply.
    const char sequences[] = "Z0123456789:";
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(frames[i].payload, expected[i]);
        EXPECT_TRUE(frames[i].checkOk);
        EXPECT_FALSE(frames[i].repeated);
        EXPECT_EQ(frames[i].sequence, sequences[i]);
    }
}

}  // namespace
}  // namespace prottest
