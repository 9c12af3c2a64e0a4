// A serial port behind a handle: a terminal device opened exclusively, raw, and driven with the
// Windows communications semantics (DCB line settings, COMMTIMEOUTS, purge, queue status).
//
// Used by one thread at a time, as a Windows communications handle is.
#pragma once

#include "handles_io.h"

#include <array>
#include <chrono>
#include <string>

#include <termios.h>

namespace brontal::serial {

class SerialPort final : public kernel::IoObject {
  public:
    // Takes over `fd`, already locked, and the line settings it had before this open.
    SerialPort(int fd, const termios& original, bool pseudoTerminal);
    // Drains for a bounded time, then gives the line back as it was found and drops every claim.
    ~SerialPort() override;

    DWORD Read(void* buffer, DWORD size, DWORD* done) override;
    DWORD Write(const void* data, DWORD size, DWORD* done) override;
    DWORD Flush() override;

    DWORD GetState(DCB* dcb) const;
    DWORD SetState(const DCB& dcb);
    void GetTimeouts(COMMTIMEOUTS* timeouts) const { *timeouts = timeouts_; }
    DWORD SetTimeouts(const COMMTIMEOUTS& timeouts);
    void SetQueues(DWORD input, DWORD output);
    DWORD Purge(DWORD flags);
    DWORD QueueStatus(COMSTAT* status) const;

  private:
    void DrainBounded() const;
    // Moves what the terminal driver holds into the input queue; ERROR_SUCCESS also when nothing
    // was there.
    DWORD Refill();
    DWORD Queued() const { return queueEnd_ - queueStart_; }
    // One character on the wire at the line's settings; 0 when the speed is unknown.
    std::chrono::nanoseconds CharacterTime() const;

    const int fd_;
    const termios original_;
    // A pseudo-terminal has no wire framing: it keeps CS8 and no PARENB whatever is asked, so
    // data bits and parity are reported as requested rather than read back.
    const bool pseudoTerminal_;
    COMMTIMEOUTS timeouts_{};
    // What the last SetCommState asked for; termios keeps only part of a DCB.
    DCB requested_{};
    DWORD inputQueue_ = 4096;
    DWORD outputQueue_ = 4096;
    // The port's input queue, as a Windows serial driver keeps one: a read of one byte takes it
    // from here, and the terminal driver is read in chunks, so byte-at-a-time callers do not pay
    // a system call per byte and still consume nothing beyond what they asked for.
    static constexpr DWORD kQueueCapacity = 4096;
    std::array<unsigned char, kQueueCapacity> queue_{};
    DWORD queueStart_ = 0;
    DWORD queueEnd_ = 0;
};

// Line settings <-> termios. The termios keeps raw mode whatever the DCB says.
DWORD ApplyDcb(const DCB& dcb, termios* settings);
void ReadDcb(const termios& settings, DCB* dcb);
// Raw byte transfer: no echo, no line editing, no translation, receiver on, modem lines ignored.
void MakeRaw(termios* settings);

}  // namespace brontal::serial
