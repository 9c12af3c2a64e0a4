#include "ToolRunner.h"

#include <fcntl.h>
#include <spawn.h>
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

ToolResult RunDrvkeltor(const std::vector<std::string>& arguments, const std::string& input) {
    testsupport::TempDir scratch;
    const std::string inFile = scratch.file("in.txt");
    const std::string outFile = scratch.file("out.txt");
    const std::string errFile = scratch.file("err.txt");
    testsupport::WriteFileBytes(inFile, input);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const std::string program = DrvkeltorPath();
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    ToolResult result;
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (WaitForTool(child, &status) && WIFEXITED(status)) {
            result.exitCode = WEXITSTATUS(status);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = testsupport::ReadFileBytes(outFile);
    result.err = testsupport::ReadFileBytes(errFile);
    return result;
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
