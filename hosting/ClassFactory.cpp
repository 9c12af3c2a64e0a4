// The class factory of CDrvKeltor and the module's lock count.
#include <atomic>

#include "BrontalOcxModule.h"
#include "DrvKeltorObject.h"

namespace {

std::atomic<LONG> g_moduleLocks{0};

// One static factory; a reference to it holds the library like a lock.
class CDrvKeltorFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        LockModule();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        UnlockModule();
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        return CDrvKeltorObject::Create(outer, riid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }
};

CDrvKeltorFactory g_factory;

}  // namespace

void LockModule() {
    ++g_moduleLocks;
}

void UnlockModule() {
    --g_moduleLocks;
}

LONG ModuleLockCount() {
    return g_moduleLocks.load();
}

HRESULT GetDrvKeltorClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!(clsid == CLSID_DrvKeltor)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, object);
}
