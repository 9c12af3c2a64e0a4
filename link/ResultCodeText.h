// Texts of the link's, the command layer's and the printer's result codes, in Windows-1251.
//
// Thread-safety: a pure function of its arguments.
#pragma once

#include <windows.h>

// Writes the text of a negative result code into `buffer` (cut to `capacity` - 1 bytes, always
// terminated) and returns its length. Codes of no known group give an empty text; 0, positive
// codes, a missing buffer or a capacity of 0 give 0 and leave the buffer untouched.
DWORD FormatResultCodeText(int code, LPSTR buffer, DWORD capacity);
