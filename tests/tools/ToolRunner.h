// drvkeltor run as a child process, as a shell script would: the test's registry and current
// folder are inherited, standard input comes from a text, standard output and error are taken
// apart. The tests run it beside a session of the component and the virtual printer.
#pragma once

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "PrinterSession.h"

namespace tooltest {

using namespace client;
using namespace testsupport;

using ToolResult = ProgramRun;

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

    bool Started() const { return child_.Started(); }
    void Signal(int signal) const { child_.Signal(signal); }
    // Waits for its end (ending it if it hangs) and takes its output.
    ToolResult Finish();

  private:
    static ChildStreams Streams(const TempDir& scratch, const std::string& input, int asUser);

    TempDir scratch_;
    ChildProcess child_;
};

// The component and the virtual printer of PrinterSession; the port as a drvkeltor item.
class ToolSession : public PrinterSession {
  protected:
    std::string PortItem() const { return "ComPort=" + std::to_string(port_); }
};

}  // namespace tooltest
