#include "ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "TestSupport.h"

extern char** environ;

namespace testsupport {

namespace {

// In the child between fork and exec only async-signal-safe calls: the files were named and the
// arguments built before the fork.
[[noreturn]] void BecomeProgram(const char* program, char* const* argv, const ChildStreams& streams,
                                const int inputPipe[2], const int outputPipe[2]) {
    const int in =
        streams.inputPipe
            ? inputPipe[0]
            : open(streams.input.empty() ? "/dev/null" : streams.input.c_str(), O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0) {
        _exit(127);
    }
    if (streams.outputPipe || !streams.output.empty()) {
        const int out = streams.outputPipe
                            ? outputPipe[1]
                            : open(streams.output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out < 0 || dup2(out, 1) < 0) {
            _exit(127);
        }
    }
    if (streams.errorToOutput) {
        if (dup2(1, 2) < 0) {
            _exit(127);
        }
    } else if (!streams.error.empty()) {
        const int err = open(streams.error.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (err < 0 || dup2(err, 2) < 0) {
            _exit(127);
        }
    }
    if (streams.ownGroup && setpgid(0, 0) != 0) {
        _exit(127);
    }
    if (streams.asUser > 0 &&
        (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(streams.asUser)) != 0 ||
         setuid(static_cast<uid_t>(streams.asUser)) != 0)) {
        _exit(127);
    }
    execve(program, argv, environ);
    _exit(errno == EACCES ? 126 : 127);
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

}  // namespace

pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const ChildStreams& streams, int pipes[2]) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    int inputPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    if ((streams.inputPipe && pipe2(inputPipe, O_CLOEXEC) != 0) ||
        (streams.outputPipe && pipe2(outputPipe, O_CLOEXEC) != 0)) {
        return -1;
    }
    const pid_t child = fork();
    if (child == 0) {
        BecomeProgram(program.c_str(), argv.data(), streams, inputPipe, outputPipe);
    }
    // A group of its own before the test acts on it, whichever side runs first.
    if (child > 0 && streams.ownGroup) {
        setpgid(child, child);
    }
    CloseFd(inputPipe[0]);
    CloseFd(outputPipe[1]);
    if (pipes) {
        pipes[0] = inputPipe[1];
        pipes[1] = outputPipe[0];
    } else {
        CloseFd(inputPipe[1]);
        CloseFd(outputPipe[0]);
    }
    return child > 0 ? child : -1;
}

pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& outFile, const std::string& errFile, bool ownGroup) {
    ChildStreams streams;
    streams.output = outFile;
    streams.error = errFile;
    streams.ownGroup = ownGroup;
    return SpawnProgram(program, arguments, streams);
}

int WaitForChild(pid_t child, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        int status = 0;
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (ended < 0 && errno != EINTR) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return kChildRunning;
}

void KillChild(pid_t child) {
    if (child <= 0) {
        return;
    }
    // A group leader's id is also its group's: its helpers go with it.
    if (getpgid(child) == child) {
        kill(-child, SIGKILL);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const ChildStreams& streams) {
    int pipes[2] = {-1, -1};
    pid_ = SpawnProgram(program, arguments, streams, pipes);
    input_ = pipes[0];
    output_ = pipes[1];
}

ChildProcess::~ChildProcess() {
    Kill();
    CloseFd(input_);
    CloseFd(output_);
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

void ChildProcess::CloseInput() {
    CloseFd(input_);
}

std::string ChildProcess::ReadLine(unsigned timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd entry = {output_, POLLIN, 0};
        char c = 0;
        if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) <= 0 ||
            read(output_, &c, 1) != 1) {
            return {};
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

std::string ChildProcess::ReadOutput(unsigned timeoutMs) {
    std::string text;
    char chunk[256];
    for (;;) {
        pollfd entry = {output_, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(timeoutMs)) <= 0) {
            return text;
        }
        const ssize_t n = read(output_, chunk, sizeof chunk);
        if (n <= 0) {
            return text;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
}

int ChildProcess::Wait(int seconds) {
    if (pid_ <= 0) {
        return -1;
    }
    const int status = WaitForChild(pid_, seconds);
    if (status != kChildRunning) {
        pid_ = -1;
    }
    return status;
}

void ChildProcess::Kill() {
    KillChild(pid_);
    pid_ = -1;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input, bool errorToOutput, int seconds, int asUser) {
    TempDir scratch;
    ChildStreams streams;
    streams.input = scratch.file("in.txt");
    streams.output = scratch.file("out.txt");
    streams.error = errorToOutput ? std::string() : scratch.file("err.txt");
    streams.errorToOutput = errorToOutput;
    streams.asUser = asUser;
    WriteFileBytes(streams.input, input);
    ProgramRun run;
    ChildProcess child(program, arguments, streams);
    if (child.Started()) {
        run.exitCode = child.Wait(seconds);
        if (run.exitCode == kChildRunning) {
            ADD_FAILURE() << program << " did not end within " << seconds << " s; ended";
            run.exitCode = -1;
        }
    }
    run.out = ReadFileBytes(streams.output);
    run.err = errorToOutput ? std::string() : ReadFileBytes(streams.error);
    return run;
}

}  // namespace testsupport
