// The trace files: the call-flow trace "callflow.txt" and the exchange trace.
//
// Every line is appended with its own open, seek to the end, write and close, so that a trace
// survives a crash and can be read while the driver runs. Lines start with the local time to the
// millisecond and the calling thread's identifier ("2026/12/07 01:52:07:045 [3412]"), their text
// is cut at 1023 characters and they end with "\r\n". Texts go out as they are (Windows-1251).
// A file that cannot be opened is skipped silently: tracing never fails the traced operation.
//
// Which traces are written follows the trace mask: bits 0 (raw blocks) and 1 (packet lines) of the
// settings record's "TraceMask", bit 3 (call flow) of the driver's own copy set through
// SetCallFlowTraceMask. Link-error blocks are written whatever the mask. The exchange trace goes
// to the "TracePath" setting, or to "tracexch.txt" in the current folder when that is empty; only
// a "TracePath" file is rotated, to the same name ending in "bak", once it reaches
// "TraceFileSizeLimit" KiB.
//
// Thread-safety: every function may be called from any thread. Lines of one process never
// interleave inside a line; the direction separator of the exchange trace follows the order in
// which threads get to it.
#pragma once

#include <windows.h>

#include <cstdarg>

#if defined(__GNUC__)
#define BRONTAL_PRINTF_FORMAT(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define BRONTAL_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

extern const char kCallFlowTraceFile[];         // "callflow.txt"
extern const char kDefaultExchangeTraceFile[];  // "tracexch.txt"

constexpr DWORD kTraceLineTextLimit = 1023;  // characters of a line after its prefix
constexpr DWORD kPacketRenderingCapacity =
    262144;  // the rendering of one packet, terminator included

constexpr DWORD kCallFlowTraceBit = 0x08;
constexpr DWORD kRawDataTraceBit = 0x01;
constexpr DWORD kPacketTraceBit = 0x02;

// The driver's copy of the trace mask that the call-flow trace tests (initially 0).
void SetCallFlowTraceMask(DWORD mask);
DWORD CallFlowTraceMask();

// ---- call flow ----

// Prefix + text + "\r\n" when bit 3 of the call-flow mask is set.
void TraceCall(LPCSTR fileName, LPCSTR format, ...) BRONTAL_PRINTF_FORMAT(2, 3);
// The same with a tab after the prefix: internal routines and worker threads.
void TraceCallHelper(LPCSTR fileName, LPCSTR format, ...) BRONTAL_PRINTF_FORMAT(2, 3);

// ---- exchange trace (direction 1: sent to the printer, 0: received) ----

void TraceRawData(const BYTE* bytes, DWORD count, int direction);
void TracePacket(const BYTE* bytes, DWORD count, int direction);
void TraceLinkError(int code);

// Makes the writers above the link's trace hooks.
void InstallLinkTraceHooks();

// ---- lower-level writers ----

// Prefix + text + "\r\n", whatever the mask.
void AppendStampedLine(LPCSTR fileName, LPCSTR format, ...) BRONTAL_PRINTF_FORMAT(2, 3);
// Text + "\r\n", without prefix.
void AppendLine(LPCSTR fileName, LPCSTR format, ...) BRONTAL_PRINTF_FORMAT(2, 3);
// Dump lines of 16 bytes: offset, hexadecimal column padded to 47 characters, the bytes as
// characters with control bytes shown as 0xB7.
void HexDump(LPCSTR fileName, const BYTE* bytes, DWORD count);
// The packet as the trace shows it ("[STX:35]gs[ETX]22") into `text`, which always ends up
// terminated; the rendering stops before it would fill the buffer. Returns its length.
DWORD RenderPacket(const BYTE* bytes, DWORD count, LPSTR text, DWORD capacity);
// True when the file is at least "TraceFileSizeLimit" KiB (or 4 GiB); false when it cannot be
// opened or measured. Creates a missing file, as the open for the size does.
bool TraceFileTooBig(LPCSTR fileName);
// Moves the file to its name with the part after the last '.' of its file name replaced by
// "bak", replacing an older backup. Silently does nothing for an empty name, one of 260
// characters or more, or a file name without '.'.
void RotateTraceFile(LPCSTR fileName);
