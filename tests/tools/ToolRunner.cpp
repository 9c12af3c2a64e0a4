#include "ToolRunner.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

extern char** environ;

namespace tooltest {

std::string DrvkeltorPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/bin/drvkeltor";
}

namespace {

// Far beyond what any run of the tests takes; only a tool that hangs meets it.
constexpr int kToolPatienceSeconds = 120;

// Waits for the tool. One that hangs is ended by its id and waited for, so that no test leaves
// it running behind; false then.
bool WaitForTool(pid_t child, int* status) {
    for (int waited = 0; waited < kToolPatienceSeconds * 10; ++waited) {
        const pid_t ended = waitpid(child, status, WNOHANG);
        if (ended == child) {
            return true;
        }
        if (ended < 0 && errno != EINTR) {
            return false;
        }
        usleep(100 * 1000);
    }
    ADD_FAILURE() << "drvkeltor did not end within " << kToolPatienceSeconds << " s; ended";
    kill(child, SIGKILL);
    waitpid(child, status, 0);
    return false;
}

}  // namespace

RunningTool::RunningTool(const std::vector<std::string>& arguments, const std::string& input,
                         int asUser) {
    const std::string inFile = scratch_.file("in.txt");
    testsupport::WriteFileBytes(inFile, input);
    const std::string program = DrvkeltorPath();
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const std::string outFile = scratch_.file("out.txt");
    const std::string errFile = scratch_.file("err.txt");
    pid_ = fork();
    if (pid_ == 0) {
        const int in = open(inFile.c_str(), O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
            dup2(err, 2) < 0) {
            _exit(127);
        }
        if (asUser > 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(asUser)) != 0 ||
                           setuid(static_cast<uid_t>(asUser)) != 0)) {
            _exit(127);
        }
        execve(program.c_str(), argv.data(), environ);
        _exit(errno == EACCES ? 126 : 127);
    }
}

RunningTool::~RunningTool() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void RunningTool::Signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

ToolResult RunningTool::Finish() {
    ToolResult result;
    if (pid_ > 0) {
        int status = 0;
        const bool ended = WaitForTool(pid_, &status);
        pid_ = -1;
        if (ended && WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
    }
    result.out = testsupport::ReadFileBytes(scratch_.file("out.txt"));
    result.err = testsupport::ReadFileBytes(scratch_.file("err.txt"));
    return result;
}

ToolResult RunDrvkeltor(const std::vector<std::string>& arguments, const std::string& input) {
    RunningTool tool(arguments, input);
    return tool.Finish();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string Printable(const std::vector<std::string>& requests) {
    std::string out;
    for (const std::string& request : requests) {
        out += "[";
        for (const char c : request) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte >= 0x7F) {
                char hex[8];  // "\xHH" and the terminator
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
                out += hex;
            } else {
                out += c;
            }
        }
        out += "] ";
    }
    return out;
}

void ToolSession::SetUp() {
    ComponentTest::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_EQ(printer_.Start(), 0);
    port_ = printer_.RegisterPort();
    ASSERT_GT(port_, 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD attempts = 1;
    ASSERT_EQ(RegSetValueExA(key, "CmdRetryCount", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&attempts), sizeof attempts),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void ToolSession::TearDown() {
    printer_.Stop();
    ComponentTest::TearDown();
}

std::vector<std::string> ToolSession::Requests() const {
    std::vector<std::string> requests;
    for (const emu::ReceivedFrame& frame : printer_.Frames()) {
        if (frame.checkOk && !frame.repeated) {
            requests.push_back(frame.payload);
        }
    }
    return requests;
}

std::vector<std::string> ToolSession::Codes() const {
    std::vector<std::string> codes;
    for (const std::string& request : Requests()) {
        codes.push_back(request.substr(0, 2));
    }
    return codes;
}

}  // namespace tooltest
