// The journal methods through the component against a printer whose journal the test writes
// itself (zero bytes, line ends, Windows-1251 text): the bytes on the wire, the file, the
// checksum the printer checks, and printing the text.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "PrinterSession.h"
#include "ScriptedPrinter.h"
#include "brontal_presenter.h"

using namespace session;
using testsupport::Cp1251;

namespace {

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

constexpr uint16_t kDayOpen = 0x0001;
constexpr uint16_t kReceiptOpen = 0x0002;
constexpr uint16_t kNeedReset = 0x0010;
constexpr uint16_t kJournalPresent = 0x0040;
constexpr uint16_t kFiscal = 0x0080;
constexpr uint16_t kNeedValidate = 0x1000;

// A printer with one session's journal: "jz" tells its extent, "jg" hands out its bytes, "jv"
// accepts the checksum of the day's part of it; the documents' commands are taken and logged;
// whatever else it is asked it does not know.
class JournalPeer {
  public:
    prottest::ScriptedPrinter::Answer Answerer() {
        return [this](const prottest::PeerRequest& request) { return Answer(request); };
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
    std::string Answer(const prottest::PeerRequest& request) {
        std::lock_guard<std::mutex> guard(lock_);
        const std::string code = request.payload.substr(0, 2);
        const std::string fields = request.payload.size() > 3 ? request.payload.substr(3) : "";
        auto ok = [&](const std::string& data = std::string()) {
            return prottest::Reply(request, 0, status_, 0, data);
        };
        if (code == refuseCode_) {
            if (refuseAfter_-- == 0) {
                refuseCode_.clear();
                return prottest::Reply(request, refuseError_, status_, 0);
            }
        }
        if (code == "gs" || code == "jp" || code == "ze" || code == "cp" || code == "pf" ||
            code == "pt" || code == "rb" || code == "re" || code == "cr") {
            if (code == "cr") {
                status_ &= static_cast<uint16_t>(~kNeedReset);
            }
            return ok();
        }
        if (code == "gn") {
            return ok("12" + kFs + std::to_string(session_) + "/3" + kFs + "0");
        }
        if (code == "jz") {
            const DWORD length = static_cast<DWORD>(journal_.size()) - start_;
            return ok(std::to_string(session_) + kFs + Hex(start_) + kFs + Hex(length));
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
            if (fields == "VALID" || fields == Hex(Crc32(journal_.substr(start_)))) {
                status_ &= static_cast<uint16_t>(~kNeedValidate);
                return ok();
            }
            return prottest::Reply(request, 0x2C, status_, 0);
        }
        return prottest::Reply(request, 2, status_, 0);
    }

    std::mutex lock_;
    uint16_t status_ = kDayOpen | kJournalPresent | kFiscal;
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

struct DialogLog {
    std::mutex lock;
    std::vector<std::string> captions;
    std::vector<INT_PTR> results;
    static void Shown(void* context, HWND, LPCSTR caption) {
        auto* log = static_cast<DialogLog*>(context);
        std::lock_guard<std::mutex> guard(log->lock);
        log->captions.push_back(testsupport::Utf8(caption ? caption : ""));
    }
    static void Ended(void* context, HWND, INT_PTR result) {
        auto* log = static_cast<DialogLog*>(context);
        std::lock_guard<std::mutex> guard(log->lock);
        log->results.push_back(result);
    }
};

class PeerJournal : public client::ComponentTest {
  protected:
    void SetUp() override {
        ComponentTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(printer_.ok());
        ASSERT_TRUE(printer_.Map(kPort));
        printer_.SetAnswer(peer_.Answerer());
        BRONTAL_PRESENTER presenter = {};
        presenter.cbSize = sizeof presenter;
        presenter.context = &dialogs_;
        presenter.DialogShown = &DialogLog::Shown;
        presenter.DialogEnded = &DialogLog::Ended;
        ASSERT_TRUE(BrontalSetPresenter(&presenter));
    }
    void TearDown() override {
        BrontalSetPresenter(nullptr);
        object_.reset();
        ComponentTest::TearDown();
    }

    void Connect(DWORD downloadEJ) {
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", "CmdRetryCount", 1);
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings", "DownloadEJ", downloadEJ);
        object_.emplace(Create());
        ASSERT_EQ(D().Put(kComPort, client::UI2(kPort)).hr, S_OK);
        ASSERT_EQ(D().Put(kBaudRate, client::UI4(9600)).hr, S_OK);
        const client::Call call = D().Method(kConnect);
        ASSERT_EQ(call.hr, S_OK) << call.description;
        printer_.ClearRequests();
    }
    // The printer's new status, seen through a fresh "gs".
    void Show(uint16_t status, DWORD session, DWORD start, const std::string& journal) {
        peer_.Set(status, session, start, journal);
        ASSERT_EQ(D().Method(kRefreshStatus).hr, S_OK);
        printer_.ClearRequests();
    }

    client::Driver& D() { return *object_; }
    HRESULT Result(DISPID method) { return Outcome(D().Method(method)); }
    SHORT ResultCode() { return D().GetI2(kResultCode); }
    void PutText(DISPID dispid, const std::string& utf8) {
        ASSERT_EQ(D().Put(dispid, client::Text(client::Wide(utf8))).hr, S_OK);
    }
    void SetRead(DWORD session, DWORD offset, DWORD size) {
        ASSERT_EQ(D().Put(kSessionNumber, client::UI2(static_cast<USHORT>(session))).hr, S_OK);
        ASSERT_EQ(D().Put(kElectronicJournalReadOffset, client::UI4(offset)).hr, S_OK);
        ASSERT_EQ(D().Put(kElectronicJournalReadSize, client::UI4(size)).hr, S_OK);
    }
    void SuppressProgress(bool suppress) {
        ASSERT_EQ(D().Put(kSuppressEJournalReadProgress, client::I4(suppress ? 1 : 0)).hr, S_OK);
    }
    std::string Data() { return Cp1251(client::Utf8(D().GetText(kElectronicJournalData))); }

    // What the driver sent, without the status queries.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const std::string& payload : printer_.Payloads()) {
            if (payload != "gs") {
                out.push_back(payload);
            }
        }
        return out;
    }
    std::vector<std::string> Blocks(const std::string& code) const {
        std::vector<std::string> out;
        for (const std::string& payload : Commands()) {
            if (payload.compare(0, 2, code) == 0) {
                out.push_back(payload);
            }
        }
        return out;
    }

