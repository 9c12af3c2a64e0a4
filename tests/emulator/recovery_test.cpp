// The restart, the journal and control unit errors that block the printer, and the recovery
// sequences a driver runs against them, played by hand on the line.
#include <gtest/gtest.h>

#include <string>

#include "PrinterFixture.h"
#include "TestSupport.h"

namespace {

using emu::Fault;
using emu::FaultKind;
using emutest::FS;

constexpr emu::ReceiptOutcome kLeftOpen = emu::ReceiptOutcome::LeftOpen;
constexpr emu::ReceiptOutcome kClosed = emu::ReceiptOutcome::Closed;
constexpr emu::ReceiptOutcome kCounted = emu::ReceiptOutcome::ClosedAfterUnblock;

// A reply without data: echo, error (two hexadecimal digits) and the two words.
std::string Bare(const std::string& code, const std::string& error, const std::string& words) {
    return code + FS + error + FS + words;
}

size_t Count(const std::vector<std::string>& requests, const std::string& payload) {
    size_t n = 0;
    for (const std::string& r : requests) {
        n += r == payload ? 1 : 0;
    }
    return n;
}

class EmuRecoveryTest : public emutest::PrinterFixture {
  protected:
    // A day open, a receipt open, 41 documents and 7 receipts made.
    void OpenReceipt() {
        printer.SetStatusWords(emu::kInitialStatus | emu::kStatusDayOpen | emu::kStatusReceiptOpen,
                               0);
        emu::DocumentCounters counters;
        counters.document = 41;
        counters.session = 3;
        counters.receipt = 7;
        counters.type = 1;
        printer.SetDocumentCounters(counters);
    }

    void InjectError(int code, emu::ReceiptOutcome receipt, bool recoverable = true,
                     bool reset = false) {
        Fault f;
        f.kind = FaultKind::DeviceError;
        f.code = code;
        f.command = "re";
        f.receipt = receipt;
        f.recoverable = recoverable;
        f.needsReset = reset;
        ASSERT_EQ(printer.InjectFault(f), 0);
    }

    // Sends "c0", then asks "gs" until the printer is up again; the reply to the first "gs" it
    // answers. Gives up after 20 unanswered tries.
    emutest::ParsedReply Restart() {
        EXPECT_TRUE(Tell("c0"));
        return WaitUntilUp();
    }

    emutest::ParsedReply WaitUntilUp() {
        for (int i = 0; i < 20; ++i) {
            const std::string answer = Ask("gs", 400);
            if (!answer.empty()) {
                return emutest::ParseReply(answer);
            }
        }
        ADD_FAILURE() << "the printer did not come back after c0";
        return {};
    }

    std::string DocumentNumbers() {
        const emutest::ParsedReply reply = AskParsed("gn");
        return reply.ok ? reply.data : std::string("(no reply)");
    }
};

TEST_F(EmuRecoveryTest, RestartAnswersNothingIsDeafWhileItStartsAndKeepsTheFiscalState) {
    testsupport::TempDir dir;
    printer.SetPaperFile(dir.file("paper.txt"));
    printer.SetRestartTime(1500);
    OpenReceipt();
    ASSERT_TRUE(Tell("c0"));
    EXPECT_TRUE(line->ReadFor(300).empty());
    // Starting up it hears nothing: neither this request nor a spoiled one is answered.
    EXPECT_TRUE(Ask("gs", 300).empty());
    std::string spoiled = emutest::Frame(NextSequence(), "gs");
    spoiled.back() = static_cast<char>(spoiled.back() ^ 1);
    ASSERT_TRUE(line->Write(spoiled));
    EXPECT_TRUE(line->ReadFor(200).empty());

    // A second restart asked while it starts up is not heard either.
    ASSERT_TRUE(Tell("c0"));

    const emutest::ParsedReply up = WaitUntilUp();
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, emu::kInitialStatus | emu::kStatusDayOpen | emu::kStatusReceiptOpen);
    EXPECT_EQ(DocumentNumbers(), std::string("41") + FS + "3/7" + FS + "1" + FS);
    // Only what it heard was done: one restart, then the "gs" it answered and the "gn".
    EXPECT_EQ(printer.Requests(), (std::vector<std::string>{"c0", "gs", "gn"}));
    EXPECT_GE(printer.Frames().size(), 6u);  // everything that arrived is in the log
    // The restart printed its power-on line.
    EXPECT_EQ(emutest::CountOf(testsupport::ReadFileBytes(dir.file("paper.txt")), '\n'), 1u);
}

