// The virtual fiscal printer: the printer side of the X28 protocol on a pseudo-terminal.
//
// It runs in-process for tests (Start() serves on a thread of its own) and inside the vprinter
// program. Its framing and parsing are its own, independent of link/ and protocol/, so that each
// side checks the other.
//
// Thread-safety: every public member may be called from any thread while the printer serves;
// state changes made by a test take effect from the next request frame on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emu {

// Faults apply to the replies of the next `frames` request frames, in the order injected.
enum class FaultKind {
    BadCheckByte,   // the reply's check byte is wrong
    LostReply,      // the request is executed but no reply is sent
    Nak,            // NAK instead of the reply; the request is not executed
    SynBurst,       // SYN every periodMs for durationMs, then the reply
    WrongSequence,  // the reply carries another sequence character
    Noise,          // `bytes` are sent before the reply
    Silence,        // nothing at all, the request is not executed
    SlowBytes,      // the reply is sent byte by byte, periodMs apart
    DeviceError,    // the reply carries device error `code` (for command `command`, or any)
};

struct Fault {
    FaultKind kind = FaultKind::LostReply;
    int frames = 1;
    unsigned periodMs = 0;
    unsigned durationMs = 0;
    std::string bytes;
    int code = 0;
    std::string command;  // two-letter code the fault is limited to; empty: any request
};

// One request frame as it arrived, whether or not it was executed.
struct ReceivedFrame {
    char sequence = 0;
    std::string payload;  // between the sequence character and ETX
    bool checkOk = false;
    bool repeated = false;  // same sequence character as the previous one: answered from cache
};

class VirtualPrinter {
public:
    VirtualPrinter();
    ~VirtualPrinter();  // stops serving and removes its port-map entry
    VirtualPrinter(const VirtualPrinter&) = delete;
    VirtualPrinter& operator=(const VirtualPrinter&) = delete;

    // Opens a pseudo-terminal and serves on a background thread. 0, or a negative errno.
    int Start();
    void Stop();
    // Path of the pseudo-terminal's device (the side the driver opens).
    std::string DevicePath() const;
    // Adds the device to the port map as COMn; n = 0 takes the first free number from 1 up.
    // Returns the number, or a negative Windows error code.
    int RegisterPort(int n = 0);
    void UnregisterPort();
    int PortNumber() const;

    // Printer state that tests set directly.
    void SetStatusWords(uint16_t status, uint16_t blocking);
    uint16_t StatusWord() const;
    uint16_t BlockingWord() const;

    void InjectFault(const Fault& fault);
    void ClearFaults();

    // What the printer received, oldest first.
    std::vector<ReceivedFrame> Frames() const;
    // Payloads of the requests it executed (repeats answered from the cache are not counted).
    std::vector<std::string> Requests() const;
    void ClearLog();
    // Waits until at least `count` frames arrived; false on time-out.
    bool WaitForFrames(size_t count, unsigned timeoutMs) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace emu
