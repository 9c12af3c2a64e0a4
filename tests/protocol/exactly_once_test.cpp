// Every command executed at most once, and its outcome reported as it was, when the line spoils,
// loses or delays the printer's replies: the command layer against the virtual printer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "FiscalState.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

using Strings = std::vector<std::string>;

emu::Fault MakeFault(emu::FaultKind kind, const std::string& command, int frames = 1) {
    emu::Fault fault;
    fault.kind = kind;
    fault.command = command;
    fault.frames = frames;
    return fault;
}

class ExactlyOnce : public PrinterFixture {
  protected:
    // An open day and an open sale receipt.
    void OpenReceipt() {
        printer.SetReportTime(0);
        AttachAndClear();
        ASSERT_EQ(layer.OpenDay(), 0);
        ASSERT_EQ(layer.BeginReceipt(1), 0);
        printer.ClearLog();
    }
    int SellBread() {
        return layer.SellArticle({.price = {12500, 100}, .name = "Bread", .department = 1});
    }
    size_t Executed(const std::string& code) const {
        const Strings requests = printer.Requests();
        return static_cast<size_t>(std::count_if(
            requests.begin(), requests.end(),
            [&](const std::string& request) { return request.compare(0, 2, code) == 0; }));
    }
    // The printer's own total of the open receipt, in ten-thousandths.
    emu::Money PrinterTotal() const {
        const emu::PrinterState state = printer.State();
        return state.receipt ? emu::ReceiptTotal(*state.receipt) : -1;
    }
    // The layer's running total, in ten-thousandths.
    LONGLONG LayerTotal() const {
        return layer.Total().amount * 10000 / (layer.Total().scale ? layer.Total().scale : 1);
    }
    void Inject(const emu::Fault& fault) { ASSERT_EQ(printer.InjectFault(fault), 0); }
};

constexpr emu::Money kBread = 1250000;  // 125.00

TEST_F(ExactlyOnce, ASpoiledReplyToASaleIsAskedForAgainAndTheSaleDoneOnce) {
    OpenReceipt();
    const emu::FaultKind spoilers[] = {emu::FaultKind::TruncatedReply, emu::FaultKind::GarbledReply,
                                       emu::FaultKind::EmptyFields,
                                       emu::FaultKind::ShortStatusField};
    emu::Money expected = 0;
    for (emu::FaultKind kind : spoilers) {
        SCOPED_TRACE(static_cast<int>(kind));
        printer.ClearLog();
        Inject(MakeFault(kind, "as"));
        EXPECT_EQ(SellBread(), 0);
        expected += kBread;
        EXPECT_EQ(Executed("as"), 1u);
        EXPECT_EQ(PrinterTotal(), expected);
        // The second frame repeated the first's character and was answered from the cache.
        const std::vector<emu::ReceivedFrame> frames = printer.Frames();
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[1].sequence, frames[0].sequence);
        EXPECT_TRUE(frames[1].repeated);
    }
    EXPECT_EQ(LayerTotal(), expected);
}

TEST_F(ExactlyOnce, AWrongCheckByteOnTheReplyToASaleEndsInSuccessWithOneSale) {
    OpenReceipt();
    Inject(MakeFault(emu::FaultKind::BadCheckByte, "as"));
    EXPECT_EQ(SellBread(), 0);
    EXPECT_EQ(Executed("as"), 1u);
    EXPECT_EQ(PrinterTotal(), kBread);
    EXPECT_EQ(LayerTotal(), kBread);
}

TEST_F(ExactlyOnce, ALostReplyToTheCurrenciesDoesNotAnswerTheNextCommand) {
    AttachAndClear();
    // Both attempts lose the reply: the printer holds the character with the table's answer.
    Inject(MakeFault(emu::FaultKind::LostReply, "gc", 2));
    EXPECT_EQ(layer.LoadCurrencies(), kX28PacketTimeout);
    char country[16] = "";
    char serial[16] = "";
    char unitSerial[16] = "";
    char unitNumber[16] = "";
    char model[16] = "";
    ASSERT_EQ(layer.ReadManufacturerData(country, sizeof country, serial, sizeof serial, unitSerial,
                                         sizeof unitSerial, unitNumber, sizeof unitNumber, model,
                                         sizeof model),
              0);
    EXPECT_STREQ(country, "643");
    EXPECT_STREQ(serial, "KT00012345");
    EXPECT_EQ(Executed("gm"), 1u);
    const std::vector<char> sequences = Sequences();
    ASSERT_EQ(sequences.size(), 3u);
    EXPECT_EQ(sequences[1], sequences[0]);  // the repeat of "gc"
    EXPECT_NE(sequences[2], sequences[0]);
}

