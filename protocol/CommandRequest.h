// The common core of the command families: one request with its fields, its device result.
#pragma once

#include <cstring>

#include "Brontal.h"

// Room for a request's fields and for the reply data that replaces them.
constexpr DWORD kRequestFieldCapacity = kReplyTextCapacity;

// Sends `code` with the fields in `fields` and, with `expectReply`, waits for the reply, whose
// data fields then replace the request in `fields`. 0, the execution's failure, or the device
// result of the reply.
inline int RunCommand(CBrontal& layer, LPCSTR code, LPSTR fields, DWORD capacity,
                      int expectReply = 1) {
    char command[8] = {};  // the two letters; the echo comes back here
    std::strncpy(command, code, sizeof command - 1);
    // A request the link cannot frame is an argument error, found before anything is sent.
    const void* end = fields ? std::memchr(fields, '\0', capacity) : nullptr;
    const size_t fieldLength = !fields ? 0
                               : end   ? static_cast<size_t>(static_cast<LPCSTR>(end) - fields)
                                       : capacity;
    if (std::strlen(command) + (fieldLength > 0 ? 1 + fieldLength : 0) > kX28MaxRequestPayload) {
        return kBrontalBadArguments;
    }
    const int result = layer.Execute(command, sizeof command, fields, capacity, expectReply);
    if (result <= 0) {
        return result;
    }
    return layer.DeviceResult();
}
