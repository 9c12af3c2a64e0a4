#include "BenchClock.h"

#include <chrono>
#include <ctime>
#include <string>

#include <windows.h>

namespace bench {

namespace {

double Seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

typedef HRESULT(STDAPICALLTYPE* RegisterFunction)();

}  // namespace

double ProcessCpuSeconds() {
    return Seconds(CLOCK_PROCESS_CPUTIME_ID);
}

double ThreadCpuSeconds() {
    return Seconds(CLOCK_THREAD_CPUTIME_ID);
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool RegisterComponent() {
    const std::string path = std::string(BRONTAL_BINARY_DIR) + "/lib/libBrontalOcx.so";
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        return false;
    }
    const auto reg =
        reinterpret_cast<RegisterFunction>(GetProcAddress(library, "DllRegisterServer"));
    const bool registered = reg && reg() == S_OK;
    FreeLibrary(library);
    return registered;
}

}  // namespace bench
