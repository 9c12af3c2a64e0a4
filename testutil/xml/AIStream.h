// CAIStream: a byte stream over a memory block, for saving documents to buffers and loading them
// from buffers. Sequential reading and writing only; the other stream operations answer
// E_NOTIMPL. The object lives as long as its owner (usually on the stack); the reference count is
// kept for the interface's rules only.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <vector>

#define SIMPLEXML_API __attribute__((visibility("default")))

class SIMPLEXML_API CAIStream final : public IStream {
  public:
    CAIStream() = default;                       // empty, for writing
    CAIStream(const BYTE* bytes, DWORD length);  // a copy of the bytes, read from the start
    ~CAIStream() = default;
    CAIStream(const CAIStream&) = delete;
    CAIStream& operator=(const CAIStream&) = delete;

    const std::vector<BYTE>& Bytes() const { return m_bytes; }

    STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(Read)(void* buffer, ULONG count, ULONG* read) override;
    STDMETHOD(Write)(const void* buffer, ULONG count, ULONG* written) override;
    STDMETHOD(Seek)(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHOD(SetSize)(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHOD(CopyTo)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(Commit)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Revert)() override { return E_NOTIMPL; }
    STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Stat)(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(Clone)(IStream**) override { return E_NOTIMPL; }

  private:
    std::vector<BYTE> m_bytes;
    size_t m_position = 0;
    ULONG m_references = 1;
};
