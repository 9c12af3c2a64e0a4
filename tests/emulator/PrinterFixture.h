// A started virtual printer with the test's end of its line open, asked the way a driver asks:
// every request under the next sequence character.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LineClient.h"
#include "ReplyParser.h"
#include "VirtualPrinter.h"

namespace emutest {

class PrinterFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(printer.Start(), 0);
        line = std::make_unique<LineClient>(printer.DevicePath());
        ASSERT_TRUE(line->ok());
    }

    char NextSequence() {
        sequence = sequence == 'Z' ? '0' : static_cast<char>(sequence + 1);
        return sequence;
    }
    // Sends the request and reads the answer.
    std::string Ask(const std::string& payload, unsigned timeoutMs = 2000) {
        return line->Exchange(NextSequence(), payload, timeoutMs);
    }
    ParsedReply AskParsed(const std::string& payload) { return ParseReply(Ask(payload)); }
    // Sends the request and reads nothing.
    bool Tell(const std::string& payload) { return line->Write(Frame(NextSequence(), payload)); }
    // Sends the request and checks that the answer is exactly the frame of `replyPayload`.
    ::testing::AssertionResult Replies(const std::string& request,
                                       const std::string& replyPayload) {
        const char seq = NextSequence();
        const std::string answer = line->Exchange(seq, request);
        const std::string expected = Frame(seq, replyPayload);
        if (answer == expected) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "request " << Printable(request) << "\n  answer   " << Printable(answer)
               << "\n  expected " << Printable(expected);
    }

    static std::string Printable(const std::string& bytes) { return testsupport::Printable(bytes); }

    emu::VirtualPrinter printer;
    std::unique_ptr<LineClient> line;
    char sequence = 'Y';
};

}  // namespace emutest
