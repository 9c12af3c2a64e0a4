// Programs a test starts: spawned with their output in files, waited for with a bound, and ended
// by their id, so that no test leaves one running.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// Starts `program` with `arguments` (argv[0] is the program), standard input from /dev/null,
// standard output and error appended to `outFile` and `errFile`; with `ownGroup` the child
// leads a process group of its own, for programs that start helpers of their own. The child's
// id, or -1 when it could not be started.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outFile, const std::string& errFile, bool ownGroup = false);

constexpr int kChildRunning = -2;
// Waits up to `seconds` for the child: its exit status, -1 when it did not exit normally (a
// signal), kChildRunning when it is still running.
int WaitForChild(pid_t child, int seconds);

// Ends the child (and its group, when it leads one) with SIGKILL and reaps it.
void KillChild(pid_t child);

}  // namespace testsupport
