// Writing the record's trace path, shared by the loader and the property setter.
#pragma once

#include <windows.h>

// Replaces the path with the first `length` bytes of `path` (no terminator needed); false, with
// the path unchanged, when `length` leaves no room for the terminator.
bool StoreTracePath(LPCSTR path, DWORD length);
