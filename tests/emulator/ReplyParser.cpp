#include "ReplyParser.h"

#include "LineClient.h"

namespace emutest {

namespace {

bool HexValue(const std::string& text, unsigned& value) {
    value = 0;
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                           : -1;
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

}  // namespace

ParsedReply ParseReply(const std::string& answer) {
    ParsedReply reply;
    const std::string frame = FramePart(answer);
    // STX, sequence, at least "xx" FS "ee" FS "ssssbbbb", ETX, check byte.
    if (frame.size() < 18 || frame[frame.size() - 2] != ETX ||
        testsupport::CheckByte(frame.substr(1, frame.size() - 2)) != frame.back()) {
        return reply;
    }
    reply.sequence = frame[1];
    const std::string payload = frame.substr(2, frame.size() - 4);
    const size_t fs1 = payload.find(FS);
    if (fs1 == std::string::npos || payload.size() < fs1 + 12 || payload[fs1 + 3] != FS) {
        return reply;
    }
    const size_t words = fs1 + 4;
    const size_t after = payload.find(FS, words);
    if ((after == std::string::npos ? payload.size() : after) - words != 8) {
        return reply;
    }
    unsigned status = 0;
    unsigned blocking = 0;
    if (!HexValue(payload.substr(fs1 + 1, 2), reply.error) ||
        !HexValue(payload.substr(words, 4), status) ||
        !HexValue(payload.substr(words + 4, 4), blocking)) {
        return reply;
    }
    reply.echo = payload.substr(0, fs1);
    reply.status = static_cast<uint16_t>(status);
    reply.blocking = static_cast<uint16_t>(blocking);
    reply.hasData = after != std::string::npos;
    reply.data = reply.hasData ? payload.substr(after + 1) : std::string();
    reply.ok = true;
    return reply;
}

std::vector<std::string> Pieces(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            end = text.size();
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

}  // namespace emutest
