// drvkeltor as a user meets it on a real run: a script checked whole before the first call,
// Ctrl-C in the middle of a receipt, results explained in the user's language, the reason a port
// would not open and where autodetection found the printer.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "ToolRunner.h"

namespace tooltest {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr int kNobody = 65534;

class DrvkeltorRun : public ToolSession {
  protected:
    std::vector<std::string> ConnectItems() const {
        return {PortItem(), "BaudRate=9600", "SuppressAutodetect=1", "Connect"};
    }
    size_t CountCode(const std::string& code) const {
        size_t count = 0;
        for (const std::string& each : Codes()) {
            count += each == code ? 1 : 0;
        }
        return count;
    }
};

// The environment variable for one test.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        previous_ = had_ ? old : "";
        setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (had_) {
            setenv(name_, previous_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string previous_;
};

TEST_F(DrvkeltorRun, AScriptWithAnErrorOnLineElevenSendsNothing) {
    testsupport::TempDir dir;
    const std::string script = dir.file("receipt.txt");
    testsupport::WriteFileBytes(script, PortItem() +
                                            "\n"
                                            "BaudRate=9600\n"
                                            "SuppressAutodetect=1\n"
                                            "Connect\n"
                                            "ReceiptType=1\n"
                                            "OpenReceipt\n"
                                            "Article=Хлеб\n"
                                            "Price=8.70\n"
                                            "Quantity=1\n"
                                            "Sale\n"
                                            "Amount=8,70\n"
                                            "PayCash\n"
                                            "CloseReceipt\n");
    const ToolResult run = RunDrvkeltor({"-f", script});
    EXPECT_EQ(run.exitCode, kExitUsage);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find(script + ":11: Amount (CY): \"8,70\" is not an amount"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

// The printer keeps answering SYN to the sale for a while; Ctrl-C meanwhile lets the sale finish
// and stops before the next item, saying that the receipt is open and how to end it.
TEST_F(DrvkeltorRun, CtrlCInAReceiptFinishesTheExchangeAndReportsTheOpenReceipt) {
    emu::Fault slow;
    slow.kind = emu::FaultKind::SynBurst;
    slow.command = "as";
    slow.periodMs = 100;
    slow.durationMs = 1500;
    ASSERT_EQ(printer_.InjectFault(slow), 0);
    std::vector<std::string> items = ConnectItems();
    for (const char* item :
         {"ReceiptType=1", "OpenReceipt", "Article=Хлеб", "Price=8.70", "Quantity=1", "Sale",
          "CompleteReceipt", "Amount=8.70", "PayCash", "CloseReceipt"}) {
        items.push_back(item);
    }
    RunningTool tool(items);
    ASSERT_TRUE(tool.Started());
    bool saleSent = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!saleSent && std::chrono::steady_clock::now() < deadline) {
        for (const std::string& request : Requests()) {
            saleSent = saleSent || request.rfind("as", 0) == 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(saleSent) << Printable(Requests());
    tool.Signal(SIGINT);
    const ToolResult run = tool.Finish();
    EXPECT_EQ(run.exitCode, kExitInterrupted) << run.err;
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Connect: 0 (success)", "OpenReceipt: 0 (success)",
                                        "Sale: 0 (success)"}));
    EXPECT_EQ(Codes().back(), "as") << Printable(Requests());
    EXPECT_EQ(CountCode("re"), 0u);
    EXPECT_NE(run.err.find("stopping after the call in progress"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("interrupted after 10 of 14 items (the last call, Sale, finished)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("a receipt is left open on the printer"), std::string::npos);
    EXPECT_NE(run.err.find(PortItem() + " BaudRate=9600 SuppressAutodetect=1 Connect CancelPrint"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("the day is open"), std::string::npos);
    EXPECT_TRUE(printer_.State().receipt.has_value());
}

TEST_F(DrvkeltorRun, ResultsAreExplainedInTheLanguageOfTheLocale) {
    {
        ScopedVariable russian("LC_ALL", "ru_RU.UTF-8");
        const ToolResult run = RunDrvkeltor({"Sale"});
        EXPECT_EQ(run.exitCode, kExitFailed);
        EXPECT_EQ(Lines(run.out), std::vector<std::string>{
                                      "Sale: -9003 Драйвер: не задан COM-порт. ФР заблокирован "
                                      "(порт не задан: задайте ComPort и BaudRate и вызовите "
                                      "Connect)"});
    }
    ScopedVariable english("LC_ALL", "en_GB.UTF-8");
    std::vector<std::string> items = ConnectItems();
    items.push_back("OpenDay");
    printer_.SetStatusWords(0x0081, 0);  // the day is open already
    const ToolResult run = RunDrvkeltor(items);
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_EQ(Lines(run.out).back(),
              "OpenDay: -9201 ФБ: ошибка очередности вызова команд (the printer says: commands "
              "in the wrong order (a receipt not open, or still open))");
    EXPECT_NE(run.err.find("no receipt is left open"), std::string::npos) << run.err;
}

TEST_F(DrvkeltorRun, AutodetectionTellsWhereItFoundThePrinter) {
    const std::string asked = "ComPort=" + std::to_string(port_ + 7);
    const ToolResult run = RunDrvkeltor({asked, "BaudRate=9600", "Connect"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Lines(run.out), std::vector<std::string>{"Connect: 0 (success)"});
    EXPECT_NE(run.err.find("did not answer on COM" + std::to_string(port_ + 7) +
                           " at 9600 baud, as asked; it was found on COM" + std::to_string(port_) +
                           " at 9600 baud"),
              std::string::npos)
        << run.err;
}

TEST_F(DrvkeltorRun, APortThatIsNotThereOrInUseIsNamedAsSuch) {
    const std::string other = "COM" + std::to_string(port_ + 7);
    const ToolResult missing = RunDrvkeltor({"ComPort=" + std::to_string(port_ + 7),
                                             "BaudRate=9600", "SuppressAutodetect=1", "Connect"});
    EXPECT_EQ(missing.exitCode, kExitFailed);
    EXPECT_NE(missing.err.find(other + ": no such device"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("the system lists COM" + std::to_string(port_) + " (" +
                               printer_.DevicePath() + ")"),
              std::string::npos)
        << missing.err;

    const std::string name = "\\\\.\\COM" + std::to_string(port_);
    HANDLE held = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const ToolResult busy = RunDrvkeltor(ConnectItems());
    CloseHandle(held);
    EXPECT_EQ(busy.exitCode, kExitFailed);
    EXPECT_NE(busy.err.find("COM" + std::to_string(port_) + " (" + printer_.DevicePath() +
                            ") is in use by another program"),
              std::string::npos)
        << busy.err;
}

// A user who may not open the device. As root, who opens every device, the client runs as
// nobody (the test's registry made readable for it); otherwise the device is made unreadable.
TEST_F(DrvkeltorRun, PermissionDeniedOnThePortGivesTheHint) {
    const std::string device = printer_.DevicePath();
    struct stat before {};
    ASSERT_EQ(stat(device.c_str(), &before), 0);
    int user = 0;
    if (geteuid() == 0) {
        user = kNobody;
        for (const std::string& folder : {std::string(std::getenv("BRONTAL_REGISTRY_DIR")),
                                          std::filesystem::current_path().string()}) {
            chmod(folder.c_str(), 0755);
            for (const auto& entry : std::filesystem::directory_iterator(folder)) {
                chmod(entry.path().c_str(), 0644);
            }
        }
        ASSERT_EQ(chmod(device.c_str(), 0600), 0);
    } else {
        ASSERT_EQ(chmod(device.c_str(), 0), 0);
    }
    RunningTool tool(ConnectItems(), "", user);
    const ToolResult run = tool.Finish();
    chmod(device.c_str(), before.st_mode & 07777);
    if (run.exitCode == 126) {
        GTEST_SKIP() << "an unprivileged user cannot reach the build folder";
    }
    EXPECT_EQ(run.exitCode, kExitFailed) << run.err;
    EXPECT_NE(run.err.find(": permission denied. Add the user to the dialout group (sudo usermod "
                           "-aG dialout $USER), then log in again"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(printer_.Frames().empty());
}

}  // namespace
}  // namespace tooltest
