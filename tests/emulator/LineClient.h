// The driver's end of the line, as the emulator tests play it: they open the pseudo-terminal's
// device themselves and write frames built by hand, so that nothing of the printer's own framing
// is used to check it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "Wire.h"

namespace emutest {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char NAK = 0x15;
constexpr char SYN = 0x16;
constexpr char FS = 0x1C;
constexpr char GS = 0x1D;

// STX, sequence, payload, ETX and the exclusive-or of sequence..ETX, built by the test.
using testsupport::Frame;

class LineClient {
  public:
    // Opens the device in raw mode; ok() tells whether that worked.
    explicit LineClient(const std::string& device);
    ~LineClient();
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    bool ok() const { return fd_ >= 0; }
    // Sets the line's speed, as a driver does (e.g. 9600); false for a speed termios lacks.
    bool SetSpeed(unsigned baud);
    bool Write(const std::string& bytes);
    // Everything that arrives within `ms`.
    std::string ReadFor(unsigned ms);
    // Bytes up to and including the end of one answer: a NAK before any STX, or a frame through
    // its check byte. Busy SYNs and noise before it are part of the result. Gives up after
    // `timeoutMs` without a byte and returns what came.
    std::string ReadAnswer(unsigned timeoutMs = 2000);
    // One read of what came, as the line handed it over, and when.
    struct Arrival {
        std::chrono::steady_clock::time_point at;
        std::string bytes;
    };
    // Reads until `count` bytes came, or nothing came for `timeoutMs`; every read on its own.
    std::vector<Arrival> ReadArrivals(size_t count, unsigned timeoutMs = 2000);
    // Writes a frame and reads the answer.
    std::string Exchange(char sequence, const std::string& payload, unsigned timeoutMs = 2000);

  private:
    int fd_ = -1;
};

// The frame inside an answer (from its STX on), or empty.
std::string FramePart(const std::string& answer);
size_t CountOf(const std::string& bytes, char c);

}  // namespace emutest
