// DrvKeltortest as a person starts it: the program under a real X server (Xvfb, started here
// and ended by its pid) shows its main window.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "UtilitySession.h"

extern char** environ;

namespace utiltest {
namespace {

// Far beyond what a start takes on any machine; only a program that never shows meets it.
constexpr auto kPatience = std::chrono::seconds(90);

// A child process, ended by its id when it goes.
class CChild {
  public:
    CChild() = default;
    ~CChild() { End(); }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool Start(const std::vector<std::string>& words, const std::vector<std::string>& environment,
               posix_spawn_file_actions_t* actions = nullptr) {
        std::vector<std::string> copy = words;
        std::vector<char*> argv;
        for (std::string& word : copy) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env = environment;
        for (char** item = environ; *item; ++item) {
            env.emplace_back(*item);
        }
        std::vector<char*> envp;
        for (std::string& item : env) {
            envp.push_back(item.data());
        }
        envp.push_back(nullptr);
        return posix_spawnp(&pid_, argv[0], actions, nullptr, argv.data(), envp.data()) == 0;
    }
    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    void End() {
        if (pid_ <= 0) {
            return;
        }
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (waitpid(pid_, &status, WNOHANG) == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
};

// What a command prints on its standard output.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char block[4096];
        size_t got = 0;
        while ((got = fread(block, 1, sizeof block, pipe)) > 0) {
            out.append(block, got);
        }
        pclose(pipe);
    }
    return out;
}

class XServer : public UtilitySession {};

TEST_F(XServer, DrvKeltortestShowsItsWindowUnderXvfb) {
    // Xvfb picks a free display and writes its number on the pipe.
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    CChild xvfb;
    const bool started =
        xvfb.Start({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                   {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    ASSERT_TRUE(started) << "Xvfb could not be started";
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd waitFor = {pipeFds[0], POLLIN, 0};
        if (poll(&waitFor, 1, 200) > 0) {
            char c = 0;
            if (read(pipeFds[0], &c, 1) != 1) {
                break;
            }
            number += c;
        }
    }
    close(pipeFds[0]);
    ASSERT_NE(number.find('\n'), std::string::npos) << "Xvfb gave no display";
    const std::string display = ":" + number.substr(0, number.find('\n'));

    // libxkbcommon-x11 copies the X server's atom names with strndup and a length that runs to
    // the end of xcb's reply; strict string checks take that for an overflow in the system
    // library. The program keeps every other check of the run.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string options =
        std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") + ":strict_string_checks=0";
    CChild program;
    ASSERT_TRUE(program.Start({std::string(BRONTAL_BINARY_DIR) + "/bin/DrvKeltortest"},
                              {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", options}));
    std::string tree;
    bool shown = false;
    while (!shown && program.Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        tree = Output("xwininfo -root -tree -display " + display + " 2>/dev/null");
        shown = tree.find("(\"DrvKeltortest\" \"DrvKeltortest\")") != std::string::npos;
    }
    ASSERT_TRUE(shown) << tree;
    EXPECT_TRUE(program.Running()) << "the program ended by itself";
    // The main window, by its class: mapped, with its title and a size.
    const size_t line = tree.rfind('\n', tree.find("(\"DrvKeltortest\" \"DrvKeltortest\")")) + 1;
    const std::string entry = tree.substr(line, tree.find('\n', line) - line);
    const size_t idStart = entry.find_first_not_of(' ');
    const std::string id = entry.substr(idStart, entry.find(' ', idStart) - idStart);
    const std::string info = Output("xwininfo -id " + id + " -display " + display + " 2>/dev/null");
    EXPECT_NE(info.find("Map State: IsViewable"), std::string::npos) << info;
    EXPECT_NE(entry.find("\"Тест драйвера ФР " BRONTAL_VERSION "\""), std::string::npos) << entry;
    program.End();
    xvfb.End();
}

}  // namespace
}  // namespace utiltest
