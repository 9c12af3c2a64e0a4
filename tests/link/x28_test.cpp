#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AsyncComX28.h"
#include "LinkTrace.h"
#include "PtyPeer.h"
#include "Wire.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace {

using testsupport::Frame;
using testsupport::PtyPeer;
using Clock = std::chrono::steady_clock;

// Each test takes a port number of its own: the links of a process remember the sequence they
// left on a port, and a test must not start where the one before it stopped.
int FreshPort() {
    static int next = 8;
    return next++;
}
constexpr DWORD kReplyBudgetMs = 2000;

// ---- recorded trace calls ----

struct TraceCall {
    char kind;  // 'r' raw data, 'p' packet, 'e' link error
    std::string bytes;
    int value;  // direction, or the error code
    bool operator==(const TraceCall&) const = default;
};

std::vector<TraceCall> g_calls;

void RecordRaw(const BYTE* bytes, DWORD count, int direction) {
    g_calls.push_back({'r', std::string(reinterpret_cast<const char*>(bytes), count), direction});
}
void RecordPacket(const BYTE* bytes, DWORD count, int direction) {
    g_calls.push_back({'p', std::string(reinterpret_cast<const char*>(bytes), count), direction});
}
void RecordError(int code) {
    g_calls.push_back({'e', std::string(), code});
}

const LinkTraceHooks kRecorder = {RecordRaw, RecordPacket, RecordError};

// The link traces every block twice: raw, then as a packet.
std::vector<TraceCall> Both(const std::string& bytes, int direction) {
    return {{'r', bytes, direction}, {'p', bytes, direction}};
}

std::vector<TraceCall> ErrorEntry(int code) {
    return {{'e', std::string(), code}};
}

std::vector<TraceCall> operator+(std::vector<TraceCall> a, const std::vector<TraceCall>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Text(const BYTE* bytes, int count) {
    return count > 0 ? std::string(reinterpret_cast<const char*>(bytes), count) : std::string();
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int WriteText(AsyncComX28& link, const std::string& payload) {
    return link.Write(reinterpret_cast<const BYTE*>(payload.data()),
                      static_cast<DWORD>(payload.size()), 1000);
}

class TracedTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_calls.clear();
        SetLinkTraceHooks(&kRecorder);
    }
    void TearDown() override { SetLinkTraceHooks(nullptr); }

    testsupport::ScopedRegistryDir registry;
};

TEST(LinkTrace, WithoutHooksNothingIsCalled) {
    g_calls.clear();
    SetLinkTraceHooks(nullptr);
    const BYTE byte = 0x16;
    LinkTraceRawData(&byte, 1, 0);
    LinkTracePacket(&byte, 1, 0);
    LinkTraceError(-8105);
    const LinkTraceHooks partial = {nullptr, RecordPacket, nullptr};
    SetLinkTraceHooks(&partial);
    LinkTraceRawData(&byte, 1, 0);
    LinkTracePacket(&byte, 1, 1);
    LinkTraceError(-8105);
    SetLinkTraceHooks(nullptr);
    EXPECT_EQ(g_calls, (std::vector<TraceCall>{{'p', "\x16", 1}}));
}

// ---- against a scripted peer: the raw cases ----

class X28PeerTest : public TracedTest {
  protected:
    void SetUp() override {
        TracedTest::SetUp();
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(peer.Map(port));
        ASSERT_EQ(link.Open(), 0);
    }

    // Sends "gs" and takes the frame off the line, as a printer would.
    void SendRequest(const std::string& payload = "gs") {
        ASSERT_GT(WriteText(link, payload), 0);
        ASSERT_FALSE(peer.ReceiveFrame(2000).empty());
        g_calls.clear();
    }

    const int port = FreshPort();
    PtyPeer peer;
    AsyncComX28 link{port, 9600, 0, 8, 0, 1};
    BYTE reply[1024] = {};
};

TEST_F(X28PeerTest, StatusRequestFrameOnTheWire) {
    EXPECT_EQ(link.Sequence(), 0);
    EXPECT_EQ(WriteText(link, "gs"), 6);
    const std::string expected("\x02\x5A\x67\x73\x03\x4D", 6);
    EXPECT_EQ(peer.Receive(6, 1000), expected);
    EXPECT_EQ(peer.Receive(1, 100), "");
    EXPECT_EQ(g_calls, Both(expected, 1));
    // Only a matching reply moves the sequence on.
    EXPECT_EQ(link.Sequence(), 'Z');
    EXPECT_EQ(WriteText(link, "gs"), 6);
    EXPECT_EQ(peer.Receive(6, 1000), expected);
}

