// The driver object hosted in the test's own process, with the command layer the test gives it,
// so that the frame can be watched against the virtual printer or without any command layer.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "ComponentClient.h"
#include "DrvKeltor.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace drivertest {

// A CDrvKeltor with a do-nothing COM identity: it lives on the stack of the test.
class HostedDriver final : public CDrvKeltor {
  public:
    explicit HostedDriver(std::unique_ptr<CBrontal> layer) : CDrvKeltor(std::move(layer)) {}
    ~HostedDriver() { FinalRelease(); }

    STDMETHOD(QueryInterface)(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

// The error information left on this thread: its description as UTF-8 and its source and GUID.
struct ErrorRecord {
    bool present = false;
    std::string description;
    std::string source;
    GUID guid = GUID_NULL;
};
ErrorRecord TakeErrorInfo();

using client::MaskedCallFlow;

// A fresh registry, a work folder for the trace, the virtual printer on a COM port and a command
// layer attached to it.
class DriverTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A layer attached to the printer ("gs" answered), or a bare one.
    std::unique_ptr<CBrontal> AttachedLayer();
    std::string CallFlowPath() const { return work_.file("callflow.txt"); }

    testsupport::ScopedRegistryDir registry_;
    testsupport::ScopedWorkDir work_;
    emu::VirtualPrinter printer_;
    int port_ = 0;
};

}  // namespace drivertest
