// The fiscal model's items of the state file (see StateRecords.cpp).
#pragma once

#include <string>

#include "PrinterState.h"
#include "StateText.h"

namespace emu {

void SaveFiscal(const PrinterState& state, StateWriter& out);
// Items present replace those in `next`; false when one is damaged or holds what the printer
// could not have (`next` is then to be thrown away).
bool LoadFiscal(const StateReader& in, PrinterState& next);
// The printing extras and the control unit's registration (StatePrinting.cpp), the same way.
void SavePrinting(const PrinterState& state, StateWriter& out);
bool LoadPrinting(const StateReader& in, PrinterState& next);
bool ParseTimeDigitsOrEmpty(const std::string& digits, PrinterTime& time);

}  // namespace emu
