#include "Faults.h"

#include <cerrno>
#include <cstdint>

#include "Fiscal.h"
#include "X28Frame.h"

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
        case FaultKind::LongErrorField:
        case FaultKind::ShortStatusField:
        case FaultKind::LongStatusField:
        case FaultKind::NoFirstFs:
        case FaultKind::TruncatedReply:
        case FaultKind::EmptyFields:
        case FaultKind::ReplayLast:
            return 0;
        case FaultKind::GarbledReply:
            // The garbage travels inside a frame: it must not end it early.
            return fault.bytes.find_first_of(std::string{kStx, kEtx}) == std::string::npos
                       ? 0
                       : -EINVAL;
        case FaultKind::LateReply:
            return fault.periodMs > 0 ? 0 : -EINVAL;
        case FaultKind::ExtraData:
            return !fault.bytes.empty() &&
                           fault.bytes.find_first_of(std::string{kStx, kEtx}) == std::string::npos
                       ? 0
                       : -EINVAL;
    }
    return -EINVAL;
}

bool IsMalformedReply(FaultKind kind) {
    return kind == FaultKind::LongErrorField || kind == FaultKind::ShortStatusField ||
           kind == FaultKind::LongStatusField || kind == FaultKind::NoFirstFs ||
           kind == FaultKind::TruncatedReply || kind == FaultKind::GarbledReply ||
           kind == FaultKind::EmptyFields;
}

namespace {

// Printable bytes and FS, drawn from `seed`: never STX or ETX.
std::string Garbage(int seed, size_t count) {
    uint32_t state = static_cast<uint32_t>(seed) * 2654435761u + 1;
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned pick = (state >> 16) % 96;
        bytes += pick == 95 ? kFs : static_cast<char>(0x20 + pick);
    }
    return bytes;
}

}  // namespace

std::string SpoilReply(const Fault& fault, const std::string& payload) {
    switch (fault.kind) {
        case FaultKind::TruncatedReply:
            return payload.substr(0, payload.size() / 2);
        case FaultKind::GarbledReply:
            return !fault.bytes.empty() ? fault.bytes : Garbage(fault.code, 12);
        case FaultKind::EmptyFields:
            return payload.substr(0, payload.find(kFs)) + kFs + kFs + kFs;
        default:
            return SpoilReplyLayout(fault.kind, payload);
    }
}

std::string SpoilReplyLayout(FaultKind kind, const std::string& payload) {
    // A sound reply: echo FS error(2) FS status(8) [FS data].
    const size_t firstFs = payload.find(kFs);
    if (firstFs == std::string::npos || payload.size() < firstFs + 12) {
        return payload;
    }
    const size_t error = firstFs + 1;
    const size_t status = error + 3;
    std::string spoiled = payload;
    switch (kind) {
        case FaultKind::LongErrorField:
            spoiled.insert(error, 1, '0');
            break;
        case FaultKind::ShortStatusField:
            spoiled.erase(status + 7, 1);
            break;
        case FaultKind::LongStatusField:
            spoiled.insert(status + 8, 1, '0');
            break;
        case FaultKind::NoFirstFs:
            spoiled.erase(firstFs, 1);
            break;
        default:
            break;
    }
    return spoiled;
}

void StrikeDeviceError(const Fault& fault, PrinterState& state, Paper& paper) {
    if (fault.receipt != ReceiptOutcome::LeftOpen) {
        // The document was finished before the fault struck: counted and printed in full.
        FinishDocument(state, &paper, fault.receipt == ReceiptOutcome::ClosedAfterUnblock, true);
    }
    switch (fault.code) {
        case 22:
            Block(state, kBlockJournal);
            if (state.journalFault == JournalFault::Permanent) {
                break;  // a journal broken for good stays so
            }
            state.journalFault = !fault.recoverable ? JournalFault::Permanent
                                 : fault.needsReset ? JournalFault::ClearedByRestartReset
                                                    : JournalFault::ClearedByRestart;
            break;
        case 48:
        case 49:
        case 50:
            Block(state, kBlockControlUnit);
            if (fault.needsReset) {
                state.status = static_cast<uint16_t>(state.status | kStatusNeedReset);
            }
            if (state.unit.lock == UnitLock::Permanent) {
                break;  // a unit broken for good stays so
            }
            state.unit.error = static_cast<uint8_t>(fault.code);
            if (!fault.recoverable) {
                state.unit.lock = UnitLock::Permanent;
            } else if (fault.code == 49) {
                state.unit.lock = UnitLock::Unlock;
            } else if (fault.code == 48) {
                state.unit.lock = UnitLock::AfterStatus;
            } else {
                state.unit.lock = UnitLock::AfterAuth;
            }
            break;
        default:
            break;
    }
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
    if (randomPercent_ == 0 || randomKinds_.empty() || NextRandom() % 100 >= randomPercent_) {
        return std::nullopt;
    }
    const size_t pick = NextRandom() % randomKinds_.size();
    ++randomCounts_[pick];
    return randomKinds_[pick];
}

int FaultQueue::SetRandom(unsigned percent, uint32_t seed, const std::vector<Fault>& kinds) {
    if (percent > 100) {
        return -EINVAL;
    }
    for (const Fault& fault : kinds) {
        if (ValidateFault(fault) != 0) {
            return -EINVAL;
        }
    }
    randomPercent_ = percent;
    randomState_ = seed;
    randomKinds_ = kinds;
    for (Fault& fault : randomKinds_) {
        fault.frames = 1;
    }
    randomCounts_.assign(kinds.size(), 0);
    return 0;
}

uint32_t FaultQueue::NextRandom() {
    // xorshift32: the same seed gives the same faults on every machine.
    uint32_t x = randomState_ != 0 ? randomState_ : 0x9E3779B9u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    randomState_ = x;
    return x;
}

}  // namespace emu
