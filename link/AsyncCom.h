// A serial port on the system's communications device "\\.\COMn".
//
// Open configures the line and time-outs so that a read returns at once with what is buffered;
// Read waits inside the system for the next byte with the time left of its budget, so a waiting
// read does not keep its thread busy. Bytes are taken one at a time so that nothing beyond a
// terminator leaves the driver's input queue; a caller that knows how many bytes are coming reads
// them ahead in one read, and the byte-at-a-time reads take them from there.
//
// Abort (from any thread) makes reads and writes fail with -ERROR_OPERATION_ABORTED until the
// next Open: a read stops when it starts or when a wait for a byte ends empty; one waiting for a
// byte ends when that wait does.
//
// Thread-safety: one thread at a time (Abort excepted, see AsyncCommun).
#pragma once

#include "AsyncCommun.h"

class AsyncCom : public AsyncCommun {
  public:
    AsyncCom(int portNumber, DWORD baudRate, BYTE parity, BYTE dataBits, BYTE stopBits,
             int noHandshake);
    ~AsyncCom() override;

    int Open() override;
    int Close() override;
    int ReadUntil(BYTE* buffer, DWORD capacity, DWORD budgetMs, BYTE terminator) override;
    int Read(BYTE* buffer, DWORD capacity, DWORD budgetMs) override;
    int Write(const BYTE* bytes, DWORD length, DWORD budgetMs) override;
    HANDLE GetHandle() override;
    int IsOpen() override;

  protected:
    // Asks the port in one read for up to `count` more bytes into the look-ahead: the read ends
    // when they have all come, after `gapMs` of silence once bytes came, or after `budgetMs`; with
    // a budget of 0 it takes only what is queued now. Bytes or a negated system error.
    int ReadAhead(DWORD count, DWORD budgetMs, DWORD gapMs);
    DWORD AheadCount() const { return m_aheadEnd - m_aheadStart; }
    bool AheadHolds(BYTE byte) const;
    // Hands the look-ahead over (at most `capacity` bytes) and drops it from the queue.
    DWORD TakeAhead(BYTE* buffer, DWORD capacity);
    // Milliseconds `count` bytes need on the line at its settings, rounded up.
    DWORD WireMs(DWORD count) const;

    int m_portNumber;  // n of COMn, 1-based
    DWORD m_baudRate;
    BYTE m_parity;  // 0 none, 1 odd, 2 even, 3 mark, 4 space; others: none
    BYTE m_dataBits;
    BYTE m_stopBits;    // 0 one, 1 one and a half, 2 two
    int m_noHandshake;  // no hardware flow control, small output queue
    HANDLE m_handle = INVALID_HANDLE_VALUE;

  private:
    // Bytes read from the port ahead of the reader; reads take them first, so nothing read
    // ahead is lost to the next one.
    static constexpr DWORD kAheadCapacity = 1024;
    BYTE m_ahead[kAheadCapacity] = {};
    DWORD m_aheadStart = 0;
    DWORD m_aheadEnd = 0;

    // Read and ReadUntil: stops right after `terminator` unless it is 0.
    int ReadBytes(BYTE* buffer, DWORD capacity, DWORD budgetMs, BYTE terminator);
    bool Aborted() const;
};
