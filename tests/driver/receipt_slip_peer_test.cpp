// A slip line against a printer whose answers the test writes: a printer that cannot say how
// full the slip is once the line is printed.
#include <mutex>

#include "PrinterSession.h"
#include "ScriptedPrinter.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr unsigned kDayAndDocumentOpen = 0x0003;

// Takes every command; "ls" says the slip has no room left for certain (flags 0) until the test
// makes one of its answers a device error.
class SlipPeer {
  public:
    ScriptedPrinter::Answer Answerer() {
        return [this](const PeerRequest& request) {
            std::lock_guard<std::mutex> guard(lock_);
            if (request.payload.substr(0, 2) == "ls" && ++flagReads_ == refusedFlagRead_) {
                return Reply(request, 1, kDayAndDocumentOpen, 0);
            }
            const std::string data = request.payload.substr(0, 2) == "ls" ? "0" : "";
            return Reply(request, 0, kDayAndDocumentOpen, 0, data);
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

class SlipPeerTest : public PeerSession {
  protected:
    void Arrange() override {
        printer_.SetAnswer(peer_.Answerer());
        ConnectTo(kPeerPort);
        PutNumber(member::ReceiptType, 10);
        PutText(member::StringToPrint, "Строка");
        printer_.ClearRequests();
    }

    SlipPeer peer_;
};

TEST_F(SlipPeerTest, ALinePrintedOnASlipThatCannotTellItsRoomIsPrinted) {
    // The line went onto the slip: a flag read that fails after it does not make the line a
    // failure (it would be printed twice), and no slip is ended on a guess.
    peer_.RefuseFlagRead(2);
    const client::Call call = D().Method(member::PrintLine);
    EXPECT_EQ(call.hr, S_OK) << call.description;
    EXPECT_EQ(D().GetI2(member::ResultCode), 0);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"ls", "pl", "ls"}));
}

TEST_F(SlipPeerTest, AFlagReadThatFailsBeforeTheLinePrintsNothing) {
    peer_.RefuseFlagRead(1);
    const client::Call call = D().Method(member::PrintLine);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.scode, static_cast<HRESULT>(0x800423F1));  // -9201
    EXPECT_EQ(D().GetI2(member::ResultCode), -9201);
    EXPECT_EQ(Codes(), std::vector<std::string>{"ls"});
}

}  // namespace
