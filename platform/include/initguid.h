// On Windows this header makes DEFINE_GUID emit definitions; here every DEFINE_GUID already is
// one (a constant of internal linkage), so including it changes nothing.
#pragma once

#ifndef INITGUID
#define INITGUID
#endif
#include "guiddef.h"
