// Safe arrays as Windows lays them out: the descriptor with its bounds (rightmost dimension
// first), preceded by 16 bytes of which the last four hold the element VARTYPE
// (FADF_HAVEVARTYPE); the data is a separate block. Elements vary fastest in the leftmost
// dimension.
#include <oleauto.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kPrefixBytes = 16;
constexpr ULONG kMaxLocks = 0xFFFF;
// Data blocks beyond this are refused rather than attempted.
constexpr std::uint64_t kMaxDataBytes = std::uint64_t{1} << 40;

struct ElementKind {
    ULONG size;
    USHORT features;
};

// Size and feature flag of the element types arrays are created with.
bool KindOf(VARTYPE vt, ElementKind& kind) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            kind = {1, 0};
            return true;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            kind = {2, 0};
            return true;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            kind = {4, 0};
            return true;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            kind = {8, 0};
            return true;
        case VT_DECIMAL:
            kind = {sizeof(DECIMAL), 0};
            return true;
        case VT_BSTR:
            kind = {sizeof(BSTR), FADF_BSTR};
            return true;
        case VT_UNKNOWN:
            kind = {sizeof(IUnknown*), FADF_UNKNOWN};
            return true;
        case VT_DISPATCH:
            kind = {sizeof(IDispatch*), FADF_DISPATCH};
            return true;
        case VT_VARIANT:
            kind = {sizeof(VARIANT), FADF_VARIANT};
            return true;
        default:
            return false;
    }
}

unsigned char* PrefixOf(SAFEARRAY* psa) {
    return reinterpret_cast<unsigned char*>(psa) - kPrefixBytes;
}

std::size_t DescriptorBytes(UINT cDims) {
    return sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
}

std::size_t CellCount(const SAFEARRAY* psa) {
    std::size_t cells = 1;
    for (USHORT i = 0; i < psa->cDims; ++i) {
        cells *= psa->rgsabound[i].cElements;
    }
    return cells;
}

unsigned char* Cell(const SAFEARRAY* psa, std::size_t index) {
    return static_cast<unsigned char*>(psa->pvData) + index * psa->cbElements;
}

// Frees what the elements own; the data block itself stays.
void ReleaseElements(SAFEARRAY* psa) {
    if (!psa->pvData) {
        return;
    }
    const std::size_t cells = CellCount(psa);
    for (std::size_t i = 0; i < cells; ++i) {
        unsigned char* cell = Cell(psa, i);
        if (psa->fFeatures & FADF_BSTR) {
            BSTR text;
            std::memcpy(&text, cell, sizeof(text));
            SysFreeString(text);
        } else if (psa->fFeatures & FADF_VARIANT) {
            // A nested locked array cannot be freed; it is left behind rather than corrupted.
            VariantClear(reinterpret_cast<VARIANT*>(cell));
        } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            IUnknown* unknown;
            std::memcpy(&unknown, cell, sizeof(unknown));
            if (unknown) {
                unknown->Release();
            }
        }
    }
    std::memset(psa->pvData, 0, cells * psa->cbElements);
}

void FreeArray(SAFEARRAY* psa) {
    std::free(psa->pvData);
    std::free(PrefixOf(psa));
}

// Copies one element into a zeroed cell of the same kind, deeply.
HRESULT CopyCell(USHORT features, ULONG size, const unsigned char* from, unsigned char* to) {
    if (features & FADF_BSTR) {
        BSTR text;
        std::memcpy(&text, from, sizeof(text));
        BSTR copy = nullptr;
        if (text) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(text), SysStringByteLen(text));
            if (!copy) {
                return E_OUTOFMEMORY;
            }
        }
        std::memcpy(to, &copy, sizeof(copy));
        return S_OK;
    }
    if (features & FADF_VARIANT) {
        auto* target = reinterpret_cast<VARIANT*>(to);
        VariantInit(target);
        return VariantCopy(target, reinterpret_cast<const VARIANT*>(from));
    }
    if (features & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* unknown;
        std::memcpy(&unknown, from, sizeof(unknown));
        if (unknown) {
            unknown->AddRef();
        }
        std::memcpy(to, &unknown, sizeof(unknown));
        return S_OK;
    }
    std::memcpy(to, from, size);
    return S_OK;
}