    static constexpr USHORT kPort = 7;
    JournalPeer peer_;
    prottest::ScriptedPrinter printer_;
    std::optional<client::Driver> object_;
    DialogLog dialogs_;
    testsupport::TempDir files_;
};

TEST_F(PeerJournal, TheDaysJournalIsSavedByteForByteAndValidatedByItsChecksum) {
    Connect(1);
    const std::string journal = JournalText(0x20 + 1300, 700);
    Show(kDayOpen | kJournalPresent | kFiscal | kNeedValidate, 57, 0x20, journal);
    PutText(kElectronicJournalSavePath, files_.path());
    SuppressProgress(true);
    ASSERT_EQ(Result(kReadAndValidateElectronicJournal), S_OK);

    const std::string day = journal.substr(0x20);
    EXPECT_EQ(Commands().front(), "jz");
    EXPECT_EQ(Blocks("jg"),
              (std::vector<std::string>{"jg" + kFs + "57" + kFs + "20" + kFs + "200",
                                        "jg" + kFs + "57" + kFs + "220" + kFs + "200",
                                        "jg" + kFs + "57" + kFs + "420" + kFs + "114"}))
        << Printable(printer_.Payloads());
    EXPECT_EQ(Commands().back(), "jv" + kFs + Hex(Crc32(day)));
    EXPECT_EQ(testsupport::ReadFileBytes(files_.file("00000057.txt")), day);
    EXPECT_EQ(peer_.Status() & kNeedValidate, 0);
    // The day's bytes stay out of the data property.
    EXPECT_EQ(Data(), "");
    EXPECT_TRUE(dialogs_.captions.empty());
}

TEST_F(PeerJournal, TheZReportDownloadsTheJournalIntoACyrillicFolderBehindTheProgressWindow) {
    Connect(1);
    const std::string journal = JournalText(2000, 5000);
    Show(kDayOpen | kJournalPresent | kFiscal, 58, 0, journal);
    const std::string folder = files_.file("Электронный журнал");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    PutText(kElectronicJournalSavePath, folder + "\\");
    SuppressProgress(false);
    // The printer wants its journal validated once the day is closed.
    peer_.Set(kJournalPresent | kFiscal | kNeedValidate, 58, 0, journal);
    ASSERT_EQ(Result(kPrintZReport), S_OK);

    const std::vector<std::string> commands = Commands();
    ASSERT_EQ(commands.size(), 8u) << Printable(printer_.Payloads());
    EXPECT_EQ(commands[0], "jp");
    EXPECT_EQ(commands[1], "ze");
    EXPECT_EQ(commands[2], "jz");
    EXPECT_EQ(Blocks("jg").size(), 4u);
    EXPECT_EQ(commands[7], "jv" + kFs + Hex(Crc32(journal)));
    EXPECT_EQ(testsupport::ReadFileBytes(folder + "/00000058.txt"), journal);
    EXPECT_EQ(peer_.Status() & kNeedValidate, 0);
    std::lock_guard<std::mutex> guard(dialogs_.lock);
    EXPECT_EQ(dialogs_.captions, std::vector<std::string>{"Чтение электронного журнала"});
    EXPECT_EQ(dialogs_.results, std::vector<INT_PTR>{IDOK});
}

TEST_F(PeerJournal, AZReportWhoseDownloadFailsWritesNoFileAndValidatesNothing) {
    Connect(1);
    const std::string journal = JournalText(1500, 5000);
    Show(kDayOpen | kJournalPresent | kFiscal, 59, 0, journal);
    PutText(kElectronicJournalSavePath, files_.path());
    SuppressProgress(false);
    peer_.Set(kJournalPresent | kFiscal | kNeedValidate, 59, 0, journal);
    peer_.Refuse("jg", 3, 1);
    EXPECT_EQ(Result(kPrintZReport), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(ResultCode(), -9203);
    EXPECT_TRUE(Blocks("jv").empty()) << Printable(printer_.Payloads());
    EXPECT_EQ(Blocks("jg").size(), 2u);
    EXPECT_FALSE(testsupport::FileExists(files_.file("00000059.txt")));
    EXPECT_NE(peer_.Status() & kNeedValidate, 0);
    std::lock_guard<std::mutex> guard(dialogs_.lock);
    EXPECT_EQ(dialogs_.results, std::vector<INT_PTR>{IDCANCEL});
}

TEST_F(PeerJournal, AChecksumThePrinterRefusesIsTheResult) {
    Connect(1);
    const std::string journal = JournalText(600, 5000);
    Show(kDayOpen | kJournalPresent | kFiscal | kNeedValidate, 60, 0, journal);
    SuppressProgress(true);
    // The printer's journal changed after the extent was read: the checksum cannot match.
    peer_.Refuse("jv", 0x2C);
    EXPECT_EQ(Result(kReadAndValidateElectronicJournal), static_cast<HRESULT>(0x8004241C));
    EXPECT_EQ(ResultCode(), -9244);
    EXPECT_NE(peer_.Status() & kNeedValidate, 0);
}

TEST_F(PeerJournal, DataEndsAtAZeroByteWhileTheFileHoldsEveryByte) {
    Connect(0);
    const std::string journal = JournalText(900, 300);
    Show(kDayOpen | kJournalPresent | kFiscal, 61, 0, journal);
    PutText(kElectronicJournalSavePath, files_.file("read.txt"));
    SuppressProgress(true);
    SetRead(61, 100, 700);
    ASSERT_EQ(Result(kReadElectronicJournal), S_OK);
    EXPECT_EQ(Data(), journal.substr(100, 200));
    EXPECT_EQ(testsupport::ReadFileBytes(files_.file("read.txt")), journal.substr(100, 700));
}

TEST_F(PeerJournal, PrintingSkipsAPortionOfNothingButCarriageReturns) {
    Connect(0);
    const std::string journal = std::string(510, 'A') + "\r\n" + std::string(512, '\r') + "B\r\nC";
    Show(kDayOpen | kJournalPresent | kFiscal, 62, 0, journal);
    SuppressProgress(true);
    SetRead(62, 0, static_cast<DWORD>(journal.size()));
    ASSERT_EQ(Result(kReadAndPrintElectronicJournal), S_OK);
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
    Show(kDayOpen | kReceiptOpen | kJournalPresent | kFiscal, 63, 0, "text");
    SuppressProgress(true);
    SetRead(63, 0, 4);
    ASSERT_EQ(Result(kReadAndPrintElectronicJournal), S_OK);
    EXPECT_EQ(Blocks("rb").size(), 0u);
    EXPECT_EQ(Commands().back(), "re");
    EXPECT_EQ(Blocks("pt"), std::vector<std::string>{"pt" + kFs + "text"});

    Show(kDayOpen | kNeedReset | kJournalPresent | kFiscal, 63, 0, "text");
    ASSERT_EQ(Result(kReadAndPrintElectronicJournal), S_OK);
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
    Show(kDayOpen | kJournalPresent | kFiscal, 64, 0, journal);
    SuppressProgress(true);
    SetRead(64, 0, 1000);
    peer_.Refuse("pt", 3, 1);
    EXPECT_EQ(Result(kReadAndPrintElectronicJournal), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(Blocks("pt").size(), 2u);
    EXPECT_TRUE(Blocks("re").empty()) << Printable(printer_.Payloads());
    // The text was read, so the data property has it.
    EXPECT_EQ(Data(), journal);
}

}  // namespace
