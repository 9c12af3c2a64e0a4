// The component runtime end to end: the test component registered with regsvr into a temporary
// registry, found by ProgID, created plain and aggregated, called through IDispatch, unloaded
// when it agrees, and unregistered again.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TestComponent.h"
#include "ChildProcess.h"
#include "OuterObject.h"
#include "Registry.h"
#include "TestSupport.h"

namespace {

const std::string kComponent = BRONTAL_TESTCOMPONENT_PATH;

// regsvr with the given arguments, waited for; its output and error together in `out`.
testsupport::ProgramRun RunRegsvr(const std::vector<std::string>& arguments) {
    return testsupport::RunProgram(BRONTAL_REGSVR_PATH, arguments, std::string(), true);
}

std::string ReadDefault(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return "<missing>";
    }
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    const LSTATUS status =
        RegQueryValueExA(handle, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? std::string(buffer) : "<no value>";
}

// The default value of HKEY_CLASSES_ROOT\<key>.
void WriteDefault(const std::string& key, const std::string& value) {
    testsupport::WriteText(HKEY_CLASSES_ROOT, key, "", value);
}

bool ComponentLoaded() {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, kComponent.c_str(),
                              &module) != FALSE;
}

class ComRuntime : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override {
        CoUninitialize();
        EXPECT_FALSE(ComponentLoaded());
    }
    void Register() {
        const testsupport::ProgramRun run = RunRegsvr({kComponent});
        ASSERT_EQ(run.exitCode, 0) << run.out;
    }
    IDispatch* CreateDispatch() {
        IDispatch* dispatch = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_BrontalTestObject, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDispatch, reinterpret_cast<void**>(&dispatch)),
                  S_OK);
        return dispatch;
    }

    testsupport::ScopedRegistryDir registry_;
};

TEST_F(ComRuntime, RegsvrWritesAndRemovesTheClassKeys) {
    testsupport::ProgramRun run = RunRegsvr({kComponent});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "DllRegisterServer in " + kComponent + " succeeded.\n");
    const std::string clsidKey = "CLSID\\" TESTCOMPONENT_CLSID_TEXT;
    EXPECT_EQ(ReadDefault(clsidKey + "\\InprocServer32"), kComponent);
    EXPECT_EQ(ReadDefault(clsidKey + "\\ProgID"), TESTCOMPONENT_PROGID);
    EXPECT_EQ(ReadDefault(TESTCOMPONENT_VI_PROGID "\\CurVer"), TESTCOMPONENT_PROGID);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_BrontalTestObject, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), u"Brontal.TestObject.1");
    CoTaskMemFree(progId);

    run = RunRegsvr({"-u", kComponent});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "DllUnregisterServer in " + kComponent + " succeeded.\n");
    EXPECT_EQ(ReadDefault(clsidKey), "<missing>");
    EXPECT_EQ(ReadDefault(TESTCOMPONENT_PROGID), "<missing>");
    EXPECT_EQ(ReadDefault(TESTCOMPONENT_VI_PROGID), "<missing>");
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Brontal.TestObject.1"), &clsid), CO_E_CLASSSTRING);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_BrontalTestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(ProgIDFromCLSID(CLSID_BrontalTestObject, &progId), REGDB_E_CLASSNOTREG);
}

