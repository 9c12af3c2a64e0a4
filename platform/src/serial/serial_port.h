// Serial ports: COM names, the port map, and the exclusive opening of a terminal device.
#pragma once

#include <windows.h>

#include <string>

namespace brontal::serial {

// "COMn" and "\\\\.\\COMn" in any case, with an optional ':' after the number; n >= 1.
bool ParseComName(LPCSTR name, unsigned* port);

// The device path that the port map (HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, value
// name = device path, data = "COMn") gives COMn; ERROR_FILE_NOT_FOUND when nothing does.
DWORD ResolveComPort(unsigned port, std::string* devicePath);

// Opens a terminal device for exclusive use. INVALID_HANDLE_VALUE with the last error set when it
// fails; *notTerminal tells that the device opened but is no terminal, to be opened as a file.
HANDLE OpenSerialDevice(const std::string& hostPath, bool* notTerminal);

}  // namespace brontal::serial
