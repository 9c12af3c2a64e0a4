// The pace of a serial line: a byte is ten bits on the wire (start bit, eight data bits, stop
// bit), so at S bits per second it takes 10/S seconds, and the next one cannot start before it is
// over.
//
// A pseudo-terminal carries any number of bytes at once; in line-rate mode the printer holds each
// byte back until it would have crossed a cable at the speed the driver set on the line.
#pragma once

#include <chrono>
#include <cstdint>

#include <termios.h>

namespace emu {

constexpr unsigned kBitsPerByte = 10;
// The receive FIFO of a 16550 UART holds 16 bytes; deeper ones (USB adapters hand over whole
// packets of up to 64) are the most a line hands to the host at once.
constexpr unsigned kMaxFifoBytes = 64;

// Bits per second of a termios speed; 0 for B0 and for what is no serial speed.
unsigned BaudOfSpeed(speed_t speed);

// One direction of the line.
class LineDirection {
  public:
    using Clock = std::chrono::steady_clock;

    // The time `bytes` bytes take on the wire at `baud` (which must not be 0).
    static Clock::duration WireTime(uint64_t bytes, unsigned baud);
    // How many whole bytes cross the wire at `baud` in `elapsed`.
    static uint64_t BytesIn(Clock::duration elapsed, unsigned baud);

    // When bytes ready at `ready` start: at once, or when the line is done with the ones before.
    Clock::time_point Start(Clock::time_point ready) const { return ready > free_ ? ready : free_; }
    // Marks the line busy until the last of `bytes` bytes started at `start` is over; returns
    // that time.
    Clock::time_point Take(Clock::time_point start, uint64_t bytes, unsigned baud);

  private:
    Clock::time_point free_{};
};

}  // namespace emu
