// The virtual fiscal printer: the printer side of the X28 protocol on a pseudo-terminal.
//
// It runs in-process for tests (Start() serves on a thread of its own) and inside the vprinter
// program. Its framing and parsing are its own, independent of link/ and protocol/, so that each
// side checks the other.
//
// Thread-safety: every public member may be called from any thread while the printer serves;
// state changes made by a test take effect from the next request frame on.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LinePace.h"
#include "PrinterState.h"

namespace emu {

// Faults apply to the replies of the next `frames` request frames, in the order injected.
// Every request frame with a good check byte takes the first fault that applies to its command,
// repeats included; a frame with a bad check byte is refused with NAK and takes none.
enum class FaultKind {
    BadCheckByte,   // the reply's check byte is wrong
    LostReply,      // the request is executed but no reply is sent
    Nak,            // NAK instead of the reply; the request is not executed
    SynBurst,       // SYN every periodMs for durationMs, then the reply
    WrongSequence,  // the reply carries another sequence character (the one before it)
    Noise,          // `bytes` are sent before the reply
    Silence,        // nothing at all, the request is not executed
    SlowBytes,      // the reply is sent byte by byte, periodMs apart
    DeviceError,    // the reply carries device error `code` (for command `command`, or any);
                    // the request is not executed. Errors 22 (electronic journal) and 48 to 50
                    // (control unit) also block the printer; see the fields below.
    // Malformed replies: the request is executed, and the reply sent is spoiled in its layout
    // (a repeat is answered from the cache with the sound reply).
    LongErrorField,    // the error field has three characters ("000")
    ShortStatusField,  // the status field has seven characters (the last one is missing)
    LongStatusField,   // the status field has nine characters (a "0" more)
    NoFirstFs,         // the FS after the echo is missing: the echo runs into the error field
    TruncatedReply,    // only the first half of the reply is sent
    GarbledReply,      // `bytes` (or, when empty, printable bytes drawn from `code`) instead of
                       // the reply
    EmptyFields,       // the echo and three empty fields
    // The request is executed and its reply comes `periodMs` later, after the driver has given
    // up waiting (more than its 550 ms start wait).
    LateReply,
    // The printer takes a request of another command than the last one it executed for a repeat
    // of that one and answers it with its cached reply; nothing is executed. Before the first
    // reply, and for a request of the same command, the fault does nothing.
    ReplayLast,
    // The printer itself builds the reply with `bytes` as more data (too long for the driver's
    // buffer, or for any frame, when long enough) and, being its own reply, caches it so: a
    // repeat under the same character gets it again.
    ExtraData,
};

// What became of the open receipt when a device error struck, as when the journal or the control
// unit fails while an "re" finishes.
enum class ReceiptOutcome {
    LeftOpen,  // it is still open and was not counted
    Closed,    // it was closed and counted: the reply shows it closed, "gn" its new number
    // It was counted ("gn" shows its new number), but the printer still shows it open until it
    // is unblocked; it drops it with the first request after that.
    ClosedAfterUnblock,
};

struct Fault {
    FaultKind kind = FaultKind::LostReply;
    int frames = 1;
    unsigned periodMs = 0;
    unsigned durationMs = 0;
    std::string bytes;
    int code = 0;
    std::string command;  // two-letter code the fault is limited to; empty: any request

    // DeviceError: how far an open receipt got before the error struck (see ReceiptOutcome).
    ReceiptOutcome receipt = ReceiptOutcome::LeftOpen;
    // DeviceError 22 and 48 to 50: whether the printer's recovery lifts the block. For 22 a
    // "c0" restart does; for the control unit "vc" does, at once after 49 (time-out), after a
    // "vr" status read for 48 (link lost) and after a "vw" AUTH exchange for 50. Otherwise the
    // printer stays blocked whatever the driver does.
    bool recoverable = true;
    // DeviceError 22: the restart leaves the printer wanting a "cr" (status bit 4); 48 to 50:
    // the error itself does.
    bool needsReset = false;
};

// One request frame as it arrived, whether or not it was executed.
struct ReceivedFrame {
    char sequence = 0;
    std::string payload;  // between the sequence character and ETX (of an over-long frame: the
                          // part the printer kept before refusing it)
    bool checkOk = false;
    // Same sequence character as the last executed request: answered from the cache, whatever
    // the text.
    bool repeated = false;
};

// What crossed the line since the printer was made or the counts were cleared.
struct LineCounts {
    uint64_t received = 0;  // bytes from the driver
    uint64_t sent = 0;      // bytes to the driver
    // The speed at which the last paced transmission went out; 0 while none was paced.
    unsigned pacedBaud = 0;
    // On the printer's own clock: from the start of each transmission to the hand-over of its
    // last byte, added up.
    std::chrono::nanoseconds sending{0};
};

constexpr unsigned kDefaultRestartMs = 1000;
// How long a printed report keeps the printer busy: long enough for the driver to see SYN.
constexpr unsigned kDefaultReportMs = 700;

class VirtualPrinter {
  public:
    VirtualPrinter();
    ~VirtualPrinter();  // stops serving and removes its port-map entry
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;

    // Switches the printer on: the first call opens a pseudo-terminal, every call prints the
    // power-on line on the paper and serves on a background thread. 0, or a negative errno
    // (-EALREADY while serving).
    int Start();
    // Switches the printer off: it stops answering, but the pseudo-terminal and the port-map
    // entry stay, so that the driver sees a silent printer, as on a real line. Bytes sent while
    // it is off are lost. Start() switches it on again with its state kept.
    void Stop();
    bool IsServing() const;
    // Path of the pseudo-terminal's device (the side the driver opens); empty before Start().
    std::string DevicePath() const;
    // Adds the device to the port map as COMn; n = 0 takes the first free number from 1 up.
    // Returns the number, or a negative Windows error code (ERROR_NOT_READY before Start(),
    // ERROR_ALREADY_EXISTS when another device holds COMn).
    int RegisterPort(int n = 0);
    void UnregisterPort();
    int PortNumber() const;

