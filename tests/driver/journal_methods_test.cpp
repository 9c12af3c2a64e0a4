// Electronic journal methods through the component: block reads on the wire, the data property,
// the journal files, validation by checksum and by force, printing the journal text, the
// offset getter, and the read with and without the progress window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <mutex>

#include "PrinterSession.h"
#include "RecordingPresenter.h"

using namespace client;
using namespace testsupport;

namespace {

std::string JournalFileName(DWORD session) {
    char name[16];  // "%08u.txt" and the terminator
    std::snprintf(name, sizeof name, "%08u.txt", session);
    return name;
}

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

class Journal : public PrinterSession {
  protected:
    // A day with `documents` non-fiscal documents of `lines` lines each, so that its journal
    // holds something to read; the log is cleared afterwards.
    void FillDay(int documents, int lines) {
        ASSERT_EQ(Result(member::OpenDay), S_OK) << Description();
        Put(member::ReceiptType, UI2(0));
        for (int d = 0; d < documents; ++d) {
            ASSERT_EQ(Result(member::OpenReceipt), S_OK) << Description();
            for (int l = 0; l < lines; ++l) {
                char text[64];  // the line and the terminator
                std::snprintf(text, sizeof text, "Document %02d line %02d: journal text", d, l);
                PutText(member::StringToPrint, text);
                ASSERT_EQ(Result(member::PrintLine), S_OK) << Description();
            }
            ASSERT_EQ(Result(member::CloseReceipt), S_OK) << Description();
        }
        printer_.ClearLog();
    }

    DWORD CurrentSession() const { return printer_.State().counters.session; }

    // The length of the session's journal as the printer reports it.
    DWORD JournalLength(DWORD sessionNumber) {
        EXPECT_EQ(
            D().Put(member::SessionNumber, client::UI2(static_cast<USHORT>(sessionNumber))).hr,
            S_OK);
        const ULONG length = D().GetUI4(member::ElectronicJournalReadOffset);
        printer_.ClearLog();
        return length;
    }

    void SetRead(DWORD sessionNumber, DWORD offset, DWORD size, bool suppressProgress) {
        ASSERT_EQ(
            D().Put(member::SessionNumber, client::UI2(static_cast<USHORT>(sessionNumber))).hr,
            S_OK);
        Put(member::ElectronicJournalReadOffset, UI4(offset));
        Put(member::ElectronicJournalReadSize, UI4(size));
        ASSERT_EQ(
            D().Put(member::SuppressEJournalReadProgress, client::I4(suppressProgress ? 1 : 0)).hr,
            S_OK);
    }

    std::vector<std::string> BlockRequests() const {
        std::vector<std::string> out;
        for (const std::string& request : Requests()) {
            if (request.compare(0, 2, "jg") == 0) {
                out.push_back(request);
            }
        }
        return out;
    }

    std::string Data() { return Cp1251(client::Utf8(D().GetText(member::ElectronicJournalData))); }

    testsupport::TempDir files_;
    drivertest::RecordingPresenter progress_;
};

// ---- reading ----

TEST_F(Journal, AReadGoesOutInBlocksOf512FromTheOffset) {
    Connect();
    FillDay(4, 12);
    const DWORD sessionNumber = CurrentSession();
    ASSERT_GE(JournalLength(sessionNumber), 1316u);
    SetRead(sessionNumber, 0x10, 1300, true);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    const std::string s = std::to_string(sessionNumber);
    EXPECT_EQ(BlockRequests(),
              (std::vector<std::string>{"jg" + kFs + s + kFs + "10" + kFs + "200",
                                        "jg" + kFs + s + kFs + "210" + kFs + "200",
                                        "jg" + kFs + s + kFs + "410" + kFs + "114"}))
        << Printable(Requests());
    const std::string data = Data();
    EXPECT_EQ(data.size(), 1300u);
    EXPECT_NE(data.find("Document 00 line"), std::string::npos);
    // Without the progress window nothing was shown.
    EXPECT_TRUE(progress_.Only("shown").empty());
}

TEST_F(Journal, TheThreadedReadShowsItsProgressAndReadsTheSameBytes) {
    Connect();
    FillDay(4, 12);
    const DWORD sessionNumber = CurrentSession();
    SetRead(sessionNumber, 0, 1200, true);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    const std::string direct = Data();
    printer_.ClearLog();

    SetRead(sessionNumber, 0, 1200, false);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    EXPECT_EQ(Data(), direct);
    EXPECT_EQ(BlockRequests().size(), 3u) << Printable(Requests());
    EXPECT_EQ(progress_.Only("shown"), Strings{"shown Чтение электронного журнала"});
    const Strings bar = progress_.Only("bar 0..1200 at ");
    ASSERT_FALSE(bar.empty()) << Printable(progress_.Only("bar"));
    // The close is sent, the last bar position only posted: the window may end before it moves.
    EXPECT_LE(std::stoi(bar.back().substr(std::string("bar 0..1200 at ").size())), 1200);
    EXPECT_EQ(progress_.Only("bar").back(), bar.back());
    EXPECT_EQ(progress_.Only("ended"), Strings{"ended " + std::to_string(IDOK)});
}

TEST_F(Journal, AThreadedReadThatFailsReportsTheWorkersCode) {
    Connect();
    FillDay(4, 12);
    SetRead(CurrentSession(), 0, 1200, true);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK);
    const std::string before = Data();

