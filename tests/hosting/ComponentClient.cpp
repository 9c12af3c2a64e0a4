#include "ComponentClient.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>

extern char** environ;

namespace client {

std::string ComponentPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/lib/libBrontalOcx.so";
}

std::string RegsvrPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/bin/regsvr";
}

RunResult RunRegsvr(const std::vector<std::string>& arguments) {
    testsupport::TempDir scratch;
    const std::string outputFile = scratch.file("output.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const std::string program = RegsvrPath();
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    RunResult result;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    result.output = testsupport::ReadFileBytes(outputFile);
    return result;
}

bool ComponentLoaded() {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, ComponentPath().c_str(),
                              &module) != FALSE;
}

// ---- values ----

VARIANT I4(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT UI2(USHORT value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI2;
    v.uiVal = value;
    return v;
}

VARIANT UI4(ULONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI4;
    v.ulVal = value;
    return v;
}

VARIANT Cy(LONGLONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_CY;
    v.cyVal.int64 = value;
    return v;
}

VARIANT Date(DATE value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = value;
    return v;
}

VARIANT Text(const std::u16string& value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return v;
}

VARIANT Array(SAFEARRAY* array) {
    VARIANT v;
    VariantInit(&v);
    VARTYPE type = VT_EMPTY;
    SafeArrayGetVartype(array, &type);
    v.vt = static_cast<VARTYPE>(VT_ARRAY | type);
    v.parray = array;
    return v;
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

Call Driver::Invoke(DISPID dispid, WORD flags, std::vector<VARIANT> arguments, bool namedPut,
                    VARIANT* result) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {arguments.empty() ? nullptr : arguments.data(),
                         namedPut ? &named : nullptr, static_cast<UINT>(arguments.size()),
                         namedPut ? 1u : 0u};
    EXCEPINFO exception;
    std::memset(&exception, 0, sizeof exception);
    Call call;
    call.hr = dispatch_->Invoke(dispid, IID_NULL, 0, flags, &params, result, &exception,
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

Call Driver::Get(DISPID dispid, VARIANT* result) {
    return Invoke(dispid, DISPATCH_PROPERTYGET, {}, false, result);
}

Call Driver::Put(DISPID dispid, VARIANT value) {
    return Invoke(dispid, DISPATCH_PROPERTYPUT, {value}, true, nullptr);
}

Call Driver::Method(DISPID dispid) {
    return Invoke(dispid, DISPATCH_METHOD, {}, false, nullptr);
}

namespace {

// The value of a get that must succeed with `type`.
bool GetTyped(Driver& driver, DISPID dispid, VARTYPE type, VARIANT* value) {
    VariantInit(value);
    const Call call = driver.Get(dispid, value);
    EXPECT_EQ(call.hr, S_OK) << "DISPID " << dispid << ": " << call.description;
    EXPECT_EQ(value->vt, type) << "DISPID " << dispid;
    return call.hr == S_OK && value->vt == type;
}

}  // namespace

LONG Driver::GetI4(DISPID dispid) {
    VARIANT v;
    return GetTyped(*this, dispid, VT_I4, &v) ? v.lVal : LONG_MIN;
}

USHORT Driver::GetUI2(DISPID dispid) {
    VARIANT v;
    return GetTyped(*this, dispid, VT_UI2, &v) ? v.uiVal : 0xDEAD;
}

ULONG Driver::GetUI4(DISPID dispid) {
    VARIANT v;
    return GetTyped(*this, dispid, VT_UI4, &v) ? v.ulVal : 0xDEADBEEF;
}

SHORT Driver::GetI2(DISPID dispid) {
    VARIANT v;
    return GetTyped(*this, dispid, VT_I2, &v) ? v.iVal : SHRT_MIN;
}

LONGLONG Driver::GetCy(DISPID dispid) {
    VARIANT v;
    return GetTyped(*this, dispid, VT_CY, &v) ? v.cyVal.int64 : LLONG_MIN;
}

std::u16string Driver::GetText(DISPID dispid) {
    VARIANT v;
    if (!GetTyped(*this, dispid, VT_BSTR, &v)) {
        VariantClear(&v);
        return u"<failed>";
    }
    std::u16string text(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
    VariantClear(&v);
    return text;
}

// ---- fixture ----

ScopedWorkDir::ScopedWorkDir() {
    char current[PATH_MAX] = {};
    if (getcwd(current, sizeof current)) {
        previous_ = current;
    }
    EXPECT_EQ(chdir(dir_.path().c_str()), 0);
}

ScopedWorkDir::~ScopedWorkDir() {
    if (!previous_.empty()) {
        EXPECT_EQ(chdir(previous_.c_str()), 0);
    }
}

void ComponentTest::SetUp() {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    initialized_ = true;
    const RunResult run = RunRegsvr({"-s", ComponentPath()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

void ComponentTest::TearDown() {
    if (initialized_) {
        CoUninitialize();
    }
    // Every object released: the library agreed to unload and is gone with its process state.
    EXPECT_FALSE(ComponentLoaded());
}

void ComponentTest::SaveLinkSettings(DWORD port, DWORD baud, DWORD traceMask) {
    const auto write = [](const char* path, const char* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    };
    write("SOFTWARE\\Orvane\\Brontl\\Settings", "TraceMask", traceMask);
    write("SOFTWARE\\Orvane\\Brontl\\Settings\\Communication", "COM", port);
    write("SOFTWARE\\Orvane\\Brontl\\Settings\\Communication", "Baud", baud);
    write("SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", "MinBill", 1);
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
