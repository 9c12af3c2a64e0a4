// The queue of injected faults. Each well-formed request frame (a repeat too) takes the first
// fault in injection order that applies to its command and uses up one of its frames; a frame
// with a bad check byte is always refused with NAK and takes none.
//
// Not thread-safe by itself: the engine guards it with its mutex.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Paper.h"
#include "VirtualPrinter.h"

namespace emu {

// 0, or -EINVAL for a fault that cannot be carried out (no frames, a SYN burst without a period,
// a device error outside 0 to 255, a command filter that is not a two-letter code).
int ValidateFault(const Fault& fault);

// The kinds that send a reply with a broken layout.
bool IsMalformedReply(FaultKind kind);
// The reply payload as such a fault spoils it; other kinds leave it as it is.
std::string SpoilReply(const Fault& fault, const std::string& payload);
// The four kinds that break one field of the header.
std::string SpoilReplyLayout(FaultKind kind, const std::string& payload);
// What a device error does to the printer besides the code in its reply: the journal and control
// unit errors block it, and the receipt may have been closed before the error struck.
void StrikeDeviceError(const Fault& fault, PrinterState& state, Paper& paper);

class FaultQueue {
  public:
    int Add(const Fault& fault);
    void Clear() { faults_.clear(); }
    size_t Size() const { return faults_.size(); }
    // The fault for a request with this code, if any; its frame count goes down by one. Without
    // one, a random fault may be drawn.
    std::optional<Fault> Take(const std::string& code);
    int SetRandom(unsigned percent, uint32_t seed, const std::vector<Fault>& kinds);
    const std::vector<size_t>& RandomCounts() const { return randomCounts_; }

  private:
    uint32_t NextRandom();

    std::deque<Fault> faults_;
    unsigned randomPercent_ = 0;
    uint32_t randomState_ = 0;
    std::vector<Fault> randomKinds_;
    std::vector<size_t> randomCounts_;
};

}  // namespace emu
