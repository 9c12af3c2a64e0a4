// The progress of long driver operations (port scan, journal read, logo upload) on the terminal.
#pragma once

namespace drvkeltor {

// Every modal dialog the driver shows (its progress window) becomes one line on the file
// descriptor `fd` (2 for standard error, so that results on standard output stay clean for
// scripts): "caption [#####.....] 50%", redrawn in place with '\r' as it changes and ended with
// a line feed, in UTF-8 (on a Windows console, as Unicode). Call once, before the first call into
// the driver. False (ERROR_INVALID_HANDLE) for a descriptor that is not open, or when the
// dialogs cannot be watched; the operations run the same without it.
bool InstallTerminalProgress(int fd);

}  // namespace drvkeltor
