#include "Interrupt.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace drvkeltor {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;

// A signal handler may do next to nothing; the note is written by a thread of its own.
std::atomic<bool> g_watching{false};
std::thread* g_watcher = nullptr;

extern "C" void OnInterrupt(int) {
    if (g_interrupts > 0) {
        std::_Exit(kExitInterrupted);
    }
    g_interrupts = 1;
    std::signal(SIGINT, OnInterrupt);  // where the system resets it after each signal
}

void Watch(std::FILE* err) {
    bool told = false;
    while (g_watching.load()) {
        if (!told && g_interrupts > 0) {
            std::fputs(
                "\ndrvkeltor: interrupted: stopping after the call in progress (Ctrl-C again "
                "ends it at once, which may leave the printer in the middle of an exchange)\n",
                err);
            std::fflush(err);
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

void CatchInterrupt(std::FILE* err) {
    std::signal(SIGINT, OnInterrupt);
    if (!g_watcher) {
        g_watching = true;
        g_watcher = new std::thread(Watch, err);
    }
}

void ReleaseInterrupt() {
    std::signal(SIGINT, SIG_DFL);
    if (g_watcher) {
        g_watching = false;
        g_watcher->join();
        delete g_watcher;
        g_watcher = nullptr;
    }
}

bool Interrupted() {
    return g_interrupts > 0;
}

void RequestInterrupt() {
    g_interrupts = 1;
}

}  // namespace drvkeltor
