#include "DrvKeltor.h"

#include <cstring>

#include "AnsiText.h"

CMethodData::CMethodData() {
    VariantInit(&parameter);
    VariantInit(&result);
}

CMethodData::~CMethodData() {
    VariantClear(&parameter);
    VariantClear(&result);
}

CDrvKeltor::CDrvKeltor(IDispatch* dispatch) : m_dispatch(dispatch) {
    if (m_dispatch) {
        m_dispatch->AddRef();
    }
}

CDrvKeltor::~CDrvKeltor() {
    m_recorded.clear();
    if (m_dispatch) {
        m_dispatch->Release();
    }
}

namespace {

// The zero of a type, as a deferred call answers: 0, an empty text, an empty variant.
void SetZero(VARIANT* value, VARTYPE type) {
    VariantInit(value);
    if (type == VT_EMPTY || (type & VT_ARRAY) != 0) {
        return;
    }
    value->vt = type;
    if (type == VT_BSTR) {
        value->bstrVal = SysAllocString(OLESTR(""));
        return;
    }
    value->llVal = 0;
}

}  // namespace

HRESULT CDrvKeltor::CallDriver(DISPID dispid, WORD kind, VARTYPE returnType, VARIANT* result,
                               const VARIANT* parameters, UINT count) {
    if (!m_dispatch) {
        return E_POINTER;
    }
    // Automation passes the arguments last first; a put names its value.
    std::vector<VARIANT> arguments(parameters, parameters + count);
    for (size_t i = 0; i < arguments.size() / 2; ++i) {
        std::swap(arguments[i], arguments[arguments.size() - 1 - i]);
    }
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = kind == DISPATCH_PROPERTYPUT;
    DISPPARAMS params = {arguments.empty() ? nullptr : arguments.data(), put ? &named : nullptr,
                         count, put ? 1u : 0u};
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    UINT argumentError = 0;
    VARIANT value;
    VariantInit(&value);
    HRESULT hr;
    {
        CCallScope scope(*this);
        hr = m_dispatch->Invoke(dispid, IID_NULL, 0, kind, &params, result ? &value : nullptr,
                                &exception, &argumentError);
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (result) {
        if (SUCCEEDED(hr) && returnType != VT_EMPTY && value.vt != returnType) {
            const HRESULT coerced = VariantChangeType(&value, &value, 0, returnType);
            if (FAILED(coerced)) {
                VariantClear(&value);
                hr = coerced;
            }
        }
        *result = value;
    } else {
        VariantClear(&value);
    }
    return hr;
}

HRESULT CDrvKeltor::Record(DISPID dispid, WORD kind, VARTYPE returnType, VARIANT* result,
                           const VARTYPE* parameterTypes, const VARIANT* parameters, UINT count) {
    if (result) {
        SetZero(result, returnType);
    }
    if (count > 1) {
        return S_OK;  // only calls of at most one parameter can be kept
    }
    auto record = std::make_unique<CMethodData>();
    record->dispid = dispid;
    record->kind = kind;
    record->returnType = returnType;
    if (count == 1) {
        record->parameterType = parameterTypes ? parameterTypes[0] : parameters[0].vt;
        const HRESULT hr = VariantCopy(&record->parameter, &parameters[0]);
        if (FAILED(hr)) {
            return hr;
        }
    }
    m_recorded.push_back(std::move(record));
    return S_OK;
}

HRESULT CDrvKeltor::Invoke(DISPID dispid, WORD kind, VARTYPE returnType, VARIANT* result,
                           const VARTYPE* parameterTypes, const VARIANT* parameters, UINT count) {
    if (count > 0 && !parameters) {
        return E_POINTER;
    }
    if (m_deferred) {
        return Record(dispid, kind, returnType, result, parameterTypes, parameters, count);
    }
    return CallDriver(dispid, kind, returnType, result, parameters, count);
}

HRESULT CDrvKeltor::Flush() {
    std::vector<std::unique_ptr<CMethodData>> recorded;
    recorded.swap(m_recorded);
    for (const std::unique_ptr<CMethodData>& call : recorded) {
        if (call->dispid == 0) {
            continue;
        }
        VariantClear(&call->result);
        const UINT count = call->parameterType == VT_EMPTY ? 0 : 1;
        const HRESULT hr = CallDriver(call->dispid, call->kind, call->returnType,
                                      call->returnType == VT_EMPTY ? nullptr : &call->result,
                                      &call->parameter, count);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT CDrvKeltor::SetDeferred(bool deferred) {
    m_deferred = deferred;
    return deferred ? S_OK : Flush();
}

HRESULT CDrvKeltor::Call(const DrvMember& method) {
    return Invoke(method.dispid, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr, nullptr, 0);
}

HRESULT CDrvKeltor::Get(const DrvMember& property, VARIANT* value) {
    return Invoke(property.dispid, DISPATCH_PROPERTYGET, property.type, value, nullptr, nullptr, 0);
}

HRESULT CDrvKeltor::Put(const DrvMember& property, const VARIANT& value) {
    return Invoke(property.dispid, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, &property.type, &value,
                  1);
}

namespace {

// The value of a get in the type a page needs; cleared on failure.
HRESULT Coerced(HRESULT hr, VARIANT* value, VARTYPE type) {
    if (FAILED(hr)) {
        return hr;
    }
    if (value->vt == VT_EMPTY) {  // a deferred get
        SetZero(value, type);
        return S_OK;
    }
    hr = VariantChangeType(value, value, 0, type);
    if (FAILED(hr)) {
        VariantClear(value);
    }
    return hr;
}

// A get coerced to `type`, and the value taken out of it (the type's zero on failure).
template <class T, class Take>
HRESULT GetAs(CDrvKeltor& driver, const DrvMember& property, VARTYPE type, T* out, Take take) {
    VARIANT value;
    const HRESULT hr = Coerced(driver.Get(property, &value), &value, type);
    *out = SUCCEEDED(hr) ? take(value) : T();
    VariantClear(&value);
    return hr;
}

}  // namespace

HRESULT CDrvKeltor::GetNumber(const DrvMember& property, LONG* number) {
    return GetAs(*this, property, VT_I4, number, [](const VARIANT& v) { return v.lVal; });
}

HRESULT CDrvKeltor::GetMoney(const DrvMember& property, LONGLONG* money) {
    return GetAs(*this, property, VT_CY, money, [](const VARIANT& v) { return v.cyVal.int64; });
}

HRESULT CDrvKeltor::GetDate(const DrvMember& property, DATE* date) {
    return GetAs(*this, property, VT_DATE, date, [](const VARIANT& v) { return v.date; });
}

HRESULT CDrvKeltor::GetText(const DrvMember& property, QString* text) {
    return GetAs(*this, property, VT_BSTR, text,
                 [](const VARIANT& v) { return FromBstr(v.bstrVal); });
}

HRESULT CDrvKeltor::PutNumber(const DrvMember& property, LONG number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return Put(property, value);
}

HRESULT CDrvKeltor::PutMoney(const DrvMember& property, LONGLONG money) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_CY;
    value.cyVal.int64 = money;
    return Put(property, value);
}

HRESULT CDrvKeltor::PutDate(const DrvMember& property, DATE date) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_DATE;
    value.date = date;
    return Put(property, value);
}

HRESULT CDrvKeltor::PutText(const DrvMember& property, const QString& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = ToBstr(text);
    if (!value.bstrVal) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = Put(property, value);
    VariantClear(&value);
    return hr;
}

SHORT CDrvKeltor::ResultCode() {
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr =
        CallDriver(drvmember::ResultCode.dispid, DISPATCH_PROPERTYGET, VT_I2, &value, nullptr, 0);
    return SUCCEEDED(hr) && value.vt == VT_I2 ? value.iVal : 0;
}

QString CDrvKeltor::ResultCodeDescription() {
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = CallDriver(drvmember::ResultCodeDescription.dispid, DISPATCH_PROPERTYGET,
                                  VT_BSTR, &value, nullptr, 0);
    const QString text = SUCCEEDED(hr) && value.vt == VT_BSTR ? FromBstr(value.bstrVal) : QString();
    VariantClear(&value);
    return text;
}
