// The journal methods through the component against a printer whose journal the test writes
// itself (zero bytes, line ends, Windows-1251 text): the bytes on the wire, the file, the
// checksum the printer checks, and printing the text.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "PrinterSession.h"
#include "Registry.h"
#include "ScriptedPrinter.h"
#include "Wire.h"
#include "RecordingPresenter.h"

using namespace client;
using namespace testsupport;

namespace {

// The status bits this printer shows, as the virtual printer names them.
using emu::kStatusDayOpen;
using emu::kStatusFiscal;
using emu::kStatusJournalNeedValidate;
using emu::kStatusJournalPresent;
using emu::kStatusNeedReset;
using emu::kStatusReceiptOpen;

// A printer with one session's journal: "jz" tells its extent, "jg" hands out its bytes, "jv"
// accepts the checksum of the day's part of it; the documents' commands are taken and logged;
// whatever else it is asked it does not know.
class JournalPeer {
  public:
    ScriptedPrinter::Answer Answerer() {
        return [this](const PeerRequest& request) { return Answer(request); };
    }

    void Set(uint16_t status, DWORD session, DWORD start, const std::string& journal) {
        std::lock_guard<std::mutex> guard(lock_);
        status_ = status;
        session_ = session;
        start_ = start;
        journal_ = journal;
    }
    uint16_t Status() {
        std::lock_guard<std::mutex> guard(lock_);
        return status_;
    }
    // Device error for the next request of `code`.
    void Refuse(const std::string& code, int error, int after = 0) {
        std::lock_guard<std::mutex> guard(lock_);
        refuseCode_ = code;
        refuseError_ = error;
        refuseAfter_ = after;
    }

  private:
    std::string Answer(const PeerRequest& request) {
        std::lock_guard<std::mutex> guard(lock_);
        const std::string code = request.payload.substr(0, 2);
        const std::string fields = request.payload.size() > 3 ? request.payload.substr(3) : "";
        auto ok = [&](const std::string& data = std::string()) {
            return Reply(request, 0, status_, 0, data);
        };
        if (code == refuseCode_) {
            if (refuseAfter_-- == 0) {
                refuseCode_.clear();
                return Reply(request, refuseError_, status_, 0);
            }
        }
        if (code == "gs" || code == "jp" || code == "ze" || code == "cp" || code == "pf" ||
            code == "pt" || code == "rb" || code == "re" || code == "cr") {
            if (code == "cr") {
                status_ &= static_cast<uint16_t>(~kStatusNeedReset);
            }
            return ok();
        }
        if (code == "gn") {
            return ok("12" + kFs + std::to_string(session_) + "/3" + kFs + "0");
        }
        if (code == "jz") {
            const DWORD length = static_cast<DWORD>(journal_.size()) - start_;
            return ok(std::to_string(session_) + kFs + HexNumber(start_) + kFs + HexNumber(length));
        }
        if (code == "jg") {
            const size_t first = fields.find('\x1C');
            const size_t second = fields.find('\x1C', first + 1);
            const size_t offset = std::strtoul(fields.substr(first + 1).c_str(), nullptr, 16);
            const size_t length = std::strtoul(fields.substr(second + 1).c_str(), nullptr, 16);
            const std::string block =
                offset < journal_.size() ? journal_.substr(offset, length) : "";
            return ok(block);
        }
        if (code == "jv") {
            if (fields == "VALID" || fields == HexNumber(Crc32(journal_.substr(start_)))) {
                status_ &= static_cast<uint16_t>(~kStatusJournalNeedValidate);
                return ok();
            }
            return Reply(request, 0x2C, status_, 0);
        }
        return Reply(request, 2, status_, 0);
    }

    std::mutex lock_;
    uint16_t status_ = kStatusDayOpen | kStatusJournalPresent | kStatusFiscal;
    DWORD session_ = 1;
    DWORD start_ = 0;
    std::string journal_;
    std::string refuseCode_;
    int refuseError_ = 0;
    int refuseAfter_ = 0;
};

// A journal of `length` bytes: Windows-1251 lines with CR LF, and a zero byte at `zeroAt`.
std::string JournalText(size_t length, size_t zeroAt) {
    std::string text;
    for (int line = 0; text.size() < length; ++line) {
        char number[16];  // the line number and the terminator
        std::snprintf(number, sizeof number, "%04d ", line);
        text += number + Cp1251("Продажа: хлеб 12,50") + "\r\n";
    }
    text.resize(length);
    if (zeroAt < length) {
        text[zeroAt] = '\0';
    }
    return text;
}

class PeerJournal : public PeerSession {
  protected:
    void Arrange() override { printer_.SetAnswer(peer_.Answerer()); }

