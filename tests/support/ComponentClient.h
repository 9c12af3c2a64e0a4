// A client of the driver component, as any program would be: regsvr registers the built library
// into the test's registry, the object is created by ProgID and called through
// IDispatch::Invoke, its members named from the catalogue (Members.h).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Members.h"
#include "TestSupport.h"

namespace client {

using member::Member;

std::string ComponentPath();
std::string RegsvrPath();
// regsvr with `arguments`; its output and error together in `out`.
testsupport::ProgramRun RunRegsvr(const std::vector<std::string>& arguments);

bool ComponentLoaded();

// What one Invoke gave back; the EXCEPINFO texts as UTF-8.
struct Call {
    HRESULT hr = E_FAIL;
    SCODE scode = S_OK;
    std::string description;
    std::string source;
    UINT argumentError = 0xFFFFFFFF;
};

// What the member returned to its caller: a failure reaches an Invoke caller as
// DISP_E_EXCEPTION with the member's own HRESULT in the exception information.
HRESULT Outcome(const Call& call);
// The HRESULT of a driver result code (a negative number) in the interface facility.
HRESULT Failure(int code);

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

// New one-dimensional arrays, lower bound 0, as a client builds them: texts from UTF-8.
SAFEARRAY* TextArray(const std::vector<std::string>& texts);
SAFEARRAY* NumberArray(const std::vector<USHORT>& numbers);

// An Automation date of a calendar day and time.
DATE Moment(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0);

// One driver object reached through IDispatch. Members are named by the catalogue's constants
// (member::Sale); a bare DISPID stands for identifiers the catalogue does not have.
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
    Call Invoke(Member member, WORD flags, std::vector<VARIANT> arguments, bool namedPut,
                VARIANT* result);
    Call Get(Member member, VARIANT* result);
    // Frees `value` afterwards.
    Call Put(Member member, VARIANT value);
    Call Method(Member member);

    // The getters fail the test unless the get succeeds with the type named.
    LONG GetI4(Member member);
    USHORT GetUI2(Member member);
    ULONG GetUI4(Member member);
    SHORT GetI2(Member member);
    LONGLONG GetCy(Member member);
    DATE GetDate(Member member);
    std::u16string GetText(Member member);
    // A BSTR property as UTF-8.
    std::string GetUtf8(Member member);
    // Array properties: texts as UTF-8, numbers widened.
    std::vector<std::string> GetTexts(Member member);
    std::vector<LONG> GetNumbers(Member member, VARTYPE elementType);

  private:
    IDispatch* dispatch_ = nullptr;
};

// How a member shows in failure messages: its name, or its DISPID.
std::string NameOf(Member member);

// The call-flow trace the object writes, with each line's stamp replaced by "{stamp}".
std::string MaskedCallFlow(const std::string& path);

// Registers the built component in a fresh registry and creates objects of it; at the end every
// object must be gone and the library unloaded.
class ComponentTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Writes the saved settings that a set-up object picks up.
    void SaveLinkSettings(DWORD port, DWORD baud, DWORD traceMask);
    Driver Create();

    testsupport::ScopedRegistryDir registry_;
    testsupport::ScopedWorkDir work_;
    bool initialized_ = false;
};

}  // namespace client
