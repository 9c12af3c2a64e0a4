// The C run-time's low-level file functions, as the Windows run time offers them. Names are ANSI
// (Windows-1251) paths, as everywhere in this platform.
#pragma once

#include "windef.h"

// 0 when `path` exists and this process may use it as `mode` asks (0 exists, 2 write, 4 read,
// 6 read and write); -1 with errno set (ENOENT, EACCES, ...) otherwise.
WINBASEAPI int _access(const char* path, int mode);
// Non-zero when the descriptor is a terminal (a console).
WINBASEAPI int _isatty(int fd);
