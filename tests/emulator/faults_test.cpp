// Every kind of injected fault, as the driver would see it on the line.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "LineClient.h"
#include "VirtualPrinter.h"

namespace {

using emu::Fault;
using emu::FaultKind;
using emutest::FS;
using emutest::LineClient;

const std::string kGsReplyPayload = std::string("gs") + FS + "00" + FS + "00C00000";

Fault MakeFault(FaultKind kind, int frames = 1) {
    Fault f;
    f.kind = kind;
    f.frames = frames;
    return f;
}

class EmuFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(printer.Start(), 0);
        line = std::make_unique<LineClient>(printer.DevicePath());
        ASSERT_TRUE(line->ok());
    }

    void Inject(const Fault& fault) { ASSERT_EQ(printer.InjectFault(fault), 0); }
    std::string GsReply(char sequence) { return emutest::Frame(sequence, kGsReplyPayload); }

    emu::VirtualPrinter printer;
    std::unique_ptr<LineClient> line;
};

TEST_F(EmuFaultTest, BadCheckByteSpoilsOnlyTheCheckByteAndTheRepeatIsClean) {
    Inject(MakeFault(FaultKind::BadCheckByte));
    const std::string spoiled = line->Exchange('Z', "gs");
    const std::string good = GsReply('Z');
    ASSERT_EQ(spoiled.size(), good.size());
    EXPECT_EQ(spoiled.substr(0, spoiled.size() - 1), good.substr(0, good.size() - 1));
    EXPECT_NE(spoiled.back(), good.back());
    // The driver repeats the request; the printer does not execute it a second time.
    EXPECT_EQ(line->Exchange('Z', "gs"), good);
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(EmuFaultTest, LostReplyExecutesAndTheRepeatGetsTheCachedReply) {
    Inject(MakeFault(FaultKind::LostReply));
    EXPECT_TRUE(line->Exchange('Z', "gs", 700).empty());
    EXPECT_EQ(printer.Requests().size(), 1u);
    printer.SetStatusWords(0x0003, 0);  // would show if the repeat were executed
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(EmuFaultTest, NakRefusesWithoutExecuting) {
    Inject(MakeFault(FaultKind::Nak));
    EXPECT_EQ(line->Exchange('Z', "gs"), std::string(1, emutest::NAK));
    EXPECT_TRUE(printer.Requests().empty());
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(EmuFaultTest, SilenceSendsNothingAndExecutesNothing) {
    Inject(MakeFault(FaultKind::Silence, 2));
    EXPECT_TRUE(line->Exchange('Z', "gs", 600).empty());
    EXPECT_TRUE(line->Exchange('Z', "gs", 600).empty());
    EXPECT_TRUE(printer.Requests().empty());
    EXPECT_EQ(printer.Frames().size(), 2u);
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(EmuFaultTest, SynBurstPrecedesTheReply) {
    Fault f = MakeFault(FaultKind::SynBurst);
    f.periodMs = 100;
    f.durationMs = 1000;
    Inject(f);
    auto start = std::chrono::steady_clock::now();
    const std::string answer = line->Exchange('Z', "gs", 1000);
    auto elapsed = std::chrono::steady_clock::now() - start;
    const size_t stx = answer.find('\x02');
    ASSERT_NE(stx, std::string::npos);
    EXPECT_EQ(answer.substr(stx), GsReply('Z'));
    EXPECT_EQ(answer.substr(0, stx),
              std::string(emutest::CountOf(answer.substr(0, stx), emutest::SYN),
                          emutest::SYN));  // nothing but SYN before it
    EXPECT_GE(stx, 8u);
    EXPECT_LE(stx, 11u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
}

TEST_F(EmuFaultTest, WrongSequenceCarriesThePreviousCharacter) {
    Inject(MakeFault(FaultKind::WrongSequence, 2));
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Y'));
    EXPECT_EQ(line->Exchange('0', "gs"), GsReply('Z'));  // the cycle wraps back to 'Z'
    // The driver asks again with the same character and gets the right reply from the cache.
    EXPECT_EQ(line->Exchange('0', "gs"), GsReply('0'));
    EXPECT_EQ(printer.Requests().size(), 2u);
}

TEST_F(EmuFaultTest, NoiseComesBeforeTheReply) {
    Fault f = MakeFault(FaultKind::Noise);
    f.bytes = std::string(
        "\x01\x7F"
        "abc\xFF",
        6);
    Inject(f);
    EXPECT_EQ(line->Exchange('Z', "gs"), f.bytes + GsReply('Z'));
}

TEST_F(EmuFaultTest, SlowBytesDeliversTheSameReplyOverTime) {
    Fault f = MakeFault(FaultKind::SlowBytes);
    f.periodMs = 40;
    Inject(f);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));
    auto elapsed = std::chrono::steady_clock::now() - start;
    // 18 bytes, 17 pauses of 40 ms between them.
    EXPECT_GE(elapsed, std::chrono::milliseconds(17 * 40 - 20));
}

TEST_F(EmuFaultTest, DeviceErrorForAnyCommandOrForOne) {
    Fault any = MakeFault(FaultKind::DeviceError);
    any.code = 0x2A;
    Inject(any);
    EXPECT_EQ(line->Exchange('Z', "gs"),
              emutest::Frame('Z', std::string("gs") + FS + "2A" + FS + "00C00000"));
    EXPECT_TRUE(printer.Requests().empty());

    Fault onlyRb = MakeFault(FaultKind::DeviceError);
    onlyRb.code = 1;
    onlyRb.command = "rb";
    Inject(onlyRb);
    EXPECT_EQ(line->Exchange('0', "gs"), GsReply('0'));
    EXPECT_EQ(printer.PendingFaults(), 1u);
    EXPECT_EQ(line->Exchange('1', "rb"),
              emutest::Frame('1', std::string("rb") + FS + "01" + FS + "00C00000"));
    EXPECT_EQ(printer.PendingFaults(), 0u);
}

TEST_F(EmuFaultTest, FaultsApplyInOrderAndSpoiledFramesTakeNone) {
    Inject(MakeFault(FaultKind::Nak));
    Inject(MakeFault(FaultKind::LostReply));
    std::string spoiled = emutest::Frame('Z', "gs");
    spoiled.back() = static_cast<char>(spoiled.back() ^ 0x40);
    ASSERT_TRUE(line->Write(spoiled));
    EXPECT_EQ(line->ReadAnswer(), std::string(1, emutest::NAK));
    EXPECT_EQ(printer.PendingFaults(), 2u);

    EXPECT_EQ(line->Exchange('Z', "gs"), std::string(1, emutest::NAK));  // the injected NAK
    EXPECT_TRUE(line->Exchange('0', "gs", 600).empty());                 // the lost reply
    EXPECT_EQ(line->Exchange('1', "gs"), GsReply('1'));
    EXPECT_EQ(printer.PendingFaults(), 0u);
}

TEST_F(EmuFaultTest, RefusedAndClearedFaultsDoNothing) {
    Fault f = MakeFault(FaultKind::SynBurst);
    EXPECT_EQ(printer.InjectFault(f), -EINVAL);  // no period
    f = MakeFault(FaultKind::LostReply, 0);
    EXPECT_EQ(printer.InjectFault(f), -EINVAL);
    Inject(MakeFault(FaultKind::Silence, 5));
    printer.ClearFaults();
    EXPECT_EQ(printer.PendingFaults(), 0u);
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));
}

TEST_F(EmuFaultTest, MalformedRepliesBreakTheLayoutOnly) {
    struct Case {
        FaultKind kind;
        std::string payload;
    };
    const Case cases[] = {
        {FaultKind::LongErrorField, std::string("gs") + FS + "000" + FS + "00C00000"},
        {FaultKind::ShortStatusField, std::string("gs") + FS + "00" + FS + "00C0000"},
        {FaultKind::LongStatusField, std::string("gs") + FS + "00" + FS + "00C000000"},
        {FaultKind::NoFirstFs, std::string("gs00") + FS + "00C00000"},
    };
    char sequence = '0';
    for (const Case& c : cases) {
        Inject(MakeFault(c.kind));
        // A frame sound in itself: only the text inside it is wrong.
        EXPECT_EQ(line->Exchange(sequence, "gs"), emutest::Frame(sequence, c.payload));
        // The driver's repeat under the same character gets the sound reply from the cache.
        EXPECT_EQ(line->Exchange(sequence, "gs"), GsReply(sequence));
        ++sequence;
    }
    // Each spoiled request was executed once.
    EXPECT_EQ(printer.Requests().size(), 4u);
}

TEST_F(EmuFaultTest, MalformedRepliesKeepTheDataAndLastForTheirFrames) {
    Fault f = MakeFault(FaultKind::ShortStatusField, 2);
    f.command = "gn";
    Inject(f);
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));  // not for this command
    const std::string data = std::string(1, FS) + "0" + FS + "0/0" + FS + "0" + FS;
    EXPECT_EQ(line->Exchange('0', "gn"),
              emutest::Frame('0', std::string("gn") + FS + "00" + FS + "00C0000" + data));
    EXPECT_EQ(line->Exchange('1', "gn"),
              emutest::Frame('1', std::string("gn") + FS + "00" + FS + "00C0000" + data));
    EXPECT_EQ(line->Exchange('2', "gn"),
              emutest::Frame('2', std::string("gn") + FS + "00" + FS + "00C00000" + data));

    Inject(MakeFault(FaultKind::NoFirstFs));
    EXPECT_EQ(line->Exchange('3', "gn"),
              emutest::Frame('3', std::string("gn00") + FS + "00C00000" + data));
    EXPECT_EQ(printer.PendingFaults(), 0u);
}

