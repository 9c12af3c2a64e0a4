// The state file and the paper file.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "LineClient.h"
#include "PrinterState.h"
#include "StateText.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

TEST(EmuStateText, EveryByteSurvivesEscaping) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    const std::string escaped = emu::EscapeStateValue(all);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(escaped.find('\r'), std::string::npos);
    std::string back;
    ASSERT_TRUE(emu::UnescapeStateValue(escaped, back));
    EXPECT_EQ(back, all);
}

TEST(EmuStateText, BrokenEscapesAreRefusedAndLeaveTheValue) {
    std::string value = "kept";
    for (const char* bad : {"abc\\", "\\q", "\\x4", "\\xG0", "x\\x"}) {
        EXPECT_FALSE(emu::UnescapeStateValue(bad, value)) << bad;
        EXPECT_EQ(value, "kept");
    }
}

TEST(EmuStateText, ParseRefusesWhatIsNotAStateFile) {
    emu::StateReader reader;
    EXPECT_EQ(reader.Parse(""), -EINVAL);
    EXPECT_EQ(reader.Parse("status=00C0\n"), -EINVAL);                            // no format line
    EXPECT_EQ(reader.Parse("vprinter-state 1\nstatus\n"), -EINVAL);               // no '='
    EXPECT_EQ(reader.Parse("vprinter-state 1\n=5\n"), -EINVAL);                   // no key
    EXPECT_EQ(reader.Parse("vprinter-state 1\na=1\na=2\n"), -EINVAL);             // key twice
    EXPECT_EQ(reader.Parse("vprinter-state 1\r\n# note\r\n\r\nb=x\\ny\r\n"), 0);  // CRLF is fine
    std::string text;
    EXPECT_TRUE(reader.Text("b", text));
    EXPECT_EQ(text, "x\ny");
    EXPECT_FALSE(reader.Has("a"));  // a failed parse left nothing behind
}

TEST(EmuPrinterState, RoundTripsAndKeepsDefaultsForMissingItems) {
    emu::PrinterState state;
    state.status = 0x8001;
    state.blocking = 0x1008;
    const std::string text = emu::SaveState(state);
    EXPECT_EQ(text.rfind("vprinter-state 1\nstatus=8001\nblocking=1008\n", 0), 0u);
    emu::PrinterState loaded;
    ASSERT_EQ(emu::LoadState(text, loaded), 0);
    EXPECT_EQ(loaded.status, 0x8001);
    EXPECT_EQ(loaded.blocking, 0x1008);

    ASSERT_EQ(emu::LoadState("vprinter-state 1\nstatus=0001\nfuture=1\n", loaded), 0);
    EXPECT_EQ(loaded.status, 0x0001);
    EXPECT_EQ(loaded.blocking, emu::kInitialBlocking);
}

TEST(EmuPrinterState, DamagedValuesLeaveTheStateAlone) {
    emu::PrinterState state;
    state.status = 0x1111;
    for (const char* bad : {"vprinter-state 1\nstatus=12345\n", "vprinter-state 1\nstatus=\n",
                            "vprinter-state 1\nblocking=00G0\n", "vprinter-state 2\n"}) {
        EXPECT_EQ(emu::LoadState(bad, state), -EINVAL) << bad;
        EXPECT_EQ(state.status, 0x1111);
    }
}

// A state with every item away from its default.
emu::PrinterState Unusual() {
    emu::PrinterState state;
    state.status = 0x80D3;
    state.blocking = 0x0240;
    state.counters = {4000000000u, 12, 345, 20};
    state.clock.offsetSeconds = -86400;
    state.clock.fixed = true;
    state.clock.fixedTime = {2031, 7, 9, 8, 7, 6};
    state.identity.countryCode = "112";
    state.identity.serialNumber = testsupport::Cp1251("ЗН 7\\8");
    state.identity.unitRegisterNumber = "R";
    state.identity.unitSerialNumber = "";
    state.identity.modelName = "0000X";
    state.identity.initializationNumber = 3;
    state.identity.initializationOptions = 0xDEADBEEF;
    state.identity.taxpayerAccountNumber = "1";
    state.identity.firmwareMnemonic = "F";
    state.identity.firmwareVersion = "9";
    state.hardware.sensors = "1";
    state.hardware.temperature = -40;
    state.hardware.receipt = {1, 2, "r"};
    state.hardware.journal = {3, 4, ""};
    state.hardware.cutterCode = 5;
    state.hardware.cutterState = "jam";
    state.currencies = {{933, "BYN", 2}, {1, "x", 0}};
    state.baseCurrency = "X";
    state.journalFault = emu::JournalFault::ClearedByRestartReset;
    state.unit.lock = emu::UnitLock::AfterAuth;
    state.unit.error = 50;
    state.receiptClosing = true;
    return state;
}

