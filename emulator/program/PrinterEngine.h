// The engine behind VirtualPrinter: the serving thread, the repeat cache, fault handling and the
// logs. VirtualPrinter.cpp is its public face and owns its life cycle.
//
// `mutex` guards everything the handlers and the public members share (state, paper, faults,
// cache, logs); the serving thread never holds it while it writes to the line or waits, so a
// test can inspect the printer in the middle of a SYN burst.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "Faults.h"
#include "LinePace.h"
#include "Paper.h"
#include "PrinterState.h"
#include "PseudoTerminal.h"
#include "Request.h"
#include "VirtualPrinter.h"
#include "X28Frame.h"

namespace emu {

// How often a busy printer tells the driver to keep waiting; the driver gives up after 550 ms.
constexpr unsigned kBusySynPeriodMs = 300;
// How long one write to the line may wait for the driver to make room before the bytes are
// dropped, as a real line would lose them.
constexpr unsigned kWriteBudgetMs = 2000;
constexpr size_t kLogCapacity = 65536;

struct VirtualPrinter::Impl {
    // Shared with the public members.
    mutable std::mutex mutex;
    mutable std::condition_variable frameArrived;
    PrinterState state;
    Paper paper;
    std::string stateFile;
    std::string savedState;  // the text last written to the state file
    FaultQueue faults;
    std::deque<ReceivedFrame> frames;
    std::deque<std::string> requests;
    unsigned pendingBusyMs = 0;
    unsigned restartMs = kDefaultRestartMs;
    unsigned reportMs = kDefaultReportMs;
    bool lineRate = false;
    unsigned fifoBytes = 1;
    unsigned printMsPerLine = 0;
    // Until then the printer is starting up after "c0" and hears nothing.
    std::chrono::steady_clock::time_point restartUntil;

    // The last executed request and its reply: a request that comes again with the same
    // sequence character is the driver repeating itself after a lost or spoiled reply.
    bool haveLast = false;
    char lastSequence = 0;
    std::string lastPayload;
    std::string lastReply;

    // Life cycle, under `control` (VirtualPrinter.cpp).
    mutable std::mutex control;
    PseudoTerminal pty;
    int wake = -1;  // eventfd: readable once the serving thread is to stop
    std::thread thread;
    int port = 0;
    std::string registeredPath;

    // Counted by the serving thread, read by anyone.
    std::atomic<uint64_t> received{0};
    std::atomic<uint64_t> sent{0};
    std::atomic<unsigned> pacedBaud{0};
    std::atomic<int64_t> sendingNs{0};

    // Serving thread.
    struct Pace {
        unsigned baud = 0;  // 0: not paced
        unsigned fifoBytes = 1;
    };
    LineDirection inbound;
    LineDirection outbound;
    // The pace the line keeps now: line-rate mode and the speed the driver last set.
    Pace CurrentPace();
    void Serve();
    // False when the printer is being stopped.
    bool HandleFrame(const FrameReceiver& receiver, FrameReceiver::Event event);
    // False when the printer is being stopped meanwhile.
    bool Pause(unsigned ms);
    bool PauseUntil(std::chrono::steady_clock::time_point until);
    // The bytes at the line's pace (see Pace).
    bool Send(const std::string& bytes);
    // The bytes as fast as the pseudo-terminal takes them.
    bool Write(const char* bytes, size_t count);
    bool SendSyns(unsigned periodMs, unsigned durationMs);

    // With `mutex` held.
    struct Outcome {
        std::string reply;
        unsigned busyMs = 0;
        bool restart = false;
    };
    void Record(ReceivedFrame frame);
    Outcome Execute(const Request& request);
    void Remember(char sequence, const std::string& payload, const std::string& reply);
    void SaveIfChanged();
};

}  // namespace emu
