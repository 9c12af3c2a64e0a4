// Programs a test starts: spawned with their standard streams in files or pipes, waited for with
// a bound, and ended by their id, so that no test leaves one running.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// Where a child's standard streams come from and go to.
struct ChildStreams {
    std::string input;           // a file read as standard input; empty: /dev/null
    bool inputPipe = false;      // instead, a pipe the test holds (ChildProcess::CloseInput)
    std::string output;          // a file appended to; empty: the test's own standard output
    bool outputPipe = false;     // instead, a pipe the test reads (ChildProcess::ReadLine)
    std::string error;           // a file appended to; empty: the test's own standard error
    bool errorToOutput = false;  // instead, wherever the output goes
    // The child leads a process group of its own, for programs that start helpers of their own.
    bool ownGroup = false;
    // > 0: the program runs under that user and group id (for a test run as root that needs a
    // user the system refuses things).
    int asUser = 0;
};

// Starts `program` with `arguments` (argv[0] is the program). The child's id, or -1 when it could
// not be started. `pipes` receives the test's ends of the pipes asked for (-1 for the others):
// [0] writes the child's input, [1] reads its output.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const ChildStreams& streams, int pipes[2] = nullptr);
// The same with standard input from /dev/null and the output and error appended to files.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outFile, const std::string& errFile, bool ownGroup = false);

constexpr int kChildRunning = -2;
// Waits up to `seconds` for the child: its exit status, -1 when it did not exit normally (a
// signal), kChildRunning when it is still running.
int WaitForChild(pid_t child, int seconds);

// Ends the child (and its group, when it leads one) with SIGKILL and reaps it.
void KillChild(pid_t child);

// One child for the lifetime of the object: the destructor ends and reaps it, whatever the test
// did.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const ChildStreams& streams = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    void Signal(int signal) const;
    // Ends the child's input pipe: the child reads the end of its input.
    void CloseInput();
    // From the output pipe: the next line without its line feed; empty when none came within
    // `timeoutMs`.
    std::string ReadLine(unsigned timeoutMs = 10000);
    // From the output pipe: everything up to its end, waiting at most `timeoutMs` for each byte.
    std::string ReadOutput(unsigned timeoutMs = 10000);
    // As WaitForChild; once it has ended, the child is reaped and the object holds none.
    int Wait(int seconds);
    // SIGKILL and reaped.
    void Kill();

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

struct ProgramRun {
    int exitCode = -1;  // -1: it did not end normally
    std::string out;
    std::string err;  // empty when `errorToOutput`
};

// Runs the program to its end with `input` as standard input and takes its output apart. One that
// does not end within `seconds` fails the test and is ended by its id.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = std::string(), bool errorToOutput = false,
                      int seconds = 120, int asUser = 0);

}  // namespace testsupport
