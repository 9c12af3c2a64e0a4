#include "AsyncComX28.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "LinkTrace.h"
#include "TickTimer.h"

namespace {

constexpr BYTE STX = 0x02;
constexpr BYTE ETX = 0x03;
constexpr BYTE NAK = 0x15;
constexpr BYTE SYN = 0x16;

// A busy printer sends SYN at least this often; silence for longer means no reply is coming.
constexpr DWORD kStartWaitMs = 550;

// STX, sequence character, ETX and check byte around the payload.
constexpr DWORD kFrameOverhead = 4;

// One exchange at a time in the process, so one pair of frame buffers serves every link object.
constexpr DWORD kTransmitFrameCapacity = kX28MaxRequestPayload + kFrameOverhead;  // 1025
BYTE g_transmitFrame[kTransmitFrameCapacity];
BYTE g_receiveFrame[kX28MaxReplyFrame];

BYTE CheckByte(const BYTE* from, DWORD count) {
    BYTE check = 0;
    for (DWORD i = 0; i < count; ++i) {
        check ^= from[i];
    }
    return check;
}

BYTE NextSequence(BYTE sequence) {
    return sequence == 'Z' ? '0' : static_cast<BYTE>(sequence + 1);
}

// 43 characters in the cycle: after 42 given up in a row the next one would be the one the
// printer confirmed last.
constexpr int kMaxSkipped = 41;

// What the links of this process left on each port: a new link to a printer must not start under
// a character that the printer may still hold with its answer to an earlier request.
struct PortSequence {
    BYTE sequence = 0;
    bool unconfirmed = false;
    int skipped = 0;
};
std::mutex g_portSequencesMutex;
std::map<int, PortSequence>& PortSequences() {
    static std::map<int, PortSequence> sequences;
    return sequences;
}

// The last bytes of a foretold frame are left to the byte-at-a-time reads, so that a reply a
// little shorter than the last one does not keep the read ahead waiting for bytes that never
// come; and a read ahead shorter than this is not worth a second read.
constexpr DWORD kAheadMargin = 4;
constexpr DWORD kShortestAhead = 8;

// Reads of stale input at a time, and how many before the rest is purged unseen.
constexpr DWORD kDiscardChunk = 64;
constexpr int kMaxDiscardReads = 64;

void TraceBytes(const BYTE* bytes, DWORD count, int direction) {
    LinkTraceRawData(bytes, count, direction);
    LinkTracePacket(bytes, count, direction);
}

}  // namespace

AsyncComX28::AsyncComX28(int portNumber, DWORD baudRate, BYTE parity, BYTE dataBits, BYTE stopBits,
                         int noHandshake)
    : AsyncCom(portNumber, baudRate, parity, dataBits, stopBits, noHandshake) {
    std::lock_guard<std::mutex> lock(g_portSequencesMutex);
    const auto found = PortSequences().find(portNumber);
    if (found != PortSequences().end()) {
        m_sequence = found->second.sequence;
        m_unconfirmed = found->second.unconfirmed;
        m_skipped = found->second.skipped;
    }
}

void AsyncComX28::Remember() const {
    std::lock_guard<std::mutex> lock(g_portSequencesMutex);
    PortSequences()[m_portNumber] = PortSequence{m_sequence, m_unconfirmed, m_skipped};
}

void AsyncComX28::Confirm() {
    if (m_sequence == 0) {
        return;
    }
    m_sequence = NextSequence(m_sequence);
    m_unconfirmed = false;
    m_skipped = 0;
    Remember();
}

void AsyncComX28::NewRequest() {
    if (!m_unconfirmed) {
        return;
    }
    if (m_skipped < kMaxSkipped) {
        m_sequence = NextSequence(m_sequence);
        ++m_skipped;
    }
    m_unconfirmed = false;
    Remember();
}

