// COM and Automation together, as the Windows header gathers them.
#pragma once

#include "objbase.h"
#include "oleauto.h"
#include "olectl.h"
