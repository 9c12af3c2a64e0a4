// The progress of long driver operations (port scan, journal read, logo upload) on the terminal.
#pragma once

namespace drvkeltor {

// Shows the driver's progress window as a one-line bar on the terminal, through the platform's
// presenter hook. Call once, before the first call into the driver.
void InstallTerminalProgress();

}  // namespace drvkeltor
