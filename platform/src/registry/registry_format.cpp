#include "registry_format.h"

#include "registry_text.h"

#include <cstdio>

namespace brontal::registry {

namespace {

constexpr char16_t kHeader[] = u"Windows Registry Editor Version 5.00";
// regedit breaks hex data before a line reaches this many characters.
constexpr size_t kMaxHexChars = 77;

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view TrimRight(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::u16string_view TrimLeft(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

bool DecodeFile(std::string_view bytes, Text& text) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) {
            return false;
        }
        text.resize(bytes.size() / 2);
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                            (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        }
        return true;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return Utf8ToText(bytes, text);
}

std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
    std::vector<std::u16string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || text[i] == u'\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// 1 to 8 hex digits, nothing else.
bool ParseHexNumber(std::u16string_view s, DWORD& out) {
    if (s.empty() || s.size() > 8) {
        return false;
    }
    out = 0;
    for (char16_t c : s) {
        const int d = HexDigit(c);
        if (d < 0) {
            return false;
        }
        out = (out << 4) | static_cast<DWORD>(d);
    }
    return true;
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    if (s.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldChar(s[i]) != FoldChar(prefix[i])) {
            return false;
        }
    }
    return true;
}

// A quoted text starting at s[0] == '"'; only \\ and \" are escapes (regedit writes no others),
// any other backslash stands for itself. Leaves s after the closing quote.
bool ParseQuoted(std::u16string_view& s, Text& out) {
    out.clear();
    size_t i = 1;
    while (i < s.size()) {
        const char16_t c = s[i];
        if (c == u'"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"')) {
            out.push_back(s[i + 1]);
            i += 2;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return false;
}

bool ParseHexList(std::u16string_view s, std::vector<BYTE>& out) {
    out.clear();
    s = TrimLeft(TrimRight(s));
    if (s.empty()) {
        return true;
    }
    while (true) {
        s = TrimLeft(s);
        size_t n = 0;
        while (n < s.size() && n < 3 && HexDigit(s[n]) >= 0) {
            ++n;
        }
        if (n == 0 || n > 2) {
            return false;
        }
        DWORD b = 0;
        ParseHexNumber(s.substr(0, n), b);
        out.push_back(static_cast<BYTE>(b));
        if (out.size() > kMaxValueDataBytes) {
            return false;
        }
        s = TrimLeft(s.substr(n));
        if (s.empty()) {
            return true;
        }
        if (s.front() != u',') {
            return false;
        }
        s.remove_prefix(1);
        if (TrimLeft(s).empty()) {
            return true;  // a trailing comma, as left by hand-joined lines
        }
    }
}

class Parser {
  public:
    Parser(const Text& rootName, Key& root) : rootName_(rootName), root_(root) {}

    bool Run(std::u16string_view text) {
        lines_ = SplitLines(text);
        bool headerSeen = false;
        for (next_ = 0; next_ < lines_.size();) {
            std::u16string_view line = TrimLeft(TrimRight(lines_[next_++]));
            if (line.empty()) {
                continue;
            }
            if (line.find(u'\0') != std::u16string_view::npos) {
                return false;
            }
            if (!headerSeen) {
                if (line != kHeader) {
                    return false;
                }
                headerSeen = true;
                continue;
            }
            if (line.front() == u';') {
                continue;
            }
            bool ok = false;
            if (line.front() == u'[') {
                ok = Section(line);
            } else if (line.front() == u'"' || line.front() == u'@') {
                ok = ValueLine(line);
            }
            if (!ok) {
                return false;
            }
        }
        return headerSeen;
    }

  private:
    bool Section(std::u16string_view line) {
        if (line.back() != u']' || line.size() < 2) {
            return false;
        }
        std::u16string_view path = line.substr(1, line.size() - 2);
        std::vector<Text> parts;
        size_t start = 0;
        while (true) {
            const size_t slash = path.find(u'\\', start);
            parts.emplace_back(path.substr(start, slash == path.npos ? path.npos : slash - start));
            if (slash == path.npos) {
                break;
            }
            start = slash + 1;
        }
        if (!SameName(parts.front(), rootName_) || parts.size() - 1 > kMaxKeyDepth) {
            return false;
        }
        Key* key = &root_;
        for (size_t i = 1; i < parts.size(); ++i) {
            const Text& part = parts[i];
            if (part.empty() || part.size() > kMaxKeyNameChars) {
                return false;
            }
            Key* sub = key->FindSubkey(part);
            key = sub ? sub : key->AddSubkey(part);
        }
        current_ = key;
        return true;
    }

    bool ValueLine(std::u16string_view line) {
        if (!current_) {
            return false;
        }
        Text name;
        if (line.front() == u'@') {
            line.remove_prefix(1);
        } else if (!ParseQuoted(line, name)) {
            return false;
        }
        if (name.size() > kMaxValueNameChars) {
            return false;
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != u'=') {
            return false;
        }
        line = TrimLeft(line.substr(1));
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (!line.empty() && line.front() == u'"') {
            Text text;
            if (!ParseQuoted(line, text) || !TrimLeft(line).empty()) {
                return false;
            }
            type = REG_SZ;
            data = Utf16Bytes(text, true);
        } else if (StartsWithNoCase(line, u"dword:")) {
            DWORD number = 0;
            if (!ParseHexNumber(TrimRight(line.substr(6)), number)) {
                return false;
            }
            type = REG_DWORD;
            for (int i = 0; i < 4; ++i) {
                data.push_back(static_cast<BYTE>(number >> (8 * i)));
            }
        } else if (StartsWithNoCase(line, u"hex")) {
            line.remove_prefix(3);
            type = REG_BINARY;
            if (!line.empty() && line.front() == u'(') {
                const size_t close = line.find(u')');
                if (close == line.npos || !ParseHexNumber(line.substr(1, close - 1), type)) {
                    return false;
                }
                line.remove_prefix(close + 1);
            }
            if (line.empty() || line.front() != u':') {
                return false;
            }
            if (!HexData(line.substr(1), data)) {
                return false;
            }
        } else {
            return false;
        }
        current_->SetValue(name, type, std::move(data));
        return true;
    }

    // Hex data continues on the next line while a line ends with a backslash.
    bool HexData(std::u16string_view first, std::vector<BYTE>& data) {
        Text joined;
        std::u16string_view part = TrimRight(first);
        while (!part.empty() && part.back() == u'\\') {
            joined.append(part.substr(0, part.size() - 1));
            if (joined.size() > kMaxValueDataBytes * 4 || next_ >= lines_.size()) {
                return false;
            }
            part = TrimLeft(TrimRight(lines_[next_++]));
        }
        joined.append(part);
        return ParseHexList(joined, data);
    }

    const Text& rootName_;
    Key& root_;
    Key* current_ = nullptr;
    std::vector<std::u16string_view> lines_;
    size_t next_ = 0;
};

// --- writing ---

void AppendAscii(Text& out, const char* s) {
    while (*s) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s++)));
    }
}

