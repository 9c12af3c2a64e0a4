// A virtual printer for the fiscal tests: its clock stands still, reports answer at once, its
// paper goes to a file of the test; requests are built from fields and their replies read back
// field by field.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "PrinterFixture.h"
#include "TestSupport.h"

namespace emutest {

// The reply of one request, taken apart.
struct Answer {
    bool ok = false;
    unsigned error = 0;
    uint16_t status = 0;
    std::vector<std::string> fields;  // the data cut at FS (a compound field keeps its GS)

    // The parts of field `i` cut at GS; empty when there is no such field.
    std::vector<std::string> Parts(size_t i) const {
        return i < fields.size() ? Pieces(fields[i] + GS, GS) : std::vector<std::string>();
    }
};

inline std::string Request(const std::string& code, std::initializer_list<std::string> fields) {
    std::string payload = code;
    for (const std::string& field : fields) {
        payload += FS;
        payload += field;
    }
    return payload;
}

inline std::string Parts(std::initializer_list<std::string> parts) {
    std::string field;
    bool first = true;
    for (const std::string& part : parts) {
        if (!first) {
            field += GS;
        }
        field += part;
        first = false;
    }
    return field;
}

class FiscalFixture : public PrinterFixture {
  protected:
    void SetUp() override {
        printer.SetPaperFile(dir.file("paper.txt"));
        printer.SetReportTime(0);
        ASSERT_EQ(printer.SetFixedClock({2026, 12, 7, 10, 30, 0}), 0);
        PrinterFixture::SetUp();
    }

    Answer Send(const std::string& payload) {
        const ParsedReply reply = ParseReply(Ask(payload));
        Answer answer;
        answer.ok = reply.ok;
        answer.error = reply.error;
        answer.status = reply.status;
        if (reply.hasData) {
            answer.fields = Pieces(reply.data, FS);
        }
        return answer;
    }
    Answer Send(const std::string& code, std::initializer_list<std::string> fields) {
        return Send(Request(code, fields));
    }
    // The device error of the request (0x100 when no sound reply came).
    unsigned Error(const std::string& code, std::initializer_list<std::string> fields = {}) {
        const Answer answer = Send(code, fields);
        return answer.ok ? answer.error : 0x100;
    }

    // A sale of one article at `price` in department 1, totalled, paid in cash and ended.
    void SellAndClose(const std::string& price, const std::string& cash) {
        ASSERT_EQ(Error("rb", {"1"}), 0u);
        ASSERT_EQ(Error("as", {W("Хлеб"), price, "1"}), 0u);
        ASSERT_EQ(Error("rt", {price}), 0u);
        ASSERT_EQ(Error("rc", {cash}), 0u);
        ASSERT_EQ(Error("re"), 0u);
    }

    // The paper printed so far, as UTF-8.
    std::string Paper() {
        return testsupport::Utf8(testsupport::ReadFileBytes(dir.file("paper.txt")));
    }
    static std::string W(const std::string& utf8) { return testsupport::Cp1251(utf8); }

    testsupport::TempDir dir;
};

}  // namespace emutest
