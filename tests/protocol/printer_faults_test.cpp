// Execution against the virtual printer's faults: malformed replies, silence, replies out of
// sequence, and the journal and control-unit errors that block it until the recovery lifts them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

using PrinterFaults = PrinterFixture;
using Strings = std::vector<std::string>;

emu::Fault MakeFault(emu::FaultKind kind, int frames = 1) {
    emu::Fault fault;
    fault.kind = kind;
    fault.frames = frames;
    return fault;
}

emu::Fault DeviceError(int code, const std::string& command) {
    emu::Fault fault = MakeFault(emu::FaultKind::DeviceError);
    fault.code = code;
    fault.command = command;
    return fault;
}

// What a command operation does with Execute's result.
int Command(CBrontal& layer, const char* code) {
    char command[8] = {};
    std::string(code).copy(command, sizeof command - 1);
    char fields[64] = "";
    const int result = layer.Execute(command, sizeof command, fields, sizeof fields, 1);
    return result <= 0 ? result : layer.DeviceResult();
}

TEST_F(PrinterFaults, MalformedRepliesAreRetried) {
    AttachAndClear();
    for (emu::FaultKind kind : {emu::FaultKind::LongErrorField, emu::FaultKind::ShortStatusField,
                                emu::FaultKind::LongStatusField, emu::FaultKind::NoFirstFs}) {
        SCOPED_TRACE(static_cast<int>(kind));
        printer.ClearLog();
        printer.SetStatusWords(0x00C1, 0);
        ASSERT_EQ(printer.InjectFault(MakeFault(kind)), 0);
        WORD status = 0;
        EXPECT_EQ(layer.GetStatus(&status, nullptr), 0);
        EXPECT_EQ(status, 0x00C1);
        EXPECT_EQ(Payloads(), (Strings{"gs", "gs"}));
    }
    // With one attempt the malformed reply is the result.
    ASSERT_TRUE(UseRetryCount(1));
    ASSERT_EQ(printer.InjectFault(MakeFault(emu::FaultKind::LongStatusField)), 0);
    EXPECT_EQ(layer.GetStatus(nullptr, nullptr), kBrontalBadReply);
}

TEST_F(PrinterFaults, ANeverAnsweredCommandIsSentAsOftenAsTheSettingSays) {
    AttachAndClear();
    const struct {
        DWORD setting;
        size_t sent;
    } cases[] = {{0, 3}, {1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        ASSERT_TRUE(UseRetryCount(c.setting));
        printer.ClearLog();
        ASSERT_EQ(printer.InjectFault(MakeFault(emu::FaultKind::Silence, 5)), 0);
        EXPECT_EQ(layer.GetStatus(nullptr, nullptr), kX28PacketTimeout);
        EXPECT_EQ(Payloads(), Strings(c.sent, "gs"));
        printer.ClearFaults();
    }
}

TEST_F(PrinterFaults, AfterAnOutOfSequenceReplyTheRequestIsNotSentAgainAtOnce) {
    AttachAndClear();
    ASSERT_TRUE(UseRetryCount(3));
    ASSERT_EQ(printer.InjectFault(MakeFault(emu::FaultKind::WrongSequence)), 0);
    // Attempt 1 gets the stray reply, attempt 2 only listens, attempt 3 sends again, and the
    // printer answers that repeat from its cache.
    EXPECT_EQ(layer.GetStatus(nullptr, nullptr), 0);
    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[1].sequence, frames[0].sequence);
    EXPECT_TRUE(frames[1].repeated);
    EXPECT_EQ(printer.Requests(), Strings{"gs"});
}

