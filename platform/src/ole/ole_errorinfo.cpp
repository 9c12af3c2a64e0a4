// Error information: one record per thread, handed over by GetErrorInfo.
#include <oleauto.h>

#include <atomic>
#include <new>
#include <string>

namespace {

// One object answers both sides: the failing code fills it through ICreateErrorInfo and hands
// out its IErrorInfo.
class ErrorRecord final : public ICreateErrorInfo, public IErrorInfo {
  public:
    // ---- IUnknown (shared by both interfaces) ----
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo) {
            *ppv = static_cast<ICreateErrorInfo*>(this);
        } else if (riid == IID_IErrorInfo) {
            *ppv = static_cast<IErrorInfo*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // ---- ICreateErrorInfo ----
    STDMETHODIMP SetGUID(REFGUID rguid) override {
        guid_ = rguid;
        return S_OK;
    }
    STDMETHODIMP SetSource(LPOLESTR szSource) override { return Store(source_, szSource); }
    STDMETHODIMP SetDescription(LPOLESTR szDescription) override {
        return Store(description_, szDescription);
    }
    STDMETHODIMP SetHelpFile(LPOLESTR szHelpFile) override { return Store(helpFile_, szHelpFile); }
    STDMETHODIMP SetHelpContext(DWORD dwHelpContext) override {
        helpContext_ = dwHelpContext;
        return S_OK;
    }

    // ---- IErrorInfo ----
    STDMETHODIMP GetGUID(GUID* pGUID) override {
        if (!pGUID) {
            return E_INVALIDARG;
        }
        *pGUID = guid_;
        return S_OK;
    }
    STDMETHODIMP GetSource(BSTR* pBstrSource) override { return Fetch(source_, pBstrSource); }
    STDMETHODIMP GetDescription(BSTR* pBstrDescription) override {
        return Fetch(description_, pBstrDescription);
    }
    STDMETHODIMP GetHelpFile(BSTR* pBstrHelpFile) override {
        return Fetch(helpFile_, pBstrHelpFile);
    }
    STDMETHODIMP GetHelpContext(DWORD* pdwHelpContext) override {
        if (!pdwHelpContext) {
            return E_INVALIDARG;
        }
        *pdwHelpContext = helpContext_;
        return S_OK;
    }

  private:
    ~ErrorRecord() = default;

    static HRESULT Store(std::u16string& field, LPCOLESTR text) {
        try {
            field = text ? std::u16string(text) : std::u16string();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    static HRESULT Fetch(const std::u16string& field, BSTR* out) {
        if (!out) {
            return E_INVALIDARG;
        }
        *out = SysAllocStringLen(field.data(), static_cast<UINT>(field.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    std::atomic<ULONG> references_{1};
    GUID guid_ = GUID_NULL;
    std::u16string source_;
    std::u16string description_;
    std::u16string helpFile_;
    DWORD helpContext_ = 0;
};

// The thread's record; released when the thread ends.
struct ThreadErrorSlot {
    IErrorInfo* info = nullptr;
    ~ThreadErrorSlot() {
        if (info) {
            info->Release();
        }
    }
};
thread_local ThreadErrorSlot errorSlot;

}  // namespace

WINOLEAUTAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (!pperrinfo) {
        return E_INVALIDARG;
    }
    *pperrinfo = new (std::nothrow) ErrorRecord();
    return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

WINOLEAUTAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved != 0) {
        return E_INVALIDARG;
    }
    if (perrinfo) {
        perrinfo->AddRef();
    }
    IErrorInfo* previous = errorSlot.info;
    errorSlot.info = perrinfo;
    if (previous) {
        previous->Release();
    }
    return S_OK;
}

WINOLEAUTAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (!pperrinfo || dwReserved != 0) {
        return E_INVALIDARG;
    }
    *pperrinfo = errorSlot.info;
    errorSlot.info = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}
