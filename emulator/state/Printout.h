// Text laid out for the printer's paper: lines of at most the mechanism's width, each ended by a
// line feed. Texts are Windows-1251, one byte a character.
#pragma once

#include <string>

namespace emu {

constexpr unsigned kMinPaperWidth = 24;
constexpr unsigned kMaxPaperWidth = 80;

class Printout {
  public:
    explicit Printout(unsigned width);

    // The text as lines: broken at its line feeds and wrapped at the width.
    Printout& Text(const std::string& text);
    Printout& Center(const std::string& text);
    // Each line of the text centred (lines end with LF or CR LF); empty lines are left out.
    Printout& CenterLines(const std::string& text);
    // `left` and `right` on one line, `right` against the right edge; on two lines when they do
    // not fit together.
    Printout& Pair(const std::string& left, const std::string& right);
    Printout& Rule(char c = '-');
    Printout& Append(const Printout& other);

    const std::string& text() const { return text_; }
    bool empty() const { return text_.empty(); }
    unsigned width() const { return width_; }

  private:
    void Line(const std::string& line);

    unsigned width_;
    std::string text_;
};

}  // namespace emu
