// Texts at the interface: BSTR outside, ANSI code page (Windows-1251) inside.
#pragma once

#include <windows.h>

#include <string>

// The wide text converted with the ANSI code page; a null or empty BSTR gives an empty text.
// E_OUTOFMEMORY when the text cannot be held; `text` is then unchanged.
HRESULT AnsiFromBstr(BSTR wide, std::string& text);
// A new BSTR of the text. E_POINTER without an output, E_OUTOFMEMORY when it cannot be
// allocated (the output is then null).
HRESULT BstrFromAnsi(const std::string& text, BSTR* wide);
HRESULT BstrFromAnsi(LPCSTR text, BSTR* wide);
