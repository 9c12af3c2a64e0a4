// The text form of the printer's saved state: a first line naming the format, then one
// "key=value" line per item. Values are escaped so that any byte survives (texts are
// Windows-1251, and a receipt header may hold line feeds): backslash, CR, LF and other control
// bytes are written as \\, \r, \n and \xHH. Lines starting with '#' and empty lines are ignored.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace emu {

constexpr const char* kStateFormatLine = "vprinter-state 1";

std::string EscapeStateValue(const std::string& value);
// False when the value holds a broken escape.
bool UnescapeStateValue(const std::string& escaped, std::string& value);

class StateWriter {
  public:
    StateWriter();
    void Text(const std::string& key, const std::string& value);
    void Hex16(const std::string& key, uint16_t value);
    void Hex32(const std::string& key, uint32_t value);
    void Int(const std::string& key, int64_t value);
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

class StateReader {
  public:
    // 0, or -EINVAL when the text is not in the format (wrong first line, a line without '=',
    // a broken escape, a key given twice).
    int Parse(const std::string& text);

    bool Has(const std::string& key) const { return values_.count(key) != 0; }
    // Each getter leaves `value` unchanged and returns false when the key is missing or its
    // value does not parse, so that a state keeps its defaults for items it does not know.
    bool Text(const std::string& key, std::string& value) const;
    bool Hex16(const std::string& key, uint16_t& value) const;
    bool Hex32(const std::string& key, uint32_t& value) const;
    bool Int(const std::string& key, int64_t& value) const;

  private:
    bool HexDigits(const std::string& key, size_t maxDigits, uint32_t& value) const;

    std::map<std::string, std::string> values_;
};

// A record of several values in one item: tokens separated by US (0x1F), which no text the
// printer keeps contains. Lists are written as their length followed by their entries.
class RecordWriter {
  public:
    RecordWriter& Int(int64_t value);
    RecordWriter& Text(const std::string& value);
    const std::string& text() const { return text_; }

  private:
    std::string text_;
    bool first_ = true;
};

class RecordReader {
  public:
    explicit RecordReader(const std::string& text);
    // Each reader takes the next token; false when there is none or it is out of range.
    bool Int(int64_t& value, int64_t low, int64_t high);
    template <typename T>
    bool Number(T& value, int64_t low, int64_t high) {
        int64_t parsed = 0;
        if (!Int(parsed, low, high)) {
            return false;
        }
        value = static_cast<T>(parsed);
        return true;
    }
    bool Text(std::string& value);
    // True once every token was read.
    bool AtEnd() const { return at_ > text_.size(); }

  private:
    bool Next(std::string& token);

    std::string text_;
    size_t at_ = 0;
};

}  // namespace emu
