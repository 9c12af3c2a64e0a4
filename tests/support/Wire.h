// What the tests write and read on the printer's line: the separators, a frame built by hand (so
// that neither side's own framing checks itself), and bytes spelled out for failure messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

inline const std::string kFs = "\x1C";  // between fields
inline const std::string kGs = "\x1D";  // between the parts of a field

// STX, sequence character, payload, ETX, and the exclusive-or of sequence..ETX.
std::string Frame(char sequence, const std::string& payload);
// The exclusive-or of the bytes: a frame's check byte over its sequence..ETX.
char CheckByte(const std::string& bytes);

// Control bytes (and the backslash) spelled "\xHH", for failure messages.
std::string Printable(const std::string& bytes);
// Each request in brackets, spelled as above.
std::string Printable(const std::vector<std::string>& requests);

// Bytes as two upper-case hexadecimal digits each, as the logo upload sends them.
std::string HexBytes(const std::string& bytes);
// A number in upper-case hexadecimal digits without leading zeros, as the journal's offsets,
// lengths and checksums go on the wire.
std::string HexNumber(DWORD value);

// The journal checksum (CRC-32, reflected, polynomial EDB88320), computed bit by bit so that it
// does not share the driver's or the printer's table.
DWORD Crc32(const std::string& bytes);

// The lines of a text, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

}  // namespace testsupport