TEST_F(X28PeerTest, RequestPayloadLimits) {
    const std::string largest(1021, 'a');
    EXPECT_EQ(WriteText(link, largest), 1025);
    EXPECT_EQ(peer.Receive(1025, 2000), Frame('Z', largest));
    EXPECT_EQ(peer.Receive(1, 100), "");
    g_calls.clear();

    EXPECT_EQ(WriteText(link, std::string(1022, 'a')), kX28BadArguments);
    EXPECT_EQ(WriteText(link, ""), kX28BadArguments);
    EXPECT_EQ(link.Write(nullptr, 2, 1000), kX28BadArguments);
    // ETX in the payload would end the frame early at the printer.
    EXPECT_EQ(WriteText(link, std::string("g\x03s", 3)), kX28BadArguments);
    EXPECT_EQ(peer.Receive(1, 200), "");
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(X28PeerTest, LargestReplyIsAccepted) {
    SendRequest();
    const std::string payload(1020, 'r');
    ASSERT_TRUE(peer.Send(Frame('Z', payload)));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 1020);
    EXPECT_EQ(Text(reply, 1020), payload);
    EXPECT_EQ(g_calls, Both(Frame('Z', payload), 0));
    // Only the caller knows whether the reply answers its request.
    EXPECT_EQ(link.Sequence(), 'Z');
    link.Confirm();
    EXPECT_EQ(link.Sequence(), '0');
}

TEST_F(X28PeerTest, ReplyTooLargeForAnyFrame) {
    SendRequest();
    // ETX as the 1024th byte leaves no room for the check byte.
    const std::string frame = Frame('Z', std::string(1021, 'r'));
    ASSERT_TRUE(peer.Send(frame));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28BadReplySize);
    EXPECT_EQ(g_calls, Both(frame.substr(0, 1024), 0));
    EXPECT_EQ(link.Sequence(), 'Z');
}

TEST_F(X28PeerTest, ReplyWithoutEtxInItsFirst1024Bytes) {
    SendRequest();
    const std::string endless = std::string("\x02Z") + std::string(1500, 'r');
    ASSERT_TRUE(peer.Send(endless));
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28BadReplySize);
    // Decided by the size, not by waiting out the reply budget.
    EXPECT_LT(MsSince(start), 1500);
    EXPECT_EQ(g_calls, Both(endless.substr(0, 1024), 0));
}

TEST_F(X28PeerTest, TooSmallBufferGetsNoPayload) {
    SendRequest();
    const std::string frame = Frame('Z',
                                    "gs\x1c"
                                    "00");
    ASSERT_TRUE(peer.Send(frame));
    BYTE small[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(link.Read(small, sizeof small, kReplyBudgetMs), kX28BadArguments);
    EXPECT_EQ(Text(small, 4), "####");
    EXPECT_EQ(g_calls, Both(frame, 0) + ErrorEntry(kX28BadArguments));
    EXPECT_EQ(link.Sequence(), 'Z');

    SendRequest();
    ASSERT_TRUE(peer.Send(Frame('Z', "x")));
    EXPECT_EQ(link.Read(nullptr, 0, kReplyBudgetMs), kX28BadArguments);
}

TEST_F(X28PeerTest, ReplyToAnEarlierRequestIsSkipped) {
    SendRequest();
    ASSERT_TRUE(peer.Send(Frame('Z', "first")));
    ASSERT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 5);
    link.Confirm();
    SendRequest();
    // The printer repeats its answer to 'Z' late, then answers '0'.
    ASSERT_TRUE(peer.Send(Frame('Z', "first") + Frame('0', "second")));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28OutOfSequence);
    EXPECT_EQ(g_calls, Both(Frame('Z', "first"), 0) + ErrorEntry(kX28OutOfSequence));
    EXPECT_EQ(link.Sequence(), '0');
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 6);
    EXPECT_EQ(Text(reply, 6), "second");
    link.Confirm();
    EXPECT_EQ(link.Sequence(), '1');
}

