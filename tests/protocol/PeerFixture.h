// A command layer attached to a scripted printer on COM5, with answers played in order.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "Brontal.h"
#include "ProtocolTestSupport.h"
#include "TestSupport.h"

namespace prottest {

constexpr int kPeerPort = 5;

class PeerFixture : public ::testing::Test {
  protected:
    void SetUp() override;

    // The next requests get these answers, one each; after them the standard ones.
    void Play(std::vector<ScriptedPrinter::Answer> answers);
    // A ready printer: every request gets a reply without error and without data, "gc" gets a
    // table of two currencies.
    static std::string Standard(const PeerRequest& request);

    // Execute with the code and the fields; the reply's data fields land in *data.
    int Run(const std::string& code, const std::string& fields, std::string* data = nullptr,
            int expectReply = 1, DWORD fieldCapacity = 256);

    testsupport::ScopedRegistryDir registry;
    ScriptedPrinter peer;
    CBrontal layer;

  private:
    std::string Answer(const PeerRequest& request);

    std::mutex mutex_;
    std::deque<ScriptedPrinter::Answer> answers_;
};

}  // namespace prottest
