#include "Progress.h"

#include <windows.h>

#include <brontal_presenter.h>

namespace drvkeltor {

namespace {

constexpr int kStandardError = 2;

}  // namespace

bool InstallTerminalProgress() {
    // On standard error, so that the results on standard output stay clean for scripts.
    return BrontalInstallTerminalPresenter(kStandardError) != FALSE;
}

}  // namespace drvkeltor
