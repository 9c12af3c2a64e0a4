// Exactly once when the line fails: brontald decides from the printer's counters and receipt
// state whether a receipt was committed, after a lost reply, a printer that went silent, or a
// service that was killed in the middle of a receipt.
#include <future>

#include "ServiceFixture.h"

namespace servicetest {
namespace {

class ExactlyOnceTest : public ServiceTest {
  protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (!HasFatalFailure()) {
            ASSERT_EQ(Get("/printers/main/status").status, 200);  // connected
        }
    }

    // The committed documents of day 1 that hold `article`.
    int CommittedWith(const std::string& article) const {
        int count = 0;
        for (const std::string& document : Documents(Journal(1))) {
            if (document.find(article + "\n") != std::string::npos &&
                document.find("ДОКУМЕНТ АННУЛИРОВАН") == std::string::npos) {
                ++count;
            }
        }
        return count;
    }

    void InjectFault(emu::FaultKind kind, int frames, const std::string& command,
                     unsigned durationMs = 0) {
        emu::Fault fault;
        fault.kind = kind;
        fault.frames = frames;
        fault.command = command;
        fault.periodMs = 100;
        fault.durationMs = durationMs;
        ASSERT_EQ(printer_.InjectFault(fault), 0);
    }
};

TEST_F(ExactlyOnceTest, ReplyLostDuringTheCloseIsReportedCommittedAfterReconnecting) {
    // Every attempt of the close loses its reply (the first one closed the receipt), and so does
    // every attempt of the status read the driver settles an unanswered close with: only the
    // service's reconnection can tell.
    InjectFault(emu::FaultKind::LostReply, 3, "re");
    InjectFault(emu::FaultKind::LostReply, 3, "gs");
    const Reply reply = Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "lost-close");
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["outcome"], "committed");
    EXPECT_EQ(reply.body["committed"], true);
    EXPECT_EQ(reply.body["reconciled"], true);
    EXPECT_EQ(reply.body["printer_state"], "closed");
    EXPECT_EQ(reply.body["error"]["stage"], "close");
    EXPECT_EQ(reply.body["error"]["code"], "link_failure");
    EXPECT_EQ(reply.body["receipt_number"], 1);
    EXPECT_EQ(reply.body["document_number"], printer_.State().counters.document);
    EXPECT_EQ(CommittedWith("Хлеб"), 1);

    const Reply again = Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "lost-close");
    EXPECT_EQ(again.body["replayed"], true);
    EXPECT_EQ(again.body["document_number"], reply.body["document_number"]);
    EXPECT_EQ(CommittedWith("Хлеб"), 1);
    const std::string metrics = Get("/metrics").text;
    EXPECT_NE(
        metrics.find("brontald_reconciliations_total{printer=\"main\",outcome=\"committed\"} 1"),
        std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("brontald_reconnects_total{printer=\"main\"} 1"), std::string::npos);
}

TEST_F(ExactlyOnceTest, ReplyLostDuringTheCloseIsSettledByTheDriverFromThePrinterState) {
    // The printer's status after the lost replies shows the receipt closed: no reconnection.
    InjectFault(emu::FaultKind::LostReply, 3, "re");
    const Reply reply = Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "settled");
    ASSERT_EQ(reply.status, 200) << reply.text;
    EXPECT_EQ(reply.body["outcome"], "committed");
    EXPECT_EQ(reply.body["receipt_number"], 1);
    EXPECT_EQ(CommittedWith("Хлеб"), 1);
    EXPECT_EQ(Get("/metrics").text.find("brontald_reconnects_total{printer=\"main\"} 1"),
              std::string::npos);
}

TEST_F(ExactlyOnceTest, LinkLostDuringThePaymentIsNotCommittedAndTheReceiptCancelled) {
    // The printer hears no payment at all.
    InjectFault(emu::FaultKind::Silence, 3, "rc");
    const Reply reply = Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"));
    ASSERT_EQ(reply.status, 502) << reply.text;
    EXPECT_EQ(reply.body["outcome"], "not committed");
    EXPECT_EQ(reply.body["committed"], false);
    EXPECT_EQ(reply.body["printer_state"], "cancelled");
    EXPECT_EQ(reply.body["error"]["stage"], "payment");
    EXPECT_EQ(reply.body["error"]["method"], "PayCash");
    EXPECT_EQ(printer_.StatusWord() & 0x0002, 0) << "the receipt is left open";
    EXPECT_EQ(printer_.State().counters.receipt, 0u);
    EXPECT_EQ(CommittedWith("Хлеб"), 0);
    // Not committed means the client may send it again under another key.
    ASSERT_EQ(Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2")).status, 200);
    EXPECT_EQ(CommittedWith("Хлеб"), 1);
}

TEST_F(ExactlyOnceTest, OutcomeStaysUnknownWhileThePrinterIsSilentAndIsDecidedWhenItAnswers) {
    // The close is done, then the printer goes silent while it still seems busy.
    InjectFault(emu::FaultKind::SynBurst, 1, "re", 5000);
    auto pending = std::async(std::launch::async, [&] {
        return Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "silent-close");
    });
    ASSERT_TRUE(WaitForRequest("re", 20000));
    printer_.Stop();
    const Reply unknown = pending.get();
    ASSERT_EQ(unknown.status, 503) << unknown.text;
    EXPECT_EQ(unknown.body["outcome"], "unknown");
    EXPECT_TRUE(unknown.body["committed"].is_null());
    EXPECT_EQ(unknown.body["printer_state"], "unreachable");

    // Nothing that changes the printer runs while the outcome is undecided.
    Reply refused = Post("/printers/main/reports/x", Json::object());
    EXPECT_EQ(refused.status, 503) << refused.text;
    refused = Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "silent-close");
    EXPECT_EQ(refused.status, 503) << refused.text;
    EXPECT_EQ(refused.body["outcome"], "unknown");

    ASSERT_EQ(printer_.Start(), 0);
    const Reply decided =
        Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "silent-close");
    ASSERT_EQ(decided.status, 200) << decided.text;
    EXPECT_EQ(decided.body["outcome"], "committed");
    EXPECT_EQ(decided.body["reconciled"], true);
    EXPECT_EQ(decided.body["receipt_number"], 1);
    EXPECT_EQ(CommittedWith("Хлеб"), 1);
    EXPECT_EQ(Post("/printers/main/reports/x", Json::object()).status, 200);
}

TEST_F(ExactlyOnceTest, ServiceKilledDuringTheCloseDecidesTheReceiptWhenItStartsAgain) {
    InjectFault(emu::FaultKind::SynBurst, 1, "re", 3000);
    auto dropped = std::async(std::launch::async, [&] {
        return Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "crash-close");
    });
    ASSERT_TRUE(WaitForRequest("re", 20000));
    service_.Kill();
    EXPECT_EQ(dropped.get().status, 0) << "the connection should have been dropped";

    StartService();
    const Reply decided = Post("/printers/main/receipts", Sale("Хлеб", "1.20", "2"), "crash-close");
    ASSERT_EQ(decided.status, 200) << decided.text;
    EXPECT_EQ(decided.body["outcome"], "committed");
    EXPECT_EQ(decided.body["reconciled"], true);
    EXPECT_EQ(decided.body["error"]["code"], "interrupted");
    EXPECT_EQ(CommittedWith("Хлеб"), 1);
    EXPECT_EQ(printer_.State().counters.receipt, 1u);
}

}  // namespace
}  // namespace servicetest
