// Electronic journal methods through the component: block reads on the wire, the data property,
// the journal files, validation by checksum and by force, printing the journal text, the
// offset getter, and the read with and without the progress window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <mutex>

#include "PrinterSession.h"
#include "brontal_presenter.h"

using namespace session;
using testsupport::Cp1251;

namespace {

constexpr DISPID kStringToPrint = 46;
constexpr DISPID kPrintLine = 50;
constexpr DISPID kOpenReceipt = 66;
constexpr DISPID kCloseReceipt = 75;

// CRC-32 as the printer checks it, bit by bit: reflected 0xEDB88320, all ones in and out.
DWORD Crc32(const std::string& bytes) {
    DWORD crc = 0xFFFFFFFFU;
    for (char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ ((crc & 1U) ? 0xEDB88320U : 0U);
        }
    }
    return ~crc;
}

std::string Hex(DWORD value) {
    char text[16];  // eight digits and the terminator
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

std::string JournalFileName(DWORD session) {
    char name[16];  // "%08u.txt" and the terminator
    std::snprintf(name, sizeof name, "%08u.txt", session);
    return name;
}

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0;
}

// What the progress window showed, as a presenter hears it.
struct ProgressLog {
    std::mutex lock;
    std::vector<std::string> captions;  // UTF-8
    int maximum = -1;
    int lastPosition = -1;
    std::vector<INT_PTR> results;

    static ProgressLog*& Current() {
        static ProgressLog* current = nullptr;
        return current;
    }
    static void Shown(void* context, HWND, LPCSTR caption) {
        auto* log = static_cast<ProgressLog*>(context);
        std::lock_guard<std::mutex> guard(log->lock);
        log->captions.push_back(testsupport::Utf8(caption ? caption : ""));
    }
    static void Progress(void* context, HWND, HWND, int, int maximum, int position) {
        auto* log = static_cast<ProgressLog*>(context);
        std::lock_guard<std::mutex> guard(log->lock);
        log->maximum = maximum;
        log->lastPosition = position;
    }
    static void Ended(void* context, HWND, INT_PTR result) {
        auto* log = static_cast<ProgressLog*>(context);
        std::lock_guard<std::mutex> guard(log->lock);
        log->results.push_back(result);
    }
};

class Journal : public PrinterSession {
  protected:
    void SetUp() override {
        PrinterSession::SetUp();
        BRONTAL_PRESENTER presenter = {};
        presenter.cbSize = sizeof presenter;
        presenter.context = &progress_;
        presenter.DialogShown = &ProgressLog::Shown;
        presenter.ProgressChanged = &ProgressLog::Progress;
        presenter.DialogEnded = &ProgressLog::Ended;
        ASSERT_TRUE(BrontalSetPresenter(&presenter));
    }
    void TearDown() override {
        BrontalSetPresenter(nullptr);
        PrinterSession::TearDown();
    }

    // A day with `documents` non-fiscal documents of `lines` lines each, so that its journal
    // holds something to read; the log is cleared afterwards.
    void FillDay(int documents, int lines) {
        ASSERT_EQ(Result(kOpenDay), S_OK) << Description();
        ASSERT_EQ(D().Put(kReceiptType, client::UI2(0)).hr, S_OK);
        for (int d = 0; d < documents; ++d) {
            ASSERT_EQ(Result(kOpenReceipt), S_OK) << Description();
            for (int l = 0; l < lines; ++l) {
                char text[64];  // the line and the terminator
                std::snprintf(text, sizeof text, "Document %02d line %02d: journal text", d, l);
                PutText(kStringToPrint, text);
                ASSERT_EQ(Result(kPrintLine), S_OK) << Description();
            }
            ASSERT_EQ(Result(kCloseReceipt), S_OK) << Description();
        }
        printer_.ClearLog();
    }

    DWORD CurrentSession() const { return printer_.State().counters.session; }

    // The length of the session's journal as the printer reports it.
    DWORD JournalLength(DWORD sessionNumber) {
        EXPECT_EQ(D().Put(kSessionNumber, client::UI2(static_cast<USHORT>(sessionNumber))).hr,
                  S_OK);
        const ULONG length = D().GetUI4(kElectronicJournalReadOffset);
        printer_.ClearLog();
        return length;
    }