    // The state file: loaded at once when it exists (0 when it does not: the printer starts
    // fresh and creates it), written whenever the state changes. A file that cannot be read or
    // is not a state file gives a negative errno and is left alone, and no state file is used.
    int SetStateFile(const std::string& path);
    // The paper: everything printed is appended to this text file. Set it before Start().
    void SetPaperFile(const std::string& path);

    // Printer state that tests and the program set directly. Each change is saved at once;
    // setters that check their values give -EINVAL for one the printer could not hold or say
    // (see PrinterState.h for the limits) and then change nothing.
    void SetStatusWords(uint16_t status, uint16_t blocking);
    uint16_t StatusWord() const;
    uint16_t BlockingWord() const;
    void SetDocumentCounters(const DocumentCounters& counters);
    int SetIdentity(const PrinterIdentity& identity);
    int SetHardwareStatus(const HardwareStatus& hardware);
    // The table and its base (default) currency, which must be one of its codes.
    int SetCurrencies(const std::vector<Currency>& currencies, const std::string& baseCurrency);
    // The clock runs at the host's local time plus `seconds` (at most a century either way).
    int SetClockOffset(int64_t seconds);
    // The clock stands still at `time` until the next SetClockOffset.
    int SetFixedClock(const PrinterTime& time);
    // Items of a state file's text ("key=value" lines after the format line) over the current
    // state, as the program's --set gives them: 0, or -EINVAL with nothing changed.
    int MergeStateText(const std::string& text);
    // A copy of the whole state.
    PrinterState State() const;
    // Runs `change` on the state under the printer's lock, then saves the state.
    void ChangeState(const std::function<void(PrinterState&)>& change);
    // How long a "c0" restart keeps the printer deaf to the line (default kDefaultRestartMs);
    // the driver's recovery waits 1500 ms before it asks again.
    void SetRestartTime(unsigned ms);
    // The next executed request keeps the printer busy for `ms` before its reply (SYN about
    // every 300 ms meanwhile), as a long operation does.
    void KeepBusy(unsigned ms);
    // How long every printed report (X, Z and the others) keeps the printer busy (default
    // kDefaultReportMs; 0: it answers at once).
    void SetReportTime(unsigned ms);

    // Line-rate mode: the printer keeps the pace of a cable at the speed the driver set on the
    // line (10 bits a byte). Every byte it sends is held back until it would have crossed the
    // wire, and a request costs its own wire time before the printer acts on it. `fifoBytes`
    // bytes are handed over together, as a UART hands over its receive FIFO: each group once its
    // last byte has crossed, the rest of a transmission once its last byte has (1: every byte on
    // its own). Off by default: bytes go as fast as the pseudo-terminal takes them. 0, or
    // -EINVAL for a FIFO of 0 or more than kMaxFifoBytes bytes (and nothing changes).
    int SetLineRate(bool on, unsigned fifoBytes = 1);
    // How long printing one line of paper keeps the printer busy (default 0), added to the time
    // of the request that printed it; a busy printer sends SYN about every 300 ms meanwhile.
    void SetPrintTime(unsigned msPerLine);
    LineCounts Line() const;
    void ClearLineCounts();

    // The fiscal tables and texts, checked as "sd", "sp", "sb" and "se" check them: -EINVAL for
    // what the printer could not hold, and then nothing changes.
    int SetDepartments(const std::vector<Department>& departments);
    int SetPaymentFacilities(const std::vector<PaymentFacility>& facilities);
    int SetReceiptHeader(const std::string& text);
    int SetReceiptFooter(const std::string& text);
    // The texts of the documents of day `session` as the printer printed them, in order (empty
    // for a day it does not know).
    std::string SessionJournal(uint32_t session) const;
    // Replaces the journal of a day the fiscal memory has (-EINVAL for another day, or for a
    // journal with bytes that cannot travel in a "jg" block: STX, ETX, FS).
    int SetSessionJournal(uint32_t session, const std::string& journal);

    // 0, or -EINVAL for a fault that cannot be carried out (frames below 1, a SYN burst without
    // a period, a device error outside 0 to 255, a command filter that is not two letters).
    int InjectFault(const Fault& fault);
    void ClearFaults();
    size_t PendingFaults() const;
    // From now on every request frame with a good check byte that no injected fault takes is
    // hit, with a chance of `percent` in 100 drawn from `seed`, by one of `kinds` (each of one
    // frame), chosen evenly. 0 percent or no kinds stop it. 0, or -EINVAL for a percentage
    // above 100 or a kind that cannot be carried out.
    int SetRandomFaults(unsigned percent, uint32_t seed, const std::vector<Fault>& kinds);
    // How many frames each of the random kinds hit so far, in the order of `kinds`.
    std::vector<size_t> RandomFaultCounts() const;

    // What the printer received, oldest first (the last 65536 frames).
    std::vector<ReceivedFrame> Frames() const;
    // Payloads of the requests it executed, known or not (repeats answered from the cache and
    // requests suppressed by a fault are not counted).
    std::vector<std::string> Requests() const;
    void ClearLog();
    // Waits until at least `count` frames arrived; false on time-out.
    bool WaitForFrames(size_t count, unsigned timeoutMs) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace emu