// The cell index of rgIndices (leftmost dimension first), or DISP_E_BADINDEX.
HRESULT CellIndex(const SAFEARRAY* psa, const LONG* rgIndices, std::size_t& index) {
    std::size_t cell = 0;
    std::size_t stride = 1;
    for (USHORT dim = 0; dim < psa->cDims; ++dim) {
        const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - dim];
        const std::int64_t offset =
            static_cast<std::int64_t>(rgIndices[dim]) - static_cast<std::int64_t>(bound.lLbound);
        if (offset < 0 || offset >= static_cast<std::int64_t>(bound.cElements)) {
            return DISP_E_BADINDEX;
        }
        cell += static_cast<std::size_t>(offset) * stride;
        stride *= bound.cElements;
    }
    index = cell;
    return S_OK;
}

SAFEARRAY* Create(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds, bool reversed) {
    ElementKind kind;
    if (!bounds || cDims == 0 || cDims > 0xFFFF || !KindOf(vt, kind)) {
        return nullptr;
    }
    std::uint64_t cells = 1;
    for (UINT i = 0; i < cDims; ++i) {
        const SAFEARRAYBOUND& b = bounds[i];
        // Every index of the array must be a LONG.
        if (static_cast<std::int64_t>(b.lLbound) + b.cElements - 1 > INT32_MAX) {
            return nullptr;
        }
        if (b.cElements != 0 && cells > kMaxDataBytes / kind.size / b.cElements) {
            return nullptr;
        }
        cells *= b.cElements;
    }
    auto* prefix =
        static_cast<unsigned char*>(std::calloc(1, kPrefixBytes + DescriptorBytes(cDims)));
    if (!prefix) {
        return nullptr;
    }
    auto* psa = reinterpret_cast<SAFEARRAY*>(prefix + kPrefixBytes);
    const DWORD storedType = vt;
    std::memcpy(prefix + kPrefixBytes - sizeof(DWORD), &storedType, sizeof(storedType));
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = static_cast<USHORT>(FADF_HAVEVARTYPE | kind.features);
    psa->cbElements = kind.size;
    psa->cLocks = 0;
    for (UINT i = 0; i < cDims; ++i) {
        psa->rgsabound[i] = reversed ? bounds[cDims - 1 - i] : bounds[i];
    }
    // Zeroed data: VT_EMPTY variants, null texts and interfaces.
    psa->pvData = std::calloc(cells ? static_cast<std::size_t>(cells) : 1, kind.size);
    if (!psa->pvData) {
        std::free(prefix);
        return nullptr;
    }
    return psa;
}

// One lock more or less; the count never leaves 0 .. kMaxLocks, whatever other threads do.
HRESULT AdjustLocks(SAFEARRAY* psa, int delta) {
    if (!psa) {
        return E_INVALIDARG;
    }
    ULONG locks = __atomic_load_n(&psa->cLocks, __ATOMIC_RELAXED);
    do {
        if (delta > 0 ? locks >= kMaxLocks : locks == 0) {
            return E_UNEXPECTED;
        }
    } while (!__atomic_compare_exchange_n(&psa->cLocks, &locks, delta > 0 ? locks + 1 : locks - 1,
                                          true, __ATOMIC_ACQ_REL, __ATOMIC_RELAXED));
    return S_OK;
}

}  // namespace

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    return Create(vt, cDims, rgsabound, true);
}

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound = {cElements, lLbound};
    return Create(vt, 1, &bound, false);
}

WINOLEAUTAPI SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) {
        return S_OK;
    }
    if (__atomic_load_n(&psa->cLocks, __ATOMIC_ACQUIRE) != 0) {
        return DISP_E_ARRAYISLOCKED;
    }
    ReleaseElements(psa);
    FreeArray(psa);
    return S_OK;
}

WINOLEAUTAPI_(UINT) SafeArrayGetDim(SAFEARRAY* psa) {
    return psa ? psa->cDims : 0;
}

WINOLEAUTAPI_(UINT) SafeArrayGetElemsize(SAFEARRAY* psa) {
    return psa ? psa->cbElements : 0;
}

WINOLEAUTAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) {
        return E_INVALIDARG;
    }
    if (nDim == 0 || nDim > psa->cDims) {
        return DISP_E_BADINDEX;
    }
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

WINOLEAUTAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) {
        return E_INVALIDARG;
    }
    if (nDim == 0 || nDim > psa->cDims) {
        return DISP_E_BADINDEX;
    }
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(static_cast<std::int64_t>(bound.lLbound) + bound.cElements - 1);
    return S_OK;
}

WINOLEAUTAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt) {
        return E_INVALIDARG;
    }
    if (psa->fFeatures & FADF_HAVEVARTYPE) {
        DWORD stored;
        std::memcpy(&stored, PrefixOf(psa) + kPrefixBytes - sizeof(DWORD), sizeof(stored));
        *pvt = static_cast<VARTYPE>(stored);
    } else if (psa->fFeatures & FADF_BSTR) {
        *pvt = VT_BSTR;
    } else if (psa->fFeatures & FADF_VARIANT) {
        *pvt = VT_VARIANT;
    } else if (psa->fFeatures & FADF_DISPATCH) {
        *pvt = VT_DISPATCH;
    } else if (psa->fFeatures & FADF_UNKNOWN) {
        *pvt = VT_UNKNOWN;
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

WINOLEAUTAPI SafeArrayLock(SAFEARRAY* psa) {
    return AdjustLocks(psa, +1);
}

WINOLEAUTAPI SafeArrayUnlock(SAFEARRAY* psa) {
    return AdjustLocks(psa, -1);
}

WINOLEAUTAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) {
        return E_INVALIDARG;
    }
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

WINOLEAUTAPI SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}

WINOLEAUTAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
    if (!psa || !rgIndices || !ppvData) {
        return E_INVALIDARG;
    }
    std::size_t index;
    const HRESULT hr = CellIndex(psa, rgIndices, index);
    if (FAILED(hr)) {
        return hr;
    }
    *ppvData = Cell(psa, index);
    return S_OK;
}

WINOLEAUTAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices || !pv) {
        return E_INVALIDARG;
    }
    std::size_t index;
    HRESULT hr = CellIndex(psa, rgIndices, index);
    if (FAILED(hr)) {
        return hr;
    }
    hr = SafeArrayLock(psa);
    if (FAILED(hr)) {
        return hr;
    }
    hr = CopyCell(psa->fFeatures, psa->cbElements, Cell(psa, index),
                  static_cast<unsigned char*>(pv));
    SafeArrayUnlock(psa);
    return hr;
}

WINOLEAUTAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices) {
        return E_INVALIDARG;
    }
    // Texts and interfaces are passed as themselves (a null one is allowed), the rest by address.
    const bool byValue = psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH);
    if (!pv && !byValue) {
        return E_INVALIDARG;
    }
    std::size_t index;
    HRESULT hr = CellIndex(psa, rgIndices, index);
    if (FAILED(hr)) {
        return hr;
    }
    hr = SafeArrayLock(psa);
    if (FAILED(hr)) {
        return hr;
    }
    unsigned char* cell = Cell(psa, index);
    if (psa->fFeatures & FADF_VARIANT) {
        hr = VariantCopy(reinterpret_cast<VARIANT*>(cell), static_cast<const VARIANT*>(pv));
    } else if (byValue) {
        unsigned char fresh[sizeof(void*)];
        hr =
            CopyCell(psa->fFeatures, psa->cbElements, reinterpret_cast<unsigned char*>(&pv), fresh);
        if (SUCCEEDED(hr)) {
            void* old;
            std::memcpy(&old, cell, sizeof(old));
            std::memcpy(cell, fresh, sizeof(fresh));
            if (psa->fFeatures & FADF_BSTR) {
                SysFreeString(static_cast<BSTR>(old));
            } else if (old) {
                static_cast<IUnknown*>(old)->Release();
            }
        }
    } else {
        std::memcpy(cell, pv, psa->cbElements);
    }
    SafeArrayUnlock(psa);
    return hr;
}

WINOLEAUTAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) {
        return E_INVALIDARG;
    }
    *ppsaOut = nullptr;
    if (!psa) {
        return S_OK;
    }
    VARTYPE vt;
    HRESULT hr = SafeArrayGetVartype(psa, &vt);
    if (FAILED(hr)) {
        return hr;
    }
    // The descriptor's bounds are already in stored (reversed) order.
    SAFEARRAY* copy = Create(vt, psa->cDims, psa->rgsabound, false);
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    if (copy->cbElements != psa->cbElements) {
        FreeArray(copy);
        return E_INVALIDARG;
    }
    const std::size_t cells = CellCount(psa);
    for (std::size_t i = 0; i < cells; ++i) {
        hr = CopyCell(psa->fFeatures, psa->cbElements, Cell(psa, i), Cell(copy, i));
        if (FAILED(hr)) {
            ReleaseElements(copy);
            FreeArray(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}