TEST_F(EmuFaultTest, TruncatedGarbledAndEmptyRepliesAreExecutedOnce) {
    Inject(MakeFault(FaultKind::TruncatedReply));
    EXPECT_EQ(line->Exchange('Z', "gs"), emutest::Frame('Z', kGsReplyPayload.substr(0, 7)));
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));

    Fault garbled = MakeFault(FaultKind::GarbledReply);
    garbled.bytes = "#%";
    Inject(garbled);
    EXPECT_EQ(line->Exchange('0', "gs"), emutest::Frame('0', "#%"));
    garbled.bytes.clear();
    garbled.code = 7;
    Inject(garbled);
    const std::string drawn = line->Exchange('1', "gs");
    ASSERT_EQ(drawn.size(), 16u);                                         // twelve bytes in a frame
    EXPECT_EQ(drawn.find_first_of(std::string{'\x02', '\x03'}, 1), 14u);  // only the ETX

    Inject(MakeFault(FaultKind::EmptyFields));
    EXPECT_EQ(line->Exchange('2', "gs"), emutest::Frame('2', std::string("gs") + FS + FS + FS));
    EXPECT_EQ(printer.Requests().size(), 4u);

    garbled.bytes = std::string("a\x03");
    EXPECT_EQ(printer.InjectFault(garbled), -EINVAL);
}

