// The operation frame: HRESULTs of result codes, description texts, error information, status
// refreshes and the call-flow lines, with the driver object hosted in-process.
#include <gtest/gtest.h>

#include <climits>

#include "DriverHost.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorResult.h"
#include "Settings.h"
#include "Trace.h"

using namespace drivertest;
using testsupport::Cp1251;

namespace {

TEST(ResultMapping, HResultsOfResultCodes) {
    const struct {
        int code;
        HRESULT hr;
    } table[] = {
        {0, S_OK},
        {1, static_cast<HRESULT>(0x00040001)},
        {19, static_cast<HRESULT>(0x00040013)},
        {-9000, static_cast<HRESULT>(0x80042328)},
        {-9003, static_cast<HRESULT>(0x8004232B)},
        {-9201, static_cast<HRESULT>(0x800423F1)},
        {-9401, static_cast<HRESULT>(0x800424B9)},
        {-9999, static_cast<HRESULT>(0x8004270F)},
        {-8999, E_FAIL},
        {-10000, E_FAIL},
        {-8102, E_FAIL},
        {-1, E_FAIL},
        {INT_MIN, E_FAIL},
    };
    for (const auto& row : table) {
        EXPECT_EQ(HResultFromResultCode(row.code), row.hr) << row.code;
    }
}

TEST(ResultMapping, DriverObjectCodesAndTheirTexts) {
    EXPECT_FALSE(IsDriverObjectCode(-9400));
    EXPECT_TRUE(IsDriverObjectCode(-9401));
    EXPECT_TRUE(IsDriverObjectCode(-9999));
    EXPECT_FALSE(IsDriverObjectCode(-10401));
    EXPECT_FALSE(IsDriverObjectCode(INT_MIN));
    EXPECT_EQ(std::string(DriverResultText(-9401)), Cp1251("Ошибка инициализации драйвера"));
    EXPECT_EQ(std::string(DriverResultText(-9402)),
              Cp1251("Ошибка запуска вспомогательного потока"));
    EXPECT_EQ(std::string(DriverResultText(-9403)),
              Cp1251("Ошибка инициализации вспомогательного потока"));
    EXPECT_EQ(DriverResultText(-9404), nullptr);
}

using Frame = DriverTest;

TEST_F(Frame, WithoutCommandLayerMethodsFailWithTheDriversOwnCode) {
    HostedDriver driver(nullptr);
    EXPECT_EQ(driver.FinalConstruct(), E_FAIL);
    SetCallFlowTraceMask(kCallFlowTraceBit);
    EXPECT_EQ(driver.RefreshStatus(), static_cast<HRESULT>(0x800424B9));
    EXPECT_EQ(DriverResultCode(), -9401);
    EXPECT_EQ(driver.Description(), Cp1251("Ошибка инициализации драйвера"));
    const ErrorRecord error = TakeErrorInfo();
    EXPECT_TRUE(error.present);
    EXPECT_EQ(error.description, "Ошибка инициализации драйвера");
    EXPECT_EQ(error.source, "BrontalOcx.DrvKeltor");
    EXPECT_TRUE(error.guid == IID_IDrvKeltor);
    EXPECT_EQ(MaskedCallFlow(CallFlowPath()),
              "{stamp}CDrvKeltor::RefreshStatus() try...\r\n"
              "{stamp}CDrvKeltor::RefreshStatus() done, res=-9401(0xffffdb47)\r\n");

    // The settings-backed properties need the layer; the others do not.
    CY money = {};
    LONG number = 0;
    USHORT word = 0;
    EXPECT_EQ(driver.get_MinBill(&money), E_FAIL);
    money.int64 = 10000;
    EXPECT_EQ(driver.put_MinBill(money), E_FAIL);
    EXPECT_EQ(driver.get_QuantityPrecision(&number), E_FAIL);
    EXPECT_EQ(driver.put_QuantityPrecision(1), E_FAIL);
    EXPECT_EQ(driver.get_LongNamesHyphenationLength(&word), E_FAIL);
    EXPECT_EQ(driver.put_LongNamesHyphenationLength2(5), E_FAIL);
    EXPECT_EQ(driver.get_NecessityToDownloadEJ(&number), E_FAIL);
    EXPECT_EQ(driver.put_NecessityToDownloadEJ(1), E_FAIL);
    EXPECT_EQ(driver.get_QRCodeSize(&number), E_FAIL);
    EXPECT_EQ(driver.put_QRCodeVersion(4), E_FAIL);
    EXPECT_EQ(driver.get_Status(&word), S_OK);
    EXPECT_EQ(word, 0xFFFF);
    // Unknown options are not read without a layer, and the code stays.
    EXPECT_EQ(driver.get_InitializationOptions(&word), S_OK);
    EXPECT_EQ(word, 0);
    EXPECT_EQ(DriverResultCode(), -9401);
}

TEST_F(Frame, StatusWordsComeFromThePrinter) {
    printer_.SetStatusWords(0x0003, 0x0008);
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    EXPECT_EQ(driver.RefreshStatus(), S_OK);
    EXPECT_EQ(driver.StatusWord(), 0x0003);
    EXPECT_EQ(driver.BlockingWord(), 0x0008);
    USHORT value = 0;
    EXPECT_EQ(driver.get_StateReceiptOpen(&value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(driver.get_StatePrinterReady(&value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(driver.get_StateBlocked(&value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(driver.get_StateBlockedNeedPrintZ(&value), S_OK);
    EXPECT_EQ(value, 1);
    LONG twin = 0;
    EXPECT_EQ(driver.get_StateBlockedNeedPrintZ2(&twin), S_OK);
    EXPECT_EQ(twin, 1);
    EXPECT_EQ(driver.Description(), "");
    EXPECT_FALSE(TakeErrorInfo().present);
}

TEST_F(Frame, TheRefreshUsesTheLastReplyAndAsksOnlyAfterAFailure) {
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    const size_t before = printer_.Frames().size();
    // The attach's "gs" brought a reply: its words serve without an exchange.
    EXPECT_EQ(driver.RefreshPrinterStatus(), 0);
    EXPECT_EQ(printer_.Frames().size(), before);
    EXPECT_EQ(driver.StatusWord(), printer_.StatusWord());

    // After an exchange without a reply, "gs" is sent. One attempt is enough to fail.
    ExtenderSettings.cmdRetryCount = 1;
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.frames = 1000;
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    WORD status = 0;
    WORD blocking = 0;
    EXPECT_NE(driver.CommandLayer()->GetStatus(&status, &blocking), 0);
    printer_.ClearFaults();
    ExtenderSettings.cmdRetryCount = kDefaultCmdRetryCount;
    printer_.SetStatusWords(0x0001, 0);
    const size_t afterFailure = printer_.Frames().size();
    EXPECT_EQ(driver.RefreshPrinterStatus(), 0);
    EXPECT_GT(printer_.Frames().size(), afterFailure);
    EXPECT_EQ(driver.StatusWord(), 0x0001);
}

TEST_F(Frame, ADeviceErrorOfABlockedPrinterSaysSo) {
    printer_.SetStatusWords(0x8001, 0x0008);
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "gs";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    EXPECT_EQ(driver.RefreshStatus(), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(DriverResultCode(), -9201);
    const std::string description = driver.Description();
    const std::string suffix = Cp1251(". ФР заблокирован");
    ASSERT_GT(description.size(), suffix.size());
    EXPECT_EQ(description.substr(description.size() - suffix.size()), suffix);
    EXPECT_EQ(description, Cp1251("ФБ: ошибка очередности вызова команд. ФР заблокирован"));
    EXPECT_EQ(TakeErrorInfo().description, "ФБ: ошибка очередности вызова команд. ФР заблокирован");
}

TEST_F(Frame, AMethodRunsBetweenTwoRefreshesAndTracesItsResult) {
    printer_.SetStatusWords(0x0001, 0);
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    SetCallFlowTraceMask(kCallFlowTraceBit);
    int stepsRun = 0;
    HRESULT hr = RunDeviceMethod(driver, "CDrvKeltor::Probe", [&](CDeviceFrame& frame) {
        ++stepsRun;
        WORD status = 0;
        WORD blocking = 0;
        return frame.Layer().GetStatus(&status, &blocking);
    });
    EXPECT_EQ(hr, S_OK);
    // A failing step: its code is the result; the day is open, so no blocked suffix.
    hr = RunDeviceMethod(driver, "CDrvKeltor::Probe", [&](CDeviceFrame&) {
        ++stepsRun;
        return static_cast<int>(kBrontalBadArguments);
    });
    EXPECT_EQ(hr, static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(driver.Description(), Cp1251("Драйвер: ошибка параметров вызова функции"));
    EXPECT_EQ(stepsRun, 2);
    EXPECT_EQ(MaskedCallFlow(CallFlowPath()),
              "{stamp}CDrvKeltor::Probe() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() done, res=0(0)\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::Probe() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::Probe() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() done, res=0(0)\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() try...\r\n"
              "{stamp}\tCDrvKeltor::RefreshPrinterStatus() done, res=0(0)\r\n"
              "{stamp}CDrvKeltor::Probe() done, res=-9002(0xffffdcd6)\r\n");
}

TEST_F(Frame, ErrorInformationGoesOnlyWithAFailureThatHasAText) {
    printer_.SetStatusWords(0x0001, 0);
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    const auto run = [&](int code) {
        TakeErrorInfo();
        return RunDeviceMethod(driver, "CDrvKeltor::Probe", [&](CDeviceFrame&) { return code; });
    };
    // A link failure: no interface-facility HRESULT, but its text as error information.
    EXPECT_EQ(run(-8102), E_FAIL);
    EXPECT_EQ(driver.Description(), Cp1251("Драйвер X28: ошибка пакета"));
    EXPECT_EQ(TakeErrorInfo().description, "Драйвер X28: ошибка пакета");
    // A success with a note has no text.
    EXPECT_EQ(run(19), static_cast<HRESULT>(0x00040013));
    EXPECT_EQ(DriverResultCode(), 19);
    EXPECT_EQ(driver.Description(), "");
    EXPECT_FALSE(TakeErrorInfo().present);
    // A driver-range code without a text of its own fails without error information.
    EXPECT_EQ(run(-9404), static_cast<HRESULT>(0x800424BC));
    EXPECT_EQ(driver.Description(), "");
    EXPECT_FALSE(TakeErrorInfo().present);
    EXPECT_EQ(run(-9402), static_cast<HRESULT>(0x800424BA));
    EXPECT_EQ(TakeErrorInfo().description, "Ошибка запуска вспомогательного потока");
}

TEST_F(Frame, AFailedFirstRefreshSkipsTheSteps) {
    HostedDriver driver(std::make_unique<CBrontal>());  // never attached
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    bool ran = false;
    const HRESULT hr = RunDeviceMethod(driver, "CDrvKeltor::Probe", [&](CDeviceFrame&) {
        ran = true;
        return 0;
    });
    EXPECT_FALSE(ran);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x8004232B));
    EXPECT_EQ(DriverResultCode(), -9003);
}

TEST_F(Frame, OptionsAreReadFromThePrinterOnce) {
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.FinalConstruct(), S_OK);
    USHORT options = 0;
    EXPECT_EQ(driver.get_InitializationOptions(&options), S_OK);
    EXPECT_EQ(options, 0x0201);  // the virtual printer's options
    EXPECT_EQ(DriverResultCode(), 0);
    const size_t before = printer_.Frames().size();
    LONG twin = 0;
    EXPECT_EQ(driver.get_InitializationOptions2(&twin), S_OK);
    EXPECT_EQ(twin, 0x0201);
    EXPECT_EQ(printer_.Frames().size(), before);
    USHORT restaurant = 1;
    EXPECT_EQ(driver.get_StateRestaurantMode(&restaurant), S_OK);
    EXPECT_EQ(restaurant, 0);
}

}  // namespace