    void Connect(DWORD downloadEJ) {
        WriteSetting("", "DownloadEJ", downloadEJ);
        ConnectTo(kPeerPort);
        printer_.ClearRequests();
    }
    // The printer's new status, seen through a fresh "gs".
    void Show(uint16_t status, DWORD session, DWORD start, const std::string& journal) {
        peer_.Set(status, session, start, journal);
        ASSERT_EQ(Result(member::RefreshStatus), S_OK);
        printer_.ClearRequests();
    }

    void SetRead(DWORD session, DWORD offset, DWORD size) {
        Put(member::SessionNumber, UI2(static_cast<USHORT>(session)));
        Put(member::ElectronicJournalReadOffset, UI4(offset));
        Put(member::ElectronicJournalReadSize, UI4(size));
    }
    void SuppressProgress(bool suppress) {
        Put(member::SuppressEJournalReadProgress, I4(suppress ? 1 : 0));
    }
    std::string Data() { return Cp1251(TextOf(member::ElectronicJournalData)); }

    // What the driver sent, without the status queries.
    Strings Commands() const {
        Strings out;
        for (const std::string& payload : Requests()) {
            if (payload != "gs") {
                out.push_back(payload);
            }
        }
        return out;
    }
    Strings Blocks(const std::string& code) const {
        Strings out;
        for (const std::string& payload : Commands()) {
            if (payload.compare(0, 2, code) == 0) {
                out.push_back(payload);
            }
        }
        return out;
    }

    JournalPeer peer_;
    drivertest::RecordingPresenter presenter_;
    TempDir files_;
};

TEST_F(PeerJournal, TheDaysJournalIsSavedByteForByteAndValidatedByItsChecksum) {
    Connect(1);
    const std::string journal = JournalText(0x20 + 1300, 700);
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal | kStatusJournalNeedValidate, 57,
         0x20, journal);
    PutText(member::ElectronicJournalSavePath, files_.path());
    SuppressProgress(true);
    ASSERT_EQ(Result(member::ReadAndValidateElectronicJournal), S_OK);

    const std::string day = journal.substr(0x20);
    EXPECT_EQ(Commands().front(), "jz");
    EXPECT_EQ(Blocks("jg"),
              (std::vector<std::string>{"jg" + kFs + "57" + kFs + "20" + kFs + "200",
                                        "jg" + kFs + "57" + kFs + "220" + kFs + "200",
                                        "jg" + kFs + "57" + kFs + "420" + kFs + "114"}))
        << Printable(printer_.Payloads());
    EXPECT_EQ(Commands().back(), "jv" + kFs + HexNumber(Crc32(day)));
    EXPECT_EQ(ReadFileBytes(files_.file("00000057.txt")), day);
    EXPECT_EQ(peer_.Status() & kStatusJournalNeedValidate, 0);
    // The day's bytes stay out of the data property.
    EXPECT_EQ(Data(), "");
    EXPECT_TRUE(presenter_.Only("shown").empty());
}

TEST_F(PeerJournal, TheZReportDownloadsTheJournalIntoACyrillicFolderBehindTheProgressWindow) {
    Connect(1);
    const std::string journal = JournalText(2000, 5000);
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal, 58, 0, journal);
    const std::string folder = files_.file("Электронный журнал");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    PutText(member::ElectronicJournalSavePath, folder + "\\");
    SuppressProgress(false);
    // The printer wants its journal validated once the day is closed.
    peer_.Set(kStatusJournalPresent | kStatusFiscal | kStatusJournalNeedValidate, 58, 0, journal);
    ASSERT_EQ(Result(member::PrintZReport), S_OK);

    const std::vector<std::string> commands = Commands();
    ASSERT_EQ(commands.size(), 8u) << Printable(printer_.Payloads());
    EXPECT_EQ(commands[0], "jp");
    EXPECT_EQ(commands[1], "ze");
    EXPECT_EQ(commands[2], "jz");
    EXPECT_EQ(Blocks("jg").size(), 4u);
    EXPECT_EQ(commands[7], "jv" + kFs + HexNumber(Crc32(journal)));
    EXPECT_EQ(ReadFileBytes(folder + "/00000058.txt"), journal);
    EXPECT_EQ(peer_.Status() & kStatusJournalNeedValidate, 0);
    EXPECT_EQ(presenter_.Only("shown"), Strings{"shown Чтение электронного журнала"});
    EXPECT_EQ(presenter_.Only("ended"), Strings{"ended " + std::to_string(IDOK)});
}

