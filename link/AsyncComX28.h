// The X28 packet layer: one payload per frame STX, sequence character, payload, ETX, check byte
// (exclusive-or of the sequence character, the payload and ETX).
//
// Write frames and sends a payload; Read waits for the printer's reply frame (tolerating SYN
// while the printer works), checks its sequence character and check byte and returns its
// payload. The link never resends: repeating a request is the command layer's business.
//
// Thread-safety: the frame buffers are shared by all link objects of the process, so only one
// exchange may run at a time in the whole process; callers serialise exchanges.
#pragma once

#include "AsyncCom.h"

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

    // The character the next request carries; 0 before the first frame.
    BYTE Sequence() const { return m_sequence; }

  private:
    BYTE m_sequence = 0;
};
