#include "ScriptedPrinter.h"

#include <chrono>
#include <cstdio>

#include "Wire.h"

namespace testsupport {

ScriptedPrinter::ScriptedPrinter() {
    if (line_.ok()) {
        server_ = std::thread([this] { Serve(); });
    }
}

ScriptedPrinter::~ScriptedPrinter() {
    stop_ = true;
    if (server_.joinable()) {
        server_.join();
    }
}

void ScriptedPrinter::SetAnswer(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
}

std::vector<PeerRequest> ScriptedPrinter::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> ScriptedPrinter::Payloads() const {
    std::vector<std::string> payloads;
    for (const PeerRequest& request : Requests()) {
        payloads.push_back(request.payload);
    }
    return payloads;
}

void ScriptedPrinter::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

bool ScriptedPrinter::WaitForRequests(size_t count, unsigned timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Requests().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return Requests().size() >= count;
}

void ScriptedPrinter::Serve() {
    // Frame assembly: STX, then everything up to ETX, then the check byte.
    std::string frame;
    bool awaitingCheck = false;
    while (!stop_) {
        for (const char byte : line_.ReceiveSome(20)) {
            if (awaitingCheck) {
                awaitingCheck = false;
                PeerRequest request;
                request.sequence = frame.size() > 1 ? frame[1] : 0;
                request.payload = frame.size() > 3 ? frame.substr(2, frame.size() - 3) : "";
                frame.clear();
                Answer answer;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    requests_.push_back(request);
                    answer = answer_;
                }
                const std::string bytes = answer ? answer(request) : std::string();
                if (!bytes.empty()) {
                    line_.Send(bytes);
                }
                continue;
            }
            if (frame.empty()) {
                if (byte == '\x02') {
                    frame += byte;
                }
                continue;
            }
            frame += byte;
            awaitingCheck = byte == '\x03';
        }
    }
}

std::string ReplyPayload(const std::string& echo, int error, unsigned status, unsigned blocking,
                         const std::string& data) {
    char header[32];
    std::snprintf(header, sizeof header, "\x1C%02X\x1C%04X%04X", static_cast<unsigned>(error),
                  status & 0xFFFF, blocking & 0xFFFF);
    std::string payload = echo + header;
    if (!data.empty()) {
        payload += kFs + data;
    }
    return payload;
}

std::string Reply(const PeerRequest& request, int error, unsigned status, unsigned blocking,
                  const std::string& data) {
    return Frame(request.sequence,
                 ReplyPayload(request.payload.substr(0, 2), error, status, blocking, data));
}

ScriptedPrinter::Answer ReplyWith(int error, unsigned status, unsigned blocking,
                                  const std::string& data) {
    return
        [=](const PeerRequest& request) { return Reply(request, error, status, blocking, data); };
}

ScriptedPrinter::Answer RawPayload(const std::string& payload) {
    return [=](const PeerRequest& request) { return Frame(request.sequence, payload); };
}

ScriptedPrinter::Answer Silence() {
    return [](const PeerRequest&) { return std::string(); };
}

}  // namespace testsupport
