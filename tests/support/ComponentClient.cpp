#include "ComponentClient.h"

#include <climits>
#include <cstring>
#include <regex>

#include "Registry.h"

namespace client {

std::string ComponentPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/lib/libBrontalOcx.so";
}

std::string RegsvrPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/bin/regsvr";
}

testsupport::ProgramRun RunRegsvr(const std::vector<std::string>& arguments) {
    return testsupport::RunProgram(RegsvrPath(), arguments, std::string(), true);
}

bool ComponentLoaded() {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, ComponentPath().c_str(),
                              &module) != FALSE;
}

HRESULT Outcome(const Call& call) {
    return call.hr == DISP_E_EXCEPTION ? call.scode : call.hr;
}

HRESULT Failure(int code) {
    return static_cast<HRESULT>(0x80040000u | static_cast<unsigned>(-code));
}

// ---- values ----

namespace {

// A VARIANT of `type` whose value `set` fills in.
template <typename Set>
VARIANT Made(VARTYPE type, Set set) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    set(v);
    return v;
}

}  // namespace

VARIANT I4(LONG value) {
    return Made(VT_I4, [&](VARIANT& v) { v.lVal = value; });
}

VARIANT UI2(USHORT value) {
    return Made(VT_UI2, [&](VARIANT& v) { v.uiVal = value; });
}

VARIANT UI4(ULONG value) {
    return Made(VT_UI4, [&](VARIANT& v) { v.ulVal = value; });
}

VARIANT Cy(LONGLONG value) {
    return Made(VT_CY, [&](VARIANT& v) { v.cyVal.int64 = value; });
}

VARIANT Date(DATE value) {
    return Made(VT_DATE, [&](VARIANT& v) { v.date = value; });
}

VARIANT Text(const std::u16string& value) {
    return Made(VT_BSTR, [&](VARIANT& v) {
        v.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    });
}

VARIANT Array(SAFEARRAY* array) {
    VARTYPE type = VT_EMPTY;
    SafeArrayGetVartype(array, &type);
    return Made(static_cast<VARTYPE>(VT_ARRAY | type), [&](VARIANT& v) { v.parray = array; });
}

std::u16string Wide(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

std::string Utf8(const std::u16string& wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                        nullptr, nullptr);
    return text;
}

namespace {

std::string Utf8(BSTR text) {
    return client::Utf8(std::u16string(text ? text : u"", SysStringLen(text)));
}

}  // namespace

SAFEARRAY* TextArray(const std::vector<std::string>& texts) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
    for (LONG i = 0; array && i < static_cast<LONG>(texts.size()); ++i) {
        const std::u16string wide = Wide(texts[static_cast<size_t>(i)]);
        BSTR text = SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
        EXPECT_EQ(SafeArrayPutElement(array, &i, text), S_OK);
        SysFreeString(text);
    }
    return array;
}

SAFEARRAY* NumberArray(const std::vector<USHORT>& numbers) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI2, 0, static_cast<ULONG>(numbers.size()));
    for (LONG i = 0; array && i < static_cast<LONG>(numbers.size()); ++i) {
        USHORT number = numbers[static_cast<size_t>(i)];
        EXPECT_EQ(SafeArrayPutElement(array, &i, &number), S_OK);
    }
    return array;
}

DATE Moment(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = testsupport::SystemTime(year, month, day, hour, minute, second);
    DATE date = 0;
    EXPECT_TRUE(SystemTimeToVariantTime(&time, &date));
    return date;
}

std::string NameOf(Member member) {
    return member.name ? std::string(member.name) : "DISPID " + std::to_string(member.dispid);
}

std::string MaskedCallFlow(const std::string& path) {
    static const std::regex stamp(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}:\d{3} \[\d+\])");
    return std::regex_replace(testsupport::ReadFileBytes(path), stamp, "{stamp}");
}

// ---- the driver ----

Driver::~Driver() {
    Reset();
}

void Driver::Reset() {
    if (dispatch_) {
        dispatch_->Release();
        dispatch_ = nullptr;
    }
}

Call Driver::Invoke(Member member, WORD flags, std::vector<VARIANT> arguments, bool namedPut,
                    VARIANT* result) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {arguments.empty() ? nullptr : arguments.data(),
                         namedPut ? &named : nullptr, static_cast<UINT>(arguments.size()),
                         namedPut ? 1u : 0u};
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    Call call;
    call.hr = dispatch_->Invoke(member.dispid, IID_NULL, 0, flags, &params, result, &exception,
                                &call.argumentError);
    call.scode = exception.scode;
    call.description = Utf8(exception.bstrDescription);
    call.source = Utf8(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    for (VARIANT& argument : arguments) {
        VariantClear(&argument);
    }
    return call;
}

Call Driver::Get(Member member, VARIANT* result) {
    return Invoke(member, DISPATCH_PROPERTYGET, {}, false, result);
}

