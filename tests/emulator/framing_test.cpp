// The printer's own frame receiver, request parser and reply builder, fed byte by byte.
#include <gtest/gtest.h>

#include <string>

#include "Faults.h"
#include "LineClient.h"
#include "Request.h"
#include "X28Frame.h"

namespace {

using emu::FrameReceiver;
using Event = FrameReceiver::Event;

// Feeds all bytes; returns the events that were not None, in order.
std::vector<Event> FeedAll(FrameReceiver& receiver, const std::string& bytes) {
    std::vector<Event> events;
    for (char c : bytes) {
        Event e = receiver.Feed(c);
        if (e != Event::None) {
            events.push_back(e);
        }
    }
    return events;
}

TEST(EmuFrameBuilding, GsWithZIsTheKnownSixBytes) {
    EXPECT_EQ(emu::BuildFrame('Z', "gs"), std::string("\x02\x5A\x67\x73\x03\x4D", 6));
    EXPECT_EQ(emu::CheckByte('Z', "gs"), '\x4D');
    EXPECT_EQ(emu::BuildFrame('0',
                              "qq\x1C"
                              "1"),
              emutest::Frame('0',
                             "qq\x1C"
                             "1"));
}

TEST(EmuFrameReceiver, TakesAFrameAfterNoise) {
    FrameReceiver receiver;
    auto events =
        FeedAll(receiver, std::string("\x16\x15xyz\x03\x7F", 7) + emutest::Frame('A', "gs"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Event::Frame);
    EXPECT_TRUE(receiver.checkOk());
    EXPECT_EQ(receiver.sequence(), 'A');
    EXPECT_EQ(receiver.payload(), "gs");
    EXPECT_FALSE(receiver.InFrame());
}

TEST(EmuFrameReceiver, ReportsAWrongCheckByte) {
    FrameReceiver receiver;
    std::string frame = emutest::Frame('B', "gs");
    frame.back() = static_cast<char>(frame.back() ^ 0x01);
    auto events = FeedAll(receiver, frame);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Event::Frame);
    EXPECT_FALSE(receiver.checkOk());
    // The next good frame is not disturbed by the bad one.
    events = FeedAll(receiver, emutest::Frame('C', "gs"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(receiver.checkOk());
}

TEST(EmuFrameReceiver, AcceptsTheLongestRequestAndRefusesOneByteMore) {
    FrameReceiver receiver;
    const std::string longest(emu::kMaxRequestPayload, 'a');
    auto events = FeedAll(receiver, emutest::Frame('Z', longest));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Event::Frame);
    EXPECT_TRUE(receiver.checkOk());
    EXPECT_EQ(receiver.payload().size(), emu::kMaxRequestPayload);

    events = FeedAll(receiver, emutest::Frame('0', longest + "b"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Event::Overlong);
    EXPECT_EQ(receiver.payload(), longest);
    EXPECT_FALSE(receiver.InFrame());  // the tail up to ETX and the check byte were skipped

    events = FeedAll(receiver, emutest::Frame('1', "gs"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(receiver.payload(), "gs");
}

TEST(EmuFrameReceiver, OverlongReportedOnceHoweverLongTheRest) {
    FrameReceiver receiver;
    auto events = FeedAll(receiver, emutest::Frame('Z', std::string(5000, 'x')));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Event::Overlong);
}

TEST(EmuFrameReceiver, AStartByteInsideTheBodyStartsOver) {
    FrameReceiver receiver;
    auto events = FeedAll(receiver, "\x02Zg" + emutest::Frame('0', "gs"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(receiver.checkOk());
    EXPECT_EQ(receiver.sequence(), '0');
    EXPECT_EQ(receiver.payload(), "gs");
}

TEST(EmuFrameReceiver, AFrameCutShortWaitsForItsCheckByte) {
    FrameReceiver receiver;
    std::string frame = emutest::Frame('Z', "gs");
    EXPECT_TRUE(FeedAll(receiver, frame.substr(0, frame.size() - 1)).empty());
    EXPECT_TRUE(receiver.InFrame());
    EXPECT_EQ(receiver.Feed(frame.back()), Event::Frame);
}

TEST(EmuRequest, SplitsCodeFieldsAndParts) {
    emu::Request r = emu::ParseRequest(
        "as\x1C"
        "Milk\x1D"
        "1.5\x1C\x1C"
        "7");
    EXPECT_EQ(r.code, "as");
    ASSERT_EQ(r.FieldCount(), 3u);
    EXPECT_EQ(r.Field(0),
              "Milk\x1D"
              "1.5");
    EXPECT_EQ(r.Field(1), "");
    EXPECT_EQ(r.Field(2), "7");
    EXPECT_EQ(r.Field(3), "");  // beyond the end
    EXPECT_EQ(r.Parts(0), (std::vector<std::string>{"Milk", "1.5"}));
    EXPECT_EQ(r.Parts(9), (std::vector<std::string>{""}));

    EXPECT_EQ(emu::ParseRequest("gs").FieldCount(), 0u);
    EXPECT_EQ(emu::ParseRequest("gs\x1C").FieldCount(), 1u);
    EXPECT_EQ(emu::ParseRequest("\x1Cx").code, "");
}

TEST(EmuReply, HeaderIsUpperCaseHexWithOrWithoutData) {
    EXPECT_EQ(emu::BuildReplyPayload("gs", 0, 0x00A1, 0, {}),
              "gs\x1C"
              "00\x1C"
              "00A10000");
    EXPECT_EQ(emu::BuildReplyPayload("gs", 0xAB, 0xBEEF, 0xFACE, {}),
              "gs\x1C"
              "AB\x1C"
              "BEEFFACE");
    // A single empty field still has its separator; several are joined with FS.
    EXPECT_EQ(emu::BuildReplyPayload("gn", 0, 0, 0, {""}),
              "gn\x1C"
              "00\x1C"
              "00000000\x1C");
    EXPECT_EQ(emu::BuildReplyPayload("gn", 2, 1, 2,
                                     {"12",
                                      "3\x1D"
                                      "4"}),
              "gn\x1C"
              "02\x1C"
              "00010002\x1C"
              "12\x1C"
              "3\x1D"
              "4");
}

TEST(EmuFaultQueue, TakesTheFirstFaultThatAppliesAndCountsFrames) {
    emu::FaultQueue queue;
    emu::Fault onlyRb;
    onlyRb.kind = emu::FaultKind::DeviceError;
    onlyRb.code = 1;
    onlyRb.command = "rb";
    emu::Fault twoLost;
    twoLost.kind = emu::FaultKind::LostReply;
    twoLost.frames = 2;
    ASSERT_EQ(queue.Add(onlyRb), 0);
    ASSERT_EQ(queue.Add(twoLost), 0);

    auto f = queue.Take("gs");  // passes over the fault limited to "rb"
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, emu::FaultKind::LostReply);
    f = queue.Take("rb");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, emu::FaultKind::DeviceError);
    f = queue.Take("rb");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, emu::FaultKind::LostReply);
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_FALSE(queue.Take("gs"));
}

TEST(EmuFaultQueue, RefusesFaultsThatCannotBeCarriedOut) {
    emu::FaultQueue queue;
    emu::Fault f;
    f.frames = 0;
    EXPECT_NE(queue.Add(f), 0);
    f.frames = 1;
    f.kind = emu::FaultKind::SynBurst;
    f.periodMs = 0;
    f.durationMs = 100;
    EXPECT_NE(queue.Add(f), 0);
    f.kind = emu::FaultKind::DeviceError;
    f.code = 256;
    EXPECT_NE(queue.Add(f), 0);
    f.code = -1;
    EXPECT_NE(queue.Add(f), 0);
    f.code = 255;
    f.command = "g";
    EXPECT_NE(queue.Add(f), 0);
    EXPECT_EQ(queue.Size(), 0u);
    f.command = "gs";
    EXPECT_EQ(queue.Add(f), 0);
    EXPECT_EQ(queue.Size(), 1u);
}

}  // namespace
