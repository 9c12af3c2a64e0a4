// Texts at the interface: BSTR outside, narrow inside.
//
// The driver's texts (its descriptions, the printer's texts, the caller's receipt texts) are
// Windows-1251 whatever the system's ANSI code page is: the printer speaks nothing else, and a
// machine set to another code page must still show and print Russian right. Paths are in the
// system's ANSI code page, which is what the file functions read them with.
#pragma once

#include <windows.h>
#include <winuser.h>

#include <string>

constexpr UINT kDriverTextCodePage = 1251;

// The wide text converted to Windows-1251; a null or empty BSTR gives an empty text.
// E_OUTOFMEMORY when the text cannot be held; `text` is then unchanged.
HRESULT AnsiFromBstr(BSTR wide, std::string& text);
// A new BSTR of the Windows-1251 text. E_POINTER without an output, E_OUTOFMEMORY when it
// cannot be allocated (the output is then null).
HRESULT BstrFromAnsi(const std::string& text, BSTR* wide);
HRESULT BstrFromAnsi(LPCSTR text, BSTR* wide);

// The same for a path, in the system's ANSI code page.
HRESULT PathFromBstr(BSTR wide, std::string& path);
HRESULT BstrFromPath(LPCSTR path, BSTR* wide);

// A window's caption as a Windows-1251 text, through the wide window functions, so that the
// system's ANSI code page does not change it. GetCaption gives the characters copied: the
// caption is cut to fit `capacity` (terminator included) and to kCaptionCapacity - 1
// characters; 0 and an empty text on failure.
constexpr int kCaptionCapacity = 256;
BOOL SetCaption(HWND window, LPCSTR text);
int GetCaption(HWND window, LPSTR text, int capacity);

// The printer's clock texts, date "YYYYMMDD" and time "hhmmss", as an Automation date; false when
// they are no moment. Read strictly, both texts must be whole and every part in its range;
// `lenient`, parts that cannot be read count as 0, as in a session's end the printer has not
// written yet.
bool DateOfPrinterClock(LPCSTR date, LPCSTR time, bool lenient, DATE* value);
