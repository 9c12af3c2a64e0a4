// Shared by the VARIANT sources of the runtime.
#pragma once

#include <oleauto.h>

namespace ole {

// S_OK for the types a VARIANT of this runtime may hold, DISP_E_BADVARTYPE otherwise.
HRESULT ValidateVariantType(VARTYPE vt);

// The value a byref variant refers to, as a variant that does not own it (a non-byref source is
// copied bitwise). E_INVALIDARG for a null reference.
HRESULT Dereference(const VARIANT& source, VARIANT& value);

}  // namespace ole
