#include "X28Frame.h"

namespace emu {

char CheckByte(char sequence, const std::string& payload) {
    char check = sequence;
    for (char c : payload) {
        check = static_cast<char>(check ^ c);
    }
    return static_cast<char>(check ^ kEtx);
}

std::string BuildFrame(char sequence, const std::string& payload) {
    std::string frame;
    frame.reserve(payload.size() + 4);
    frame += kStx;
    frame += sequence;
    frame += payload;
    frame += kEtx;
    frame += CheckByte(sequence, payload);
    return frame;
}

FrameReceiver::Event FrameReceiver::Feed(char byte) {
    switch (phase_) {
        case Phase::WaitStart:
            if (byte == kStx) {
                phase_ = Phase::Sequence;
            }
            return Event::None;
        case Phase::Sequence:
            sequence_ = byte;
            payload_.clear();
            phase_ = Phase::Body;
            return Event::None;
        case Phase::Body:
            if (byte == kEtx) {
                phase_ = Phase::Check;
                return Event::None;
            }
            // A request never carries STX in its payload: a new STX means the sender gave up on
            // the frame it was writing (a driver closed mid-frame) and starts over.
            if (byte == kStx) {
                phase_ = Phase::Sequence;
                return Event::None;
            }
            if (payload_.size() == kMaxRequestPayload) {
                phase_ = Phase::SkipBody;
                checkOk_ = false;
                return Event::Overlong;
            }
            payload_ += byte;
            return Event::None;
        case Phase::Check:
            checkOk_ = byte == CheckByte(sequence_, payload_);
            phase_ = Phase::WaitStart;
            return Event::Frame;
        case Phase::SkipBody:
            if (byte == kEtx) {
                phase_ = Phase::SkipCheck;
            } else if (byte == kStx) {
                phase_ = Phase::Sequence;
            }
            return Event::None;
        case Phase::SkipCheck:
            phase_ = Phase::WaitStart;
            return Event::None;
    }
    return Event::None;
}

}  // namespace emu
