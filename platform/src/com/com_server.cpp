// In-process servers: found through HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, loaded once per
// path and kept until CoFreeUnusedLibraries finds that they agree to go.
#include <objbase.h>
#include <libloaderapi.h>

#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "com_apartment.h"
#include "com_text.h"

namespace {

struct InprocServer {
    std::string path;
    HMODULE module;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow;  // may be missing: such a library stays loaded
};

// Recursive: a server's DllGetClassObject may itself create objects of other servers.
std::recursive_mutex serversLock;
std::vector<InprocServer>& Servers() {
    static auto* servers = new std::vector<InprocServer>();  // outlives every static destructor
    return *servers;
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(GetProcAddress(module, name));
}

HRESULT FindServer(const std::string& path, InprocServer*& server) {
    for (InprocServer& s : Servers()) {
        if (s.path == path) {
            server = &s;
            return S_OK;
        }
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        return CO_E_DLLNOTFOUND;
    }
    auto getClassObject = Export<LPFNGETCLASSOBJECT>(module, "DllGetClassObject");
    if (!getClassObject) {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    Servers().push_back(
        {path, module, getClassObject, Export<LPFNCANUNLOADNOW>(module, "DllCanUnloadNow")});
    server = &Servers().back();
    return S_OK;
}

}  // namespace

WINOLEAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                           LPVOID* ppv) {
    (void)pvReserved;
    if (!ppv) {
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (!com::ThreadMayCreateObjects()) {
        return CO_E_NOTINITIALIZED;
    }
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) {
        return REGDB_E_CLASSNOTREG;
    }
    try {
        std::string path;
        const std::string key = "CLSID\\" + com::GuidText(rclsid) + "\\InprocServer32";
        if (com::ReadClassesRootText(key, path) != ERROR_SUCCESS || path.empty()) {
            return REGDB_E_CLASSNOTREG;
        }
        std::lock_guard<std::recursive_mutex> guard(serversLock);
        InprocServer* server = nullptr;
        HRESULT hr = FindServer(path, server);
        if (FAILED(hr)) {
            return hr;
        }
        // Under the lock, so that CoFreeUnusedLibraries cannot unload the library between its
        // answer and the factory's first reference.
        const LPFNGETCLASSOBJECT getClassObject = server->getClassObject;
        return getClassObject(rclsid, riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                           LPVOID* ppv) {
    if (!ppv) {
        return E_POINTER;
    }
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    if (!factory) {
        return E_UNEXPECTED;
    }
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr)) {
        *ppv = nullptr;
    }
    return hr;
}

WINOLEAPI_(void) CoFreeUnusedLibraries(void) {
    std::lock_guard<std::recursive_mutex> guard(serversLock);
    std::vector<InprocServer>& servers = Servers();
    for (std::size_t i = 0; i < servers.size();) {
        InprocServer& server = servers[i];
        if (server.canUnloadNow && server.canUnloadNow() == S_OK) {
            FreeLibrary(server.module);
            servers.erase(servers.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}
