// The printer's side of X28 framing: STX, sequence character, payload, ETX, check byte.
//
// Deliberately independent of link/: the printer and the driver each frame and parse on their
// own, so a mistake on one side shows up as a failure on the other instead of cancelling out.
#pragma once

#include <cstddef>
#include <string>

namespace emu {

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kNak = 0x15;
constexpr char kSyn = 0x16;
constexpr char kFs = 0x1C;
constexpr char kGs = 0x1D;

// The driver sends at most 1025 bytes in a frame, so a request payload is 1 to 1021 bytes.
constexpr size_t kMaxRequestPayload = 1021;
// The driver accepts a reply frame of at most 1024 bytes: a payload of up to 1020.
constexpr size_t kMaxReplyPayload = 1020;

// Exclusive-or of the sequence character, the payload and ETX.
char CheckByte(char sequence, const std::string& payload);
std::string BuildFrame(char sequence, const std::string& payload);

// Collects request frames from the byte stream in three phases: waiting for STX (everything else
// is line noise and dropped), the body up to ETX, and the check byte.
class FrameReceiver {
  public:
    enum class Event {
        None,      // the byte was consumed, no frame is complete yet
        Frame,     // a complete frame: sequence(), payload(), checkOk()
        Overlong,  // the body exceeded what a request may carry; the rest is skipped up to ETX
    };

    Event Feed(char byte);

    char sequence() const { return sequence_; }
    // Of a Frame: the payload; of an Overlong frame: the first kMaxRequestPayload bytes.
    const std::string& payload() const { return payload_; }
    bool checkOk() const { return checkOk_; }
    // True while a frame has started but is not complete.
    bool InFrame() const { return phase_ != Phase::WaitStart; }

  private:
    enum class Phase { WaitStart, Sequence, Body, Check, SkipBody, SkipCheck };

    Phase phase_ = Phase::WaitStart;
    char sequence_ = 0;
    std::string payload_;
    bool checkOk_ = false;
};

}  // namespace emu
