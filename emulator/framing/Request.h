// Command texts as the printer reads and answers them.
//
// A request is a two-letter code, optionally followed by FS and fields separated by FS; a field
// may be compound, its parts separated by GS. A reply echoes the code, then FS, the device error
// as two hexadecimal digits, FS, the status word and the blocking word as four hexadecimal digits
// each, and, when the command returns data, FS and the data fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

// Device errors the engine itself answers with.
constexpr uint8_t kErrNone = 0;
constexpr uint8_t kErrBadCommand = 2;  // "неверная команда"
constexpr uint8_t kErrBadParameter = 3;  // "неверный параметр при вызове команды"

struct Request {
    std::string code;                 // the text before the first FS
    std::vector<std::string> fields;  // the texts between FS separators after the code

    size_t FieldCount() const { return fields.size(); }
    // The field, or an empty text when the request has fewer fields.
    const std::string& Field(size_t index) const;
    // The parts of a compound field (split on GS); one empty part for an empty or missing field.
    std::vector<std::string> Parts(size_t index) const;
};

Request ParseRequest(const std::string& payload);
std::vector<std::string> Split(const std::string& text, char separator);
std::string Join(const std::vector<std::string>& parts, char separator);

// A reply's data as the printer lays it out: every field is followed by its separator, FS after
// a field, GS after a part of a compound field ("gw": "1" GS "34" FS ...).
class ReplyData {
  public:
    ReplyData& Field(const std::string& text);
    ReplyData& Part(const std::string& text);
    ReplyData& Field(int64_t number) { return Field(std::to_string(number)); }
    ReplyData& Part(int64_t number) { return Part(std::to_string(number)); }
    ReplyData& HexPart(uint32_t number);
    ReplyData& HexField(uint32_t number);
    // The data as the one field of a CommandResult (the engine puts FS before it).
    std::vector<std::string> Fields() const { return {text_}; }

  private:
    std::string text_;
};

// `fields` empty: the reply has no data part at all; a single empty field still adds the FS.
std::string BuildReplyPayload(const std::string& code, uint8_t error, uint16_t status,
                              uint16_t blocking, const std::vector<std::string>& fields);

}  // namespace emu
