// The pseudo-terminal the virtual printer sits on: the driver opens the slave side as its serial
// device, the printer reads and writes the master side.
//
// The printer keeps a slave descriptor of its own open for the pseudo-terminal's whole life: a
// master whose last slave is closed reports a hang-up on every poll and loses what was queued,
// so without it the printer would not survive the driver closing and reopening the port.
#pragma once

#include <string>

namespace emu {

class PseudoTerminal {
  public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { Close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens the pair and puts the slave in raw mode at once, so that nothing the driver sends is
    // echoed back or edited as a line. 0 or a negative errno.
    int Open();
    void Close();
    bool IsOpen() const { return master_ >= 0; }

    int master() const { return master_; }  // non-blocking
    const std::string& DevicePath() const { return path_; }
    // Throws away whatever the driver sent and the printer has not read yet.
    void DiscardInput();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace emu
