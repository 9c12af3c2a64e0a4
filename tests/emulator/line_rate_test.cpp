// The virtual printer's line-rate mode: what it sends keeps the pace of a cable at the speed set
// on the line, a request costs its own wire time first, a FIFO hands bytes over in groups, and
// printing takes its time per line. Only lower bounds are checked: a slow machine can make the
// line slower, never faster.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <string>

#include "FiscalFixture.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using emutest::LineClient;

// N bytes at S bits per second, 10 bits a byte.
Clock::duration WireTime(size_t bytes, unsigned baud) {
    return std::chrono::microseconds(bytes * 10 * 1000000 / baud);
}

class EmuLineRateTest : public emutest::FiscalFixture {
  protected:
    // A closed day whose journal is `size` bytes, so that "jg" answers with a long frame.
    void DayWithJournal(size_t size) {
        ASSERT_EQ(Error("zb"), 0u);
        ASSERT_EQ(Error("ze"), 0u);
        ASSERT_EQ(printer.SetSessionJournal(1, std::string(size, 'j')), 0);
    }

    // Writes the request under the next sequence character and reads `replyBytes` bytes.
    std::vector<LineClient::Arrival> Timed(const std::string& request, size_t replyBytes,
                                           Clock::time_point* written) {
        const std::string frame = emutest::Frame(NextSequence(), request);
        *written = Clock::now();
        EXPECT_TRUE(line->Write(frame));
        return line->ReadArrivals(replyBytes, 3000);
    }

    static size_t Count(const std::vector<LineClient::Arrival>& arrivals) {
        size_t n = 0;
        for (const LineClient::Arrival& a : arrivals) {
            n += a.bytes.size();
        }
        return n;
    }

    const std::string block = emutest::Request("jg", {"1", "0", "200"});  // 512 bytes
};

TEST_F(EmuLineRateTest, NBytesAtSpeedSTakeAtLeastNTimesTenOverS) {
    DayWithJournal(600);
    const size_t replyBytes = Ask(block).size();  // as fast as the pseudo-terminal goes
    ASSERT_GT(replyBytes, 512u);
    EXPECT_EQ(printer.Line().pacedBaud, 0u);

    ASSERT_EQ(printer.SetLineRate(true), 0);
    ASSERT_TRUE(line->SetSpeed(19200));
    printer.ClearLineCounts();
    Clock::time_point written;
    const auto arrivals = Timed(block, replyBytes, &written);
    ASSERT_EQ(Count(arrivals), replyBytes);
    const size_t requestBytes = block.size() + 4;
    // The request crosses first, then the reply's first byte; after it, the rest one by one.
    EXPECT_GE(arrivals.front().at - written, WireTime(requestBytes + 1, 19200));
    EXPECT_GE(arrivals.back().at - written, WireTime(requestBytes + replyBytes, 19200));
    // The printer adds its sending time once its last write has returned, which the reader may
    // see first.
    emu::LineCounts counts = printer.Line();
    for (int i = 0; i < 300 && counts.sending.count() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        counts = printer.Line();
    }
    EXPECT_EQ(counts.received, requestBytes);
    EXPECT_EQ(counts.sent, replyBytes);
    EXPECT_EQ(counts.pacedBaud, 19200u);
    EXPECT_GE(counts.sending, WireTime(replyBytes, 19200));
}

TEST_F(EmuLineRateTest, KeepsTheSpeedTheDriverSetOnTheLine) {
    ASSERT_EQ(printer.SetLineRate(true), 0);
    const size_t replyBytes = Ask("gs").size();
    for (unsigned baud : {2400u, 115200u}) {
        ASSERT_TRUE(line->SetSpeed(baud));
        Clock::time_point written;
        const auto arrivals = Timed("gs", replyBytes, &written);
        ASSERT_EQ(Count(arrivals), replyBytes) << baud;
        EXPECT_GE(arrivals.back().at - written, WireTime(6 + replyBytes, baud)) << baud;
        EXPECT_EQ(printer.Line().pacedBaud, baud);
    }
}

TEST_F(EmuLineRateTest, AFifoHandsTheBytesOverInGroups) {
    DayWithJournal(600);
    const size_t replyBytes = Ask(block).size();
    ASSERT_EQ(printer.SetLineRate(true, 8), 0);
    ASSERT_TRUE(line->SetSpeed(19200));
    Clock::time_point written;
    const auto arrivals = Timed(block, replyBytes, &written);
    ASSERT_EQ(Count(arrivals), replyBytes);
    // A group comes whole, once its eighth byte has crossed; only the last may be shorter.
    EXPECT_GE(arrivals.front().at - written, WireTime(block.size() + 4 + 8, 19200));
    for (size_t i = 0; i + 1 < arrivals.size(); ++i) {
        EXPECT_EQ(arrivals[i].bytes.size() % 8, 0u) << "read " << i;
    }
}

TEST_F(EmuLineRateTest, PrintingTakesItsTimePerLine) {
    ASSERT_EQ(Error("zb"), 0u);
    printer.SetPrintTime(5);
    const auto linesOnPaper = [&] {
        const std::string paper = testsupport::ReadFileBytes(dir.file("paper.txt"));
        return static_cast<size_t>(std::count(paper.begin(), paper.end(), '\n'));
    };
    const size_t before = linesOnPaper();
    const Clock::time_point start = Clock::now();
    const std::string answer = Ask("zx", 5000);
    const Clock::duration elapsed = Clock::now() - start;
    const size_t lines = linesOnPaper() - before;
    ASSERT_GE(lines, 5u);
    EXPECT_EQ(emutest::ParseReply(answer).error, 0u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(5 * lines));
    // Busy meanwhile: it says so before the reply.
    EXPECT_GE(emutest::CountOf(answer.substr(0, answer.find(emutest::STX)), emutest::SYN), 1u);
}

TEST_F(EmuLineRateTest, RefusesAFifoItCannotHold) {
    EXPECT_EQ(printer.SetLineRate(true, 0), -EINVAL);
    EXPECT_EQ(printer.SetLineRate(true, emu::kMaxFifoBytes + 1), -EINVAL);
    // Nothing changed: still unpaced.
    Ask("gs");
    EXPECT_EQ(printer.Line().pacedBaud, 0u);
}

}  // namespace
