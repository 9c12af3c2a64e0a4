#include "PrinterState.h"

#include <cerrno>

#include "StateText.h"

namespace emu {

std::string SaveState(const PrinterState& state) {
    StateWriter out;
    out.Hex16("status", state.status);
    out.Hex16("blocking", state.blocking);
    return out.text();
}

int LoadState(const std::string& text, PrinterState& state) {
    StateReader in;
    int rc = in.Parse(text);
    if (rc != 0) {
        return rc;
    }
    PrinterState loaded;
    // A value that is there but does not parse is damage, not an item to default.
    if ((in.Has("status") && !in.Hex16("status", loaded.status)) ||
        (in.Has("blocking") && !in.Hex16("blocking", loaded.blocking))) {
        return -EINVAL;
    }
    state = loaded;
    return 0;
}

}  // namespace emu