TEST_F(ExactlyOnce, AReplyEchoingAnotherCommandIsTakenForTheCacheAndTheRequestGoesAgain) {
    AttachAndClear();
    ASSERT_EQ(layer.LoadCurrencies(), 0);
    // The printer takes "gm" for a repeat and answers with the table.
    Inject(MakeFault(emu::FaultKind::ReplayLast, "gm"));
    char country[16] = "";
    char serial[16] = "";
    ASSERT_EQ(layer.ReadManufacturerData(country, sizeof country, serial, sizeof serial, nullptr, 0,
                                         nullptr, 0, nullptr, 0),
              0);
    EXPECT_STREQ(country, "643");
    EXPECT_EQ(Executed("gm"), 1u);
    const std::vector<char> sequences = Sequences();
    ASSERT_EQ(sequences.size(), 3u);
    EXPECT_NE(sequences[2], sequences[1]);

    // Without attempts left the answer is refused as a bad reply, and nothing of it is taken.
    ASSERT_TRUE(UseRetryCount(1));
    Inject(MakeFault(emu::FaultKind::ReplayLast, "gn"));
    DWORD document = 77;
    EXPECT_EQ(layer.ReadDocumentNumbers(&document, nullptr, nullptr, nullptr), kBrontalBadReply);
    EXPECT_EQ(document, 77u);
}

TEST_F(ExactlyOnce, AReplyArrivingAfterItsTimeOutIsNotTakenForTheNextOne) {
    AttachAndClear();
    emu::Fault late = MakeFault(emu::FaultKind::LateReply, "gn");
    late.periodMs = 800;
    Inject(late);
    // The repeat is sent while the late reply is on its way; the late one answers it, and the
    // cache's answer to the repeat follows.
    EXPECT_EQ(layer.ReadDocumentNumbers(nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_TRUE(printer.WaitForFrames(2, 2000));
    Sleep(100);
    ASSERT_TRUE(UseRetryCount(1));
    char date[16] = "";
    char time[16] = "";
    EXPECT_EQ(layer.ReadClock(date, sizeof date, time, sizeof time), 0);
    EXPECT_EQ(std::string(date).size(), 8u);
    EXPECT_EQ(Executed("gn"), 1u);
    EXPECT_EQ(Executed("gt"), 1u);
}

TEST_F(ExactlyOnce, AFailedFirstStatusDoesNotWedgeTheNextAttach) {
    // Replies the printer itself got wrong, which it answers again from its cache.
    emu::Fault tooLong = MakeFault(emu::FaultKind::ExtraData, "gs");
    tooLong.bytes = std::string(40, 'x');  // more than the status reply's buffer
    emu::Fault noFrame = tooLong;
    noFrame.bytes = std::string(1100, 'x');  // more than any reply frame
    emu::Fault refused = MakeFault(emu::FaultKind::DeviceError, "gs");
    refused.code = 0x10;
    const struct {
        emu::Fault fault;
        int result;
    } cases[] = {{tooLong, kBrontalBadReply}, {noFrame, kBrontalLinkFailed}, {refused, -9216}};
    for (const auto& c : cases) {
        Inject(c.fault);
        EXPECT_EQ(layer.Attach(kPrinterPort, "9600"), c.result);
        ASSERT_NE(layer.Link(), nullptr);
        EXPECT_FALSE(layer.Link()->IsOpen());
        printer.ClearLog();
        // A new link, under a character the printer does not hold.
        EXPECT_EQ(layer.Attach(kPrinterPort, "9600"), 0);
        EXPECT_EQ(Payloads(), (Strings{"gs", "gc"}));
        EXPECT_FALSE(printer.Frames().front().repeated);
        layer.Detach();
    }
}

}  // namespace
}  // namespace prottest