TEST(EmuPrinterState, EveryItemRoundTrips) {
    const emu::PrinterState state = Unusual();
    const std::string text = emu::SaveState(state);
    emu::PrinterState loaded;
    ASSERT_EQ(emu::LoadState(text, loaded), 0);
    EXPECT_EQ(emu::SaveState(loaded), text);
    EXPECT_EQ(loaded.counters.document, 4000000000u);
    EXPECT_EQ(loaded.clock.fixedTime.year, 2031);
    EXPECT_EQ(loaded.identity.serialNumber, state.identity.serialNumber);
    EXPECT_EQ(loaded.hardware.temperature, -40);
    ASSERT_EQ(loaded.currencies.size(), 2u);
    EXPECT_EQ(loaded.currencies[0].number, 933u);
    EXPECT_EQ(loaded.currencies[1].code, "x");
    EXPECT_EQ(loaded.unit.lock, emu::UnitLock::AfterAuth);
    EXPECT_EQ(loaded.journalFault, emu::JournalFault::ClearedByRestartReset);
    EXPECT_TRUE(loaded.receiptClosing);
    // The table keeps the wire's separators, escaped.
    EXPECT_NE(text.find("\ncurrencies=933\\x1DBYN\\x1D2\\x1C1\\x1Dx\\x1D0\n"), std::string::npos);
    EXPECT_NE(text.find("\nclock-fixed=20310709080706\n"), std::string::npos);
    EXPECT_NE(text.find("\ninit-options=DEADBEEF\n"), std::string::npos);
}

TEST(EmuPrinterState, ValuesThePrinterCouldNotHoldAreDamage) {
    const emu::PrinterState state = Unusual();
    const std::string saved = emu::SaveState(state);
    for (const char* bad :
         {"document=-1", "document=4294967296", "document=1x", "clock-fixed=20250229000000",
          "clock-fixed=2025", "clock-offset=9e9", "clock-offset=99999999999", "serial=a\\x1Cb",
          "sensors=102", "temperature=2147483648", "currencies=1\\x1DRUB", "currencies=",
          "currencies=1\\x1DRUB\\x1D2\\x1C1\\x1DUSD\\x1D2", "base-currency=EUR", "journal-fault=4",
          "unit-lock=5", "unit-error=256", "init-options=123456789", "receipt-closing=2"}) {
        emu::PrinterState target = state;
        EXPECT_EQ(emu::MergeState(std::string("vprinter-state 1\n") + bad + "\n", target), -EINVAL)
            << bad;
        EXPECT_EQ(emu::SaveState(target), saved) << bad;
    }
}

TEST(EmuPrinterState, MergeChangesOnlyWhatItNames) {
    emu::PrinterState state = Unusual();
    ASSERT_EQ(emu::MergeState("vprinter-state 1\nserial=NEW\nclock-fixed=\nreceipt=9\n", state), 0);
    EXPECT_EQ(state.identity.serialNumber, "NEW");
    EXPECT_FALSE(state.clock.fixed);
    EXPECT_EQ(state.clock.offsetSeconds, -86400);
    EXPECT_EQ(state.counters.receipt, 9u);
    EXPECT_EQ(state.counters.document, 4000000000u);
    EXPECT_EQ(state.identity.modelName, "0000X");
    // Load, unlike merge, starts from a printer out of the box.
    ASSERT_EQ(emu::LoadState("vprinter-state 1\nserial=NEW\n", state), 0);
    EXPECT_EQ(state.identity.modelName, emu::PrinterIdentity().modelName);
    EXPECT_EQ(state.counters.document, 0u);
}

