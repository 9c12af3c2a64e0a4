// The printer's entry in the port map (HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM): value
// name the device path, data "COMn", which is how the driver finds a COM number's device.
#pragma once

#include <string>

namespace emu {

constexpr const char* kPortMapKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Adds `devicePath` as COMn. n = 0 takes the first number from 1 up that no other device holds;
// a given n already held by another device is refused with -ERROR_ALREADY_EXISTS. The entry is
// claimed for this process, so that the port map drops it once the process has ended, however it
// ended. Returns n, or a negative Windows error code.
int AddPortMapEntry(const std::string& devicePath, int n);
// Removes the entry of `devicePath`; 0, or a negative Windows error code (a missing entry is
// not an error).
int RemovePortMapEntry(const std::string& devicePath);
// The COM number the port map gives `devicePath`, or 0 when it has none.
int FindPortMapEntry(const std::string& devicePath);

}  // namespace emu
