// The printed bodies of the reports.
#pragma once

#include "PrinterState.h"
#include "Printout.h"

namespace emu {

// The day's registers as the X and Z reports print them; `open` when the day is still running
// (its drawer and grand totals are then the printer's current ones).
Printout DayReport(const PrinterState& state, const Session& session, bool open);
// A day's line in a fiscal memory report: its number, dates and totals.
Printout DaySummary(const PrinterState& state, const Session& session);

}  // namespace emu