    void SetRead(DWORD sessionNumber, DWORD offset, DWORD size, bool suppressProgress) {
        ASSERT_EQ(D().Put(kSessionNumber, client::UI2(static_cast<USHORT>(sessionNumber))).hr,
                  S_OK);
        ASSERT_EQ(D().Put(kElectronicJournalReadOffset, client::UI4(offset)).hr, S_OK);
        ASSERT_EQ(D().Put(kElectronicJournalReadSize, client::UI4(size)).hr, S_OK);
        ASSERT_EQ(D().Put(kSuppressEJournalReadProgress, client::I4(suppressProgress ? 1 : 0)).hr,
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

    std::string Data() { return Cp1251(client::Utf8(D().GetText(kElectronicJournalData))); }

    testsupport::TempDir files_;
    ProgressLog progress_;
};

// ---- reading ----

TEST_F(Journal, AReadGoesOutInBlocksOf512FromTheOffset) {
    Connect();
    FillDay(4, 12);
    const DWORD sessionNumber = CurrentSession();
    ASSERT_GE(JournalLength(sessionNumber), 1316u);
    SetRead(sessionNumber, 0x10, 1300, true);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
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
    EXPECT_TRUE(progress_.captions.empty());
}

TEST_F(Journal, TheThreadedReadShowsItsProgressAndReadsTheSameBytes) {
    Connect();
    FillDay(4, 12);
    const DWORD sessionNumber = CurrentSession();
    SetRead(sessionNumber, 0, 1200, true);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    const std::string direct = Data();
    printer_.ClearLog();

    SetRead(sessionNumber, 0, 1200, false);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    EXPECT_EQ(Data(), direct);
    EXPECT_EQ(BlockRequests().size(), 3u) << Printable(Requests());
    std::lock_guard<std::mutex> guard(progress_.lock);
    EXPECT_EQ(progress_.captions, std::vector<std::string>{"Чтение электронного журнала"});
    EXPECT_EQ(progress_.maximum, 1200);
    // The close is sent, the last bar position only posted: the window may end before it moves.
    EXPECT_LE(progress_.lastPosition, 1200);
    EXPECT_EQ(progress_.results, std::vector<INT_PTR>{IDOK});
}

TEST_F(Journal, AThreadedReadThatFailsReportsTheWorkersCode) {
    Connect();
    FillDay(4, 12);
    SetRead(CurrentSession(), 0, 1200, true);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK);
    const std::string before = Data();

    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 3;
    fault.command = "jg";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    SetRead(CurrentSession(), 0x200, 1200, false);
    PutText(kElectronicJournalSavePath, files_.path());
    EXPECT_EQ(Result(kReadElectronicJournal), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(ResultCode(), -9203);
    // A broken read changes nothing: the data of the read before, and no file.
    EXPECT_EQ(Data(), before);
    EXPECT_FALSE(testsupport::FileExists(files_.file(JournalFileName(CurrentSession()))));
    std::lock_guard<std::mutex> guard(progress_.lock);
    EXPECT_EQ(progress_.results, std::vector<INT_PTR>{IDCANCEL});
}

TEST_F(Journal, ABlockFailingHalfwayLeavesDataAndFilesAlone) {
    Connect();
    FillDay(4, 12);
    const DWORD sessionNumber = CurrentSession();
    const std::string file = files_.file(JournalFileName(sessionNumber));
    testsupport::WriteFileBytes(file, "kept");
    PutText(kElectronicJournalSavePath, files_.path());
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
    EXPECT_EQ(Result(kReadElectronicJournal), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(BlockRequests().size(), 2u) << Printable(Requests());
    EXPECT_EQ(Data(), "");
    EXPECT_EQ(testsupport::ReadFileBytes(file), "kept");
}

TEST_F(Journal, AnEmptyReadSendsNoBlockAndSavesAnEmptyFile) {
    Connect();
    PutText(kElectronicJournalSavePath, files_.path());
    SetRead(7, 0, 0, false);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    EXPECT_TRUE(BlockRequests().empty()) << Printable(Requests());
    EXPECT_EQ(Data(), "");
    const std::string file = files_.file("00000007.txt");
    ASSERT_TRUE(testsupport::FileExists(file));
    EXPECT_EQ(testsupport::ReadFileBytes(file), "");
    // The progress window opened and closed at once.
    std::lock_guard<std::mutex> guard(progress_.lock);
    EXPECT_EQ(progress_.results, std::vector<INT_PTR>{IDOK});
}

TEST_F(Journal, ARangeBeyondTheLastOffsetIsRefusedBeforeAnythingIsSent) {
    Connect();
    SetRead(1, 0xFFFFFF00U, 0x200, true);
    EXPECT_EQ(Result(kReadElectronicJournal), static_cast<HRESULT>(0x8004232A));
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

    PutText(kElectronicJournalSavePath, first);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    const std::string data = Data();
    EXPECT_EQ(testsupport::ReadFileBytes(first + "/" + name), data);

    PutText(kElectronicJournalSavePath, second + "\\");
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    EXPECT_EQ(testsupport::ReadFileBytes(second + "/" + name), data);

    // Any other path is the file itself, replaced whole.
    const std::string named = files_.file("day.bin");
    testsupport::WriteFileBytes(named, std::string(5000, 'x'));
    PutText(kElectronicJournalSavePath, named);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    EXPECT_EQ(testsupport::ReadFileBytes(named), data);
}

TEST_F(Journal, AFolderWithACyrillicName) {
    Connect();
    FillDay(1, 10);
    const DWORD sessionNumber = CurrentSession();
    const std::string folder = files_.file("Журнал кассы");
    ASSERT_TRUE(MakeFolder(folder));
    PutText(kElectronicJournalSavePath, folder);
    SetRead(sessionNumber, 0, 300, true);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    const std::string file = folder + "/" + JournalFileName(sessionNumber);
    ASSERT_TRUE(testsupport::FileExists(file));
    EXPECT_EQ(testsupport::ReadFileBytes(file), Data());
}

TEST_F(Journal, SessionZeroAsksForTheCurrentSessionToNameTheFile) {
    Connect();
    FillDay(1, 10);
    const DWORD sessionNumber = CurrentSession();
    ASSERT_GT(sessionNumber, 0u);
    PutText(kElectronicJournalSavePath, files_.path());
    SetRead(0, 0, 100, true);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    EXPECT_TRUE(Sent("gn"));
    ASSERT_FALSE(BlockRequests().empty());
    EXPECT_EQ(BlockRequests().front(), "jg" + kFs + "0" + kFs + "0" + kFs + "64");
    EXPECT_EQ(D().GetUI2(kSessionNumber), sessionNumber);
    EXPECT_TRUE(testsupport::FileExists(files_.file(JournalFileName(sessionNumber))));
}

TEST_F(Journal, WithoutASavePathNothingIsWrittenAndNoNumbersAreAsked) {
    Connect();
    FillDay(1, 10);
    SetRead(0, 0, 100, true);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK) << Description();
    EXPECT_FALSE(Sent("gn"));
    EXPECT_EQ(Data().size(), 100u);
}

// ---- validation ----

TEST_F(Journal, ValidationWithoutTheNeedSendsNothingButStatusQueries) {
    Connect();
    SetStatus(emu::kStatusJournalPresent | emu::kStatusFiscal);
    ASSERT_EQ(Result(kReadAndValidateElectronicJournal), S_OK);
    ASSERT_EQ(Result(kForceValidateElectronicJournal), S_OK);
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
    EXPECT_EQ(Result(kPrintCashierReport), E_FAIL);
    const SHORT lost = ResultCode();
    EXPECT_LT(lost, -8100);
    printer_.ClearLog();
    EXPECT_EQ(Result(kReadAndValidateElectronicJournal), E_FAIL);
    EXPECT_EQ(ResultCode(), lost);
    EXPECT_FALSE(Description().empty());
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
}

TEST_F(Journal, ForcedValidationSendsValidOrTheGivenChecksum) {
    Connect();
    const uint16_t wanting =
        emu::kStatusJournalPresent | emu::kStatusFiscal | emu::kStatusJournalNeedValidate;
    SetStatus(wanting);
    ASSERT_EQ(Result(kForceValidateElectronicJournal), S_OK) << Description();
    EXPECT_EQ(Commands(), std::vector<std::string>{"jv" + kFs + "VALID"}) << Printable(Requests());

    SetStatus(wanting);
    printer_.ClearLog();
    ASSERT_EQ(D().Put(kElectronicJournalCRC, client::UI4(0x0A1B2C3D)).hr, S_OK);
    Run(kForceValidateElectronicJournal);
    EXPECT_EQ(Commands(), std::vector<std::string>{"jv" + kFs + "A1B2C3D"})
        << Printable(Requests());
}

TEST_F(Journal, TheZReportDownloadsTheDaysJournalAndThePrinterAcceptsIt) {
    Connect();
    FillDay(3, 12);
    const DWORD sessionNumber = CurrentSession();
    ASSERT_EQ(D().Put(kNecessityToDownloadEJ, client::I4(1)).hr, S_OK);
    PutText(kElectronicJournalSavePath, files_.path());
    ASSERT_EQ(D().Put(kSuppressEJournalReadProgress, client::I4(0)).hr, S_OK);
    ASSERT_EQ(Result(kPrintZReport), S_OK) << Description();

    const std::string file = files_.file(JournalFileName(sessionNumber));
    const std::string bytes = testsupport::ReadFileBytes(file);
    ASSERT_GT(bytes.size(), 1024u);
    std::vector<std::string> commands = Commands();
    ASSERT_GE(commands.size(), 6u) << Printable(Requests());
    EXPECT_EQ(commands[0], "jp");
    EXPECT_EQ(commands[1], "ze");
    EXPECT_EQ(commands[2], "jz");
    EXPECT_EQ(BlockRequests().size(), (bytes.size() + 511) / 512);
    EXPECT_EQ(commands.back(), "jv" + kFs + Hex(Crc32(bytes)));
    // The printer compared the checksum with its own journal and took it.
    EXPECT_EQ(printer_.StatusWord() & emu::kStatusJournalNeedValidate, 0);
    EXPECT_EQ(D().GetUI2(24), 0);  // StateElectronicJournalNeedValidate
    {
        std::lock_guard<std::mutex> guard(progress_.lock);
        EXPECT_EQ(progress_.captions.size(), 1u);
    }

    // Asked again for the closed day, the validation reads and saves the same bytes.
    testsupport::WriteFileBytes(file, "stale");
    SetStatus(printer_.StatusWord() | emu::kStatusJournalNeedValidate);
    ASSERT_EQ(Result(kReadAndValidateElectronicJournal), S_OK) << Description();
    commands = Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), "jz");
    EXPECT_EQ(commands.back(), "jv" + kFs + Hex(Crc32(bytes)));
    EXPECT_EQ(testsupport::ReadFileBytes(file), bytes);
    EXPECT_EQ(printer_.StatusWord() & emu::kStatusJournalNeedValidate, 0);
}

