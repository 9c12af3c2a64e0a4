// The test component: one class, Brontal.TestObject, reached through IDispatch, aggregatable,
// registering itself under HKEY_CLASSES_ROOT.
#include "TestComponent.h"

#include <versionresource.h>

#include <atomic>
#include <cstring>
#include <new>
#include <string>

BRONTAL_VERSION_RESOURCE(1, 2, 3, 4, 1, 2, 0, 0, VFT_DLL, 0x0419, 1251,
                         "CompanyName\0"
                         "Orvane\0"
                         "FileDescription\0"
                         "Тестовый компонент\0"
                         "FileVersion\0"
                         "1.2.3.4\0"
                         "ProductVersion\0"
                         "1.2.0.0\0");

namespace {

std::atomic<LONG> liveObjects{0};
std::atomic<LONG> serverLocks{0};

const OLECHAR kFailureText[] = OLESTR("Операция не выполнена");
const OLECHAR kSource[] = OLESTR("Brontal.TestObject.1");

bool SameName(LPCOLESTR a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        OLECHAR x = *a;
        char y = *b;
        if (x >= u'A' && x <= u'Z') {
            x = static_cast<OLECHAR>(x - u'A' + u'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != static_cast<OLECHAR>(y)) {
            return false;
        }
    }
    return *a == 0 && *b == 0;
}

class TestObject final : public IDispatch, public ISupportErrorInfo {
  public:
    explicit TestObject(IUnknown* outer) : inner_(this), controlling_(outer ? outer : &inner_) {
        ++liveObjects;
    }

    IUnknown* Inner() { return &inner_; }

    // ---- IUnknown: delegates to the controlling unknown ----
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return controlling_->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return controlling_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return controlling_->Release(); }

    // ---- IDispatch ----
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) {
            return E_INVALIDARG;
        }
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) {
            *ppTInfo = nullptr;
        }
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,
                               DISPID* rgDispId) override {
        if (!rgszNames || !rgDispId || cNames == 0) {
            return E_INVALIDARG;
        }
        HRESULT hr = S_OK;
        for (UINT i = 0; i < cNames; ++i) {
            rgDispId[i] = DISPID_UNKNOWN;
        }
        if (SameName(rgszNames[0], "Name")) {
            rgDispId[0] = kDispidName;
        } else if (SameName(rgszNames[0], "Add")) {
            rgDispId[0] = kDispidAdd;
        } else if (SameName(rgszNames[0], "Fail")) {
            rgDispId[0] = kDispidFail;
        } else {
            hr = DISP_E_UNKNOWNNAME;
        }
        // No member takes named arguments.
        return cNames > 1 ? DISP_E_UNKNOWNNAME : hr;
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* params,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        if (!params) {
            return E_INVALIDARG;
        }
        switch (dispIdMember) {
            case kDispidName:
                return InvokeName(wFlags, *params, pVarResult);
            case kDispidAdd:
                return InvokeAdd(wFlags, *params, pVarResult, puArgErr);
            case kDispidFail:
                return InvokeFail(pExcepInfo);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    // ---- ISupportErrorInfo ----
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID_IDispatch ? S_OK : S_FALSE;
    }

  private:
    // The object's own IUnknown: the one an aggregating outer object holds.
    class InnerUnknown final : public IUnknown {
      public:
        explicit InnerUnknown(TestObject* self) : self_(self) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            if (!ppv) {
                return E_POINTER;
            }
            if (riid == IID_IUnknown) {
                *ppv = static_cast<IUnknown*>(this);
            } else if (riid == IID_IDispatch) {
                *ppv = static_cast<IDispatch*>(self_);
            } else if (riid == IID_ISupportErrorInfo) {
                *ppv = static_cast<ISupportErrorInfo*>(self_);
            } else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
        STDMETHODIMP_(ULONG) Release() override {
            const ULONG left = --references_;
            if (left == 0) {
                delete self_;
            }
            return left;
        }

      private:
        TestObject* self_;
        std::atomic<ULONG> references_{1};
    };

    ~TestObject() {
        SysFreeString(name_);
        --liveObjects;
    }

    HRESULT InvokeName(WORD flags, const DISPPARAMS& params, VARIANT* result) {
        if (flags & DISPATCH_PROPERTYPUT) {
            if (params.cArgs != 1 || params.cNamedArgs != 1 ||
                params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
                return DISP_E_BADPARAMCOUNT;
            }
            VARIANT text;
            VariantInit(&text);
            HRESULT hr = VariantChangeType(&text, &params.rgvarg[0], 0, VT_BSTR);
            if (FAILED(hr)) {
                return hr;
            }
            SysFreeString(name_);
            name_ = text.bstrVal;
            return S_OK;
        }
        if (params.cArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        if (result) {
            VariantInit(result);
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(name_, SysStringLen(name_));
            if (!result->bstrVal) {
                result->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
        }
        return S_OK;
    }

    HRESULT InvokeAdd(WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError) {
        if (!(flags & DISPATCH_METHOD)) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params.cArgs != 2) {
            return DISP_E_BADPARAMCOUNT;
        }
        LONG values[2];
        for (UINT i = 0; i < 2; ++i) {
            VARIANT value;
            VariantInit(&value);
            // Arguments come last first.
            HRESULT hr = VariantChangeType(&value, &params.rgvarg[1 - i], 0, VT_I4);
            if (FAILED(hr)) {
                if (argError) {
                    *argError = 1 - i;
                }
                return hr;
            }
            values[i] = value.lVal;
        }
        const long long sum = static_cast<long long>(values[0]) + values[1];
        if (sum > 0x7FFFFFFF || sum < -0x7FFFFFFFLL - 1) {
            return DISP_E_OVERFLOW;
        }
        if (result) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(sum);
        }
        return S_OK;
    }

    HRESULT InvokeFail(EXCEPINFO* exception) {
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetGUID(IID_IDispatch);
            create->SetSource(const_cast<LPOLESTR>(kSource));
            create->SetDescription(const_cast<LPOLESTR>(kFailureText));
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(
                    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
                SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        }
        if (exception) {
            std::memset(exception, 0, sizeof(*exception));
            exception->bstrSource = SysAllocString(kSource);
            exception->bstrDescription = SysAllocString(kFailureText);
            exception->scode = E_FAIL;
        }
        return DISP_E_EXCEPTION;
    }

    InnerUnknown inner_;
    IUnknown* controlling_;
    BSTR name_ = nullptr;
};

