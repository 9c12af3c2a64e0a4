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
    EXPECT_EQ(text, "vprinter-state 1\nstatus=8001\nblocking=1008\n");
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
        EXPECT_EQ(ReadFileBytes(path), "vprinter-state 1\nstatus=0081\nblocking=0008\n");
        printer.ChangeState([](emu::PrinterState& s) { s.blocking = 0x0200; });
        EXPECT_EQ(ReadFileBytes(path), "vprinter-state 1\nstatus=0081\nblocking=0200\n");
    }
    emu::VirtualPrinter again;
    ASSERT_EQ(again.SetStateFile(path), 0);
    EXPECT_EQ(again.StatusWord(), 0x0081);
    EXPECT_EQ(again.BlockingWord(), 0x0200);
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
