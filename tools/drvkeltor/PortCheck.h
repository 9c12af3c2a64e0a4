// After a run that could not reach the printer: why its port would not open, found out the way any
// program opens a COM port.
#pragma once

#include <string>

#include "Explain.h"

namespace drvkeltor {

// Opens and closes COMn (the driver must have let it go) and tells what stood in the way;
// `device` is the device the port map gives it, or empty.
PortTrouble CheckPort(unsigned port, std::string* device, unsigned long* error);

// "COM1 (/dev/ttyS0), COM3 (/dev/pts/2)": the ports the system lists; empty when none.
std::string ListedPorts();

}  // namespace drvkeltor