TEST_F(X28PeerTest, GarbageBeforeTheFrameIsTracedAndDropped) {
    SendRequest();
    ASSERT_TRUE(peer.Send("a\xff" + Frame('Z', "ok")));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 2);
    EXPECT_EQ(g_calls, Both("a", 0) + Both("\xff", 0) + Both(Frame('Z', "ok"), 0));
}

TEST_F(X28PeerTest, GarbageThenSilenceIsAPacketTimeout) {
    SendRequest();
    ASSERT_TRUE(peer.Send("xy"));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28PacketTimeout);
    EXPECT_EQ(g_calls, Both("x", 0) + Both("y", 0));
    EXPECT_EQ(link.Sequence(), 'Z');
}

void SlowRecordRaw(const BYTE* bytes, DWORD count, int direction) {
    RecordRaw(bytes, count, direction);
    Sleep(1);
}

TEST_F(X28PeerTest, GarbageUntilTheStartWaitRunsOutIsAReplyTimeout) {
    // A trace that takes a millisecond per noise byte keeps the link slower than the flood, so
    // a byte is always waiting however the threads are scheduled near the end of the wait.
    const LinkTraceHooks slow = {SlowRecordRaw, RecordPacket, RecordError};
    SetLinkTraceHooks(&slow);
    SendRequest();
    peer.Flood(std::string(4096, '?'), 900);
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28ReplyTimeout);
    EXPECT_GE(MsSince(start), 540);
    peer.Join();
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.front(), (TraceCall{'r', "?", 0}));
}

TEST_F(X28PeerTest, LateReplyIsAPacketTimeoutAndCanStillBeRead) {
    SendRequest();
    peer.Play({{600, Frame('Z', "late")}});
    const auto start = Clock::now();
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28PacketTimeout);
    EXPECT_GE(MsSince(start), 540);
    EXPECT_TRUE(g_calls.empty());
    peer.Join();
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 4);
    EXPECT_EQ(Text(reply, 4), "late");
}

TEST_F(X28PeerTest, InputLeftFromAnEarlierExchangeIsDroppedBeforeTheNextFrame) {
    SendRequest();
    EXPECT_EQ(link.Read(reply, sizeof reply, 300), kX28PacketTimeout);
    // The answer comes after the time-out, and the request goes again.
    ASSERT_TRUE(peer.Send(Frame('Z', "late")));
    ASSERT_EQ(peer.Receive(1, 100), "");
    Sleep(50);
    g_calls.clear();
    ASSERT_GT(WriteText(link, "gs"), 0);
    EXPECT_EQ(g_calls.front(), (TraceCall{'r', Frame('Z', "late"), 0}));
    ASSERT_EQ(peer.ReceiveFrame(2000), Frame('Z', "gs"));
    ASSERT_TRUE(peer.Send(Frame('Z', "fresh")));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 5);
    EXPECT_EQ(Text(reply, 5), "fresh");
}

TEST_F(X28PeerTest, UnansweredRequestsNeverComeRoundToTheLastConfirmedCharacter) {
    SendRequest();
    ASSERT_TRUE(peer.Send(Frame('Z', "ok")));
    ASSERT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 2);
    link.Confirm();
    // The printer holds 'Z'; every request after it goes unanswered.
    std::vector<BYTE> used;
    for (int i = 0; i < 45; ++i) {
        link.NewRequest();
        ASSERT_GT(WriteText(link, "gs"), 0);
        used.push_back(link.Sequence());
        ASSERT_EQ(peer.ReceiveFrame(2000).size(), 6u);
    }
    EXPECT_EQ(used.front(), '0');
    EXPECT_EQ(used[41], 'Y');
    EXPECT_EQ(used[42], 'Y');
    EXPECT_EQ(used.back(), 'Y');
    // A confirmed reply starts the count again.
    ASSERT_TRUE(peer.Send(Frame('Y', "ok")));
    ASSERT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 2);
    link.Confirm();
    EXPECT_EQ(link.Sequence(), 'Z');
}

TEST_F(X28PeerTest, NakRefusesTheRequest) {
    SendRequest();
    ASSERT_TRUE(peer.Send("\x15"));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), kX28Refused);
    EXPECT_EQ(g_calls, Both("\x15", 0));
    EXPECT_EQ(link.Sequence(), 'Z');
}

