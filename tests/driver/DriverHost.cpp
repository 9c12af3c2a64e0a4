#include "DriverHost.h"

#include <regex>

#include "ComponentClient.h"
#include "DrvKeltorResult.h"
#include "Trace.h"

namespace drivertest {

namespace {

std::string Utf8(BSTR text) {
    return client::Utf8(std::u16string(text ? text : u"", SysStringLen(text)));
}

}  // namespace

ErrorRecord TakeErrorInfo() {
    ErrorRecord record;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) {
        return record;
    }
    record.present = true;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text))) {
        record.description = Utf8(text);
        SysFreeString(text);
    }
    if (SUCCEEDED(info->GetSource(&text))) {
        record.source = Utf8(text);
        SysFreeString(text);
    }
    info->GetGUID(&record.guid);
    info->Release();
    return record;
}

void DriverTest::SetUp() {
    SetCallFlowTraceMask(0);
    SetDriverResultCode(0);
    SetErrorInfo(0, nullptr);
    ASSERT_EQ(printer_.Start(), 0);
    port_ = printer_.RegisterPort();
    ASSERT_GT(port_, 0);
}

void DriverTest::TearDown() {
    SetCallFlowTraceMask(0);
    printer_.Stop();
}

std::unique_ptr<CBrontal> DriverTest::AttachedLayer() {
    auto layer = std::make_unique<CBrontal>();
    EXPECT_EQ(layer->Attach(port_, "9600"), 0);
    return layer;
}

}  // namespace drivertest
