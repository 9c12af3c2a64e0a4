// A client of an Automation object by member name, as scripts and the sales test call the driver:
// each name is looked up once with GetIDsOfNames, then every call goes through Invoke.
//
// Thread-safety: one client per thread, on the thread of the object's apartment.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace salestest {

using WideText = std::basic_string<OLECHAR>;

// What the last failing call left behind.
struct DispatchFailure {
    std::string member;    // the name called
    HRESULT hr = S_OK;     // what Invoke returned
    SCODE scode = S_OK;    // with DISP_E_EXCEPTION: the member's own HRESULT
    WideText description;  // with DISP_E_EXCEPTION: the member's error text
};

class CDispatchClient {
  public:
    // Holds a reference to `dispatch` for its lifetime.
    explicit CDispatchClient(IDispatch* dispatch);
    ~CDispatchClient();
    CDispatchClient(const CDispatchClient&) = delete;
    CDispatchClient& operator=(const CDispatchClient&) = delete;

    IDispatch* Object() const { return m_dispatch; }

    // The DISPID of `name`; DISP_E_UNKNOWNNAME when the object has no such member.
    HRESULT Find(LPCSTR name, DISPID* dispid);

    // A method without arguments. Invoke's result: a success HRESULT of the member comes back
    // as it is (S_OK or a success with a note), a failing member as DISP_E_EXCEPTION.
    HRESULT Call(LPCSTR name);
    // A property get; `value` is initialised first and owned by the caller afterwards.
    HRESULT Get(LPCSTR name, VARIANT* value);
    // A property put of `value`, which stays the caller's.
    HRESULT Put(LPCSTR name, const VARIANT& value);

    HRESULT PutText(LPCSTR name, const WideText& text);
    HRESULT PutMoney(LPCSTR name, LONGLONG money);  // CY: the amount times 10000
    HRESULT PutNumber(LPCSTR name, LONG number);
    // The value coerced to the type asked for; a failed coercion is a failure of the call.
    HRESULT GetMoney(LPCSTR name, LONGLONG* money);
    HRESULT GetNumber(LPCSTR name, LONG* number);
    HRESULT GetText(LPCSTR name, WideText* text);

    // The last failure; hr is S_OK until a call fails.
    const DispatchFailure& LastFailure() const { return m_failure; }

  private:
    HRESULT Invoke(LPCSTR name, WORD flags, VARIANT* argument, VARIANT* result);
    HRESULT Fail(LPCSTR name, HRESULT hr, const EXCEPINFO* exception);
    // Get, then the value coerced to `type` (cleared when that fails).
    HRESULT GetCoerced(LPCSTR name, VARTYPE type, VARIANT* value);

    IDispatch* m_dispatch;
    std::map<std::string, DISPID> m_dispids;
    DispatchFailure m_failure;
};

// UTF-8 and UTF-16 for terminals, files and command lines.
WideText WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const WideText& wide);

}  // namespace salestest