void AsyncComX28::DiscardInput() {
    BYTE stale[kDiscardChunk];
    while (AheadCount() > 0) {
        const DWORD got = TakeAhead(stale, sizeof stale);
        TraceBytes(stale, got, kLinkReceived);
    }
    for (int i = 0; i < kMaxDiscardReads; ++i) {
        DWORD got = 0;
        // Open's time-outs make a read return at once with what is buffered.
        if (!ReadFile(m_handle, stale, sizeof stale, &got, nullptr) || got == 0) {
            return;
        }
        TraceBytes(stale, got, kLinkReceived);
    }
    // A line that keeps filling: what is left is not worth reading.
    PurgeComm(m_handle, PURGE_RXCLEAR);
}

int AsyncComX28::Open() {
    if (AsyncCom::IsOpen()) {
        return 0;
    }
    return AsyncCom::Open();
}

int AsyncComX28::Close() {
    if (AsyncCom::IsOpen()) {
        // Let the last frame leave the wire before the line is reset.
        FlushFileBuffers(m_handle);
    }
    return AsyncCom::Close();
}

int AsyncComX28::Write(const BYTE* payload, DWORD length, DWORD budgetMs) {
    if (!payload || length < 1 || length > kX28MaxRequestPayload) {
        return kX28BadArguments;
    }
    // The payload is not escaped: an ETX inside it would end the frame early at the printer.
    if (std::memchr(payload, ETX, length) != nullptr) {
        return kX28BadArguments;
    }
    if (m_sequence == 0) {
        m_sequence = kX28FirstSequence;
    }
    m_command = static_cast<WORD>(payload[0] << 8 | (length > 1 ? payload[1] : 0));
    if (AsyncCom::IsOpen()) {
        DiscardInput();
    }

    BYTE* frame = g_transmitFrame;
    const DWORD frameLength = length + kFrameOverhead;
    frame[0] = STX;
    frame[1] = m_sequence;
    std::memcpy(frame + 2, payload, length);
    frame[2 + length] = ETX;
    frame[3 + length] = CheckByte(frame + 1, length + 2);

    const int written = AsyncCom::Write(frame, frameLength, budgetMs);
    // Half a frame is as good as none: the printer cannot answer it.
    if (written <= 0 || static_cast<DWORD>(written) != frameLength) {
        // Part of it may have reached the printer.
        if (written > 0) {
            m_unconfirmed = true;
            Remember();
        }
        return kX28SendFailed;
    }
    m_unconfirmed = true;
    Remember();
    TraceBytes(frame, frameLength, kLinkSent);
    return written;
}

int AsyncComX28::Read(BYTE* buffer, DWORD capacity, DWORD budgetMs) {
    const int started = WaitForStart();
    if (started != 0) {
        return started;
    }
    BYTE* frame = g_receiveFrame;
    frame[0] = STX;
    DWORD length = 1;
    TickTimer timer;
    timer.Start(budgetMs);
    int result = CollectBody(length, timer);
    if (result == 0) {
        result = ReadCheckByte(frame[length], timer);
        if (result == 0) {
            ++length;
        }
    }
    // Whatever arrived of a frame that failed is still worth seeing in the trace.
    TraceBytes(frame, length, kLinkReceived);
    return result == 0 ? TakePayload(length, buffer, capacity) : result;
}

int AsyncComX28::WaitForStart() {
    TickTimer timer;
    timer.Start(kStartWaitMs);
    bool lastPollBroughtNothing = true;
    for (;;) {
        const DWORD leftMs = timer.Remaining();
        if (leftMs == 0) {
            return lastPollBroughtNothing ? kX28PacketTimeout : kX28ReplyTimeout;
        }
        BYTE byte = 0;
        const int got = AsyncCom::Read(&byte, 1, leftMs);
        if (got < 0) {
            // A broken port fails every poll at once; waiting out the timer would only spin.
            return kX28ReplyTimeout;
        }
        if (got == 0) {
            lastPollBroughtNothing = true;
            continue;
        }
        if (byte == STX) {
            return 0;
        }
        TraceBytes(&byte, 1, kLinkReceived);
        if (byte == NAK) {
            return kX28Refused;
        }
        if (byte == SYN) {
            timer.Start(kStartWaitMs);
            lastPollBroughtNothing = true;
        } else {
            lastPollBroughtNothing = false;
        }
    }
}