TEST(VirtualPrinterState, ABlockAndWhatCuresItSurviveAPowerCycle) {
    TempDir dir;
    const std::string path = dir.file("state.txt");
    {
        emu::VirtualPrinter printer;
        ASSERT_EQ(printer.SetStateFile(path), 0);
        ASSERT_EQ(printer.Start(), 0);
        emu::Fault f;
        f.kind = emu::FaultKind::DeviceError;
        f.code = 50;
        ASSERT_EQ(printer.InjectFault(f), 0);
        emutest::LineClient line(printer.DevicePath());
        ASSERT_TRUE(line.ok());
        ASSERT_FALSE(line.Exchange('Z', "gs").empty());
    }
    emu::VirtualPrinter again;
    ASSERT_EQ(again.SetStateFile(path), 0);
    ASSERT_EQ(again.Start(), 0);
    emutest::LineClient line(again.DevicePath());
    ASSERT_TRUE(line.ok());
    const std::string refused = std::string("vc") + emutest::FS + "32" + emutest::FS + "80C00200";
    EXPECT_EQ(line.Exchange('Z', "vc"), emutest::Frame('Z', refused));
    EXPECT_FALSE(line.Exchange('0', std::string("vw") + emutest::FS + "AUTH").empty());
    EXPECT_EQ(line.Exchange('1', "vc"), emutest::Frame('1', std::string("vc") + emutest::FS + "00" +
                                                                emutest::FS + "00C00000"));
}

TEST(EmuStateFile, WritesWholeFilesAndReadsThemBack) {
    TempDir dir;
    const std::string path = dir.file("state.txt");
    emu::PrinterState state;
    EXPECT_EQ(emu::ReadStateFile(path, state), -ENOENT);
    state.status = 0x0041;
    ASSERT_EQ(emu::WriteStateFile(path, state), 0);
    EXPECT_FALSE(FileExists(path + ".tmp"));
    emu::PrinterState loaded;
    ASSERT_EQ(emu::ReadStateFile(path, loaded), 0);
    EXPECT_EQ(loaded.status, 0x0041);
    EXPECT_EQ(emu::WriteStateFile(dir.file("missing/state.txt"), state), -ENOENT);
}

TEST(VirtualPrinterState, SavesEveryChangeAndLoadsOnTheNextRun) {
    TempDir dir;
    const std::string path = dir.file("state.txt");
    {
        emu::VirtualPrinter printer;
        ASSERT_EQ(printer.SetStateFile(path), 0);
        EXPECT_TRUE(FileExists(path));  // a fresh printer creates its file
        printer.SetStatusWords(0x0081, 0x0008);
        EXPECT_NE(ReadFileBytes(path).find("\nstatus=0081\nblocking=0008\n"), std::string::npos);
        printer.ChangeState([](emu::PrinterState& s) { s.blocking = 0x0200; });
        EXPECT_NE(ReadFileBytes(path).find("\nstatus=0081\nblocking=0200\n"), std::string::npos);
        emu::DocumentCounters counters;
        counters.document = 77;
        printer.SetDocumentCounters(counters);
        EXPECT_NE(ReadFileBytes(path).find("\ndocument=77\n"), std::string::npos);
    }
    emu::VirtualPrinter again;
    ASSERT_EQ(again.SetStateFile(path), 0);
    EXPECT_EQ(again.StatusWord(), 0x0081);
    EXPECT_EQ(again.BlockingWord(), 0x0200);
    EXPECT_EQ(again.State().counters.document, 77u);
}

TEST(VirtualPrinterState, ADamagedStateFileIsRefusedAndNeverOverwritten) {
    TempDir dir;
    const std::string path = dir.file("state.txt");
    WriteFileBytes(path, "not a state\n");
    emu::VirtualPrinter printer;
    EXPECT_EQ(printer.SetStateFile(path), -EINVAL);
    EXPECT_EQ(printer.StatusWord(), emu::kInitialStatus);
    printer.SetStatusWords(0x0001, 0);
    EXPECT_EQ(ReadFileBytes(path), "not a state\n");
}

TEST(VirtualPrinterPaper, EveryPowerOnIsPrinted) {
    TempDir dir;
    const std::string paper = dir.file("paper.txt");
    emu::VirtualPrinter printer;
    printer.SetPaperFile(paper);
    ASSERT_EQ(printer.Start(), 0);
    printer.Stop();
    ASSERT_EQ(printer.Start(), 0);
    const std::string text = ReadFileBytes(paper);
    const std::string title = testsupport::Cp1251("ВИРТУАЛЬНЫЙ ФИСКАЛЬНЫЙ ПРИНТЕР: ВКЛЮЧЕНИЕ");
    size_t first = text.find(title);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.find(title, first + 1), std::string::npos);
    EXPECT_EQ(emutest::CountOf(text, '\n'), 2u);
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