void AppendEscaped(Text& out, const Text& s) {
    for (char16_t c : s) {
        if (c == u'\\' || c == u'"') {
            out.push_back(u'\\');
        }
        out.push_back(c);
    }
}

// A REG_SZ is written as a quoted text only when reading that text back gives the same bytes;
// anything else (no terminator, embedded zeros, line breaks) goes out as hex(1).
bool QuotableText(const std::vector<BYTE>& data, Text& text) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return false;
    }
    const size_t units = data.size() / 2;
    text.clear();
    for (size_t i = 0; i < units; ++i) {
        const char16_t u = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        if (i + 1 == units) {
            return u == 0;
        }
        if (u == 0 || u == u'\r' || u == u'\n') {
            return false;
        }
        text.push_back(u);
    }
    return false;
}

void AppendHex(Text& out, size_t lineLen, DWORD type, const std::vector<BYTE>& data) {
    char prefix[24];
    if (type == REG_BINARY) {
        std::snprintf(prefix, sizeof prefix, "hex:");
    } else {
        std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
    }
    AppendAscii(out, prefix);
    lineLen += std::char_traits<char>::length(prefix);
    for (size_t i = 0; i < data.size(); ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        AppendAscii(out, digits);
        if (i + 1 == data.size()) {
            break;
        }
        out.push_back(u',');
        lineLen += 3;
        if (lineLen >= kMaxHexChars) {
            AppendAscii(out, "\\\r\n  ");
            lineLen = 2;
        }
    }
}

void AppendValue(Text& out, const Value& v) {
    const size_t lineStart = out.size();
    if (v.name.empty()) {
        out.push_back(u'@');
    } else {
        out.push_back(u'"');
        AppendEscaped(out, v.name);
        out.push_back(u'"');
    }
    out.push_back(u'=');
    Text text;
    if (v.type == REG_SZ && QuotableText(v.data, text)) {
        out.push_back(u'"');
        AppendEscaped(out, text);
        out.push_back(u'"');
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        const DWORD number = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                             (static_cast<DWORD>(v.data[3]) << 24);
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", number);
        AppendAscii(out, digits);
    } else {
        AppendHex(out, out.size() - lineStart, v.type, v.data);
    }
    AppendAscii(out, "\r\n");
}

void AppendKey(Text& out, const Key& key, const Text& path) {
    AppendAscii(out, "\r\n[");
    out.append(path);
    AppendAscii(out, "]\r\n");
    for (const Value& v : key.values) {
        AppendValue(out, v);
    }
    for (const auto& sub : key.subkeys) {
        AppendKey(out, *sub, path + u"\\" + sub->name);
    }
}

}  // namespace

bool ParseHive(std::string_view bytes, const Text& rootName, Key& root) {
    if (bytes.empty()) {
        return true;
    }
    Text text;
    if (!DecodeFile(bytes, text)) {
        return false;
    }
    return Parser(rootName, root).Run(text);
}

std::string FormatHive(const Key& root, const Text& rootName) {
    Text text(kHeader);
    AppendAscii(text, "\r\n");
    AppendKey(text, root, rootName);
    AppendAscii(text, "\r\n");
    std::string bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes += "\xFF\xFE";
    for (char16_t u : text) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

}  // namespace brontal::registry
