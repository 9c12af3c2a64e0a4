#include "Progress.h"

namespace drvkeltor {

void InstallTerminalProgress() {
    // PENDING: the platform's presenter hook and its terminal presenter are not in the tree yet
    // (they come with the progress window). Until then the window runs headless, without a bar;
    // installing the presenter here is the only change the tool needs.
}

}  // namespace drvkeltor
