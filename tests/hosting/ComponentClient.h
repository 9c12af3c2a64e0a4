// A client of the driver component, as any program would be: regsvr registers the built library
// into a relocated registry, the object is created by ProgID and called through IDispatch::Invoke
// by DISPID.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace client {

std::string ComponentPath();
std::string RegsvrPath();

struct RunResult {
    int exitCode = -1;
    std::string output;
};
RunResult RunRegsvr(const std::vector<std::string>& arguments);

bool ComponentLoaded();

// What one Invoke gave back; the EXCEPINFO texts as UTF-8.
struct Call {
    HRESULT hr = E_FAIL;
    SCODE scode = S_OK;
    std::string description;
    std::string source;
    UINT argumentError = 0xFFFFFFFF;
};

// VARIANT builders.
VARIANT I4(LONG value);
VARIANT UI2(USHORT value);
VARIANT UI4(ULONG value);
VARIANT Cy(LONGLONG value);
VARIANT Date(DATE value);
VARIANT Text(const std::u16string& value);  // owns a new BSTR
VARIANT Array(SAFEARRAY* array);            // takes the array

std::u16string Wide(const std::string& utf8);
std::string Utf8(const std::u16string& wide);

// One driver object reached through IDispatch.
class Driver {
  public:
    Driver() = default;
    explicit Driver(IDispatch* dispatch) : dispatch_(dispatch) {}
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    Driver(Driver&& other) noexcept : dispatch_(other.dispatch_) { other.dispatch_ = nullptr; }

    IDispatch* get() const { return dispatch_; }
    void Reset();

    // Raw Invoke: `arguments` last first, as Automation passes them; `namedPut` names the first
    // one DISPID_PROPERTYPUT.
    Call Invoke(DISPID dispid, WORD flags, std::vector<VARIANT> arguments, bool namedPut,
                VARIANT* result);
    Call Get(DISPID dispid, VARIANT* result);
    // Frees `value` afterwards.
    Call Put(DISPID dispid, VARIANT value);
    Call Method(DISPID dispid);

    // The getters fail the test unless the get succeeds with the type named.
    LONG GetI4(DISPID dispid);
    USHORT GetUI2(DISPID dispid);
    ULONG GetUI4(DISPID dispid);
    SHORT GetI2(DISPID dispid);
    LONGLONG GetCy(DISPID dispid);
    std::u16string GetText(DISPID dispid);

  private:
    IDispatch* dispatch_ = nullptr;
};

// The process's current folder moved to a fresh folder for the object's lifetime.
class ScopedWorkDir {
  public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;
    std::string file(const std::string& name) const { return dir_.file(name); }

  private:
    testsupport::TempDir dir_;
    std::string previous_;
};

// Registers the built component in a fresh registry and creates objects of it; at the end every
// object must be gone and the library unloaded.
class ComponentTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Writes the saved settings that a set-up object picks up (the Fiscal key must exist).
    void SaveLinkSettings(DWORD port, DWORD baud, DWORD traceMask);
    Driver Create();

    testsupport::ScopedRegistryDir registry_;
    ScopedWorkDir work_;
    bool initialized_ = false;
};

}  // namespace client
