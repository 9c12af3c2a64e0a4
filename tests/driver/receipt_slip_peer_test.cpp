// A slip line against a printer whose answers the test writes: a printer that cannot say how
// full the slip is once the line is printed.
#include <mutex>

#include "ReceiptSession.h"
#include "ScriptedPrinter.h"

namespace receipttest {
namespace {

constexpr int kPort = 7;
constexpr unsigned kDayAndDocumentOpen = 0x0003;

// Takes every command; "ls" says the slip has no room left for certain (flags 0) until the test
// makes one of its answers a device error.
class SlipPeer {
  public:
    prottest::ScriptedPrinter::Answer Answerer() {
        return [this](const prottest::PeerRequest& request) {
            std::lock_guard<std::mutex> guard(lock_);
            if (request.payload.substr(0, 2) == "ls" && ++flagReads_ == refusedFlagRead_) {
                return prottest::Reply(request, 1, kDayAndDocumentOpen, 0);
            }
            const std::string data = request.payload.substr(0, 2) == "ls" ? "0" : "";
            return prottest::Reply(request, 0, kDayAndDocumentOpen, 0, data);
        };
    }
    // The `n`th "ls" from now on is refused.
    void RefuseFlagRead(int n) {
        std::lock_guard<std::mutex> guard(lock_);
        flagReads_ = 0;
        refusedFlagRead_ = n;
    }

  private:
    std::mutex lock_;
    int flagReads_ = 0;
    int refusedFlagRead_ = 0;
};

class SlipPeerTest : public client::ComponentTest {
  protected:
    void SetUp() override {
        ComponentTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(printer_.ok());
        ASSERT_TRUE(printer_.Map(kPort));
        printer_.SetAnswer(peer_.Answerer());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal",
                                  0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const DWORD once = 1;
        ASSERT_EQ(RegSetValueExA(key, "CmdRetryCount", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&once), sizeof once),
                  ERROR_SUCCESS);
        RegCloseKey(key);

        driver_.emplace(Create());
        ASSERT_EQ(driver_->Put(kComPort, client::UI2(kPort)).hr, S_OK);
        ASSERT_EQ(driver_->Put(kBaudRate, client::UI4(9600)).hr, S_OK);
        const client::Call call = driver_->Method(kConnect);
        ASSERT_EQ(call.hr, S_OK) << call.description;
        ASSERT_EQ(driver_->Put(kReceiptType, client::UI2(10)).hr, S_OK);
        ASSERT_EQ(driver_->Put(kStringToPrint, client::Text(u"Строка")).hr, S_OK);
        printer_.ClearRequests();
    }
    void TearDown() override {
        driver_.reset();
        ComponentTest::TearDown();
    }

    std::vector<std::string> Codes() const {
        std::vector<std::string> codes;
        for (const std::string& payload : printer_.Payloads()) {
            codes.push_back(payload.substr(0, 2));
        }
        return codes;
    }

    prottest::ScriptedPrinter printer_;
    SlipPeer peer_;
    std::optional<client::Driver> driver_;
};

TEST_F(SlipPeerTest, ALinePrintedOnASlipThatCannotTellItsRoomIsPrinted) {
    // The line went onto the slip: a flag read that fails after it does not make the line a
    // failure (it would be printed twice), and no slip is ended on a guess.
    peer_.RefuseFlagRead(2);
    const client::Call call = driver_->Method(kPrintLine);
    EXPECT_EQ(call.hr, S_OK) << call.description;
    EXPECT_EQ(driver_->GetI2(kResultCode), 0);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"ls", "pl", "ls"}));
}

TEST_F(SlipPeerTest, AFlagReadThatFailsBeforeTheLinePrintsNothing) {
    peer_.RefuseFlagRead(1);
    const client::Call call = driver_->Method(kPrintLine);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, static_cast<HRESULT>(0x800423F1));  // -9201
    EXPECT_EQ(driver_->GetI2(kResultCode), -9201);
    EXPECT_EQ(Codes(), std::vector<std::string>{"ls"});
}

}  // namespace
}  // namespace receipttest