TEST_F(X28PeerTest, BodyNotCompleteWithinTheReplyBudget) {
    SendRequest();
    ASSERT_TRUE(peer.Send("\x02Zgs"));
    EXPECT_EQ(link.Read(reply, sizeof reply, 300), kX28PacketTimeout);
    EXPECT_EQ(g_calls, Both("\x02Zgs", 0));
}

TEST_F(X28PeerTest, MissingCheckByte) {
    SendRequest();
    ASSERT_TRUE(peer.Send("\x02Zgs\x03"));
    EXPECT_EQ(link.Read(reply, sizeof reply, 300), kX28ReplyTimeout);
    EXPECT_EQ(g_calls, Both("\x02Zgs\x03", 0));
    EXPECT_EQ(link.Sequence(), 'Z');
}

TEST_F(X28PeerTest, BodyArrivingInPiecesIsCollected) {
    SendRequest();
    const std::string frame = Frame('Z',
                                    "gs\x1c"
                                    "00\x1c"
                                    "00000000");
    peer.Play({{0, frame.substr(0, 1)},
               {30, frame.substr(1, 5)},
               {30, frame.substr(6, 10)},
               {30, frame.substr(16)}});
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), static_cast<int>(frame.size() - 4));
    EXPECT_EQ(g_calls, Both(frame, 0));
}

// The second reply to "gs" is read ahead as far as the first one went: what comes after it is
// still there for the next read, and dropped with a trace before the next request.
TEST_F(X28PeerTest, BytesReadAheadOfAShorterReplyAreNotLost) {
    SendRequest();
    ASSERT_TRUE(peer.Send(Frame('Z', "gs" + std::string(40, '7'))));
    ASSERT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 42);
    link.Confirm();
    SendRequest();
    ASSERT_TRUE(peer.Send(Frame('0', "gs1") + Frame('0', "gs2") + Frame('0', "gs3")));
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 3);
    EXPECT_EQ(Text(reply, 3), "gs1");
    // The rest was taken off the port with the first frame, in the same read.
    COMSTAT status{};
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(link.GetHandle(), &errors, &status));
    EXPECT_EQ(status.cbInQue, 0u);
    EXPECT_EQ(link.Read(reply, sizeof reply, kReplyBudgetMs), 3);
    EXPECT_EQ(Text(reply, 3), "gs2");
    EXPECT_EQ(g_calls, Both(Frame('0', "gs1"), 0) + Both(Frame('0', "gs2"), 0));
    link.Confirm();
    g_calls.clear();
    ASSERT_GT(WriteText(link, "gs"), 0);
    EXPECT_EQ(g_calls.front(), (TraceCall{'r', Frame('0', "gs3"), 0}));
    EXPECT_EQ(peer.ReceiveFrame(2000), Frame('1', "gs"));
}

TEST_F(X28PeerTest, OpenAndCloseOfTheLink) {
    // Already open: nothing changes.
    EXPECT_EQ(link.Open(), 0);
    EXPECT_EQ(link.IsOpen(), 1);
    ASSERT_EQ(WriteText(link, "gs"), 6);
    EXPECT_EQ(peer.Receive(6, 1000).size(), 6u);
    EXPECT_EQ(link.Close(), 0);
    EXPECT_EQ(link.IsOpen(), 0);
    EXPECT_EQ(link.Open(), -6);
    EXPECT_EQ(WriteText(link, "gs"), kX28SendFailed);
    EXPECT_EQ(link.Read(reply, sizeof reply, 100), kX28ReplyTimeout);
}

// ---- against the virtual printer ----

class X28PrinterTest : public TracedTest {
  protected:
    void SetUp() override {
        TracedTest::SetUp();
        ASSERT_EQ(printer.Start(), 0);
        const int port = printer.RegisterPort(FreshPort());
        ASSERT_GT(port, 0);
        link = std::make_unique<AsyncComX28>(port, 9600, 0, 8, 0, 1);
        ASSERT_EQ(link->Open(), 0);
    }
    void TearDown() override {
        link.reset();
        printer.Stop();
        TracedTest::TearDown();
    }