    FailNext("jg", 3);
    SetRead(CurrentSession(), 0x200, 1200, false);
    PutText(member::ElectronicJournalSavePath, files_.path());
    EXPECT_EQ(Result(member::ReadElectronicJournal), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(ResultCode(), -9203);
    // A broken read changes nothing: the data of the read before, and no file.
    EXPECT_EQ(Data(), before);
    EXPECT_FALSE(testsupport::FileExists(files_.file(JournalFileName(CurrentSession()))));
    EXPECT_EQ(progress_.Only("ended"), Strings{"ended " + std::to_string(IDCANCEL)});
}

TEST_F(Journal, ABlockFailingHalfwayLeavesDataAndFilesAlone) {
    Connect();
    FillDay(4, 12);
    const DWORD sessionNumber = CurrentSession();
    const std::string file = files_.file(JournalFileName(sessionNumber));
    testsupport::WriteFileBytes(file, "kept");
    PutText(member::ElectronicJournalSavePath, files_.path());
    SetRead(sessionNumber, 0, 1300, true);
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 3;
    fault.command = "jg";
    // The first block is answered, the second refused.
    fault.frames = 1;
    emu::Fault pass;
    pass.kind = emu::FaultKind::SlowBytes;
    pass.periodMs = 0;
    pass.command = "jg";
    ASSERT_EQ(printer_.InjectFault(pass), 0);
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    EXPECT_EQ(Result(member::ReadElectronicJournal), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(BlockRequests().size(), 2u) << Printable(Requests());
    EXPECT_EQ(Data(), "");
    EXPECT_EQ(testsupport::ReadFileBytes(file), "kept");
}

TEST_F(Journal, AnEmptyReadSendsNoBlockAndSavesAnEmptyFile) {
    Connect();
    PutText(member::ElectronicJournalSavePath, files_.path());
    SetRead(7, 0, 0, false);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    EXPECT_TRUE(BlockRequests().empty()) << Printable(Requests());
    EXPECT_EQ(Data(), "");
    const std::string file = files_.file("00000007.txt");
    ASSERT_TRUE(testsupport::FileExists(file));
    EXPECT_EQ(testsupport::ReadFileBytes(file), "");
    // The progress window opened and closed at once.
    EXPECT_EQ(progress_.Only("ended"), Strings{"ended " + std::to_string(IDOK)});
}

TEST_F(Journal, ARangeBeyondTheLastOffsetIsRefusedBeforeAnythingIsSent) {
    Connect();
    SetRead(1, 0xFFFFFF00U, 0x200, true);
    EXPECT_EQ(Result(member::ReadElectronicJournal), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(BlockRequests().empty());
}

// ---- files ----

TEST_F(Journal, AFolderGetsTheSessionsFileWithOrWithoutATrailingSeparator) {
    Connect();
    FillDay(2, 10);
    const DWORD sessionNumber = CurrentSession();
    SetRead(sessionNumber, 0, 600, true);
    const std::string name = JournalFileName(sessionNumber);
    const std::string first = files_.file("first");
    const std::string second = files_.file("second");
    ASSERT_TRUE(MakeFolder(first));
    ASSERT_TRUE(MakeFolder(second));

    PutText(member::ElectronicJournalSavePath, first);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    const std::string data = Data();
    EXPECT_EQ(testsupport::ReadFileBytes(first + "/" + name), data);

    PutText(member::ElectronicJournalSavePath, second + "\\");
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    EXPECT_EQ(testsupport::ReadFileBytes(second + "/" + name), data);

    // Any other path is the file itself, replaced whole.
    const std::string named = files_.file("day.bin");
    testsupport::WriteFileBytes(named, std::string(5000, 'x'));
    PutText(member::ElectronicJournalSavePath, named);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    EXPECT_EQ(testsupport::ReadFileBytes(named), data);
}

TEST_F(Journal, AFolderWithACyrillicName) {
    Connect();
    FillDay(1, 10);
    const DWORD sessionNumber = CurrentSession();
    const std::string folder = files_.file("Журнал кассы");
    ASSERT_TRUE(MakeFolder(folder));
    PutText(member::ElectronicJournalSavePath, folder);
    SetRead(sessionNumber, 0, 300, true);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    const std::string file = folder + "/" + JournalFileName(sessionNumber);
    ASSERT_TRUE(testsupport::FileExists(file));
    EXPECT_EQ(testsupport::ReadFileBytes(file), Data());
}

TEST_F(Journal, SessionZeroAsksForTheCurrentSessionToNameTheFile) {
    Connect();
    FillDay(1, 10);
    const DWORD sessionNumber = CurrentSession();
    ASSERT_GT(sessionNumber, 0u);
    PutText(member::ElectronicJournalSavePath, files_.path());
    SetRead(0, 0, 100, true);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    EXPECT_TRUE(Sent("gn"));
    ASSERT_FALSE(BlockRequests().empty());
    EXPECT_EQ(BlockRequests().front(), "jg" + kFs + "0" + kFs + "0" + kFs + "64");
    EXPECT_EQ(D().GetUI2(member::SessionNumber), sessionNumber);
    EXPECT_TRUE(testsupport::FileExists(files_.file(JournalFileName(sessionNumber))));
}

TEST_F(Journal, WithoutASavePathNothingIsWrittenAndNoNumbersAreAsked) {
    Connect();
    FillDay(1, 10);
    SetRead(0, 0, 100, true);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK) << Description();
    EXPECT_FALSE(Sent("gn"));
    EXPECT_EQ(Data().size(), 100u);
}

// ---- validation ----

TEST_F(Journal, ValidationWithoutTheNeedSendsNothingButStatusQueries) {
    Connect();
    SetStatus(emu::kStatusJournalPresent | emu::kStatusFiscal);
    ASSERT_EQ(Result(member::ReadAndValidateElectronicJournal), S_OK);
    ASSERT_EQ(Result(member::ForceValidateElectronicJournal), S_OK);
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
    EXPECT_EQ(ResultCode(), 0);
}

TEST_F(Journal, AValidationThatCannotSeeThePrinterSaysSo) {
    Connect();
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.frames = 1000;
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    // The report loses the link; the refresh of the validation has to ask and gets no answer.
    EXPECT_EQ(Result(member::PrintCashierReport), E_FAIL);
    const SHORT lost = ResultCode();
    EXPECT_LT(lost, -8100);
    printer_.ClearLog();
    EXPECT_EQ(Result(member::ReadAndValidateElectronicJournal), E_FAIL);
    EXPECT_EQ(ResultCode(), lost);
    EXPECT_FALSE(Description().empty());
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
}

TEST_F(Journal, ForcedValidationSendsValidOrTheGivenChecksum) {
    Connect();
    const uint16_t wanting =
        emu::kStatusJournalPresent | emu::kStatusFiscal | emu::kStatusJournalNeedValidate;
    SetStatus(wanting);
    ASSERT_EQ(Result(member::ForceValidateElectronicJournal), S_OK) << Description();
    EXPECT_EQ(Commands(), std::vector<std::string>{"jv" + kFs + "VALID"}) << Printable(Requests());

    SetStatus(wanting);
    printer_.ClearLog();
    Put(member::ElectronicJournalCRC, UI4(0x0A1B2C3D));
    // Not the journal's checksum: it goes out as given, and the printer refuses it.
    EXPECT_NE(Result(member::ForceValidateElectronicJournal), S_OK);
    EXPECT_EQ(Commands(), std::vector<std::string>{"jv" + kFs + "A1B2C3D"})
        << Printable(Requests());
}

TEST_F(Journal, TheZReportDownloadsTheDaysJournalAndThePrinterAcceptsIt) {
    Connect();
    FillDay(3, 12);
    const DWORD sessionNumber = CurrentSession();
    Put(member::NecessityToDownloadEJ, I4(1));
    PutText(member::ElectronicJournalSavePath, files_.path());
    Put(member::SuppressEJournalReadProgress, I4(0));
    ASSERT_EQ(Result(member::PrintZReport), S_OK) << Description();

    const std::string file = files_.file(JournalFileName(sessionNumber));
    const std::string bytes = testsupport::ReadFileBytes(file);
    ASSERT_GT(bytes.size(), 1024u);
    std::vector<std::string> commands = Commands();
    ASSERT_GE(commands.size(), 6u) << Printable(Requests());
    EXPECT_EQ(commands[0], "jp");
    EXPECT_EQ(commands[1], "ze");
    EXPECT_EQ(commands[2], "jz");
    EXPECT_EQ(BlockRequests().size(), (bytes.size() + 511) / 512);
    EXPECT_EQ(commands.back(), "jv" + kFs + HexNumber(Crc32(bytes)));
    // The printer compared the checksum with its own journal and took it.
    EXPECT_EQ(printer_.StatusWord() & emu::kStatusJournalNeedValidate, 0);
    EXPECT_EQ(D().GetUI2(member::StateElectronicJournalNeedValidate), 0);
    EXPECT_EQ(progress_.Only("shown").size(), 1u);

    // Asked again for the closed day, the validation reads and saves the same bytes.
    testsupport::WriteFileBytes(file, "stale");
    SetStatus(printer_.StatusWord() | emu::kStatusJournalNeedValidate);
    ASSERT_EQ(Result(member::ReadAndValidateElectronicJournal), S_OK) << Description();
    commands = Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), "jz");
    EXPECT_EQ(commands.back(), "jv" + kFs + HexNumber(Crc32(bytes)));
    EXPECT_EQ(testsupport::ReadFileBytes(file), bytes);
    EXPECT_EQ(printer_.StatusWord() & emu::kStatusJournalNeedValidate, 0);
}

