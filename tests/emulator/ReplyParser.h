// The tests' own reading of a printer reply, strict about its layout: echo FS, two hexadecimal
// digits of device error FS, eight of status and blocking word, and optionally FS and data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emutest {

struct ParsedReply {
    bool ok = false;  // a whole frame with a good check byte and a sound header
    char sequence = 0;
    std::string echo;
    unsigned error = 0;
    uint16_t status = 0;
    uint16_t blocking = 0;
    bool hasData = false;
    std::string data;  // everything after the FS that follows the words
};

// The frame in `answer` (SYNs and noise before it are skipped).
ParsedReply ParseReply(const std::string& answer);

// `text` cut at every `separator`; a separator at the very end adds no empty piece, as the
// printer ends its last field with one.
std::vector<std::string> Pieces(const std::string& text, char separator);

}  // namespace emutest
