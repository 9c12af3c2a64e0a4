// The virtual printer's side of the line: any bytes through its frame receiver, and every frame
// it takes through the request parser, whose fields must join back to the payload.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Request.h"
#include "X28Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    emu::FrameReceiver receiver;
    for (size_t i = 0; i < size; ++i) {
        const emu::FrameReceiver::Event event = receiver.Feed(static_cast<char>(data[i]));
        if (event != emu::FrameReceiver::Event::Frame) {
            continue;
        }
        const std::string& payload = receiver.payload();
        if (payload.size() > emu::kMaxRequestPayload) {
            __builtin_trap();
        }
        const emu::Request request = emu::ParseRequest(payload);
        std::string joined = request.code;
        for (const std::string& field : request.fields) {
            joined += emu::kFs + field;
        }
        if (joined != payload) {
            __builtin_trap();
        }
        for (size_t field = 0; field <= request.FieldCount(); ++field) {
            request.Parts(field);
        }
        const std::string frame = emu::BuildFrame(receiver.sequence(), payload);
        if (frame.size() != payload.size() + 4 ||
            frame.back() != emu::CheckByte(receiver.sequence(), payload)) {
            __builtin_trap();
        }
    }
    return 0;
}