// ---- printing ----

TEST_F(Journal, PrintingTheJournalTextDropsCarriageReturns) {
    Connect();
    FillDay(2, 14);
    SetRead(CurrentSession(), 0, 700, true);
    ASSERT_EQ(Result(member::ReadAndPrintElectronicJournal), S_OK) << Description();
    const std::string data = Data();
    ASSERT_EQ(data.size(), 700u);
    std::string expected[2] = {data.substr(0, 512), data.substr(512)};
    for (std::string& portion : expected) {
        std::erase(portion, '\r');
    }
    std::vector<std::string> printed;
    for (const std::string& request : Commands()) {
        if (request.compare(0, 2, "jg") != 0) {
            printed.push_back(request);
        }
    }
    EXPECT_EQ(printed,
              (std::vector<std::string>{"rb" + kFs + "0", "pf" + kFs + "0",
                                        "pt" + kFs + expected[0], "pt" + kFs + expected[1], "re"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 0);
}

TEST_F(Journal, NothingReadNothingPrinted) {
    Connect();
    SetRead(CurrentSession(), 0, 0, true);
    ASSERT_EQ(Result(member::ReadAndPrintElectronicJournal), S_OK) << Description();
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
}

TEST_F(Journal, PrintElectronicJournalCancelsAnUnfinishedPrintFirst) {
    WriteJournalSettings(0, 0);
    Connect();
    SetStatus(printer_.StatusWord() | emu::kStatusNotReady);
    Run(member::PrintElectronicJournal);
    ASSERT_FALSE(Commands().empty()) << Printable(Requests());
    EXPECT_EQ(Commands().front(), "cp");
    EXPECT_EQ(Commands().back(), "jp" + kFs + "PRINT");
}

// ---- the offset getter ----

TEST_F(Journal, ReadingTheOffsetAsksThePrinterForTheSessionsLength) {
    Connect();
    FillDay(1, 5);
    const DWORD sessionNumber = CurrentSession();
    Put(member::ElectronicJournalReadOffset, UI4(77));
    Put(member::SessionNumber, UI2(static_cast<USHORT>(sessionNumber)));
    EXPECT_TRUE(Requests().empty());
    const ULONG length = D().GetUI4(member::ElectronicJournalReadOffset);
    EXPECT_EQ(Commands(), std::vector<std::string>{"jz" + kFs + std::to_string(sessionNumber)})
        << Printable(Requests());
    EXPECT_GT(length, 0u);
    EXPECT_EQ(D().GetI4(member::ElectronicJournalReadOffset2), static_cast<LONG>(length));
    EXPECT_EQ(ResultCode(), 0);

    // A failed query keeps the value and leaves its code.
    FailNext("jz", 3);
    Put(member::ElectronicJournalReadOffset, UI4(77));
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalReadOffset), 77u);
    EXPECT_EQ(ResultCode(), -9203);
}

}  // namespace
