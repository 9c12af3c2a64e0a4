// The one translation unit that defines the component's GUIDs (DEFINE_GUID only declares them
// elsewhere on Windows; our platform layer defines them everywhere, so this changes nothing
// there).
#include <windows.h>

#include <initguid.h>

#include "IDrvKeltor.h"
