// Reading the version resource of a file.
#pragma once

#include <windows.h>

#include <vector>

namespace version {

// The validated version block of the file. On failure returns a Windows error code:
// the open error, ERROR_RESOURCE_TYPE_NOT_FOUND when the file has no resource, ERROR_BAD_FORMAT
// when the file or its resource is damaged.
DWORD ReadVersionBlock(LPCSTR fileName, std::vector<BYTE>& block);

// True when the bytes form a well-made block: header, then name/value texts up to an empty name,
// all inside size bytes.
bool IsValidBlock(const BYTE* data, std::size_t size);

}  // namespace version
