// The progress of long driver operations (port scan, journal read, logo upload) on the terminal.
#pragma once

namespace drvkeltor {

// Shows the driver's progress window as a one-line bar on standard error, through the
// platform's presenter hook. Call once, before the first call into the driver. False when the
// bar cannot be shown; the operations run the same without it.
bool InstallTerminalProgress();

}  // namespace drvkeltor
