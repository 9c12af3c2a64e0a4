// Exchange trace hooks of the link.
//
// The trace writers live in the settings layer, above the link, so the link cannot call them by
// name: it calls through this table instead. Until a table is installed every call is a no-op.
// The direction is 1 for bytes sent to the printer and 0 for bytes received.
//
// Thread-safety: SetLinkTraceHooks may be called from any thread; the table it is given must stay
// alive and unchanged while it is installed (a static table is the usual choice). A null entry
// skips that kind of call.
#pragma once

#include <windows.h>

struct LinkTraceHooks {
    void (*rawData)(const BYTE* bytes, DWORD count, int direction);
    void (*packet)(const BYTE* bytes, DWORD count, int direction);
    void (*linkError)(int code);
};

enum LinkTraceDirection { kLinkReceived = 0, kLinkSent = 1 };

// nullptr puts back the no-op default.
void SetLinkTraceHooks(const LinkTraceHooks* hooks);

// Used by the link itself.
void LinkTraceRawData(const BYTE* bytes, DWORD count, int direction);
void LinkTracePacket(const BYTE* bytes, DWORD count, int direction);
void LinkTraceError(int code);
