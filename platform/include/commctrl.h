// Common controls: the progress bar, the one control class dialogs can hold here.
#pragma once

#include "winuser.h"

#define PROGRESS_CLASSA "msctls_progress32"

#define PBS_SMOOTH 0x01

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;  // sizeof(INITCOMMONCONTROLSEX)
    DWORD dwICC;   // ICC_* classes to register
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;

#define ICC_PROGRESS_CLASS 0x00000020

// Registers the control classes asked for, as Windows needs before a dialog holds one. The
// progress bar is always registered here; FALSE only for a wrong dwSize or a null argument.
WINBASEAPI BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

// Range 0 to 100, step 10 and position 0 when created. A position is kept within the range;
// a step past the maximum starts again from the minimum.
#define PBM_SETPOS (WM_USER + 2)   // wParam: position; the previous position
#define PBM_SETSTEP (WM_USER + 4)  // wParam: step; the previous step
#define PBM_STEPIT (WM_USER + 5)   // the previous position
#define PBM_SETRANGE32 \
    (WM_USER + 6)                 // wParam: minimum, lParam: maximum; the previous range
                                  // as MAKELONG(minimum, maximum)
#define PBM_GETPOS (WM_USER + 8)  // the position
