#include "DriverHost.h"

#include <unistd.h>

#include <climits>
#include <regex>

#include "DrvKeltorResult.h"
#include "Trace.h"

namespace drivertest {

namespace {

std::string Utf8(BSTR text) {
    const std::string cp1251 = [&] {
        std::string narrow;
        const UINT length = SysStringLen(text);
        if (length == 0) {
            return narrow;
        }
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                             nullptr, nullptr);
        narrow.resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size,
                            nullptr, nullptr);
        return narrow;
    }();
    return cp1251;
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

std::string MaskedCallFlow(const std::string& path) {
    static const std::regex stamp(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}:\d{3} \[\d+\])");
    return std::regex_replace(testsupport::ReadFileBytes(path), stamp, "{stamp}");
}

void DriverTest::SetUp() {
    char current[PATH_MAX] = {};
    ASSERT_NE(getcwd(current, sizeof current), nullptr);
    previousDir_ = current;
    ASSERT_EQ(chdir(work_.path().c_str()), 0);
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
    EXPECT_EQ(chdir(previousDir_.c_str()), 0);
}

std::unique_ptr<CBrontal> DriverTest::AttachedLayer() {
    auto layer = std::make_unique<CBrontal>();
    EXPECT_EQ(layer->Attach(port_, "9600"), 0);
    return layer;
}

}  // namespace drivertest
