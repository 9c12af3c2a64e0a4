// Values a test puts into (or finds in) its own registry: the driver's settings and the port map.
// The writers fail the test when the registry refuses.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// The driver's settings key under HKEY_CURRENT_USER and its subkeys.
inline const std::string kSettingsPath = "SOFTWARE\\Orvane\\Brontl\\Settings";
inline const std::string kCommunicationPath = kSettingsPath + "\\Communication";
inline const std::string kFiscalPath = kSettingsPath + "\\Fiscal";
// The port map: value name the device path, value data "COMn".
inline const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Writes a value under root\path, creating the keys on the way.
void WriteDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
void WriteText(HKEY root, const std::string& path, const std::string& name,
               const std::string& text);
void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::string& bytes);
// A setting of the driver: HKEY_CURRENT_USER\<settings>[\<subkey>].
void WriteSetting(const std::string& subkey, const std::string& name, DWORD value);
// How often a command is tried; one attempt lets an unanswered command fail within seconds.
void WriteRetryCount(DWORD attempts);

// The DWORD value, or `missing` when there is none of that type.
DWORD ReadDword(HKEY root, const std::string& path, const std::string& name, DWORD missing);

// Enters `device` in the port map as `port` ("COM3", or any text a test needs); false when the
// registry refuses.
bool MapPort(const std::string& device, const std::string& port);
inline bool MapPort(const std::string& device, int n) {
    return MapPort(device, "COM" + std::to_string(n));
}
// The port-map data of `device` ("COM3"), or empty when it has no text entry.
std::string PortMapEntry(const std::string& device);

}  // namespace testsupport