TEST_F(EmuRecoveryTest, JournalErrorOnAClosingReceiptIsCuredByRestartAndReset) {
    printer.SetRestartTime(300);
    OpenReceipt();
    InjectError(22, kClosed, /*recoverable=*/true, /*reset=*/true);
    // The receipt was closed before the journal failed: bit 1 is off in the same reply.
    EXPECT_TRUE(Replies("re", Bare("re", "16", "80C10040")));
    EXPECT_TRUE(Replies("gs", Bare("gs", "00", "80C10040")));

    const emutest::ParsedReply up = Restart();
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, 0x00D1);  // unblocked, but wants a reset
    EXPECT_EQ(up.blocking, 0);
    EXPECT_TRUE(Replies("cr", Bare("cr", "00", "00C10000")));
    EXPECT_EQ(DocumentNumbers(), std::string("42") + FS + "3/8" + FS + "1" + FS);
    EXPECT_EQ(Count(printer.Requests(), "re"), 0u);  // the error reply is not an execution
}

TEST_F(EmuRecoveryTest, JournalErrorBeforeTheReceiptClosedLeavesItOpen) {
    printer.SetRestartTime(300);
    OpenReceipt();
    InjectError(22, kLeftOpen);
    EXPECT_TRUE(Replies("re", Bare("re", "16", "80C30040")));
    const emutest::ParsedReply up = Restart();
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, 0x00C3);  // not blocked, no reset wanted, receipt still open
    EXPECT_EQ(up.blocking, 0);
    EXPECT_EQ(DocumentNumbers(), std::string("41") + FS + "3/7" + FS + "1" + FS);
}

TEST_F(EmuRecoveryTest, ABrokenJournalKeepsThePrinterBlockedThroughRestarts) {
    printer.SetRestartTime(300);
    OpenReceipt();
    InjectError(22, kClosed, /*recoverable=*/false);
    EXPECT_TRUE(Replies("re", Bare("re", "16", "80C10040")));
    for (int pass = 0; pass < 3; ++pass) {
        const emutest::ParsedReply up = Restart();
        ASSERT_TRUE(up.ok);
        EXPECT_EQ(up.status, 0x80C1) << "pass " << pass;
        EXPECT_EQ(up.blocking, emu::kBlockJournal) << "pass " << pass;
    }
    EXPECT_EQ(printer.State().journalFault, emu::JournalFault::Permanent);
}

TEST_F(EmuRecoveryTest, RestartLiftsTheJournalBlockButNotOtherReasons) {
    printer.SetRestartTime(300);
    printer.SetStatusWords(emu::kInitialStatus | emu::kStatusBlocked, emu::kBlockNeedZReport);
    Fault f;
    f.kind = FaultKind::DeviceError;
    f.code = 22;
    ASSERT_EQ(printer.InjectFault(f), 0);
    EXPECT_TRUE(Replies("gs", Bare("gs", "16", "80C00048")));
    const emutest::ParsedReply up = Restart();
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, 0x80C0);
    EXPECT_EQ(up.blocking, emu::kBlockNeedZReport);
}

TEST_F(EmuRecoveryTest, UnitLinkErrorIsCuredByStatusReadThenUnlock) {
    OpenReceipt();
    InjectError(48, kClosed);
    EXPECT_TRUE(Replies("re", Bare("re", "30", "80C10200")));
    EXPECT_TRUE(Replies("vc", Bare("vc", "30", "80C10200")));  // the unit is out of reach
    // Reading the unit's status brings the link back; it still holds the lock.
    EXPECT_TRUE(Replies("vr", Bare("vr", "00", "80C10200") + FS + "1" + FS));
    EXPECT_TRUE(Replies("vc", Bare("vc", "00", "00C10000")));
    EXPECT_EQ(DocumentNumbers(), std::string("42") + FS + "3/8" + FS + "1" + FS);
    EXPECT_TRUE(Replies("vr", Bare("vr", "00", "00C10000") + FS + "0" + FS));
}

TEST_F(EmuRecoveryTest, AReceiptCountedDuringTheBlockShowsOpenUntilTheUnlockIsAnswered) {
    OpenReceipt();
    InjectError(48, kCounted);
    EXPECT_TRUE(Replies("re", Bare("re", "30", "80C30200")));
    EXPECT_TRUE(Replies("vr", Bare("vr", "00", "80C30200") + FS + "1" + FS));
    // The unlock's own reply still shows the receipt: the driver has to look at "gn".
    EXPECT_TRUE(Replies("vc", Bare("vc", "00", "00C30000")));
    EXPECT_TRUE(
        Replies("gn", Bare("gn", "00", "00C10000") + FS + "42" + FS + "3/8" + FS + "1" + FS));
}

TEST_F(EmuRecoveryTest, AReceiptCountedBeforeAJournalErrorIsGoneAfterTheRestart) {
    printer.SetRestartTime(300);
    OpenReceipt();
    InjectError(22, kCounted);
    EXPECT_TRUE(Replies("re", Bare("re", "16", "80C30040")));
    EXPECT_TRUE(Replies("gs", Bare("gs", "00", "80C30040")));  // blocked: it stays shown
    const emutest::ParsedReply up = Restart();
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, 0x00C1);
    EXPECT_EQ(DocumentNumbers(), std::string("42") + FS + "3/8" + FS + "1" + FS);
}

