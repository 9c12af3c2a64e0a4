// The accessors of stored state, one pair per catalogue row that names a field, a text or a bit.
// Rows with the CUSTOM binding are written by hand in the other driver sources.
#include <type_traits>

#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"

namespace {

// A stored field seen through the interface type: a narrower interface type takes the low bits,
// a wider one the value without sign extension of the unsigned field.
template <class To, class From>
To Convert(const From& value) {
    if constexpr (std::is_same_v<To, From>) {
        return value;
    } else {
        return static_cast<To>(value);
    }
}

template <class Out, class Field>
HRESULT GetStored(LPCSTR name, const Field& field, Out* out) {
    const CMemberTrace trace(name);
    if (!out) {
        return trace.Done(E_POINTER);
    }
    *out = Convert<Out>(field);
    return trace.Done(S_OK);
}

template <class In, class Field>
HRESULT PutStored(LPCSTR name, Field& field, In value) {
    const CMemberTrace trace(name);
    field = Convert<Field>(value);
    return trace.Done(S_OK);
}

HRESULT GetText(LPCSTR name, const AnsiText& text, BSTR* out) {
    const CMemberTrace trace(name);
    return trace.Done(BstrFromAnsi(text, out));
}

HRESULT PutText(LPCSTR name, AnsiText& text, BSTR value) {
    const CMemberTrace trace(name);
    return trace.Done(AnsiFromBstr(value, text));
}

HRESULT GetPath(LPCSTR name, const AnsiText& path, BSTR* out) {
    const CMemberTrace trace(name);
    return trace.Done(BstrFromPath(path.c_str(), out));
}

HRESULT PutPath(LPCSTR name, AnsiText& path, BSTR value) {
    const CMemberTrace trace(name);
    return trace.Done(PathFromBstr(value, path));
}

enum class Shown { Value, Result };

template <class Out>
HRESULT GetFlag(LPCSTR name, bool flag, Shown shown, Out* out) {
    const CMemberTrace trace(name);
    if (!out) {
        return trace.Done(E_POINTER);
    }
    *out = flag ? 1 : 0;
    return shown == Shown::Value ? trace.DoneShowing(S_OK, static_cast<LONG>(*out))
                                 : trace.Done(S_OK);
}

template <class Out>
HRESULT GetWord(LPCSTR name, WORD word, Out* out) {
    const CMemberTrace trace(name);
    if (!out) {
        return trace.Done(E_POINTER);
    }
    *out = Convert<Out>(word);
    return trace.DoneShowing(S_OK, static_cast<LONG>(*out));
}

}  // namespace

#define DRV_GET_NAME(name) "CDrvKeltor::get_" #name
#define DRV_PUT_NAME(name) "CDrvKeltor::put_" #name
#define DRV_GETTER(name, type) STDMETHODIMP CDrvKeltor::get_##name(DRV_GET_T_##type pVal)
#define DRV_PUTTER(name, type) STDMETHODIMP CDrvKeltor::put_##name(DRV_PUT_T_##type newVal)

#define DRV_GET_FIELD(name, type, member)                   \
    DRV_GETTER(name, type) {                                \
        return GetStored(DRV_GET_NAME(name), member, pVal); \
    }
#define DRV_PUT_FIELD(name, type, member)                     \
    DRV_PUTTER(name, type) {                                  \
        return PutStored(DRV_PUT_NAME(name), member, newVal); \
    }
#define DRV_GET_TEXT(name, type, member)                  \
    DRV_GETTER(name, type) {                              \
        return GetText(DRV_GET_NAME(name), member, pVal); \
    }
#define DRV_PUT_TEXT(name, type, member)                    \
    DRV_PUTTER(name, type) {                                \
        return PutText(DRV_PUT_NAME(name), member, newVal); \
    }
#define DRV_GET_PATH(name, type, member)                  \
    DRV_GETTER(name, type) {                              \
        return GetPath(DRV_GET_NAME(name), member, pVal); \
    }
#define DRV_PUT_PATH(name, type, member)                    \
    DRV_PUTTER(name, type) {                                \
        return PutPath(DRV_PUT_NAME(name), member, newVal); \
    }
#define DRV_GET_WORD(name, type, member)                  \
    DRV_GETTER(name, type) {                              \
        return GetWord(DRV_GET_NAME(name), member, pVal); \
    }
#define DRV_GET_BIT(name, type, word, mask)                                           \
    DRV_GETTER(name, type) {                                                          \
        return GetFlag(DRV_GET_NAME(name), (word & (mask)) != 0, Shown::Value, pVal); \
    }
#define DRV_GET_NOT_BIT(name, type, word, mask)                                       \
    DRV_GETTER(name, type) {                                                          \
        return GetFlag(DRV_GET_NAME(name), (word & (mask)) == 0, Shown::Value, pVal); \
    }
#define DRV_GET_QUIET_BIT(name, type, word, mask)                                      \
    DRV_GETTER(name, type) {                                                           \
        return GetFlag(DRV_GET_NAME(name), (word & (mask)) != 0, Shown::Result, pVal); \
    }
#define DRV_GET_CUSTOM(name, type)
#define DRV_PUT_CUSTOM(name, type)

#define DRV_ACCESSORS_R(name, type, binding, ...) \
    DRV_GET_##binding(name, type __VA_OPT__(, ) __VA_ARGS__)
#define DRV_ACCESSORS_RW(name, type, binding, ...)           \
    DRV_GET_##binding(name, type __VA_OPT__(, ) __VA_ARGS__) \
        DRV_PUT_##binding(name, type __VA_OPT__(, ) __VA_ARGS__)
#define DRV_ACCESSORS_WR DRV_ACCESSORS_RW

#define DRV_METHOD(dispid, name)
#define DRV_PROPERTY(dispid, name, access, type, binding, ...) \
    DRV_ACCESSORS_##access(name, type, binding __VA_OPT__(, ) __VA_ARGS__)
#include "DrvKeltorMembers.def"
