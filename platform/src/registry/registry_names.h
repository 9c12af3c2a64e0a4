// What the *A functions take and give: ANSI key paths, value names and data, checked and turned
// into the registry's own form, and copied back out by the Windows buffer rules.
#pragma once

#include "registry_model.h"

#include <vector>

namespace brontal::registry {

// NULL and "" are the key itself; a trailing backslash is allowed, an empty component elsewhere
// (or a leading backslash) is ERROR_BAD_PATHNAME.
LSTATUS ParseSubKey(LPCSTR subKey, std::vector<Text>& parts);
// NULL and "" are the default value.
LSTATUS ParseValueName(LPCSTR valueName, Text& name);

bool IsStringType(DWORD type);
// String types are held as UTF-16 and handed out in the ANSI code page.
std::vector<BYTE> StoredData(DWORD type, const BYTE* data, DWORD size);
std::vector<BYTE> AnsiData(const Value& value);

// A name into a buffer of *count characters with room for the terminator; on success *count is
// the length without it. ERROR_MORE_DATA (nothing copied, *count kept) when it does not fit.
LSTATUS CopyName(const Text& name, LPSTR buffer, LPDWORD count);
// Value data by the RegQueryValueEx rules: a null buffer asks for the size; a short one gets
// ERROR_MORE_DATA and the size needed. A string stored without its terminator gets one after the
// data when the buffer has room, as Windows does, while the size says what is stored.
LSTATUS CopyData(const Value& value, LPDWORD type, LPBYTE data, LPDWORD size);

}  // namespace brontal::registry
