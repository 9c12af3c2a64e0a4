// The bits of the printer's status word and blocking word, with the driver's property for each
// and what it means, for the status endpoint and the status page.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>

namespace brontald {

struct StatusFlag {
    const char* property;  // the driver's State... property
    unsigned bit;
    bool inverted;        // the property is 1 when the bit is clear (StatePrinterReady)
    const char* meaning;  // when the property reads 1
};

// The status word, bit by bit.
extern const StatusFlag kStatusFlags[];
extern const size_t kStatusFlagCount;
// The blocking word: the reasons of a block.
extern const StatusFlag kBlockingFlags[];
extern const size_t kBlockingFlagCount;

// Every flag of the status word: [{"property", "bit", "value", "meaning"}].
nlohmann::json StatusFlagsJson(uint16_t status);
// The reasons set in the blocking word: [{"property", "bit", "reason"}].
nlohmann::json BlockingReasonsJson(uint16_t blocking);

// Status word bits the service decides by.
constexpr uint16_t kStatusDayOpen = 0x0001;
constexpr uint16_t kStatusReceiptOpen = 0x0002;
constexpr uint16_t kStatusReadyForTotal = 0x0008;
constexpr uint16_t kStatusBlocked = 0x8000;

}  // namespace brontald
