// The platform's Windows API subset. Upper layers include this header (or the narrower ones it
// gathers) exactly as they would include the Windows SDK's.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winreg.h"
#include "libloaderapi.h"
#include "winver.h"
#ifndef WIN32_LEAN_AND_MEAN
#include "ole2.h"
#endif