TEST_F(EmuRecoveryTest, UnitTimeOutIsCuredByUnlockAlone) {
    OpenReceipt();
    InjectError(49, kLeftOpen, /*recoverable=*/true, /*reset=*/true);
    // The reset is wanted at once, with the block.
    EXPECT_TRUE(Replies("re", Bare("re", "31", "80D30200")));
    EXPECT_TRUE(Replies("cr", Bare("cr", "00", "80C30200")));
    EXPECT_TRUE(Replies("vc", Bare("vc", "00", "00C30000")));
    // The receipt did not close: the driver sees the same document number.
    EXPECT_EQ(DocumentNumbers(), std::string("41") + FS + "3/7" + FS + "1" + FS);
}

TEST_F(EmuRecoveryTest, UnitAuthenticationErrorIsCuredByAuthThenUnlock) {
    OpenReceipt();
    InjectError(50, kClosed);
    EXPECT_TRUE(Replies("re", Bare("re", "32", "80C10200")));
    EXPECT_TRUE(Replies("vc", Bare("vc", "32", "80C10200")));
    EXPECT_TRUE(Replies("vr", Bare("vr", "00", "80C10200") + FS + "5" + FS));
    EXPECT_TRUE(Replies("vc", Bare("vc", "32", "80C10200")));  // a status read is not enough
    const emutest::ParsedReply auth = AskParsed(std::string("vw") + FS + "AUTH");
    ASSERT_TRUE(auth.ok);
    EXPECT_EQ(auth.error, 0u);
    EXPECT_EQ(emutest::Pieces(auth.data, FS).front(), "1");  // authenticated, still locked
    EXPECT_EQ(auth.status, 0x80C1);
    EXPECT_TRUE(Replies("vc", Bare("vc", "00", "00C10000")));
    EXPECT_EQ(DocumentNumbers(), std::string("42") + FS + "3/8" + FS + "1" + FS);
}

TEST_F(EmuRecoveryTest, ABrokenUnitLinkStaysBlockedWhateverTheDriverTries) {
    printer.SetRestartTime(300);
    OpenReceipt();
    InjectError(48, kClosed, /*recoverable=*/false);
    EXPECT_TRUE(Replies("re", Bare("re", "30", "80C10200")));
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(Replies("vc", Bare("vc", "30", "80C10200")));
        EXPECT_TRUE(Replies("vr", Bare("vr", "30", "80C10200")));
        EXPECT_TRUE(Replies("vc", Bare("vc", "30", "80C10200")));
        EXPECT_TRUE(Replies(std::string("vw") + FS + "AUTH", Bare("vw", "30", "80C10200")));
        EXPECT_TRUE(Replies("vc", Bare("vc", "30", "80C10200")));
    }
    const emutest::ParsedReply up = Restart();  // a restart does not bring the unit back
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, 0x80C1);
    EXPECT_EQ(up.blocking, emu::kBlockControlUnit);
    // A later error of another kind does not repair it either.
    InjectError(49, kLeftOpen);
    EXPECT_TRUE(Replies("re", Bare("re", "31", "80C10200")));
    EXPECT_TRUE(Replies("vc", Bare("vc", "30", "80C10200")));
}

TEST_F(EmuRecoveryTest, AUnitThatRefusesAuthenticationStaysBlocked) {
    OpenReceipt();
    InjectError(50, kLeftOpen, /*recoverable=*/false);
    EXPECT_TRUE(Replies("re", Bare("re", "32", "80C30200")));
    EXPECT_TRUE(Replies("vc", Bare("vc", "32", "80C30200")));
    EXPECT_TRUE(Replies("vr", Bare("vr", "00", "80C30200") + FS + "5" + FS));  // it answers
    EXPECT_TRUE(Replies(std::string("vw") + FS + "AUTH", Bare("vw", "32", "80C30200")));
    EXPECT_TRUE(Replies("vc", Bare("vc", "32", "80C30200")));
}

TEST_F(EmuRecoveryTest, TheRepeatOfAFailedRequestIsNotASecondFailure) {
    OpenReceipt();
    InjectError(22, kClosed);
    const std::string first = line->Exchange('5', "re");
    EXPECT_EQ(first, emutest::Frame('5', Bare("re", "16", "80C10040")));
    // The driver lost the reply and asks again under the same character: the same answer, and
    // the receipt is not counted twice.
    EXPECT_EQ(line->Exchange('5', "re"), first);
    EXPECT_EQ(printer.State().counters.document, 42u);
}

}  // namespace