Call Driver::Put(Member member, VARIANT value) {
    return Invoke(member, DISPATCH_PROPERTYPUT, {value}, true, nullptr);
}

Call Driver::Method(Member member) {
    return Invoke(member, DISPATCH_METHOD, {}, false, nullptr);
}

namespace {

// The value of a get that must succeed with `type`.
bool GetTyped(Driver& driver, Member member, VARTYPE type, VARIANT* value) {
    VariantInit(value);
    const Call call = driver.Get(member, value);
    EXPECT_EQ(call.hr, S_OK) << NameOf(member) << ": " << call.description;
    EXPECT_EQ(value->vt, type) << NameOf(member);
    return call.hr == S_OK && value->vt == type;
}

}  // namespace

LONG Driver::GetI4(Member member) {
    VARIANT v;
    return GetTyped(*this, member, VT_I4, &v) ? v.lVal : LONG_MIN;
}

USHORT Driver::GetUI2(Member member) {
    VARIANT v;
    return GetTyped(*this, member, VT_UI2, &v) ? v.uiVal : 0xDEAD;
}

ULONG Driver::GetUI4(Member member) {
    VARIANT v;
    return GetTyped(*this, member, VT_UI4, &v) ? v.ulVal : 0xDEADBEEF;
}

SHORT Driver::GetI2(Member member) {
    VARIANT v;
    return GetTyped(*this, member, VT_I2, &v) ? v.iVal : SHRT_MIN;
}

LONGLONG Driver::GetCy(Member member) {
    VARIANT v;
    return GetTyped(*this, member, VT_CY, &v) ? v.cyVal.int64 : LLONG_MIN;
}

DATE Driver::GetDate(Member member) {
    VARIANT v;
    return GetTyped(*this, member, VT_DATE, &v) ? v.date : -1;
}

std::u16string Driver::GetText(Member member) {
    VARIANT v;
    if (!GetTyped(*this, member, VT_BSTR, &v)) {
        VariantClear(&v);
        return u"<failed>";
    }
    std::u16string text(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
    VariantClear(&v);
    return text;
}

std::string Driver::GetUtf8(Member member) {
    return Utf8(GetText(member));
}

std::vector<std::string> Driver::GetTexts(Member member) {
    VARIANT value;
    std::vector<std::string> texts;
    if (GetTyped(*this, member, VT_ARRAY | VT_BSTR, &value)) {
        LONG upper = -1;
        EXPECT_EQ(SafeArrayGetUBound(value.parray, 1, &upper), S_OK);
        for (LONG i = 0; i <= upper; ++i) {
            BSTR text = nullptr;
            EXPECT_EQ(SafeArrayGetElement(value.parray, &i, &text), S_OK);
            texts.push_back(Utf8(text));
            SysFreeString(text);
        }
    }
    VariantClear(&value);
    return texts;
}

std::vector<LONG> Driver::GetNumbers(Member member, VARTYPE elementType) {
    VARIANT value;
    std::vector<LONG> numbers;
    if (GetTyped(*this, member, static_cast<VARTYPE>(VT_ARRAY | elementType), &value)) {
        LONG upper = -1;
        EXPECT_EQ(SafeArrayGetUBound(value.parray, 1, &upper), S_OK);
        for (LONG i = 0; i <= upper; ++i) {
            if (elementType == VT_UI2) {
                USHORT number = 0;
                EXPECT_EQ(SafeArrayGetElement(value.parray, &i, &number), S_OK);
                numbers.push_back(number);
            } else {
                LONG number = 0;
                EXPECT_EQ(SafeArrayGetElement(value.parray, &i, &number), S_OK);
                numbers.push_back(number);
            }
        }
    }
    VariantClear(&value);
    return numbers;
}

// ---- fixture ----

void ComponentTest::SetUp() {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    initialized_ = true;
    const testsupport::ProgramRun run = RunRegsvr({"-s", ComponentPath()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
}

void ComponentTest::TearDown() {
    if (initialized_) {
        CoUninitialize();
    }
    // Every object released: the library agreed to unload and is gone with its process state.
    EXPECT_FALSE(ComponentLoaded());
}

void ComponentTest::SaveLinkSettings(DWORD port, DWORD baud, DWORD traceMask) {
    testsupport::WriteSetting("", "TraceMask", traceMask);
    testsupport::WriteSetting("Communication", "COM", port);
    testsupport::WriteSetting("Communication", "Baud", baud);
    testsupport::WriteSetting("Fiscal", "MinBill", 1);
}

Driver ComponentTest::Create() {
    CLSID clsid = {};
    EXPECT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid), S_OK);
    IDispatch* dispatch = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&dispatch)),
              S_OK);
    return Driver(dispatch);
}

}  // namespace client
