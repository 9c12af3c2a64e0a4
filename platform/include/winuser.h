// The windowing subset: windows in a per-process table, per-thread message queues, modal dialogs
// built from in-memory templates, and the message-filter hook of the dialog's modal loop.
//
// There is no display. A dialog runs its modal loop on the calling thread exactly as on Windows,
// fed only by messages (posted, sent from other threads, or injected keys), with the same texts,
// control state and end codes. A host may watch and drive dialogs through a presenter
// (brontal_presenter.h).
//
// Window texts are narrow strings of the ANSI code page, as the "A" functions see them.
//
// Thread-safety: every function may be called from any thread. A window belongs to the thread
// that created it: its window procedure runs only on that thread, so SendMessageA (and the
// functions built on it, SetWindowTextA and GetWindowTextA) from another thread waits until the
// owner thread takes the message from its queue (GetMessageA, PeekMessageA, a modal loop, or its
// own wait in SendMessageA). A sent message whose window or owner thread goes away is answered
// with 0. DestroyWindow works only on the owner thread.
#pragma once

#include "windef.h"

typedef struct HHOOK__* HHOOK;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef LRESULT(CALLBACK* HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

// In-memory dialog template: DLGTEMPLATE, then three variable-length arrays of WORDs (menu,
// class, title: 0x0000 for none, 0xFFFF and an ordinal, or a zero-terminated UTF-16 string),
// with DS_SETFONT a point size and a face name, then the items, each DWORD-aligned: a
// DLGITEMTEMPLATE followed by its class, its title and a WORD count of creation data bytes.
// Only controls of the classes this platform has (commctrl.h) can be created.
#pragma pack(push, 2)
typedef struct {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
} DLGTEMPLATE;
typedef struct {
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
} DLGITEMTEMPLATE;
#pragma pack(pop)
typedef const DLGTEMPLATE* LPCDLGTEMPLATEA;
typedef const DLGTEMPLATE* LPCDLGTEMPLATEW;
typedef DLGTEMPLATE* LPDLGTEMPLATEA;
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18, "Windows layout");

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_EX_DLGMODALFRAME 0x00000001L

// Dialog styles.
#define DS_MODALFRAME 0x0080L
#define DS_SETFONT 0x0040L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_CENTER 0x0800L

// Messages.
#define WM_NULL 0x0000
#define WM_DESTROY 0x0002
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_USER 0x0400

#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B

// Dialog end codes and command identifiers.
#define IDOK 1
#define IDCANCEL 2

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// The message-filter hook: called by a dialog's modal loop with MSGF_DIALOGBOX and the MSG in
// lParam before the message is handled; a nonzero answer drops the message.
#define WH_MSGFILTER (-1)
#define MSGF_DIALOGBOX 0

// Window data: every window has GWLP_USERDATA and GWLP_ID; dialogs also DWLP_MSGRESULT (the
// result of a message the dialog procedure handled) and DWLP_USER.
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + sizeof(LRESULT))
#define DWLP_USER (DWLP_DLGPROC + sizeof(DLGPROC))

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))

// Creates the dialog and its controls, sends WM_INITDIALOG with `dwInitParam` to `lpDialogFunc`
// and runs the modal loop until EndDialog (or the dialog's destruction). Enter and Escape that
// reach the loop become WM_COMMAND IDOK and IDCANCEL. The end code; -1 when the dialog could not
// be created (unknown control class, bad template, invalid parent) or was destroyed without an
// end code.
WINBASEAPI INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance,
                                                  LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                                  DLGPROC lpDialogFunc, LPARAM dwInitParam);
// The same dialog. On Windows it is a Unicode window, whose texts keep every character; here a
// window has no such kind (texts are ANSI, the wide functions convert them).
WINBASEAPI INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance,
                                                  LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                                  DLGPROC lpDialogFunc, LPARAM dwInitParam);
// Sets the end code of a modal dialog; its loop ends once the current message is handled.
WINBASEAPI BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult);
WINBASEAPI HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);

WINBASEAPI BOOL WINAPI IsWindow(HWND hWnd);
// The window and its children get WM_DESTROY and are gone.
WINBASEAPI BOOL WINAPI DestroyWindow(HWND hWnd);
// The calling thread's active window (its running modal dialog), or null.
WINBASEAPI HWND WINAPI GetActiveWindow(void);
WINBASEAPI HWND WINAPI GetParent(HWND hWnd);
WINBASEAPI DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
WINBASEAPI LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);
WINBASEAPI LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);

WINBASEAPI BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString);
WINBASEAPI int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
WINBASEAPI int WINAPI GetWindowTextLengthA(HWND hWnd);
// The same texts as UTF-16, converted with the ANSI code page (a character it lacks becomes '?').
// GetWindowTextW copies at most nMaxCount - 1 characters and a terminator.
WINBASEAPI BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString);
WINBASEAPI int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);

WINBASEAPI LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Like SendMessageA on the window's own thread; to another thread's window it queues the message
// and returns at once.
WINBASEAPI BOOL WINAPI SendNotifyMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// A null window posts to the calling thread's queue.
WINBASEAPI BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Sent messages are handled first, then a posted message is taken. GetMessageA waits for one;
// it returns -1 for a window that is not the calling thread's.
WINBASEAPI BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
WINBASEAPI BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                    UINT wRemoveMsg);
WINBASEAPI LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);

// Only WH_MSGFILTER hooks of the calling thread (dwThreadId 0 or its own id).
WINBASEAPI HHOOK WINAPI SetWindowsHookExA(int idHook, HOOKPROC lpfn, HINSTANCE hmod,
                                          DWORD dwThreadId);
WINBASEAPI BOOL WINAPI UnhookWindowsHookEx(HHOOK hhk);
WINBASEAPI LRESULT WINAPI CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam);
