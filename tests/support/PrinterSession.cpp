#include "PrinterSession.h"

#include "Registry.h"

namespace client {

Strings Codes(const Strings& requests) {
    Strings codes;
    for (const std::string& request : requests) {
        codes.push_back(request.substr(0, 2));
    }
    return codes;
}

// ---- the client's side ----

void ClientSession::SetUp() {
    ComponentTest::SetUp();
    if (!HasFatalFailure()) {
        testsupport::WriteRetryCount(1);
    }
}

void ClientSession::TearDown() {
    object_.reset();
    ComponentTest::TearDown();
}

void ClientSession::SetTo(Driver& driver, int port, ULONG baud) {
    EXPECT_EQ(driver.Put(member::ComPort, UI2(static_cast<USHORT>(port))).hr, S_OK);
    EXPECT_EQ(driver.Put(member::BaudRate, UI4(baud)).hr, S_OK);
    EXPECT_EQ(driver.Put(member::SuppressAutodetect, UI2(1)).hr, S_OK);
}

Driver ClientSession::ConnectedTo(int port, ULONG baud) {
    Driver driver = Create();
    EXPECT_NE(driver.get(), nullptr);
    if (driver.get()) {
        SetTo(driver, port, baud);
        const Call call = driver.Method(member::Connect);
        EXPECT_EQ(call.hr, S_OK) << call.description;
    }
    return driver;
}

void ClientSession::ConnectTo(int port) {
    object_.emplace(Create());
    ASSERT_NE(D().get(), nullptr);
    SetTo(D(), port);
    const Call call = D().Method(member::Connect);
    ASSERT_EQ(call.hr, S_OK) << call.description;
}

void ClientSession::Run(Member method) {
    const Call call = D().Method(method);
    ASSERT_EQ(call.hr, S_OK) << NameOf(method) << ": " << call.description << "; requests "
                             << testsupport::Printable(Requests());
}

void ClientSession::Put(Member property, VARIANT value) {
    const Call call = D().Put(property, value);
    ASSERT_EQ(call.hr, S_OK) << "put of " << NameOf(property) << ": " << call.description;
}

void ClientSession::PutItems(const Strings& texts, const std::vector<USHORT>& numbers) {
    Put(member::StringTableItems, Array(TextArray(texts)));
    Put(member::IntegerTableItems, Array(NumberArray(numbers)));
}

std::vector<LONGLONG> ClientSession::Amounts(Member method, const std::vector<Member>& properties) {
    Run(method);
    EXPECT_EQ(ResultCode(), 0) << NameOf(method);
    std::vector<LONGLONG> amounts;
    for (const Member property : properties) {
        amounts.push_back(MoneyOf(property));
    }
    return amounts;
}

std::vector<USHORT> ClientSession::HeldNumbers() {
    std::vector<USHORT> numbers;
    for (LONG number : D().GetNumbers(member::IntegerTableItems, VT_UI2)) {
        numbers.push_back(static_cast<USHORT>(number));
    }
    return numbers;
}

// ---- with the virtual printer ----

void PrinterSession::SetUp() {
    ClientSession::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_EQ(printer_.Start(), 0);
    if (registerPrinter_) {
        port_ = printer_.RegisterPort();
        ASSERT_GT(port_, 0);
    }
    if (connectFirst_) {
        Connect();
    }
    if (!HasFatalFailure()) {
        Arrange();
    }
}

void PrinterSession::TearDown() {
    object_.reset();
    printer_.Stop();
    ClientSession::TearDown();
}

Driver PrinterSession::Connected() {
    Driver driver = ConnectedTo(port_);
    printer_.ClearLog();
    return driver;
}

void PrinterSession::Connect() {
    ConnectTo(port_);
    printer_.ClearLog();
}

Strings PrinterSession::Requests() const {
    Strings requests;
    for (const emu::ReceivedFrame& frame : printer_.Frames()) {
        if (frame.checkOk && !frame.repeated) {
            requests.push_back(frame.payload);
        }
    }
    return requests;
}

Strings PrinterSession::Commands() const {
    Strings commands;
    for (const std::string& request : Requests()) {
        if (request != "gs") {
            commands.push_back(request);
        }
    }
    return commands;
}

Strings PrinterSession::FrameCodes() const {
    Strings codes;
    for (const emu::ReceivedFrame& frame : printer_.Frames()) {
        codes.push_back(frame.payload.substr(0, 2));
    }
    return codes;
}

bool PrinterSession::Sent(const std::string& code) const {
    for (const std::string& request : Requests()) {
        if (request.compare(0, 2, code) == 0) {
            return true;
        }
    }
    return false;
}

void PrinterSession::SetStatus(uint16_t status) {
    printer_.SetStatusWords(status, printer_.BlockingWord());
    ASSERT_EQ(Result(member::RefreshStatus), S_OK);
    printer_.ClearLog();
}

void PrinterSession::FailNext(const std::string& command, int code) {
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = code;
    fault.command = command;
    ASSERT_EQ(printer_.InjectFault(fault), 0);
}

void PrinterSession::OpenSaleWithLine(LONGLONG price) {
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    PutText(member::Article, "Хлеб");
    PutMoney(member::Price, price);
    PutMoney(member::Quantity, kUnit);
    Run(member::Sale);
    printer_.ClearLog();
}

void PrinterSession::WriteJournalSettings(DWORD printEJ, DWORD downloadEJ) {
    testsupport::WriteSetting("", "PrintEJ", printEJ);
    testsupport::WriteSetting("", "DownloadEJ", downloadEJ);
}

void PeerSession::SetUp() {
    ClientSession::SetUp();
    if (!HasFatalFailure()) {
        ASSERT_TRUE(printer_.ok());
        ASSERT_TRUE(printer_.Map(kPeerPort));
        Arrange();
    }
}

void PeerSession::TearDown() {
    ClientSession::TearDown();
    printer_.SetAnswer(nullptr);
}

}  // namespace client
