// A virtual printer in line-rate mode, serving from a process of its own, so that the process
// CPU clock of the benchmark counts the driver's work and nothing of the printer's.
//
// Start() forks: call it before the benchmark starts any thread, with BRONTAL_REGISTRY_DIR set
// to the registry the driver will read. The printer enters its pseudo-terminal in that port map.
// The destructor ends the printer process it started and waits for it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "VirtualPrinter.h"

namespace bench {

class PrinterProcess {
  public:
    PrinterProcess() = default;
    ~PrinterProcess();
    PrinterProcess(const PrinterProcess&) = delete;
    PrinterProcess& operator=(const PrinterProcess&) = delete;

    // The printer starts with the day closed and reports that answer at once, paced at the
    // line's speed with `fifoBytes` handed over at a time. False when it does not serve.
    bool Start(unsigned fifoBytes);
    int Port() const { return port_; }
    const std::string& DevicePath() const { return device_; }

    bool SetLineRate(bool on, unsigned fifoBytes);
    // Day `session` (already closed) gets a journal of `bytes` bytes of printable text.
    bool SetJournal(uint32_t session, uint32_t bytes);
    // The next request the printer executes keeps it busy for `ms`, sending SYN meanwhile.
    bool KeepBusy(uint32_t ms);
    // What crossed the line since the last Clear(), and the request frames the printer got.
    struct Counts {
        emu::LineCounts line;
        uint64_t frames = 0;
    };
    bool Read(Counts* counts);
    bool Clear();

  private:
    struct Command;
    struct Reply;
    bool Ask(const Command& command, Reply* reply);

    pid_t pid_ = -1;
    int toPrinter_ = -1;
    int fromPrinter_ = -1;
    int port_ = 0;
    std::string device_;
};

}  // namespace bench
