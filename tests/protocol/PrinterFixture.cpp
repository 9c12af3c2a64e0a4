#include "PrinterFixture.h"

namespace prottest {

void PrinterFixture::SetUp() {
    ASSERT_EQ(printer.Start(), 0);
    ASSERT_EQ(printer.RegisterPort(kPrinterPort), kPrinterPort);
    ASSERT_TRUE(UseRetryCount(2));
}

void PrinterFixture::AttachAndClear() {
    ASSERT_EQ(layer.Attach(kPrinterPort, "9600"), 0);
    printer.ClearLog();
}

std::vector<std::string> PrinterFixture::Payloads() const {
    std::vector<std::string> payloads;
    for (const emu::ReceivedFrame& frame : printer.Frames()) {
        payloads.push_back(frame.payload);
    }
    return payloads;
}

std::vector<char> PrinterFixture::Sequences() const {
    std::vector<char> sequences;
    for (const emu::ReceivedFrame& frame : printer.Frames()) {
        sequences.push_back(frame.sequence);
    }
    return sequences;
}

}  // namespace prottest