// ---- printing ----

TEST_F(Journal, PrintingTheJournalTextDropsCarriageReturns) {
    Connect();
    FillDay(2, 14);
    SetRead(CurrentSession(), 0, 700, true);
    ASSERT_EQ(Result(kReadAndPrintElectronicJournal), S_OK) << Description();
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
    EXPECT_EQ(D().GetUI2(kReceiptType), 0);
}

TEST_F(Journal, NothingReadNothingPrinted) {
    Connect();
    SetRead(CurrentSession(), 0, 0, true);
    ASSERT_EQ(Result(kReadAndPrintElectronicJournal), S_OK) << Description();
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
}

TEST_F(Journal, PrintElectronicJournalCancelsAnUnfinishedPrintFirst) {
    WriteJournalSettings(0, 0);
    Connect();
    SetStatus(printer_.StatusWord() | emu::kStatusNotReady);
    Run(kPrintElectronicJournal);
    ASSERT_FALSE(Commands().empty()) << Printable(Requests());
    EXPECT_EQ(Commands().front(), "cp");
    EXPECT_EQ(Commands().back(), "jp" + kFs + "PRINT");
}

// ---- the offset getter ----

TEST_F(Journal, ReadingTheOffsetAsksThePrinterForTheSessionsLength) {
    Connect();
    FillDay(1, 5);
    const DWORD sessionNumber = CurrentSession();
    ASSERT_EQ(D().Put(kElectronicJournalReadOffset, client::UI4(77)).hr, S_OK);
    ASSERT_EQ(D().Put(kSessionNumber, client::UI2(static_cast<USHORT>(sessionNumber))).hr, S_OK);
    EXPECT_TRUE(Requests().empty());
    const ULONG length = D().GetUI4(kElectronicJournalReadOffset);
    EXPECT_EQ(Commands(), std::vector<std::string>{"jz" + kFs + std::to_string(sessionNumber)})
        << Printable(Requests());
    EXPECT_GT(length, 0u);
    EXPECT_EQ(D().GetI4(kElectronicJournalReadOffset2), static_cast<LONG>(length));
    EXPECT_EQ(ResultCode(), 0);

    // A failed query keeps the value and leaves its code.
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 3;
    fault.command = "jz";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    ASSERT_EQ(D().Put(kElectronicJournalReadOffset, client::UI4(77)).hr, S_OK);
    EXPECT_EQ(D().GetUI4(kElectronicJournalReadOffset), 77u);
    EXPECT_EQ(ResultCode(), -9203);
}

}  // namespace