void AsyncComX28::ReadBodyAhead(const TickTimer& timer) {
    const auto last = m_replyFrames.find(m_command);
    // STX is in hand; the check byte and a few before it are left to the byte-at-a-time reads.
    if (last == m_replyFrames.end() || last->second < 1 + kAheadMargin + kShortestAhead) {
        return;
    }
    const DWORD wanted = last->second - 1 - kAheadMargin;
    // A printer that sends its reply at once has it all queued already.
    if (AheadCount() < wanted && !AheadHolds(ETX)) {
        ReadAhead(wanted - AheadCount(), 0, 0);
    }
    if (AheadCount() >= wanted || AheadHolds(ETX)) {
        return;
    }
    const DWORD missing = wanted - AheadCount();
    // A gap of a few characters ends a reply shorter than foretold; a printer slower than the
    // line leaves the rest to the byte-at-a-time reads.
    const DWORD gapMs = std::max<DWORD>(2, WireMs(4));
    const DWORD budgetMs = std::min(timer.Remaining(), WireMs(missing) + gapMs);
    if (budgetMs > 0) {
        ReadAhead(missing, budgetMs, gapMs);
    }
}

int AsyncComX28::CollectBody(DWORD& length, TickTimer& timer) {
    BYTE* frame = g_receiveFrame;
    ReadBodyAhead(timer);
    for (;;) {
        if (length >= kX28MaxReplyFrame) {
            return kX28BadReplySize;
        }
        const DWORD leftMs = timer.Remaining();
        if (leftMs == 0) {
            return kX28PacketTimeout;
        }
        const int got = ReadUntil(frame + length, kX28MaxReplyFrame - length, leftMs, ETX);
        if (got < 0) {
            return kX28ReplyTimeout;
        }
        length += static_cast<DWORD>(got);
        if (got > 0 && frame[length - 1] == ETX) {
            // No room left for the check byte: the reply is larger than any valid one.
            return length < kX28MaxReplyFrame ? 0 : kX28BadReplySize;
        }
    }
}

int AsyncComX28::ReadCheckByte(BYTE& check, TickTimer& timer) {
    for (;;) {
        const DWORD leftMs = timer.Remaining();
        if (leftMs == 0) {
            return kX28ReplyTimeout;
        }
        const int got = AsyncCom::Read(&check, 1, leftMs);
        if (got < 0) {
            return kX28ReplyTimeout;
        }
        if (got == 1) {
            return 0;
        }
    }
}

int AsyncComX28::TakePayload(DWORD length, BYTE* buffer, DWORD capacity) {
    const BYTE* frame = g_receiveFrame;
    // A reply to an earlier request (the printer answered a repeat late): the answer to ours may
    // still come. The frame holds at least STX, one byte and ETX here, and ETX is never a
    // sequence character, so a short frame ends here too.
    if (frame[1] != m_sequence) {
        LinkTraceError(kX28OutOfSequence);
        return kX28OutOfSequence;
    }
    // A spoiled reply proves nothing: the repeat under the same character brings the printer's
    // answer again, from its cache if it did execute the request.
    if (CheckByte(frame + 1, length - 2) != frame[length - 1]) {
        LinkTraceError(kX28BadCheckByte);
        return kX28BadCheckByte;
    }
    const DWORD payloadLength = length - kFrameOverhead;
    if (!buffer || capacity < payloadLength) {
        LinkTraceError(kX28BadArguments);
        return kX28BadArguments;
    }
    std::memcpy(buffer, frame + 2, payloadLength);
    m_replyFrames[m_command] = length;
    return static_cast<int>(payloadLength);
}
