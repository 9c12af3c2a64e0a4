#include "PrinterFlags.h"

namespace brontald {

const StatusFlag kStatusFlags[] = {
    {"StateDayOpen", 0, false, "the fiscal day (shift) is open"},
    {"StateReceiptOpen", 1, false, "a receipt is open"},
    {"StateReceiptReadyForTotal", 3, false, "the receipt is totalled and takes payments"},
    {"StatePrinterNeedReset", 4, false, "the printer needs a reset"},
    {"StatePrinterReady", 5, true, "the printer is ready"},
    {"StateElectronicJournalPresent", 6, false, "the electronic journal is present"},
    {"StateFiscal", 7, false, "the printer is fiscalised"},
    {"StateJournalNearEnd", 8, false, "the control tape is near its end"},
    {"StateReceiptNearEnd", 9, false, "the receipt paper is near its end"},
    {"StateElectronicJournalNearEnd", 10, false, "the electronic journal is nearly full"},
    {"StateFiscalMemoryNearEnd", 11, false, "the fiscal memory is nearly full"},
    {"StateElectronicJournalNeedValidate", 12, false, "the electronic journal needs validation"},
    {"StateTaxAuthoritiesControlUnitPresent", 13, false,
     "the tax authorities' control unit is present"},
    {"StateBlocked", 15, false, "the printer is blocked (see the blocking reasons)"},
};
const size_t kStatusFlagCount = sizeof kStatusFlags / sizeof kStatusFlags[0];

const StatusFlag kBlockingFlags[] = {
    {"StateBlockedConfig", 0, false, "configuration"},
    {"StateBlockedMemory", 1, false, "memory"},
    {"StateBlockedRealTimeClock", 2, false, "real-time clock"},
    {"StateBlockedNeedPrintZ", 3, false, "a Z report must be printed"},
    {"StateBlockedFiscalMemory", 4, false, "fiscal memory"},
    {"StateBlockedFiscalMemoryFull", 5, false, "the fiscal memory is full"},
    {"StateBlockedElectronicJournal", 6, false, "electronic journal"},
    {"StateBlockedElectronicJournalFull", 7, false, "the electronic journal is full"},
    {"StateBlockedTaxAuthoritiesControlUnit", 9, false, "tax authorities' control unit"},
    {"StateBlockedSturtup", 12, false, "start-up"},
};
const size_t kBlockingFlagCount = sizeof kBlockingFlags / sizeof kBlockingFlags[0];

namespace {

bool FlagValue(const StatusFlag& flag, uint16_t word) {
    const bool set = (word >> flag.bit) & 1u;
    return flag.inverted ? !set : set;
}

}  // namespace

nlohmann::json StatusFlagsJson(uint16_t status) {
    nlohmann::json flags = nlohmann::json::array();
    for (size_t i = 0; i < kStatusFlagCount; ++i) {
        const StatusFlag& flag = kStatusFlags[i];
        flags.push_back({{"property", flag.property},
                         {"bit", flag.bit},
                         {"value", FlagValue(flag, status) ? 1 : 0},
                         {"meaning", flag.meaning}});
    }
    return flags;
}

nlohmann::json BlockingReasonsJson(uint16_t blocking) {
    nlohmann::json reasons = nlohmann::json::array();
    for (size_t i = 0; i < kBlockingFlagCount; ++i) {
        const StatusFlag& flag = kBlockingFlags[i];
        if (FlagValue(flag, blocking)) {
            reasons.push_back(
                {{"property", flag.property}, {"bit", flag.bit}, {"reason", flag.meaning}});
        }
    }
    return reasons;
}

}  // namespace brontald
