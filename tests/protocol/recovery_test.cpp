// The recoveries that Execute starts for device errors 22 and 48 to 50, played step by step by a
// scripted printer. The waits of the recoveries are real: each test takes a second or two.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

class Recovery : public PeerFixture {
  protected:
    // What a command operation does with Execute's result.
    int Command(const std::string& code, const std::string& fields = std::string()) {
        const int result = Run(code, fields);
        if (result <= 0) {
            return result;
        }
        return layer.DeviceResult();
    }
};

TEST_F(Recovery, JournalErrorOnEndOfDocumentRestartsResetsAndFindsTheReceiptClosed) {
    Play({
        ReplyWith(22, 0x8002, 0x0040),  // re: journal error, blocked, receipt open
        Silence(),                      // c0: the printer restarts
        Silence(),                      // gs: not up yet
        ReplyWith(0, 0x0010),           // gs: needs a reset, receipt closed
        ReplyWith(0, 0x0000),           // cr
    });
    EXPECT_EQ(Command("re"), 0);
    EXPECT_EQ(layer.DeviceError(), 0);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"re", "c0", "gs", "gs", "cr"}));
}

TEST_F(Recovery, JournalErrorOfAnotherCommandStaysAfterTheRestart) {
    Play({
        ReplyWith(22, 0x8000, 0x0040),  // as: journal error, blocked
        Silence(),                      // c0
        ReplyWith(0, 0x0002),           // gs: no longer blocked, and no error in this reply
    });
    EXPECT_EQ(Command("as", "1"), -9222);
    EXPECT_EQ(layer.DeviceError(), 22);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"as" + FS + "1", "c0", "gs"}));
}

TEST_F(Recovery, JournalErrorOfAPrinterThatIsNotBlockedEndsAtOnce) {
    Play({ReplyWith(22, 0x0002)});
    EXPECT_EQ(Command("as", "1"), kBrontalBadArguments);
    EXPECT_EQ(layer.DeviceError(), 22);
    EXPECT_EQ(peer.Payloads(), std::vector<std::string>{"as" + FS + "1"});
}

TEST_F(Recovery, ControlUnitErrorOnEndOfDocumentUnlocksStepByStep) {
    Play({ReplyWith(0, 0x0002, 0, "10" + FS + "3/4" + FS + "20" + FS)});
    ASSERT_EQ(layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(layer.LastDocumentNumber(), 10U);
    peer.ClearRequests();
    Play({
        ReplyWith(48, 0x8002, 0x0200),  // re: control unit error, blocked
        ReplyWith(0, 0x8002, 0x0200),   // vc: still blocked
        ReplyWith(0, 0x8002, 0x0200),   // vr
        ReplyWith(0, 0x8002, 0x0200),   // vc
        ReplyWith(0, 0x8002, 0x0200),   // vw AUTH
        ReplyWith(0, 0x0002),           // vc: unlocked, the receipt still open
        ReplyWith(0, 0x0002, 0, "11" + FS + "3/4" + FS + "20" + FS),  // gn: a new document
    });
    EXPECT_EQ(Command("re"), 0);
    EXPECT_EQ(layer.DeviceError(), 0);
    EXPECT_EQ(layer.LastDocumentNumber(), 11U);
    EXPECT_EQ(peer.Payloads(),
              (std::vector<std::string>{"re", "vc", "vr", "vc", "vw" + FS + "AUTH", "vc", "gn"}));
}

TEST_F(Recovery, ControlUnitErrorSurvivesTheRecoverysOwnReplies) {
    // The document number did not move: "re" did not go through although every reply of the
    // recovery itself came without an error.
    Play({ReplyWith(0, 0x0002, 0, "10" + FS + "3/4" + FS + "20" + FS)});
    ASSERT_EQ(layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, nullptr), 0);
    peer.ClearRequests();
    Play({
        ReplyWith(50, 0x8002, 0x0200),                                // re
        ReplyWith(0, 0x0002),                                         // vc: unlocked
        ReplyWith(0, 0x0002, 0, "10" + FS + "3/4" + FS + "20" + FS),  // gn: the same document
    });
    EXPECT_EQ(Command("re"), -9250);
    EXPECT_EQ(layer.DeviceError(), 50);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"re", "vc", "gn"}));

    // A document number that is none does not count as a new document either.
    peer.ClearRequests();
    Play({ReplyWith(48, 0x8002, 0x0200), ReplyWith(0, 0x0002),
          ReplyWith(0, 0x0002, 0, "-1" + FS + "3/4" + FS + "20" + FS)});
    EXPECT_EQ(Command("re"), -9248);
    EXPECT_EQ(layer.LastDocumentNumber(), 10U);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"re", "vc", "gn"}));

    // Unlocked but not ready: refused without asking for the document number.
    peer.ClearRequests();
    Play({ReplyWith(49, 0x8002), ReplyWith(0, 0x0020)});
    EXPECT_EQ(Command("re"), -9249);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"re", "vc"}));
}

TEST_F(Recovery, ControlUnitErrorOfAnotherCommandOnlyResetsThePrinter) {
    Play({ReplyWith(49, 0x0012), ReplyWith(0, 0x0002)});
    EXPECT_EQ(Command("as", "1"), -9249);
    EXPECT_EQ(layer.DeviceError(), 49);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"as" + FS + "1", "cr"}));

    // Without the reset bit nothing is sent at all.
    peer.ClearRequests();
    Play({ReplyWith(48, 0x0002)});
    EXPECT_EQ(Command("rc", "1"), -9248);
    EXPECT_EQ(peer.Payloads(), std::vector<std::string>{"rc" + FS + "1"});
}

TEST_F(Recovery, AStaleDeviceErrorStartsNoRecovery) {
    Play({ReplyWith(49, 0x0002)});
    ASSERT_EQ(Command("as", "1"), -9249);
    // The next command times out; the 49 of the earlier reply must not send "cr" or "vc".
    ASSERT_TRUE(UseRetryCount(1));
    peer.ClearRequests();
    Play({Silence()});
    EXPECT_EQ(Command("re"), kX28PacketTimeout);
    EXPECT_EQ(peer.Payloads(), std::vector<std::string>{"re"});
}

}  // namespace
}  // namespace prottest
