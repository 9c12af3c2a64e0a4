// The device link's port abstraction: what the fiscal command layer knows of a link.
//
// Every operation returns a signed result: a byte count or 0 on success, a negative code on
// failure (a Windows error code negated, or a link code of -8101..-8109 from the X28 layer).
//
// Thread-safety: a port object is used by one thread at a time, except Abort, which may be
// called from another thread.
#pragma once

#include <windows.h>

class AsyncCommun {
  public:
    AsyncCommun();
    virtual ~AsyncCommun();
    AsyncCommun(const AsyncCommun&) = delete;
    AsyncCommun& operator=(const AsyncCommun&) = delete;

    virtual int Open() = 0;
    virtual int Close() = 0;
    // Reads up to `capacity` bytes within `budgetMs`, stopping right after `terminator`.
    virtual int ReadUntil(BYTE* buffer, DWORD capacity, DWORD budgetMs, BYTE terminator) = 0;
    virtual int Read(BYTE* buffer, DWORD capacity, DWORD budgetMs) = 0;
    virtual int Write(const BYTE* bytes, DWORD length, DWORD budgetMs) = 0;
    virtual HANDLE GetHandle();
    virtual int IsOpen();
    // Signals the cancel event; the result of signalling it, 0 without an event.
    virtual int Abort();

  protected:
    int m_portAssigned = 0;  // cleared by Close: a closed object is not opened again
    int m_opened = 0;
    HANDLE m_cancelEvent = nullptr;  // manual reset
};
