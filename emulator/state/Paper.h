// The printer's paper: a text file to which every printed line is appended, in Windows-1251 as
// the printer received its texts. Without a file, printing goes nowhere (a printer out of paper
// is a state of its own, not this).
//
// Not thread-safe by itself: the engine calls it with its mutex held.
#pragma once

#include <cstdint>
#include <string>

namespace emu {

class Paper {
  public:
    void SetFile(const std::string& path) { path_ = path; }
    const std::string& File() const { return path_; }

    // Appends the line and a line feed. 0 or a negative errno.
    int Print(const std::string& line);
    // Appends the text as it is (lines already ended by line feeds).
    int PrintText(const std::string& text);
    // The line printed when the printer is switched on: its name and the local date and time.
    int PrintPowerOn();
    // Lines printed so far, with a file or without (what takes the printer's time is printing,
    // not keeping the text).
    uint64_t LinesPrinted() const { return lines_; }

  private:
    std::string path_;
    uint64_t lines_ = 0;
};

}  // namespace emu
