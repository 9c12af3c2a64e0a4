// Apartments are counted, not modelled: every call runs on the caller's thread, so the only state
// is how often each thread entered and in which model.
#include "com_apartment.h"

#include <objbase.h>

#include <atomic>
#include <cstdlib>

namespace {

struct ThreadApartment {
    unsigned count = 0;
    bool multithreaded = false;
};
thread_local ThreadApartment apartment;

std::atomic<int> threadsInside{0};
std::atomic<int> threadsInMultithreaded{0};

}  // namespace

namespace com {

bool ThreadMayCreateObjects() {
    return apartment.count > 0 || threadsInMultithreaded.load() > 0;
}

}  // namespace com

WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved) {
        return E_INVALIDARG;
    }
    const bool multithreaded = !(dwCoInit & COINIT_APARTMENTTHREADED);
    if (apartment.count > 0) {
        if (apartment.multithreaded != multithreaded) {
            return RPC_E_CHANGED_MODE;
        }
        ++apartment.count;
        return S_FALSE;
    }
    apartment.count = 1;
    apartment.multithreaded = multithreaded;
    ++threadsInside;
    if (multithreaded) {
        ++threadsInMultithreaded;
    }
    return S_OK;
}

WINOLEAPI CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

WINOLEAPI_(void) CoUninitialize(void) {
    if (apartment.count == 0) {
        return;
    }
    if (--apartment.count > 0) {
        return;
    }
    if (apartment.multithreaded) {
        --threadsInMultithreaded;
    }
    if (--threadsInside == 0) {
        // Only servers that agree to go are unloaded: one still serving objects stays mapped.
        CoFreeUnusedLibraries();
    }
}

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb ? cb : 1);
}

WINOLEAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    return std::realloc(pv, cb ? cb : 1);
}

WINOLEAPI_(void) CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}
