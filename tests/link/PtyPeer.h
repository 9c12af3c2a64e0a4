// The far end of a serial line for link tests: the master side of a pseudo-terminal whose slave
// is entered in the port map as COMn, with a scripted player for replies that the virtual
// printer would never send.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include <termios.h>

namespace linktest {

// Enters `devicePath` in the port map (HARDWARE\DEVICEMAP\SERIALCOMM) as "COM<n>"; true on success.
bool MapPort(const std::string& devicePath, int n);

class PtyPeer {
  public:
    struct Step {
        unsigned delayMs;  // pause before the bytes are sent
        std::string bytes;
    };

    PtyPeer();
    ~PtyPeer();  // stops the player, closes both sides
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& SlavePath() const { return slavePath_; }
    bool Map(int n) const { return MapPort(slavePath_, n); }

    bool Send(const std::string& bytes) const;
    // Bytes the port sent: up to `count`, waiting at most `timeoutMs` in all.
    std::string Receive(size_t count, unsigned timeoutMs) const;
    // One whole request frame (STX .. ETX, check byte); empty on time-out.
    std::string ReceiveFrame(unsigned timeoutMs) const;

    // Sends the steps on a thread of its own; Join waits for the last one.
    void Play(std::vector<Step> steps);
    void Join();
    // Keeps the line to the port as full as it will go with `chunk` for `durationMs`.
    void Flood(const std::string& chunk, unsigned durationMs);

    // The line settings the port applied to the slave side; false when they cannot be read.
    bool LineSettings(termios& settings) const;

    // Drops the master side: the port's next read fails.
    void Hangup();

  private:
    int master_ = -1;
    int slave_ = -1;  // held open so that the master never reads EIO while the port is closed
    std::string slavePath_;
    std::thread player_;
};

// A reply frame as the printer builds it: STX, sequence character, payload, ETX, check byte.
std::string Frame(char sequence, const std::string& payload);

}  // namespace linktest
