// The X28 packet layer: one payload per frame STX, sequence character, payload, ETX, check byte
// (exclusive-or of the sequence character, the payload and ETX).
//
// Write frames and sends a payload; Read waits for the printer's reply frame (tolerating SYN
// while the printer works), checks its sequence character and check byte and returns its
// payload. The link never resends: repeating a request is the command layer's business.
//
// The printer answers a frame that repeats the sequence character of the last request it
// executed from its cache, without executing it again. So a request is resent under its own
// character until a valid reply to it arrives; the caller says when that happened (Confirm), and
// only then does the character move on. A request that never got one leaves its character to
// the printer: the next request (NewRequest) takes the following one. Links made later for the
// same port continue from there instead of starting again at 'Z'.
//
// Thread-safety: the frame buffers are shared by all link objects of the process, so only one
// exchange may run at a time in the whole process; callers serialise exchanges.
#pragma once

#include "AsyncCom.h"

#include <map>

class TickTimer;

enum X28Result {
    kX28BadArguments = -8101,
    kX28BadPacket = -8102,  // has a text, never raised by the link
    kX28BadReplySize = -8103,
    kX28ReplyTimeout = -8104,
    kX28BadCheckByte = -8105,
    kX28SendFailed = -8106,
    kX28Refused = -8107,
    kX28PacketTimeout = -8108,
    kX28OutOfSequence = -8109,
};

constexpr DWORD kX28MaxRequestPayload = 1021;  // a 1025-byte frame
constexpr DWORD kX28MaxReplyFrame = 1024;      // payload of at most 1020 bytes
constexpr BYTE kX28FirstSequence = 'Z';

class AsyncComX28 : public AsyncCom {
  public:
    AsyncComX28(int portNumber, DWORD baudRate, BYTE parity, BYTE dataBits, BYTE stopBits,
                int noHandshake);

    int Open() override;
    int Close() override;
    // Reply payload length, or -8101, -8103, -8104, -8105, -8107, -8108, -8109.
    int Read(BYTE* buffer, DWORD capacity, DWORD budgetMs) override;
    // Frame length (payload + 4), or -8101, -8106.
    int Write(const BYTE* payload, DWORD length, DWORD budgetMs) override;

    // The character the next frame carries; 0 before the first frame.
    BYTE Sequence() const { return m_sequence; }
    // The reply just read is the printer's answer under the character in hand (to this request,
    // or from its cache to an earlier one): the printer holds this character now, and the next
    // request takes the following one.
    void Confirm();
    // What is written from now on is another request than the last one. When the character in
    // hand went out without a confirmed reply, the printer may hold it with its answer to that
    // request, so the new request takes the following character.
    void NewRequest();
    // A frame went out under the character in hand and no reply to it was confirmed: the
    // printer may or may not have executed it.
    bool Unconfirmed() const { return m_unconfirmed; }

  private:
    // The three phases of Read, each 0 or the code Read returns. The start: SYN from a busy
    // printer buys another start wait, NAK refuses the request, anything else is line noise.
    int WaitForStart();
    // The body after STX up to ETX, within the caller's reply budget.
    int CollectBody(DWORD& length, TickTimer& timer);
    // A reply is usually as long as the last one to the same command: that much of the body is
    // read ahead in one read, which the system completes when those bytes have crossed the line,
    // instead of waking the reader for every byte.
    void ReadBodyAhead(const TickTimer& timer);
    int ReadCheckByte(BYTE& check, TickTimer& timer);
    // The verdict on the whole frame of `length` bytes: its payload length or a code.
    int TakePayload(DWORD length, BYTE* buffer, DWORD capacity);
    // Drops (and traces) what arrived since the last exchange: a reply that came after its time
    // out, or the answer to a repeat, would be taken for the answer to the next request.
    void DiscardInput();
    void Remember() const;

    // The command of the request last written (its first two payload bytes), and the length of
    // the last valid reply frame to each command.
    WORD m_command = 0;
    std::map<WORD, DWORD> m_replyFrames;

    BYTE m_sequence = 0;
    // A frame went out under m_sequence and no reply to it was confirmed.
    bool m_unconfirmed = false;
    // Characters given up without a confirmed reply since the last confirmed one. The printer
    // holds one of them (or the confirmed one), so moving on stops short of coming round to it.
    int m_skipped = 0;
};
