// Writing the record's trace path, shared by the loader and the property setter, and measuring
// path texts that need not be terminated within their buffer.
#pragma once

#include <windows.h>

// The length of `text`, counting at most `limit` characters.
DWORD BoundedLength(LPCSTR text, DWORD limit);

// Replaces the path with the first `length` bytes of `path` (no terminator needed); false, with
// the path unchanged, when `length` leaves no room for the terminator.
bool StoreTracePath(LPCSTR path, DWORD length);
