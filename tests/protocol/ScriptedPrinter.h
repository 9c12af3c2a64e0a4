// A printer that answers what the test tells it to: the far end of a pseudo-terminal entered in
// the port map as COMn, for replies the virtual printer would never send (malformed headers,
// late or out-of-sequence frames) and for recoveries played step by step.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace prottest {

struct PeerRequest {
    char sequence = 0;
    std::string payload;
};

class ScriptedPrinter {
  public:
    // The bytes to send back for a request frame; empty: no answer at all.
    using Answer = std::function<std::string(const PeerRequest& request)>;

    ScriptedPrinter();
    ~ScriptedPrinter();  // stops answering, closes both sides
    ScriptedPrinter(const ScriptedPrinter&) = delete;
    ScriptedPrinter& operator=(const ScriptedPrinter&) = delete;

    bool ok() const { return master_ >= 0; }
    // Enters the pseudo-terminal in the port map as COM`n`.
    bool Map(int n) const;
    void SetAnswer(Answer answer);

    // Every request frame received, oldest first.
    std::vector<PeerRequest> Requests() const;
    std::vector<std::string> Payloads() const;
    void ClearRequests();
    // Waits until at least `count` request frames arrived; false on time-out.
    bool WaitForRequests(size_t count, unsigned timeoutMs) const;

  private:
    void Serve();
    void Send(const std::string& bytes) const;

    int master_ = -1;
    int slave_ = -1;  // held open so that the master never reads EIO while the port is closed
    std::string slavePath_;
    mutable std::mutex mutex_;
    Answer answer_;
    std::vector<PeerRequest> requests_;
    std::atomic<bool> stop_{false};
    std::thread server_;
};

// A frame as the printer sends it: STX, sequence character, payload, ETX, check byte.
std::string Frame(char sequence, const std::string& payload);
// The reply frame to `request`: echo, FS, error (two hex digits), FS, status and blocking words
// (four hex digits each), and when `data` is not empty FS and the data.
std::string Reply(const PeerRequest& request, int error, unsigned status, unsigned blocking,
                  const std::string& data = std::string());
std::string ReplyPayload(const std::string& echo, int error, unsigned status, unsigned blocking,
                         const std::string& data = std::string());

}  // namespace prottest