TEST_F(ComRuntime, RegsvrExitCodes) {
    // Bad usage is 1, as for regsvr32, and says how to call it.
    testsupport::ProgramRun usage = RunRegsvr({});
    EXPECT_EQ(usage.exitCode, 1);
    EXPECT_NE(usage.out.find("Usage: regsvr [-u] [-s] [-m] <library>"), std::string::npos)
        << usage.out;
    EXPECT_EQ(RunRegsvr({"-x", kComponent}).exitCode, 1);
    EXPECT_EQ(RunRegsvr({kComponent, kComponent}).exitCode, 1);

    testsupport::ProgramRun run = RunRegsvr({registry_.path() + "/missing.so"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.out.find("could not be found"), std::string::npos) << run.out;
    const std::string notALibrary = registry_.path() + "/text.so";
    testsupport::WriteFileBytes(notALibrary, "not a library\n");
    EXPECT_EQ(RunRegsvr({notALibrary}).exitCode, 3);

    run = RunRegsvr({BRONTAL_RUNTIME_PATH});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.out.find("DllRegisterServer entry point was not found"), std::string::npos)
        << run.out;

    setenv(TESTCOMPONENT_FAIL_VARIABLE, "1", 1);
    run = RunRegsvr({kComponent});
    unsetenv(TESTCOMPONENT_FAIL_VARIABLE);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.out, "DllRegisterServer in " + kComponent + " failed: 0x80040201\n");
    EXPECT_EQ(ReadDefault("CLSID\\" TESTCOMPONENT_CLSID_TEXT), "<missing>");
    // Silent mode says nothing but keeps the exit code.
    run = RunRegsvr({"/s", registry_.path() + "/missing.so"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "");
}

