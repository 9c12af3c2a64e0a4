#include "Request.h"

#include <cstdio>

#include "X28Frame.h"

namespace emu {

const std::string& Request::Field(size_t index) const {
    static const std::string empty;
    return index < fields.size() ? fields[index] : empty;
}

std::vector<std::string> Request::Parts(size_t index) const {
    return Split(Field(index), kGs);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string Join(const std::vector<std::string>& parts, char separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += parts[i];
    }
    return text;
}

Request ParseRequest(const std::string& payload) {
    Request request;
    size_t fs = payload.find(kFs);
    request.code = payload.substr(0, fs);
    if (fs != std::string::npos) {
        request.fields = Split(payload.substr(fs + 1), kFs);
    }
    return request;
}

ReplyData& ReplyData::Field(const std::string& text) {
    text_ += text;
    text_ += kFs;
    return *this;
}

ReplyData& ReplyData::Part(const std::string& text) {
    text_ += text;
    text_ += kGs;
    return *this;
}

ReplyData& ReplyData::HexPart(uint32_t number) {
    char hex[12];  // eight digits and the terminator
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(number));
    return Part(hex);
}

ReplyData& ReplyData::HexField(uint32_t number) {
    char hex[12];  // eight digits and the terminator
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(number));
    return Field(hex);
}

std::string BuildReplyPayload(const std::string& code, uint8_t error, uint16_t status,
                              uint16_t blocking, const std::vector<std::string>& fields) {
    // "%02X" of a byte is 2 characters, "%04X%04X" of two 16-bit words 8, plus the terminator.
    char header[16];
    std::snprintf(header, sizeof header, "%02X%c%04X%04X", static_cast<unsigned>(error), kFs,
                  static_cast<unsigned>(status), static_cast<unsigned>(blocking));
    std::string payload = code;
    payload += kFs;
    payload += header;
    if (!fields.empty()) {
        payload += kFs;
        payload += Join(fields, kFs);
    }
    return payload;
}

}  // namespace emu
