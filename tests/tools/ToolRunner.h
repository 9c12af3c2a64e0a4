// Runs drvkeltor as a child process, as a shell script would: the test's registry and current
// folder are inherited, standard input comes from a text, standard output and error are taken
// apart. Also a session of the component and the virtual printer in the same registry.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComponentClient.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace tooltest {

struct ToolResult {
    int exitCode = -1;  // -1: it did not end normally
    std::string out;
    std::string err;
};

std::string DrvkeltorPath();
ToolResult RunDrvkeltor(const std::vector<std::string>& arguments, const std::string& input = "");

// drvkeltor started and left running, for a test that acts on it meanwhile (a signal). Whatever
// the test does, the destructor leaves no process behind.
class RunningTool {
  public:
    // `asUser` > 0: the program runs under that user id (and its group), for a test run as root
    // that needs a user the system refuses things.
    RunningTool(const std::vector<std::string>& arguments, const std::string& input = "",
                int asUser = 0);
    ~RunningTool();
    RunningTool(const RunningTool&) = delete;
    RunningTool& operator=(const RunningTool&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const;
    // Waits for its end (ending it if it hangs) and takes its output.
    ToolResult Finish();

  private:
    testsupport::TempDir scratch_;
    int pid_ = -1;
};

// The lines of a text, without their line feeds.
std::vector<std::string> Lines(const std::string& text);

// Requests with their control bytes spelled out, for failure messages.
std::string Printable(const std::vector<std::string>& requests);

// The component registered in a fresh registry (ComponentTest), the virtual printer on a COM
// port of it, one attempt per command.
class ToolSession : public client::ComponentTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Every request the printer received (repeats not counted again).
    std::vector<std::string> Requests() const;
    std::vector<std::string> Codes() const;
    std::string PortItem() const { return "ComPort=" + std::to_string(port_); }

    emu::VirtualPrinter printer_;
    int port_ = 0;
};

}  // namespace tooltest
