// VariantChangeType: every source is read into one of a few kinds of value (integer, real,
// currency, boolean, date, text), and every target is written from those kinds with its own
// range check, so the matrix of type pairs is never spelled out.
#include <oleauto.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "ole_text.h"
#include "ole_variant.h"

namespace {

using ole::Integer;

// Automation dates run from 1 January 100 to 31 December 9999, both days included.
constexpr double kDateLowerLimit = -657435.0;
constexpr double kDateUpperLimit = 2958466.0;
constexpr LCID kUserDefaultLocale = 0x0400;

enum class Kind { Empty, Integer, Real, Currency, Bool, Date, Text, Other };

struct Value {
    Kind kind = Kind::Other;
    Integer integer;
    double real = 0.0;
    bool single = false;  // a VT_R4 value, written with 7 digits
    LONGLONG currency = 0;
    bool boolean = false;
    const OLECHAR* text = nullptr;
    std::size_t textLength = 0;
};

Value Read(const VARIANT& v) {
    Value value;
    auto integer = [&value](bool negative, unsigned long long magnitude) {
        value.kind = Kind::Integer;
        value.integer.negative = negative;
        value.integer.magnitude = magnitude;
    };
    auto signedInteger = [&integer](long long x) {
        integer(x < 0, x < 0 ? 0ULL - static_cast<unsigned long long>(x)
                             : static_cast<unsigned long long>(x));
    };
    switch (v.vt) {
        case VT_EMPTY:
            value.kind = Kind::Empty;
            break;
        case VT_I1:
            signedInteger(static_cast<signed char>(v.cVal));
            break;
        case VT_UI1:
            integer(false, v.bVal);
            break;
        case VT_I2:
            signedInteger(v.iVal);
            break;
        case VT_UI2:
            integer(false, v.uiVal);
            break;
        case VT_I4:
            signedInteger(v.lVal);
            break;
        case VT_UI4:
            integer(false, v.ulVal);
            break;
        case VT_INT:
            signedInteger(v.intVal);
            break;
        case VT_UINT:
            integer(false, v.uintVal);
            break;
        case VT_I8:
            signedInteger(v.llVal);
            break;
        case VT_UI8:
            integer(false, v.ullVal);
            break;
        case VT_R4:
            value.kind = Kind::Real;
            value.real = v.fltVal;
            value.single = true;
            break;
        case VT_R8:
            value.kind = Kind::Real;
            value.real = v.dblVal;
            break;
        case VT_CY:
            value.kind = Kind::Currency;
            value.currency = v.cyVal.int64;
            break;
        case VT_DATE:
            value.kind = Kind::Date;
            value.real = v.date;
            break;
        case VT_BOOL:
            value.kind = Kind::Bool;
            value.boolean = v.boolVal != VARIANT_FALSE;
            break;
        case VT_BSTR:
            value.kind = Kind::Text;
            value.text = v.bstrVal;
            value.textLength = SysStringLen(v.bstrVal);
            break;
        default:
            break;
    }
    return value;
}

// Currency to an integer count of units, half to even.
Integer CurrencyUnits(LONGLONG currency) {
    Integer result;
    result.negative = currency < 0;
    const unsigned long long magnitude = result.negative
                                             ? 0ULL - static_cast<unsigned long long>(currency)
                                             : static_cast<unsigned long long>(currency);
    unsigned long long units = magnitude / 10000;
    const unsigned long long rest = magnitude % 10000;
    if (rest > 5000 || (rest == 5000 && (units & 1))) {
        ++units;
    }
    result.magnitude = units;
    return result;
}

HRESULT ToInteger(const Value& value, Integer& result) {
    switch (value.kind) {
        case Kind::Empty:
            result = Integer{};
            return S_OK;
        case Kind::Integer:
            result = value.integer;
            return S_OK;
        case Kind::Real:
        case Kind::Date:
            return ole::RoundReal(value.real, result) ? S_OK : DISP_E_OVERFLOW;
        case Kind::Currency:
            result = CurrencyUnits(value.currency);
            return S_OK;
        case Kind::Text: {
            ole::Decimal number;
            if (!ole::ParseNumber(value.text, value.textLength, number)) {
                return DISP_E_TYPEMISMATCH;
            }
            return ole::RoundDecimal(number, 0, result) ? S_OK : DISP_E_OVERFLOW;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

double IntegerToDouble(const Integer& x) {
    const double magnitude = static_cast<double>(x.magnitude);
    return x.negative ? -magnitude : magnitude;
}

HRESULT ToReal(const Value& value, double& result) {
    switch (value.kind) {
        case Kind::Empty:
            result = 0.0;
            return S_OK;
        case Kind::Integer:
            result = IntegerToDouble(value.integer);
            return S_OK;
        case Kind::Real:
        case Kind::Date:
            result = value.real;
            return S_OK;
        case Kind::Currency:
            result = static_cast<double>(value.currency) / 10000.0;
            return S_OK;
        case Kind::Bool:
            result = value.boolean ? -1.0 : 0.0;
            return S_OK;
        case Kind::Text: {
            ole::Decimal number;
            if (!ole::ParseNumber(value.text, value.textLength, number)) {
                return DISP_E_TYPEMISMATCH;
            }
            return ole::DecimalToDouble(number, result) ? S_OK : DISP_E_OVERFLOW;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT FitCurrency(const Integer& units, LONGLONG& result) {
    // Checked as a magnitude, so that the most negative amount still fits.
    const unsigned __int128 limit = static_cast<unsigned __int128>(1) << 63;
    if (units.magnitude > (units.negative ? limit : limit - 1)) {
        return DISP_E_OVERFLOW;
    }
    const auto magnitude = static_cast<unsigned long long>(units.magnitude);
    result =
        units.negative ? static_cast<LONGLONG>(0ULL - magnitude) : static_cast<LONGLONG>(magnitude);
    return S_OK;
}

HRESULT ToCurrency(const Value& value, LONGLONG& result) {
    switch (value.kind) {
        case Kind::Currency:
            result = value.currency;
            return S_OK;
        case Kind::Integer: {
            Integer scaled = value.integer;
            if (scaled.magnitude > (static_cast<unsigned __int128>(1) << 64)) {
                return DISP_E_OVERFLOW;
            }
            scaled.magnitude *= 10000;
            return FitCurrency(scaled, result);
        }
        case Kind::Text: {
            ole::Decimal number;
            if (!ole::ParseNumber(value.text, value.textLength, number)) {
                return DISP_E_TYPEMISMATCH;
            }
            Integer scaled;
            if (!ole::RoundDecimal(number, 4, scaled)) {
                return DISP_E_OVERFLOW;
            }
            return FitCurrency(scaled, result);
        }
        default: {
            double real;
            HRESULT hr = ToReal(value, real);
            if (FAILED(hr)) {
                return hr;
            }
            Integer scaled;
            if (!ole::RoundReal(real * 10000.0, scaled)) {
                return DISP_E_OVERFLOW;
            }
            return FitCurrency(scaled, result);
        }
    }
}

HRESULT ToBool(const Value& value, bool& result) {
    switch (value.kind) {
        case Kind::Bool:
            result = value.boolean;
            return S_OK;
        case Kind::Text: {
            if (ole::ParseBoolText(value.text, value.textLength, result)) {
                return S_OK;
            }
            ole::Decimal number;
            if (!ole::ParseNumber(value.text, value.textLength, number)) {
                return DISP_E_TYPEMISMATCH;
            }
            result = !number.digits.empty();
            return S_OK;
        }
        case Kind::Integer:
            result = value.integer.magnitude != 0;
            return S_OK;
        case Kind::Currency:
            result = value.currency != 0;
            return S_OK;
        default: {
            double real;
            HRESULT hr = ToReal(value, real);
            if (SUCCEEDED(hr)) {
                result = real != 0.0;
            }
            return hr;
        }
    }
}

HRESULT ToDate(const Value& value, DATE& result) {
    if (value.kind == Kind::Text) {
        return ole::ParseDateText(value.text, value.textLength, result) ? S_OK
                                                                        : DISP_E_TYPEMISMATCH;
    }
    double real;
    HRESULT hr = ToReal(value, real);
    if (FAILED(hr)) {
        return hr;
    }
    if (!(real > kDateLowerLimit && real < kDateUpperLimit)) {
        return DISP_E_OVERFLOW;
    }
    result = real;
    return S_OK;
}

HRESULT ToText(const Value& value, USHORT flags, BSTR& result) {
    std::string text;
    switch (value.kind) {
        case Kind::Empty:
            break;
        case Kind::Integer:
            text = ole::FormatInteger(value.integer);
            break;
        case Kind::Real:
            text = ole::FormatReal(value.real, value.single ? 7 : 15);
            break;
        case Kind::Currency:
            text = ole::FormatCurrency(value.currency);
            break;
        case Kind::Bool:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
                text = value.boolean ? "True" : "False";
            } else {
                text = value.boolean ? "-1" : "0";
            }
            break;
        case Kind::Date:
            if (!ole::FormatDate(value.real, text)) {
                return E_INVALIDARG;
            }
            break;
        case Kind::Text:
            result = SysAllocStringLen(value.text, static_cast<UINT>(value.textLength));
            return result ? S_OK : E_OUTOFMEMORY;
        default:
            return DISP_E_TYPEMISMATCH;
    }
    result = ole::AllocAsciiString(text);
    return result ? S_OK : E_OUTOFMEMORY;
}

struct IntegerTarget {
    VARTYPE vt;
    int bits;
    bool isSigned;
};

bool FindIntegerTarget(VARTYPE vt, IntegerTarget& target) {
    static const IntegerTarget kTargets[] = {
        {VT_I1, 8, true},  {VT_UI1, 8, false},  {VT_I2, 16, true},  {VT_UI2, 16, false},
        {VT_I4, 32, true}, {VT_UI4, 32, false}, {VT_INT, 32, true}, {VT_UINT, 32, false},
        {VT_I8, 64, true}, {VT_UI8, 64, false},
    };
    for (const IntegerTarget& t : kTargets) {
        if (t.vt == vt) {
            target = t;
            return true;
        }
    }
    return false;
}

void StoreInteger(const IntegerTarget& target, unsigned long long bits, VARIANT& result) {
    switch (target.bits) {
        case 8:
            result.bVal = static_cast<BYTE>(bits);
            break;
        case 16:
            result.uiVal = static_cast<USHORT>(bits);
            break;
        case 32:
            result.ulVal = static_cast<ULONG>(bits);
            break;
        default:
            result.ullVal = bits;
            break;
    }
}

HRESULT WriteInteger(const Value& value, const IntegerTarget& target, VARIANT& result) {
    if (value.kind == Kind::Bool) {
        // True is all bits set, in unsigned types too.
        StoreInteger(target, value.boolean ? ~0ULL : 0ULL, result);
        return S_OK;
    }
    Integer x;
    HRESULT hr = ToInteger(value, x);
    if (FAILED(hr)) {
        return hr;
    }
    const unsigned __int128 one = 1;
    if (target.isSigned) {
        const unsigned __int128 limit = one << (target.bits - 1);
        if (x.magnitude > (x.negative ? limit : limit - 1)) {
            return DISP_E_OVERFLOW;
        }
    } else if ((x.negative && x.magnitude != 0) || x.magnitude > (one << target.bits) - 1) {
        return DISP_E_OVERFLOW;
    }
    const auto magnitude = static_cast<unsigned long long>(x.magnitude);
    StoreInteger(target, x.negative ? 0ULL - magnitude : magnitude, result);
    return S_OK;
}

HRESULT WriteInterface(const VARIANT& source, VARTYPE vt, VARIANT& result) {
    if (source.vt != VT_UNKNOWN && source.vt != VT_DISPATCH) {
        return DISP_E_TYPEMISMATCH;
    }
    result.punkVal = nullptr;
    if (!source.punkVal) {
        return S_OK;
    }
    void* pointer = nullptr;
    const HRESULT hr =
        source.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &pointer);
    if (FAILED(hr) || !pointer) {
        return DISP_E_TYPEMISMATCH;
    }
    result.punkVal = static_cast<IUnknown*>(pointer);
    return S_OK;
}

HRESULT ChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt, int depth);

// A dispatch object converts as the value of its default member.
HRESULT ConvertObjectValue(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT& result,
                           int depth) {
    if ((flags & VARIANT_NOVALUEPROP) || !source.pdispVal || depth > 0) {
        return DISP_E_TYPEMISMATCH;
    }
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT property;
    VariantInit(&property);
    HRESULT hr = source.pdispVal->Invoke(DISPID_VALUE, IID_NULL, kUserDefaultLocale,
                                         DISPATCH_PROPERTYGET, &none, &property, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        hr = ChangeType(&result, &property, flags, vt, depth + 1);
    }
    VariantClear(&property);
    return hr;
}

HRESULT Convert(const VARIANT& source, USHORT flags, VARTYPE vt, VARIANT& result, int depth) {
    if (source.vt == vt) {
        return VariantCopy(&result, &source);
    }
    if ((vt & VT_ARRAY) || (source.vt & VT_ARRAY)) {
        return DISP_E_TYPEMISMATCH;
    }
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        HRESULT hr = WriteInterface(source, vt, result);
        if (SUCCEEDED(hr)) {
            result.vt = vt;
        }
        return hr;
    }
    if (source.vt == VT_DISPATCH) {
        return ConvertObjectValue(source, flags, vt, result, depth);
    }
    if (vt == VT_EMPTY || vt == VT_NULL) {
        // Only "no value" becomes "no value"; anything else would be lost.
        if (source.vt != VT_EMPTY) {
            return DISP_E_TYPEMISMATCH;
        }
        result.vt = vt;
        return S_OK;
    }
    const Value value = Read(source);
    if (value.kind == Kind::Other) {
        return DISP_E_TYPEMISMATCH;  // VT_NULL, VT_ERROR, VT_UNKNOWN, VT_DECIMAL
    }
    HRESULT hr = DISP_E_TYPEMISMATCH;
    IntegerTarget integerTarget;
    if (FindIntegerTarget(vt, integerTarget)) {
        hr = WriteInteger(value, integerTarget, result);
    } else {
        switch (vt) {
            case VT_R8:
                hr = ToReal(value, result.dblVal);
                break;
            case VT_R4: {
                double real;
                hr = ToReal(value, real);
                // An infinity is beyond every float too; NaN compares false and passes as itself.
                if (SUCCEEDED(hr) && std::fabs(real) > FLT_MAX) {
                    hr = DISP_E_OVERFLOW;
                }
                if (SUCCEEDED(hr)) {
                    result.fltVal = static_cast<float>(real);
                }
                break;
            }
            case VT_CY:
                hr = ToCurrency(value, result.cyVal.int64);
                break;
            case VT_DATE:
                hr = ToDate(value, result.date);
                break;
            case VT_BOOL: {
                bool boolean = false;
                hr = ToBool(value, boolean);
                result.boolVal = boolean ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            }
            case VT_BSTR:
                hr = ToText(value, flags, result.bstrVal);
                break;
            default:
                break;
        }
    }
    if (SUCCEEDED(hr)) {
        result.vt = vt;
    }
    return hr;
}

HRESULT ChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt, int depth) {
    if (!dest || !src) {
        return E_INVALIDARG;
    }
    HRESULT hr = ole::ValidateVariantType(src->vt);
    if (FAILED(hr)) {
        return hr;
    }
    if (FAILED(ole::ValidateVariantType(vt)) || vt == VT_VARIANT) {
        return DISP_E_BADVARTYPE;
    }
    if (vt & VT_BYREF) {
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT source;
    hr = ole::Dereference(*src, source);
    if (FAILED(hr)) {
        return hr;
    }
    // The result is built aside; the destination changes only when everything succeeded, and the
    // source may be the destination itself.
    VARIANT result;
    VariantInit(&result);
    result.llVal = 0;
    result.pRecInfo = nullptr;
    try {
        hr = Convert(source, flags, vt, result, depth);
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        return hr;
    }
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}

}  // namespace

WINOLEAUTAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                               VARTYPE vt) {
    return ChangeType(pvargDest, pvarSrc, wFlags, vt, 0);
}

WINOLEAUTAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                                 USHORT wFlags, VARTYPE vt) {
    (void)lcid;  // texts are always read and written the same way, whatever the locale
    return ChangeType(pvargDest, pvarSrc, wFlags, vt, 0);
}
