#include "AIStream.h"

#include <cstring>

CAIStream::CAIStream(const BYTE* bytes, DWORD length)
    : m_bytes(bytes, bytes ? bytes + length : bytes) {}

STDMETHODIMP CAIStream::QueryInterface(REFIID riid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) ||
        IsEqualIID(riid, IID_IStream)) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CAIStream::AddRef() {
    return ++m_references;
}

STDMETHODIMP_(ULONG) CAIStream::Release() {
    return m_references > 1 ? --m_references : 1;
}

STDMETHODIMP CAIStream::Read(void* buffer, ULONG count, ULONG* read) {
    if (!buffer && count != 0) {
        return E_POINTER;
    }
    const size_t left = m_bytes.size() - m_position;
    const size_t taken = count < left ? count : left;
    if (taken != 0) {
        std::memcpy(buffer, m_bytes.data() + m_position, taken);
    }
    m_position += taken;
    if (read) {
        *read = static_cast<ULONG>(taken);
    }
    // Fewer bytes than asked is how a stream says it ran out.
    return taken == count ? S_OK : S_FALSE;
}

STDMETHODIMP CAIStream::Write(const void* buffer, ULONG count, ULONG* written) {
    if (!buffer && count != 0) {
        return E_POINTER;
    }
    const auto* bytes = static_cast<const BYTE*>(buffer);
    if (m_position + count > m_bytes.size()) {
        m_bytes.resize(m_position + count);
    }
    if (count != 0) {
        std::memcpy(m_bytes.data() + m_position, bytes, count);
    }
    m_position += count;
    if (written) {
        *written = count;
    }
    return S_OK;
}