TEST_F(PrinterFaults, JournalErrorOnEndOfDocumentIsRecoveredByRestartAndReset) {
    AttachAndClear();
    printer.SetStatusWords(0x00C3, 0);  // day and receipt open
    emu::Fault fault = DeviceError(22, "re");
    fault.receipt = emu::ReceiptOutcome::Closed;
    fault.needsReset = true;
    ASSERT_EQ(printer.InjectFault(fault), 0);
    EXPECT_EQ(Command(layer, "re"), 0);
    EXPECT_EQ(layer.DeviceError(), 0);
    EXPECT_EQ(Payloads(), (Strings{"re", "c0", "gs", "cr"}));
    EXPECT_EQ(printer.StatusWord() & (emu::kStatusBlocked | emu::kStatusNeedReset), 0);
}

TEST_F(PrinterFaults, JournalErrorThatStaysIsReportedAfterThreePasses) {
    AttachAndClear();
    printer.SetRestartTime(100);
    emu::Fault fault = DeviceError(22, "zx");
    fault.recoverable = false;
    ASSERT_EQ(printer.InjectFault(fault), 0);
    EXPECT_EQ(Command(layer, "zx"), -9222);
    EXPECT_EQ(Payloads(), (Strings{"zx", "c0", "gs", "c0", "gs", "c0", "gs"}));
    EXPECT_NE(printer.StatusWord() & emu::kStatusBlocked, 0);
}

TEST_F(PrinterFaults, ControlUnitErrorOnEndOfDocumentNeedsAuthentication) {
    AttachAndClear();
    printer.SetStatusWords(0x20C3, 0);
    emu::Fault fault = DeviceError(50, "re");
    fault.receipt = emu::ReceiptOutcome::Closed;
    ASSERT_EQ(printer.InjectFault(fault), 0);
    EXPECT_EQ(Command(layer, "re"), 0);
    EXPECT_EQ(Payloads(), (Strings{"re", "vc", "vr", "vc",
                                   "vw\x1C"
                                   "AUTH",
                                   "vc"}));
    EXPECT_EQ(printer.StatusWord() & emu::kStatusBlocked, 0);
}

TEST_F(PrinterFaults, ControlUnitErrorWithTheReceiptShownOpenAsksForTheDocumentNumber) {
    AttachAndClear();
    printer.SetDocumentCounters({40, 2, 5, 1});
    ASSERT_EQ(layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, nullptr), 0);
    printer.SetStatusWords(0x20C3, 0);

    // Counted while blocked: "gn" shows the new document, so "re" went through.
    emu::Fault counted = DeviceError(48, "re");
    counted.receipt = emu::ReceiptOutcome::ClosedAfterUnblock;
    ASSERT_EQ(printer.InjectFault(counted), 0);
    printer.ClearLog();
    EXPECT_EQ(Command(layer, "re"), 0);
    EXPECT_EQ(Payloads(), (Strings{"re", "vc", "vr", "vc", "gn"}));
    EXPECT_EQ(layer.LastDocumentNumber(), 41U);

    // Not counted: the receipt is still open under the same number, and "re" stays refused.
    printer.SetStatusWords(0x20C3, 0);
    emu::Fault refused = DeviceError(49, "re");
    ASSERT_EQ(printer.InjectFault(refused), 0);
    printer.ClearLog();
    EXPECT_EQ(Command(layer, "re"), -9249);
    EXPECT_EQ(layer.DeviceError(), 49);
    EXPECT_EQ(Payloads(), (Strings{"re", "vc", "gn"}));
}

TEST_F(PrinterFaults, ControlUnitErrorThatStaysKeepsTheCommandRefused) {
    AttachAndClear();
    emu::Fault fault = DeviceError(48, "re");
    fault.recoverable = false;
    fault.needsReset = true;
    ASSERT_EQ(printer.InjectFault(fault), 0);
    EXPECT_EQ(Command(layer, "re"), -9248);
    EXPECT_EQ(layer.DeviceError(), 48);
    const Strings payloads = Payloads();
    ASSERT_GE(payloads.size(), 3U);
    EXPECT_EQ(payloads[0], "re");
    EXPECT_EQ(payloads[1], "cr");
    EXPECT_EQ(payloads[2], "vc");
}

}  // namespace
}  // namespace prottest