    // One "gs" exchange as the command layer makes it: a new request, or with `repeat` the
    // last one again under its character; a reply confirms it.
    int Exchange(std::string& payload, bool repeat = false) {
        if (!repeat) {
            link->NewRequest();
        }
        const int written = WriteText(*link, "gs");
        if (written < 0) {
            return written;
        }
        const int got = link->Read(reply, sizeof reply, kReplyBudgetMs);
        payload = Text(reply, got);
        if (got > 0) {
            link->Confirm();
        }
        return got;
    }

    // The result of one exchange whose reply does not matter.
    int ExchangeResult(bool repeat = false) {
        std::string payload;
        return Exchange(payload, repeat);
    }

    // The printer meets the next request with `kind`.
    void Inject(emu::FaultKind kind) {
        emu::Fault fault;
        fault.kind = kind;
        ASSERT_EQ(printer.InjectFault(fault), 0);
    }

    void ExpectGoodExchange(bool repeat = false) {
        std::string payload;
        const int got = Exchange(payload, repeat);
        EXPECT_GT(got, 0);
        EXPECT_EQ(payload.substr(0, 2), "gs");
    }

    emu::VirtualPrinter printer;
    std::unique_ptr<AsyncComX28> link;
    BYTE reply[1024] = {};
};

TEST_F(X28PrinterTest, StatusExchange) {
    std::string payload;
    ASSERT_GT(Exchange(payload), 2);
    EXPECT_EQ(payload.substr(0, 2), "gs");

    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].sequence, 'Z');
    EXPECT_EQ(frames[0].payload, "gs");
    EXPECT_TRUE(frames[0].checkOk);

    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[0], (TraceCall{'r', std::string("\x02\x5A\x67\x73\x03\x4D", 6), 1}));
    EXPECT_EQ(g_calls[1], (TraceCall{'p', std::string("\x02\x5A\x67\x73\x03\x4D", 6), 1}));
    EXPECT_EQ(g_calls[2], (TraceCall{'r', Frame('Z', payload), 0}));
    EXPECT_EQ(g_calls[3], (TraceCall{'p', Frame('Z', payload), 0}));
    EXPECT_EQ(link->Sequence(), '0');
}

TEST_F(X28PrinterTest, SequenceWrapsAfter43Exchanges) {
    for (int i = 0; i < 44; ++i) {
        std::string payload;
        ASSERT_GT(Exchange(payload), 0) << "exchange " << i;
    }
    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    ASSERT_EQ(frames.size(), 44u);
    EXPECT_EQ(frames[0].sequence, 'Z');
    for (int i = 1; i <= 42; ++i) {
        EXPECT_EQ(frames[i].sequence, static_cast<char>('0' + i - 1)) << "exchange " << i;
        EXPECT_FALSE(frames[i].repeated);
    }
    EXPECT_EQ(frames[43].sequence, 'Z');
    EXPECT_EQ(link->Sequence(), '0');
    EXPECT_EQ(printer.Requests().size(), 44u);
}

TEST_F(X28PrinterTest, SynKeepsTheHostWaiting) {
    emu::Fault fault;
    fault.kind = emu::FaultKind::SynBurst;
    fault.periodMs = 500;
    fault.durationMs = 3000;
    printer.InjectFault(fault);
    std::string payload;
    EXPECT_GT(Exchange(payload), 0);
    EXPECT_EQ(payload.substr(0, 2), "gs");
    int syns = 0;
    for (const TraceCall& call : g_calls) {
        if (call.kind == 'p' && call.bytes == "\x16" && call.value == 0) {
            ++syns;
        }
    }
    EXPECT_GE(syns, 5);
    EXPECT_EQ(link->Sequence(), '0');
}

TEST_F(X28PrinterTest, SilenceThenTheRepeatedRequestIsAnswered) {
    Inject(emu::FaultKind::Silence);
    EXPECT_EQ(ExchangeResult(), kX28PacketTimeout);
    EXPECT_EQ(link->Sequence(), 'Z');
    ExpectGoodExchange(true);
    EXPECT_EQ(printer.Frames().back().sequence, 'Z');
}

