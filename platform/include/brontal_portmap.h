// Owned entries of the serial port map (HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM).
//
// A program that serves a device only while it runs (the virtual printer and its
// pseudo-terminal) claims its entry. The entry then lasts as long as that process: once it has
// ended, however it ended, readers of the port map no longer see the entry, and the next write to
// the machine hive drops it. So a COM number never leads to a device number the system has since
// given to another program. Entries nobody claimed (real serial ports, entries written by hand)
// stay as they are.
//
// The claim is kept beside the entry, as the value of the same name under the subkey "Owners" of
// the port map: the owner's process id, start time and the boot it started in.
//
// This header is an extension of this platform, not a Windows API.
#pragma once

#include "winreg.h"

// Records the calling process as the owner of the port map entry named `devicePath`. Claim an
// entry after writing it: a claim whose entry is gone is dropped. ERROR_SUCCESS, or the
// registry's error (ERROR_NOT_SUPPORTED when the process cannot be told from others).
WINBASEAPI LONG WINAPI BrontalClaimPortMapEntry(LPCSTR devicePath);
