#include "ToolRunner.h"

namespace tooltest {

namespace {

// Far beyond what any run of the tests takes; only a tool that hangs meets it.
constexpr int kToolPatienceSeconds = 120;

}  // namespace

std::string DrvkeltorPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/bin/drvkeltor";
}

ToolResult RunDrvkeltor(const std::vector<std::string>& arguments, const std::string& input) {
    return RunProgram(DrvkeltorPath(), arguments, input, false, kToolPatienceSeconds);
}

ChildStreams RunningTool::Streams(const TempDir& scratch, const std::string& input, int asUser) {
    ChildStreams streams;
    streams.input = scratch.file("in.txt");
    streams.output = scratch.file("out.txt");
    streams.error = scratch.file("err.txt");
    streams.asUser = asUser;
    WriteFileBytes(streams.input, input);
    return streams;
}

RunningTool::RunningTool(const std::vector<std::string>& arguments, const std::string& input,
                         int asUser)
    : child_(DrvkeltorPath(), arguments, Streams(scratch_, input, asUser)) {}

ToolResult RunningTool::Finish() {
    ToolResult result;
    if (child_.Started()) {
        result.exitCode = child_.Wait(kToolPatienceSeconds);
        if (result.exitCode == kChildRunning) {
            ADD_FAILURE() << "drvkeltor did not end within " << kToolPatienceSeconds << " s; ended";
            child_.Kill();
            result.exitCode = -1;
        }
    }
    result.out = ReadFileBytes(scratch_.file("out.txt"));
    result.err = ReadFileBytes(scratch_.file("err.txt"));
    return result;
}

}  // namespace tooltest
