#include "PeerFixture.h"

namespace prottest {

void PeerFixture::SetUp() {
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.Map(kPeerPort));
    ASSERT_TRUE(UseRetryCount(2));
    peer.SetAnswer([this](const PeerRequest& request) { return Answer(request); });
    ASSERT_EQ(layer.Attach(kPeerPort, "9600"), 0);
    peer.ClearRequests();
}

void PeerFixture::Play(std::vector<ScriptedPrinter::Answer> answers) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.assign(answers.begin(), answers.end());
}

std::string PeerFixture::Answer(const PeerRequest& request) {
    ScriptedPrinter::Answer next;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!answers_.empty()) {
            next = answers_.front();
            answers_.pop_front();
        }
    }
    return next ? next(request) : Standard(request);
}

std::string PeerFixture::Standard(const PeerRequest& request) {
    const std::string code = request.payload.substr(0, 2);
    if (code == "gc") {
        return Reply(request, 0, 0x00C0, 0,
                     "0" + FS + "uah" + FS + "1" + GS + "USD" + GS + "2" + FS + "2" + GS + "UAH" +
                         GS + "2" + FS);
    }
    return Reply(request, 0, 0x00C0, 0);
}

int PeerFixture::Run(const std::string& code, const std::string& fields, std::string* data,
                     int expectReply, DWORD fieldCapacity) {
    char command[32] = {};
    code.copy(command, sizeof command - 1);
    std::vector<char> buffer(fieldCapacity, '\0');
    fields.copy(buffer.data(), fieldCapacity - 1);
    const int result =
        layer.Execute(command, sizeof command, buffer.data(), fieldCapacity, expectReply);
    if (data) {
        *data = buffer.data();
    }
    return result;
}

}  // namespace prottest
