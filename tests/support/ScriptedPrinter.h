// A printer that answers what the test tells it to, over a pseudo-terminal peer entered in the
// port map as COMn: for replies the virtual printer would never send (malformed headers, late or
// out-of-sequence frames), journals of the test's own making, and recoveries played step by step.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PtyPeer.h"

namespace testsupport {

struct PeerRequest {
    char sequence = 0;
    std::string payload;
};

class ScriptedPrinter {
  public:
    // The bytes to send back for a request frame; empty: no answer at all.
    using Answer = std::function<std::string(const PeerRequest& request)>;

    ScriptedPrinter();
    ~ScriptedPrinter();  // stops answering, closes the line
    ScriptedPrinter(const ScriptedPrinter&) = delete;
    ScriptedPrinter& operator=(const ScriptedPrinter&) = delete;

    bool ok() const { return line_.ok(); }
    // Enters the pseudo-terminal in the port map as COM`n`.
    bool Map(int n) const { return line_.Map(n); }
    void SetAnswer(Answer answer);

    // Every request frame received, oldest first.
    std::vector<PeerRequest> Requests() const;
    std::vector<std::string> Payloads() const;
    void ClearRequests();
    // Waits until at least `count` request frames arrived; false on time-out.
    bool WaitForRequests(size_t count, unsigned timeoutMs) const;

  private:
    void Serve();

    PtyPeer line_;
    mutable std::mutex mutex_;
    Answer answer_;
    std::vector<PeerRequest> requests_;
    std::atomic<bool> stop_{false};
    std::thread server_;
};

// The reply frame to `request`: echo, FS, error (two hex digits), FS, status and blocking words
// (four hex digits each), and when `data` is not empty FS and the data.
std::string Reply(const PeerRequest& request, int error, unsigned status, unsigned blocking,
                  const std::string& data = std::string());
std::string ReplyPayload(const std::string& echo, int error, unsigned status, unsigned blocking,
                         const std::string& data = std::string());

// Answers of the scripted printer.
ScriptedPrinter::Answer ReplyWith(int error, unsigned status, unsigned blocking = 0,
                                  const std::string& data = std::string());
ScriptedPrinter::Answer RawPayload(const std::string& payload);
ScriptedPrinter::Answer Silence();

}  // namespace testsupport