TEST_F(X28PrinterTest, LostReplyThenTheRepeatIsAnsweredFromTheCache) {
    Inject(emu::FaultKind::LostReply);
    EXPECT_EQ(ExchangeResult(), kX28PacketTimeout);
    ExpectGoodExchange(true);
    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[1].repeated);
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(X28PrinterTest, NakThenTheRequestIsSentAgain) {
    Inject(emu::FaultKind::Nak);
    EXPECT_EQ(ExchangeResult(), kX28Refused);
    EXPECT_EQ(link->Sequence(), 'Z');
    ExpectGoodExchange(true);
    EXPECT_EQ(link->Sequence(), '0');
}

TEST_F(X28PrinterTest, NoiseBeforeTheReplyIsDropped) {
    emu::Fault fault;
    fault.kind = emu::FaultKind::Noise;
    fault.bytes = "\x01\x7f";
    printer.InjectFault(fault);
    ExpectGoodExchange();
    ASSERT_GE(g_calls.size(), 6u);
    EXPECT_EQ(g_calls[2], (TraceCall{'r', "\x01", 0}));
    EXPECT_EQ(g_calls[4], (TraceCall{'r', "\x7f", 0}));
}

TEST_F(X28PrinterTest, WrongSequenceDoesNotAdvance) {
    Inject(emu::FaultKind::WrongSequence);
    EXPECT_EQ(ExchangeResult(), kX28OutOfSequence);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back(), (TraceCall{'e', "", kX28OutOfSequence}));
    EXPECT_EQ(link->Sequence(), 'Z');
    ExpectGoodExchange(true);
    EXPECT_EQ(printer.Frames().back().sequence, 'Z');
    EXPECT_EQ(link->Sequence(), '0');
}

TEST_F(X28PrinterTest, BadCheckByteKeepsTheCharacterForTheRepeat) {
    Inject(emu::FaultKind::BadCheckByte);
    EXPECT_EQ(ExchangeResult(), kX28BadCheckByte);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back(), (TraceCall{'e', "", kX28BadCheckByte}));
    EXPECT_EQ(link->Sequence(), 'Z');
    ExpectGoodExchange(true);
    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].sequence, 'Z');
    EXPECT_TRUE(frames[1].repeated);
    EXPECT_EQ(printer.Requests().size(), 1u);
}

TEST_F(X28PrinterTest, ANewRequestAfterAnUnansweredOneTakesTheNextCharacter) {
    Inject(emu::FaultKind::LostReply);
    EXPECT_EQ(ExchangeResult(), kX28PacketTimeout);
    // The printer holds 'Z' with its answer to the lost one.
    ExpectGoodExchange();
    const std::vector<emu::ReceivedFrame> frames = printer.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].sequence, '0');
    EXPECT_FALSE(frames[1].repeated);
    EXPECT_EQ(printer.Requests().size(), 2u);
    EXPECT_EQ(link->Sequence(), '1');
}

TEST_F(X28PrinterTest, ALaterLinkToThePortContinuesTheSequence) {
    ExpectGoodExchange();
    Inject(emu::FaultKind::Silence);
    EXPECT_EQ(ExchangeResult(), kX28PacketTimeout);
    const int port = printer.PortNumber();
    link.reset();
    link = std::make_unique<AsyncComX28>(port, 9600, 0, 8, 0, 1);
    ASSERT_EQ(link->Open(), 0);
    // '0' went out unanswered: the printer may hold it, so the new link starts after it.
    EXPECT_EQ(link->Sequence(), '0');
    ExpectGoodExchange();
    EXPECT_EQ(printer.Frames().back().sequence, '1');

    // Another port knows nothing of this one.
    AsyncComX28 other(port + 1, 9600, 0, 8, 0, 1);
    EXPECT_EQ(other.Sequence(), 0);
}

TEST_F(X28PrinterTest, TooSmallBufferThenTheNextExchange) {
    ASSERT_EQ(WriteText(*link, "gs"), 6);
    BYTE small[2];
    EXPECT_EQ(link->Read(small, sizeof small, kReplyBudgetMs), kX28BadArguments);
    EXPECT_EQ(g_calls.back(), (TraceCall{'e', "", kX28BadArguments}));
    ExpectGoodExchange();
}

TEST_F(X28PrinterTest, SlowBytesAreCollected) {
    emu::Fault fault;
    fault.kind = emu::FaultKind::SlowBytes;
    fault.periodMs = 20;
    printer.InjectFault(fault);
    ExpectGoodExchange();
}

}  // namespace
