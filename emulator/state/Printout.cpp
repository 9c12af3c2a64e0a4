#include "Printout.h"

#include "Request.h"

namespace emu {

Printout::Printout(unsigned width)
    : width_(width < kMinPaperWidth   ? kMinPaperWidth
             : width > kMaxPaperWidth ? kMaxPaperWidth
                                      : width) {}

void Printout::Line(const std::string& line) {
    text_ += line;
    text_ += '\n';
}

Printout& Printout::Text(const std::string& text) {
    for (std::string piece : Split(text, '\n')) {
        if (!piece.empty() && piece.back() == '\r') {
            piece.pop_back();
        }
        if (piece.empty()) {
            Line(piece);
            continue;
        }
        for (size_t at = 0; at < piece.size(); at += width_) {
            Line(piece.substr(at, width_));
        }
    }
    return *this;
}

Printout& Printout::Center(const std::string& text) {
    if (text.size() >= width_) {
        return Text(text);
    }
    Line(std::string((width_ - text.size()) / 2, ' ') + text);
    return *this;
}

Printout& Printout::CenterLines(const std::string& text) {
    for (std::string line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            Center(line);
        }
    }
    return *this;
}

Printout& Printout::Pair(const std::string& left, const std::string& right) {
    if (left.size() + 1 + right.size() > width_ || left.find('\n') != std::string::npos) {
        Text(left);
        if (right.size() >= width_) {
            return Text(right);
        }
        Line(std::string(width_ - right.size(), ' ') + right);
        return *this;
    }
    Line(left + std::string(width_ - left.size() - right.size(), ' ') + right);
    return *this;
}

Printout& Printout::Rule(char c) {
    Line(std::string(width_, c));
    return *this;
}

Printout& Printout::Append(const Printout& other) {
    text_ += other.text_;
    return *this;
}

}  // namespace emu
