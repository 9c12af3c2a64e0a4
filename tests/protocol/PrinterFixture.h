// A command layer and the virtual printer on COM3 of the test's own registry.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "ProtocolTestSupport.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace prottest {

constexpr int kPrinterPort = 3;

class PrinterFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    // Attaches and forgets the frames of the attachment.
    void AttachAndClear();
    // Payloads of every frame the printer received since the log was cleared.
    std::vector<std::string> Payloads() const;
    std::vector<char> Sequences() const;

    testsupport::ScopedRegistryDir registry;
    emu::VirtualPrinter printer;
    CBrontal layer;
};

}  // namespace prottest
