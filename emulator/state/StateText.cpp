#include "StateText.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Fields.h"

namespace emu {

std::string EscapeStateValue(const std::string& value) {
    // Every byte that is escaped but NUL, at which strcspn stops by itself.
    static const char kEscaped[] =
        "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14\x15"
        "\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\\\x7F";
    std::string out;
    out.reserve(value.size() + value.size() / 16);
    const char* data = value.c_str();
    size_t i = 0;
    while (i < value.size()) {
        // A journal is long and mostly plain text: copy it in runs, not byte by byte.
        const size_t run = std::strcspn(data + i, kEscaped);
        out.append(data + i, run);
        i += run;
        if (i >= value.size()) {
            break;
        }
        const char c = value[i++];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            // "\xHH" and its terminator.
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += hex;
        }
    }
    return out;
}

bool UnescapeStateValue(const std::string& escaped, std::string& value) {
    std::string out;
    out.reserve(escaped.size());
    size_t run = 0;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            continue;
        }
        out.append(escaped, run, i - run);
        if (++i == escaped.size()) {
            return false;
        }
        switch (escaped[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                if (i + 2 >= escaped.size()) {
                    return false;
                }
                int high = HexDigit(escaped[i + 1]);
                int low = HexDigit(escaped[i + 2]);
                if (high < 0 || low < 0) {
                    return false;
                }
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return false;
        }
        run = i + 1;
    }
    out.append(escaped, run, std::string::npos);
    value = std::move(out);
    return true;
}

StateWriter::StateWriter() {
    text_ = kStateFormatLine;
    text_ += '\n';
}

void StateWriter::Text(const std::string& key, const std::string& value) {
    text_ += key;
    text_ += '=';
    text_ += EscapeStateValue(value);
    text_ += '\n';
}

void StateWriter::Hex16(const std::string& key, uint16_t value) {
    char hex[8];  // four digits and the terminator
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(value));
    Text(key, hex);
}

void StateWriter::Hex32(const std::string& key, uint32_t value) {
    char hex[12];  // eight digits and the terminator
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(value));
    Text(key, hex);
}

void StateWriter::Int(const std::string& key, int64_t value) {
    Text(key, std::to_string(value));
}

int StateReader::Parse(const std::string& text) {
    std::map<std::string, std::string> values;
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (first) {
            if (line != kStateFormatLine) {
                return -EINVAL;
            }
            first = false;
            continue;
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        size_t eq = line.find('=');
        if (eq == 0 || eq == std::string::npos) {
            return -EINVAL;
        }
        std::string value;
        if (!UnescapeStateValue(line.substr(eq + 1), value)) {
            return -EINVAL;
        }
        if (!values.emplace(line.substr(0, eq), value).second) {
            return -EINVAL;
        }
    }
    if (first) {
        return -EINVAL;
    }
    values_ = std::move(values);
    return 0;
}

bool StateReader::Text(const std::string& key, std::string& value) const {
    auto it = values_.find(key);
    if (it == values_.end()) {
        return false;
    }
    value = it->second;
    return true;
}

bool StateReader::Hex16(const std::string& key, uint16_t& value) const {
    uint32_t parsed = 0;
    if (!HexDigits(key, 4, parsed)) {
        return false;
    }
    value = static_cast<uint16_t>(parsed);
    return true;
}

bool StateReader::Hex32(const std::string& key, uint32_t& value) const {
    return HexDigits(key, 8, value);
}

bool StateReader::HexDigits(const std::string& key, size_t maxDigits, uint32_t& value) const {
    std::string text;
    if (!Text(key, text) || text.empty() || text.size() > maxDigits) {
        return false;
    }
    uint32_t parsed = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit < 0) {
            return false;
        }
        parsed = parsed * 16 + static_cast<uint32_t>(digit);
    }
    value = parsed;
    return true;
}

bool StateReader::Int(const std::string& key, int64_t& value) const {
    std::string text;
    if (!Text(key, text) || text.empty() || text[0] == ' ') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') {
        return false;
    }
    value = parsed;
    return true;
}

namespace {

constexpr char kUnitSeparator = 0x1F;

}  // namespace

RecordWriter& RecordWriter::Int(int64_t value) {
    return Text(std::to_string(value));
}

RecordWriter& RecordWriter::Text(const std::string& value) {
    if (!first_) {
        text_ += kUnitSeparator;
    }
    first_ = false;
    text_ += value;
    return *this;
}

RecordReader::RecordReader(const std::string& text) : text_(text) {}

bool RecordReader::Next(std::string& token) {
    if (at_ > text_.size()) {
        return false;
    }
    size_t end = text_.find(kUnitSeparator, at_);
    if (end == std::string::npos) {
        end = text_.size();
    }
    token = text_.substr(at_, end - at_);
    at_ = end + 1;
    return true;
}

bool RecordReader::Int(int64_t& value, int64_t low, int64_t high) {
    std::string token;
    if (!Next(token) || token.empty() || token.size() > 20 || token[0] == ' ' || token[0] == '+') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(token.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool RecordReader::Text(std::string& value) {
    return Next(value);
}

}  // namespace emu