TEST_F(ComRuntime, ProgIDsResolveDirectlyAndThroughCurVer) {
    Register();
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(CLSIDFromProgID(OLESTR("Brontal.TestObject.1"), &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_BrontalTestObject);
    clsid = GUID_NULL;
    ASSERT_EQ(CLSIDFromProgID(OLESTR("brontal.testobject"), &clsid), S_OK);  // only a CurVer
    EXPECT_TRUE(clsid == CLSID_BrontalTestObject);
    clsid = GUID_NULL;
    ASSERT_EQ(CLSIDFromString(OLESTR("Brontal.TestObject"), &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_BrontalTestObject);

    EXPECT_EQ(CLSIDFromProgID(OLESTR("Brontal.Unknown"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(OLESTR(""), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);
    // A CurVer loop ends in a refusal, not a hang; a damaged CLSID text is refused too.
    WriteDefault("Brontal.LoopA\\CurVer", "Brontal.LoopB");
    WriteDefault("Brontal.LoopB\\CurVer", "Brontal.LoopA");
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Brontal.LoopA"), &clsid), CO_E_CLASSSTRING);
    WriteDefault("Brontal.Broken\\CLSID", "{not-a-guid}");
    EXPECT_EQ(CLSIDFromProgID(OLESTR("Brontal.Broken"), &clsid), CO_E_CLASSSTRING);
    EXPECT_TRUE(clsid == CLSID_BrontalTestObject);  // untouched by the failures
    // A ProgID with a character outside the ANSI code page cannot be in the registry.
    EXPECT_EQ(CLSIDFromProgID(u"Brontal.\u4E2D", &clsid), CO_E_CLASSSTRING);
}

TEST_F(ComRuntime, CallsThroughIDispatch) {
    Register();
    IDispatch* dispatch = CreateDispatch();
    ASSERT_NE(dispatch, nullptr);
    OLECHAR addName[] = OLESTR("ADD");
    LPOLESTR names[] = {addName};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, kDispidAdd);

    // Add(2, "40"): arguments travel last first.
    VARIANT args[2];
    VariantInit(&args[0]);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(OLESTR("40"));
    VariantInit(&args[1]);
    args[1].vt = VT_I2;
    args[1].iVal = 2;
    DISPPARAMS call = {args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &call, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 42);
    VariantClear(&args[0]);
    DISPPARAMS oneArgument = {args, nullptr, 1, 0};
    EXPECT_EQ(
        dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &oneArgument, &result, nullptr, nullptr),
        DISP_E_BADPARAMCOUNT);

    // Name = "Касса 1", then read back.
    VARIANT name;
    VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(OLESTR("Касса 1"));
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&name, &putId, 1, 1};
    ASSERT_EQ(dispatch->Invoke(kDispidName, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr,
                               nullptr, nullptr),
              S_OK);
    VariantClear(&name);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(dispatch->Invoke(kDispidName, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                               nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(result.bstrVal), u"Касса 1");
    VariantClear(&result);

    // A failing member leaves its text with the failure and as error information.
    EXCEPINFO exception = {};
    EXPECT_EQ(dispatch->Invoke(kDispidFail, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                               &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(std::u16string(exception.bstrDescription), u"Операция не выполнена");
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
              S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
    support->Release();
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR source = nullptr;
    ASSERT_EQ(info->GetSource(&source), S_OK);
    EXPECT_EQ(std::u16string(source), u"Brontal.TestObject.1");
    SysFreeString(source);
    info->Release();

    // The object's value converts like any dispatch value.
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = dispatch;
    VARIANT text;
    VariantInit(&text);
    ASSERT_EQ(VariantChangeType(&text, &object, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(text.bstrVal), u"Касса 1");
    VariantClear(&text);
    VariantClear(&object);  // releases the object
}

TEST_F(ComRuntime, AggregatedObjectsDelegateToTheirOuterObject) {
    Register();
    testsupport::Outer outer(IID_BrontalOuterOnly);
    void* wrong = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_BrontalTestObject, &outer, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               &wrong),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(wrong, nullptr);
    ASSERT_EQ(CoCreateInstance(CLSID_BrontalTestObject, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_NE(outer.inner, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.references, 1u);

    IDispatch* dispatch = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    // References taken through the inner object's interfaces count on the outer object.
    EXPECT_EQ(outer.references, 2u);
    void* own = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_BrontalOuterOnly, &own), S_OK);
    EXPECT_EQ(own, static_cast<void*>(&outer));
    EXPECT_EQ(outer.ownAnswers, 1);
    static_cast<IUnknown*>(own)->Release();
    dispatch->Release();
    EXPECT_EQ(outer.references, 1u);

    // The inner unknown itself answers only for the object.
    void* nothing = nullptr;
    EXPECT_EQ(outer.inner->QueryInterface(IID_BrontalOuterOnly, &nothing), E_NOINTERFACE);
    outer.inner->Release();
    outer.inner = nullptr;
}

TEST_F(ComRuntime, LibraryStaysLoadedWhileItSaysSo) {
    Register();
    IDispatch* dispatch = CreateDispatch();
    ASSERT_NE(dispatch, nullptr);
    EXPECT_TRUE(ComponentLoaded());
    CoFreeUnusedLibraries();
    EXPECT_TRUE(ComponentLoaded());
    dispatch->Release();

    // A held class factory keeps it too.
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_BrontalTestObject, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    CoFreeUnusedLibraries();
    EXPECT_TRUE(ComponentLoaded());
    factory->Release();

    CoFreeUnusedLibraries();
    EXPECT_FALSE(ComponentLoaded());
    // And it comes back on the next creation.
    dispatch = CreateDispatch();
    ASSERT_NE(dispatch, nullptr);
    EXPECT_TRUE(ComponentLoaded());
    dispatch->Release();
}

TEST_F(ComRuntime, BrokenRegistrationsGiveTheWindowsResults) {
    Register();
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_BrontalTestObject, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               &object),
              REGDB_E_CLASSNOTREG);

    const CLSID other = {
        0x6B1D2A40, 0x4C5F, 0x4E7A, {0x9B, 0x8C, 0x0D, 0x1E, 0x2F, 0x3A, 0x4B, 0x5C}};
    const std::string otherKey = "CLSID\\{6B1D2A40-4C5F-4E7A-9B8C-0D1E2F3A4B5C}";
    WriteDefault(otherKey, "no server key");
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    WriteDefault(otherKey + "\\InprocServer32", registry_.path() + "/missing.so");
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CO_E_DLLNOTFOUND);
    WriteDefault(otherKey + "\\InprocServer32", BRONTAL_RUNTIME_PATH);
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CO_E_ERRORINDLL);
    // The right library, but it does not serve that class.
    WriteDefault(otherKey + "\\InprocServer32", kComponent);
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    // The library path may use backslashes, as a registry written on Windows would.
    std::string windowsPath = kComponent;
    for (char& c : windowsPath) {
        if (c == '/') {
            c = '\\';
        }
    }
    WriteDefault("CLSID\\" TESTCOMPONENT_CLSID_TEXT "\\InprocServer32", windowsPath);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_BrontalTestObject, nullptr, CLSCTX_ALL, IID_IUnknown,
                               reinterpret_cast<void**>(&unknown)),
              S_OK);
    unknown->Release();
}

}  // namespace
