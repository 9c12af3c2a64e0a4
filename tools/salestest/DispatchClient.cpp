#include "DispatchClient.h"

#include <cstring>

namespace salestest {

namespace {

WideText WideName(LPCSTR name) {
    WideText wide;
    for (LPCSTR c = name; *c; ++c) {
        wide.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(*c)));
    }
    return wide;
}

}  // namespace

WideText WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) {
        return WideText();
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) {
        return WideText();
    }
    WideText wide(static_cast<size_t>(length), OLECHAR(0));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

std::string Utf8FromWide(const WideText& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                        nullptr, nullptr);
    return utf8;
}

CDispatchClient::CDispatchClient(IDispatch* dispatch) : m_dispatch(dispatch) {
    if (m_dispatch) {
        m_dispatch->AddRef();
    }
}

CDispatchClient::~CDispatchClient() {
    if (m_dispatch) {
        m_dispatch->Release();
    }
}

HRESULT CDispatchClient::Fail(LPCSTR name, HRESULT hr, const EXCEPINFO* exception) {
    m_failure = DispatchFailure();
    m_failure.member = name;
    m_failure.hr = hr;
    if (exception) {
        m_failure.scode = exception->scode;
        if (exception->bstrDescription) {
            m_failure.description.assign(exception->bstrDescription,
                                         SysStringLen(exception->bstrDescription));
        }
    }
    return hr;
}

HRESULT CDispatchClient::Find(LPCSTR name, DISPID* dispid) {
    if (!m_dispatch) {
        return Fail(name, E_POINTER, nullptr);
    }
    const auto known = m_dispids.find(name);
    if (known != m_dispids.end()) {
        *dispid = known->second;
        return S_OK;
    }
    WideText wide = WideName(name);
    LPOLESTR names[] = {wide.data()};
    DISPID found = DISPID_UNKNOWN;
    const HRESULT hr = m_dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &found);
    if (FAILED(hr)) {
        return Fail(name, hr, nullptr);
    }
    m_dispids[name] = found;
    *dispid = found;
    return S_OK;
}

HRESULT CDispatchClient::Invoke(LPCSTR name, WORD flags, VARIANT* argument, VARIANT* result) {
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = Find(name, &dispid);
    if (FAILED(hr)) {
        return hr;
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {argument, argument ? &named : nullptr, argument ? 1u : 0u,
                         argument ? 1u : 0u};
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    UINT argumentError = 0;
    hr =
        m_dispatch->Invoke(dispid, IID_NULL, 0, flags, &params, result, &exception, &argumentError);
    if (FAILED(hr)) {
        Fail(name, hr, &exception);
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT CDispatchClient::Call(LPCSTR name) {
    return Invoke(name, DISPATCH_METHOD, nullptr, nullptr);
}

HRESULT CDispatchClient::Get(LPCSTR name, VARIANT* value) {
    VariantInit(value);
    return Invoke(name, DISPATCH_PROPERTYGET, nullptr, value);
}

HRESULT CDispatchClient::Put(LPCSTR name, const VARIANT& value) {
    VARIANT argument = value;  // a shallow copy: Invoke does not take what it is given
    return Invoke(name, DISPATCH_PROPERTYPUT, &argument, nullptr);
}

HRESULT CDispatchClient::PutText(LPCSTR name, const WideText& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value.bstrVal) {
        return Fail(name, E_OUTOFMEMORY, nullptr);
    }
    const HRESULT hr = Put(name, value);
    VariantClear(&value);
    return hr;
}

HRESULT CDispatchClient::PutMoney(LPCSTR name, LONGLONG money) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_CY;
    value.cyVal.int64 = money;
    return Put(name, value);
}

HRESULT CDispatchClient::PutNumber(LPCSTR name, LONG number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return Put(name, value);
}

namespace {

// `value` coerced in place to `type`; the variant is cleared on failure.
HRESULT Coerce(VARIANT* value, VARTYPE type) {
    if (value->vt == type) {
        return S_OK;
    }
    const HRESULT hr = VariantChangeType(value, value, 0, type);
    if (FAILED(hr)) {
        VariantClear(value);
    }
    return hr;
}

}  // namespace

HRESULT CDispatchClient::GetCoerced(LPCSTR name, VARTYPE type, VARIANT* value) {
    HRESULT hr = Get(name, value);
    if (FAILED(hr)) {
        return hr;
    }
    hr = Coerce(value, type);
    return FAILED(hr) ? Fail(name, hr, nullptr) : S_OK;
}

HRESULT CDispatchClient::GetMoney(LPCSTR name, LONGLONG* money) {
    VARIANT value;
    const HRESULT hr = GetCoerced(name, VT_CY, &value);
    if (SUCCEEDED(hr)) {
        *money = value.cyVal.int64;
    }
    return hr;
}

HRESULT CDispatchClient::GetNumber(LPCSTR name, LONG* number) {
    VARIANT value;
    const HRESULT hr = GetCoerced(name, VT_I4, &value);
    if (SUCCEEDED(hr)) {
        *number = value.lVal;
    }
    return hr;
}

HRESULT CDispatchClient::GetText(LPCSTR name, WideText* text) {
    VARIANT value;
    const HRESULT hr = GetCoerced(name, VT_BSTR, &value);
    if (SUCCEEDED(hr)) {
        text->assign(value.bstrVal ? value.bstrVal : OLESTR(""), SysStringLen(value.bstrVal));
        VariantClear(&value);
    }
    return hr;
}

}  // namespace salestest
