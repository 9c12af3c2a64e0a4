// The file side of the trace writers: appending lines, measuring and rotating.
#pragma once

#include <windows.h>

#include <cstdarg>

// Appends `length` bytes to the file with one open, seek to the end, write and close. Writers of
// this process take turns, so that their lines never collide on the file's share mode.
void AppendToTraceFile(LPCSTR fileName, const char* bytes, DWORD length);

// Formats one line (prefix when `stamped`, a tab after it when `tabbed`, the text cut at 1023
// characters, "\r\n") and appends it.
void AppendFormattedLine(LPCSTR fileName, bool stamped, bool tabbed, LPCSTR format,
                         va_list arguments);