TEST_F(EmuFaultTest, ALateReplyComesAfterTheDriversStartWait) {
    Fault late = MakeFault(FaultKind::LateReply);
    late.periodMs = 800;
    Inject(late);
    ASSERT_TRUE(line->Write(emutest::Frame('Z', "gs")));
    EXPECT_TRUE(line->ReadFor(600).empty());
    EXPECT_EQ(line->ReadAnswer(), GsReply('Z'));
    EXPECT_EQ(printer.Requests().size(), 1u);
    late.periodMs = 0;
    EXPECT_EQ(printer.InjectFault(late), -EINVAL);
}

TEST_F(EmuFaultTest, ReplayLastAnswersANewRequestWithTheLastReply) {
    // Nothing answered yet, then the same command: nothing to mistake it for.
    Inject(MakeFault(FaultKind::ReplayLast, 2));
    EXPECT_EQ(line->Exchange('Z', "gs"), GsReply('Z'));
    EXPECT_EQ(line->Exchange('0', "gs"), GsReply('0'));
    Inject(MakeFault(FaultKind::ReplayLast));
    EXPECT_EQ(line->Exchange('1', "gn"), GsReply('1'));
    EXPECT_EQ(printer.Requests(), (std::vector<std::string>{"gs", "gs"}));
}

TEST_F(EmuFaultTest, RandomFaultsHitTheirShareOfFramesFromTheSeed) {
    std::vector<Fault> kinds = {MakeFault(FaultKind::LostReply), MakeFault(FaultKind::Nak)};
    ASSERT_EQ(printer.SetRandomFaults(30, 42, kinds), 0);
    char sequence = 'Z';
    size_t answered = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string reply = line->Exchange(sequence, "gs", 600);
        if (reply.size() > 1) {
            ++answered;
            sequence = sequence == 'Z' ? '0' : static_cast<char>(sequence + 1);
        }
    }
    const std::vector<size_t> counts = printer.RandomFaultCounts();
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_GT(counts[0], 0u);
    EXPECT_GT(counts[1], 0u);
    EXPECT_EQ(answered + counts[0] + counts[1], 60u);
    EXPECT_LT(counts[0] + counts[1], 40u);

    EXPECT_EQ(printer.SetRandomFaults(101, 1, kinds), -EINVAL);
    kinds.push_back(MakeFault(FaultKind::SynBurst));  // without a period
    EXPECT_EQ(printer.SetRandomFaults(5, 1, kinds), -EINVAL);
    EXPECT_EQ(printer.SetRandomFaults(0, 1, {}), 0);
}

TEST_F(EmuFaultTest, ExtraDataStaysInTheCache) {
    Fault extra = MakeFault(FaultKind::ExtraData);
    extra.bytes = std::string(40, 'x');
    Inject(extra);
    const std::string spoiled = emutest::Frame('Z', kGsReplyPayload + FS + std::string(40, 'x'));
    EXPECT_EQ(line->Exchange('Z', "gs"), spoiled);
    // Its own reply: the repeat gets it again, and the request is not executed twice.
    EXPECT_EQ(line->Exchange('Z', "gs"), spoiled);
    EXPECT_EQ(line->Exchange('0', "gs"), GsReply('0'));
    EXPECT_EQ(printer.Requests().size(), 2u);
    extra.bytes.clear();
    EXPECT_EQ(printer.InjectFault(extra), -EINVAL);
}

TEST_F(EmuFaultTest, DeviceErrorsOtherThanJournalAndUnitLeaveTheWordsAlone) {
    Fault f = MakeFault(FaultKind::DeviceError);
    f.code = 21;
    f.recoverable = false;  // meaningless for this error
    Inject(f);
    EXPECT_EQ(line->Exchange('Z', "gs"),
              emutest::Frame('Z', std::string("gs") + FS + "15" + FS + "00C00000"));
    EXPECT_EQ(printer.StatusWord(), 0x00C0);
    EXPECT_EQ(printer.BlockingWord(), 0);
}

}  // namespace
