// The far end of a serial line: the master side of a pseudo-terminal whose slave a test enters in
// the port map as COMn, for the bytes the virtual printer would never send.
#pragma once

#include <termios.h>

#include <string>
#include <thread>
#include <vector>

namespace testsupport {

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
    // Enters the slave side in the port map as COM`n`.
    bool Map(int n) const;

    // False when the bytes cannot be written within two seconds.
    bool Send(const std::string& bytes) const;
    // Bytes the port sent: up to `count`, waiting at most `timeoutMs` in all.
    std::string Receive(size_t count, unsigned timeoutMs) const;
    // Whatever the port sent within `timeoutMs`, up to one chunk; empty when nothing came.
    std::string ReceiveSome(unsigned timeoutMs) const;
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

}  // namespace testsupport
