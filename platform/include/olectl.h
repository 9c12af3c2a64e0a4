// Self-registration of component libraries.
#pragma once

#include "winerror.h"
#include "basetyps.h"

typedef HRESULT(STDAPICALLTYPE* LPFNREGISTERSERVER)(void);
STDAPI DllRegisterServer(void);
STDAPI DllUnregisterServer(void);
