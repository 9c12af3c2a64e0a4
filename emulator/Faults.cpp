#include "Faults.h"

#include <cerrno>

namespace emu {

int ValidateFault(const Fault& fault) {
    if (fault.frames < 1) {
        return -EINVAL;
    }
    if (!fault.command.empty() && fault.command.size() != 2) {
        return -EINVAL;
    }
    switch (fault.kind) {
        case FaultKind::SynBurst:
            // A zero period would flood the line with SYN as fast as it takes them.
            return fault.periodMs > 0 ? 0 : -EINVAL;
        case FaultKind::DeviceError:
            return fault.code >= 0 && fault.code <= 0xFF ? 0 : -EINVAL;
        case FaultKind::BadCheckByte:
        case FaultKind::LostReply:
        case FaultKind::Nak:
        case FaultKind::WrongSequence:
        case FaultKind::Noise:
        case FaultKind::Silence:
        case FaultKind::SlowBytes:
            return 0;
    }
    return -EINVAL;
}

int FaultQueue::Add(const Fault& fault) {
    int rc = ValidateFault(fault);
    if (rc == 0) {
        faults_.push_back(fault);
    }
    return rc;
}

std::optional<Fault> FaultQueue::Take(const std::string& code) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (!it->command.empty() && it->command != code) {
            continue;
        }
        Fault fault = *it;
        if (--it->frames == 0) {
            faults_.erase(it);
        }
        return fault;
    }
    return std::nullopt;
}

}  // namespace emu