TEST_F(PeerJournal, AZReportWhoseDownloadFailsWritesNoFileAndValidatesNothing) {
    Connect(1);
    const std::string journal = JournalText(1500, 5000);
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal, 59, 0, journal);
    PutText(member::ElectronicJournalSavePath, files_.path());
    SuppressProgress(false);
    peer_.Set(kStatusJournalPresent | kStatusFiscal | kStatusJournalNeedValidate, 59, 0, journal);
    peer_.Refuse("jg", 3, 1);
    EXPECT_EQ(Result(member::PrintZReport), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(ResultCode(), -9203);
    EXPECT_TRUE(Blocks("jv").empty()) << Printable(printer_.Payloads());
    EXPECT_EQ(Blocks("jg").size(), 2u);
    EXPECT_FALSE(FileExists(files_.file("00000059.txt")));
    EXPECT_NE(peer_.Status() & kStatusJournalNeedValidate, 0);
    EXPECT_EQ(presenter_.Only("ended"), Strings{"ended " + std::to_string(IDCANCEL)});
}

TEST_F(PeerJournal, AChecksumThePrinterRefusesIsTheResult) {
    Connect(1);
    const std::string journal = JournalText(600, 5000);
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal | kStatusJournalNeedValidate, 60, 0,
         journal);
    SuppressProgress(true);
    // The printer's journal changed after the extent was read: the checksum cannot match.
    peer_.Refuse("jv", 0x2C);
    EXPECT_EQ(Result(member::ReadAndValidateElectronicJournal), static_cast<HRESULT>(0x8004241C));
    EXPECT_EQ(ResultCode(), -9244);
    EXPECT_NE(peer_.Status() & kStatusJournalNeedValidate, 0);
}

TEST_F(PeerJournal, DataEndsAtAZeroByteWhileTheFileHoldsEveryByte) {
    Connect(0);
    const std::string journal = JournalText(900, 300);
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal, 61, 0, journal);
    PutText(member::ElectronicJournalSavePath, files_.file("read.txt"));
    SuppressProgress(true);
    SetRead(61, 100, 700);
    ASSERT_EQ(Result(member::ReadElectronicJournal), S_OK);
    EXPECT_EQ(Data(), journal.substr(100, 200));
    EXPECT_EQ(ReadFileBytes(files_.file("read.txt")), journal.substr(100, 700));
}

TEST_F(PeerJournal, PrintingSkipsAPortionOfNothingButCarriageReturns) {
    Connect(0);
    const std::string journal = std::string(510, 'A') + "\r\n" + std::string(512, '\r') + "B\r\nC";
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal, 62, 0, journal);
    SuppressProgress(true);
    SetRead(62, 0, static_cast<DWORD>(journal.size()));
    ASSERT_EQ(Result(member::ReadAndPrintElectronicJournal), S_OK);
    std::vector<std::string> printed;
    for (const std::string& payload : Commands()) {
        if (payload.compare(0, 2, "jg") != 0) {
            printed.push_back(payload);
        }
    }
    EXPECT_EQ(printed, (std::vector<std::string>{"rb" + kFs + "0", "pf" + kFs + "0",
                                                 "pt" + kFs + std::string(510, 'A') + "\n",
                                                 "pt" + kFs + "B\nC", "re"}))
        << Printable(printer_.Payloads());
}

TEST_F(PeerJournal, PrintingGoesIntoAnOpenDocumentOrResetsThePrinterFirst) {
    Connect(0);
    Show(kStatusDayOpen | kStatusReceiptOpen | kStatusJournalPresent | kStatusFiscal, 63, 0,
         "text");
    SuppressProgress(true);
    SetRead(63, 0, 4);
    ASSERT_EQ(Result(member::ReadAndPrintElectronicJournal), S_OK);
    EXPECT_EQ(Blocks("rb").size(), 0u);
    EXPECT_EQ(Commands().back(), "re");
    EXPECT_EQ(Blocks("pt"), std::vector<std::string>{"pt" + kFs + "text"});

    Show(kStatusDayOpen | kStatusNeedReset | kStatusJournalPresent | kStatusFiscal, 63, 0, "text");
    ASSERT_EQ(Result(member::ReadAndPrintElectronicJournal), S_OK);
    std::vector<std::string> codes;
    for (const std::string& payload : Commands()) {
        codes.push_back(payload.substr(0, 2));
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"jg", "cr", "rb", "pf", "pt", "re"}))
        << Printable(printer_.Payloads());
}

TEST_F(PeerJournal, AFailedLineLeavesTheDocumentOpen) {
    Connect(0);
    const std::string journal = std::string(1000, 'x');
    Show(kStatusDayOpen | kStatusJournalPresent | kStatusFiscal, 64, 0, journal);
    SuppressProgress(true);
    SetRead(64, 0, 1000);
    peer_.Refuse("pt", 3, 1);
    EXPECT_EQ(Result(member::ReadAndPrintElectronicJournal), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(Blocks("pt").size(), 2u);
    EXPECT_TRUE(Blocks("re").empty()) << Printable(printer_.Payloads());
    // The text was read, so the data property has it.
    EXPECT_EQ(Data(), journal);
}

}  // namespace
