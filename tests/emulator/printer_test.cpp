// The virtual printer on its pseudo-terminal, driven by hand-built frames.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "LineClient.h"
#include "PrinterState.h"
#include "VirtualPrinter.h"

namespace {

using emutest::Frame;
using emutest::FS;
using emutest::LineClient;

class EmuPrinterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(printer.Start(), 0);
        line = std::make_unique<LineClient>(printer.DevicePath());
        ASSERT_TRUE(line->ok());
    }

    emu::VirtualPrinter printer;
    std::unique_ptr<LineClient> line;
};

std::string Reply(char sequence, const std::string& payload) {
    return Frame(sequence, payload);
}

TEST_F(EmuPrinterTest, GsAnswersWithTheExactHeaderBytes) {
    printer.SetStatusWords(0x00A1, 0x1234);
    ASSERT_TRUE(line->Write(std::string("\x02\x5A\x67\x73\x03\x4D", 6)));
    std::string body = std::string("Zgs") + FS + "00" + FS + "00A11234" + '\x03';
    EXPECT_EQ(line->ReadAnswer(), '\x02' + body + testsupport::CheckByte(body));

    printer.SetStatusWords(0xBEEF, 0x00CA);
    EXPECT_EQ(line->Exchange('0', "gs"),
              Reply('0', std::string("gs") + FS + "00" + FS + "BEEF00CA"));
}

TEST_F(EmuPrinterTest, StartsWithTheDayClosedAndReady) {
    EXPECT_EQ(printer.StatusWord(), 0x00C0);
    EXPECT_EQ(printer.BlockingWord(), 0x0000);
    EXPECT_EQ(line->Exchange('K', "gs"),
              Reply('K', std::string("gs") + FS + "00" + FS + "00C00000"));
    EXPECT_EQ(printer.StatusWord() & (emu::kStatusDayOpen | emu::kStatusNotReady |
                                      emu::kStatusBlocked | emu::kStatusReceiptOpen),
              0);
}

TEST_F(EmuPrinterTest, ARepeatedSequenceIsAnsweredFromTheCacheWithoutExecuting) {
    const std::string first = line->Exchange('Z', "gs");
    ASSERT_FALSE(first.empty());
    // Changed words would show if the repeat were executed again.
    printer.SetStatusWords(0x0001, 0x0008);
    EXPECT_EQ(line->Exchange('Z', "gs"), first);
    EXPECT_EQ(printer.Requests().size(), 1u);

    auto frames = printer.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].repeated);
    EXPECT_TRUE(frames[1].repeated);
    EXPECT_TRUE(frames[1].checkOk);

    // The next character is new work and sees the new words.
    EXPECT_EQ(line->Exchange('0', "gs"),
              Reply('0', std::string("gs") + FS + "00" + FS + "00010008"));
    EXPECT_EQ(printer.Requests().size(), 2u);
}

TEST_F(EmuPrinterTest, AReusedSequenceWithAnotherCommandGetsTheCachedReply) {
    // The character alone tells a repeat: a driver that reuses it gets the old answer, and its
    // new command is not executed.
    const std::string first = line->Exchange('Z', "gs");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(line->Exchange('Z', "qq"), first);
    EXPECT_EQ(printer.Requests(), (std::vector<std::string>{"gs"}));
    EXPECT_TRUE(printer.Frames().back().repeated);
}

TEST_F(EmuPrinterTest, ABadCheckByteIsRefusedWithNak) {
    std::string frame = Frame('Z', "gs");
    frame.back() = static_cast<char>(frame.back() + 1);
    ASSERT_TRUE(line->Write(frame));
    EXPECT_EQ(line->ReadAnswer(), std::string(1, emutest::NAK));
    EXPECT_TRUE(line->ReadFor(200).empty());  // one NAK, nothing else
    EXPECT_TRUE(printer.Requests().empty());
    auto frames = printer.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].checkOk);
    EXPECT_EQ(frames[0].payload, "gs");

    // The same request sent again properly is executed: nothing was cached for it.
    EXPECT_EQ(line->Exchange('Z', "gs"),
              Reply('Z', std::string("gs") + FS + "00" + FS + "00C00000"));
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(EmuPrinterTest, AnOverlongFrameIsRefusedWithOneNak) {
    ASSERT_TRUE(line->Write(Frame('Z', std::string(1022, 'a'))));
    EXPECT_EQ(line->ReadAnswer(), std::string(1, emutest::NAK));
    EXPECT_TRUE(line->ReadFor(200).empty());
    EXPECT_TRUE(printer.Requests().empty());

    // The longest allowed request is taken (and, not being a command, answered with error 2).
    EXPECT_EQ(line->Exchange('0', std::string(1021, 'a')),
              Reply('0', std::string("aa") + FS + "02" + FS + "00C00000"));
}

