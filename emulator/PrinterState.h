// What the virtual printer remembers: its status and blocking words now; the fiscal model
// (days, receipts, counters, tables, journal) joins it as those commands arrive. Everything in
// it survives a power cycle through the state file.
//
// Not thread-safe by itself: the engine guards it with its mutex, and command handlers run with
// that mutex held.
#pragma once

#include <cstdint>
#include <string>

namespace emu {

// Status word bits.
constexpr uint16_t kStatusDayOpen = 0x0001;
constexpr uint16_t kStatusReceiptOpen = 0x0002;
constexpr uint16_t kStatusReadyForTotal = 0x0008;
constexpr uint16_t kStatusNeedReset = 0x0010;
constexpr uint16_t kStatusNotReady = 0x0020;
constexpr uint16_t kStatusJournalPresent = 0x0040;
constexpr uint16_t kStatusFiscal = 0x0080;
constexpr uint16_t kStatusControlTapeNearEnd = 0x0100;
constexpr uint16_t kStatusReceiptTapeNearEnd = 0x0200;
constexpr uint16_t kStatusJournalNearEnd = 0x0400;
constexpr uint16_t kStatusFiscalMemoryNearEnd = 0x0800;
constexpr uint16_t kStatusJournalNeedValidate = 0x1000;
constexpr uint16_t kStatusControlUnitPresent = 0x2000;
constexpr uint16_t kStatusBlocked = 0x8000;

// Blocking word bits: the reasons for kStatusBlocked.
constexpr uint16_t kBlockConfig = 0x0001;
constexpr uint16_t kBlockMemory = 0x0002;
constexpr uint16_t kBlockClock = 0x0004;
constexpr uint16_t kBlockNeedZReport = 0x0008;
constexpr uint16_t kBlockFiscalMemory = 0x0010;
constexpr uint16_t kBlockFiscalMemoryFull = 0x0020;
constexpr uint16_t kBlockJournal = 0x0040;
constexpr uint16_t kBlockJournalFull = 0x0080;
constexpr uint16_t kBlockControlUnit = 0x0200;
constexpr uint16_t kBlockStartup = 0x1000;

// A printer out of the box: fiscalised, with its electronic journal in place, ready, the day
// closed, no receipt open and nothing blocking it.
constexpr uint16_t kInitialStatus = kStatusFiscal | kStatusJournalPresent;
constexpr uint16_t kInitialBlocking = 0;

struct PrinterState {
    uint16_t status = kInitialStatus;
    uint16_t blocking = kInitialBlocking;
};

// The state as the text of a state file (see StateText.h).
std::string SaveState(const PrinterState& state);
// 0, or -EINVAL when the text is not a state file; `state` is changed only on success, and items
// the text does not mention keep their defaults.
int LoadState(const std::string& text, PrinterState& state);

// 0, -ENOENT when the file does not exist, -EINVAL when it is not a state file, or another
// negative errno. On failure `state` is unchanged.
int ReadStateFile(const std::string& path, PrinterState& state);
// Writes a temporary file beside `path` and renames it over, so that a crash leaves either the
// old state or the new one, never half of it. 0 or a negative errno.
int WriteStateFile(const std::string& path, const PrinterState& state);

}  // namespace emu
