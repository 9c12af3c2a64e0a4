#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace emu {

int PseudoTerminal::Open() {
    if (IsOpen()) {
        return -EALREADY;
    }
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return -errno;
    }
    // ptsname_r writes "/dev/pts/N"; 64 bytes hold any such name.
    char name[64];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        int error = errno;
        ::close(master);
        return -error;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        int error = errno;
        ::close(master);
        return -error;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) != 0) {
        int error = errno;
        ::close(slave);
        ::close(master);
        return -error;
    }
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    int flags = ::fcntl(master, F_GETFL);
    if (::tcsetattr(slave, TCSANOW, &tio) != 0 || flags < 0 ||
        ::fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        int error = errno;
        ::close(slave);
        ::close(master);
        return -error;
    }
    master_ = master;
    slave_ = slave;
    path_ = name;
    return 0;
}

void PseudoTerminal::Close() {
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    path_.clear();
}

void PseudoTerminal::DiscardInput() {
    if (master_ < 0) {
        return;
    }
    char chunk[256];
    while (::read(master_, chunk, sizeof chunk) > 0) {
    }
}

}  // namespace emu