TEST_F(EmuPrinterTest, NoiseBeforeTheStartByteIsIgnored) {
    ASSERT_TRUE(line->Write(std::string("\x16\x15noise\x03\xFF", 9) + Frame('Z', "gs")));
    EXPECT_EQ(line->ReadAnswer(), Reply('Z', std::string("gs") + FS + "00" + FS + "00C00000"));
    EXPECT_EQ(printer.Frames().size(), 1u);
}

TEST_F(EmuPrinterTest, AFrameArrivingInPiecesIsAnsweredOnce) {
    const std::string frame = Frame('Z', "gs");
    for (size_t i = 0; i + 1 < frame.size(); ++i) {
        ASSERT_TRUE(line->Write(frame.substr(i, 1)));
        EXPECT_TRUE(line->ReadFor(20).empty()) << "after byte " << i;
    }
    ASSERT_TRUE(line->Write(frame.substr(frame.size() - 1)));
    EXPECT_EQ(line->ReadAnswer(), Reply('Z', std::string("gs") + FS + "00" + FS + "00C00000"));
}

TEST_F(EmuPrinterTest, UnknownCommandsGetError2) {
    const std::string header = std::string(1, FS) + "02" + FS + "00C00000";
    EXPECT_EQ(line->Exchange('Z', "qq"), Reply('Z', "qq" + header));
    EXPECT_EQ(line->Exchange('0', "GS"), Reply('0', "GS" + header));  // codes are lower case
    EXPECT_EQ(line->Exchange('1', "g"), Reply('1', "g" + header));
    EXPECT_EQ(line->Exchange('2', "gsx"), Reply('2', "gs" + header));
    // Fields after a known code do not make it unknown.
    EXPECT_EQ(line->Exchange('3', std::string("gs") + FS + "1"),
              Reply('3', std::string("gs") + FS + "00" + FS + "00C00000"));
}

TEST_F(EmuPrinterTest, AnswersAcrossManyOpensAndCloses) {
    line.reset();
    for (int i = 0; i < 20; ++i) {
        LineClient client(printer.DevicePath());
        ASSERT_TRUE(client.ok()) << "open " << i;
        const char sequence = static_cast<char>('0' + i);
        ASSERT_EQ(client.Exchange(sequence, "gs"),
                  Reply(sequence, std::string("gs") + FS + "00" + FS + "00C00000"))
            << "open " << i;
    }
    EXPECT_EQ(printer.Requests().size(), 20u);
}

TEST_F(EmuPrinterTest, BusySendsSynUntilTheReply) {
    printer.KeepBusy(1000);
    auto start = std::chrono::steady_clock::now();
    std::string answer = line->Exchange('Z', "gs", 1500);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(emutest::FramePart(answer),
              Reply('Z', std::string("gs") + FS + "00" + FS + "00C00000"));
    // SYN about every 300 ms over one second: 0, 300, 600 and 900.
    size_t syns = emutest::CountOf(answer.substr(0, answer.find('\x02')), emutest::SYN);
    EXPECT_GE(syns, 3u);
    EXPECT_LE(syns, 5u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));

    // Only the next request was busy.
    EXPECT_EQ(line->Exchange('0', "gs").front(), '\x02');
}

TEST_F(EmuPrinterTest, StopIsSilenceAndStartResumesWithTheStateKept) {
    printer.SetStatusWords(0x0041, 0x0002);
    printer.Stop();
    EXPECT_FALSE(printer.IsServing());
    EXPECT_TRUE(line->Exchange('Z', "gs", 300).empty());
    ASSERT_EQ(printer.Start(), 0);
    EXPECT_EQ(printer.Start(), -EALREADY);
    // What was sent while it was off is gone; the same character is not a repeat after power-on.
    EXPECT_EQ(line->Exchange('Z', "gs"),
              Reply('Z', std::string("gs") + FS + "00" + FS + "00410002"));
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(EmuPrinterTest, LogsAndWaits) {
    EXPECT_FALSE(printer.WaitForFrames(1, 50));
    ASSERT_TRUE(line->Write(Frame('Z', "gs")));
    EXPECT_TRUE(printer.WaitForFrames(1, 2000));
    line->ReadAnswer();
    printer.ClearLog();
    EXPECT_TRUE(printer.Frames().empty());
    EXPECT_TRUE(printer.Requests().empty());
}

TEST(EmuPrinterLifecycle, StopWithoutStartAndDestroyWhileAClientHoldsThePort) {
    auto printer = std::make_unique<emu::VirtualPrinter>();
    printer->Stop();
    EXPECT_TRUE(printer->DevicePath().empty());
    ASSERT_EQ(printer->Start(), 0);
    LineClient client(printer->DevicePath());
    ASSERT_TRUE(client.ok());
    ASSERT_TRUE(client.Write(Frame('Z', "gs")));
    const std::string path = printer->DevicePath();
    printer.reset();  // joins its thread even with a client attached and bytes in flight
    // The pseudo-terminal is gone with it: its device can no longer be opened.
    EXPECT_FALSE(LineClient(path).ok());
}

}  // namespace