class Factory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static; a reference to it holds the server like a lock.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++serverLocks); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--serverLocks); }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
        if (!ppv) {
            return E_POINTER;
        }
        *ppv = nullptr;
        // An aggregated object is handed out only through its own IUnknown.
        if (pUnkOuter && riid != IID_IUnknown) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* object = new (std::nothrow) TestObject(pUnkOuter);
        if (!object) {
            return E_OUTOFMEMORY;
        }
        IUnknown* inner = object->Inner();
        const HRESULT hr = inner->QueryInterface(riid, ppv);
        inner->Release();  // the creation reference; ppv holds its own on success
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        if (fLock) {
            ++serverLocks;
        } else {
            --serverLocks;
        }
        return S_OK;
    }
};

Factory factory;

LSTATUS SetText(const std::string& subKey, const char* name, const std::string& value) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return status;
}

bool OwnPath(std::string& path) {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&factory), &self)) {
        return false;
    }
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(self, buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer)) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (rclsid != CLSID_BrontalTestObject) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow(void) {
    return liveObjects.load() == 0 && serverLocks.load() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer(void) {
    char flag[8];
    if (GetEnvironmentVariableA(TESTCOMPONENT_FAIL_VARIABLE, flag, sizeof(flag)) > 0) {
        return SELFREG_E_CLASS;
    }
    std::string path;
    if (!OwnPath(path)) {
        return SELFREG_E_CLASS;
    }
    const std::string clsidKey = std::string("CLSID\\") + TESTCOMPONENT_CLSID_TEXT;
    const std::pair<std::string, std::pair<const char*, std::string>> values[] = {
        {clsidKey, {nullptr, "Brontal Test Object"}},
        {clsidKey + "\\InprocServer32", {nullptr, path}},
        {clsidKey + "\\InprocServer32", {"ThreadingModel", "Apartment"}},
        {clsidKey + "\\ProgID", {nullptr, TESTCOMPONENT_PROGID}},
        {clsidKey + "\\VersionIndependentProgID", {nullptr, TESTCOMPONENT_VI_PROGID}},
        {TESTCOMPONENT_PROGID, {nullptr, "Brontal Test Object"}},
        {TESTCOMPONENT_PROGID "\\CLSID", {nullptr, TESTCOMPONENT_CLSID_TEXT}},
        {TESTCOMPONENT_VI_PROGID, {nullptr, "Brontal Test Object"}},
        {TESTCOMPONENT_VI_PROGID "\\CurVer", {nullptr, TESTCOMPONENT_PROGID}},
    };
    for (const auto& [key, value] : values) {
        if (SetText(key, value.first, value.second) != ERROR_SUCCESS) {
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

STDAPI DllUnregisterServer(void) {
    const char* keys[] = {"CLSID\\" TESTCOMPONENT_CLSID_TEXT, TESTCOMPONENT_PROGID,
                          TESTCOMPONENT_VI_PROGID};
    HRESULT hr = S_OK;
    for (const char* key : keys) {
        const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            hr = SELFREG_E_CLASS;
        }
    }
    return hr;
}

STDAPI_(LONG) TestComponentLiveCount(void) {
    return liveObjects.load() + serverLocks.load();
}
