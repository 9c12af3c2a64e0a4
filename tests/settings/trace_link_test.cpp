#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AsyncComX28.h"
#include "Settings.h"
#include "SettingsPath.h"
#include "SettingsTesting.h"
#include "TestSupport.h"
#include "Trace.h"
#include "VirtualPrinter.h"

namespace {

constexpr DWORD kReplyBudgetMs = 2000;
const std::string kSeparator = "/" + std::string(78, '-') + "/";
const std::string kErrorRule = "/" + std::string(78, '!') + "/";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// How the trace shows a reply whose fields hold only text, FS and GS.
std::string ShownReply(char sequence, const std::string& payload, BYTE check) {
    char code[16];
    std::snprintf(code, sizeof code, "[STX:%02X]", static_cast<unsigned>(sequence));
    std::string shown = code;
    for (char c : payload) {
        shown += c == '\x1C' ? "[FS]" : c == '\x1D' ? "[GS]" : std::string(1, c);
    }
    std::snprintf(code, sizeof code, "[ETX]%02X", static_cast<unsigned>(check));
    return shown + code;
}

class TraceLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settingstest::ResetRecord();
        InstallLinkTraceHooks();
        // Start from "received", as a fresh process does.
        const std::string scratch = spare.file("scratch.txt");
        ASSERT_TRUE(StoreTracePath(scratch.c_str(), static_cast<DWORD>(scratch.size())));
        ExtenderSettings.traceMask = kPacketTraceBit;
        const BYTE syn = 0x16;
        TracePacket(&syn, 1, 0);
        ASSERT_TRUE(StoreTracePath(trace.c_str(), static_cast<DWORD>(trace.size())));
        ExtenderSettings.traceMask = kRawDataTraceBit | kPacketTraceBit;

        ASSERT_EQ(printer.Start(), 0);
        const int port = printer.RegisterPort();
        ASSERT_GT(port, 0);
        link = std::make_unique<AsyncComX28>(port, 9600, 0, 8, 0, 1);
        ASSERT_EQ(link->Open(), 0);
    }
    void TearDown() override {
        link.reset();
        printer.Stop();
        settingstest::ResetRecord();
    }

    // One "gs" exchange; the reply payload in `payload`.
    // One request as the command layer makes it: a new character unless the last one was
    // answered, and the answer confirmed.
    int Exchange(std::string& payload) {
        link->NewRequest();
        const int written = link->Write(reinterpret_cast<const BYTE*>("gs"), 2, 1000);
        if (written < 0) {
            return written;
        }
        BYTE reply[1024] = {};
        const int got = link->Read(reply, sizeof reply, kReplyBudgetMs);
        payload = got > 0 ? std::string(reinterpret_cast<const char*>(reply), got) : "";
        if (got > 0) {
            link->Confirm();
        }
        return got;
    }

    std::vector<std::string> TraceLines() {
        return Lines(settingstest::MaskedTrace(trace, GetCurrentThreadId()));
    }

    testsupport::ScopedRegistryDir registry;
    testsupport::TempDir spare;
    settingstest::ScopedWorkDir work;
    std::string trace = work.file("x28.txt");
    emu::VirtualPrinter printer;
    std::unique_ptr<AsyncComX28> link;
};

BYTE CheckByte(char sequence, const std::string& payload) {
    BYTE check = static_cast<BYTE>(sequence);
    for (char c : payload) {
        check ^= static_cast<BYTE>(c);
    }
    return check ^ 0x03;
}

TEST_F(TraceLinkTest, StatusExchangeAsTheTraceShowsIt) {
    std::string payload;
    ASSERT_GT(Exchange(payload), 2);
    const std::vector<std::string> lines = TraceLines();
    const std::string frameDump =
        "       00000000 02 5A 67 73 03 4D" + std::string(30, ' ') + " \xB7Zgs\xB7M";
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], kSeparator);
    EXPECT_EQ(lines[1], "{stamp}>> raw data [6 byte]:");
    EXPECT_EQ(lines[2], frameDump);
    EXPECT_EQ(lines[3], "{stamp}>>[STX:5A]gs[ETX]4D");
    EXPECT_EQ(lines[4], kSeparator);
    const size_t frameLength = payload.size() + 4;
    EXPECT_EQ(lines[5], "{stamp}<< raw data [" + std::to_string(frameLength) + " byte]:");
    const size_t dumpLines = (frameLength + 15) / 16;
    ASSERT_EQ(lines.size(), 7u + dumpLines);
    EXPECT_EQ(lines[6].substr(0, 30), "       00000000 02 5A 67 73 1C");
    EXPECT_EQ(lines[6 + dumpLines],
              "{stamp}<<" + ShownReply('Z', payload, CheckByte('Z', payload)));
}

TEST_F(TraceLinkTest, SynWhileThePrinterWorksThenABadCheckByte) {
    emu::Fault busy;
    busy.kind = emu::FaultKind::SynBurst;
    busy.periodMs = 100;
    busy.durationMs = 350;
    ASSERT_EQ(printer.InjectFault(busy), 0);
    std::string payload;
    ASSERT_GT(Exchange(payload), 0);
    std::vector<std::string> lines = TraceLines();
    size_t separators = 0;
    size_t syns = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        separators += lines[i] == kSeparator;
        if (lines[i] == "{stamp}<<[SYN]") {
            ++syns;
            ASSERT_GE(i, 3u);
            EXPECT_EQ(lines[i - 2], "{stamp}<< raw data [1 byte]:");
            EXPECT_EQ(lines[i - 1], "       00000000 16" + std::string(45, ' ') + " \xB7");
        }
    }
    EXPECT_GE(syns, 2u);
    EXPECT_EQ(separators, 2u);  // one for the request, one for the first SYN

    emu::Fault corrupt;
    corrupt.kind = emu::FaultKind::BadCheckByte;
    ASSERT_EQ(printer.InjectFault(corrupt), 0);
    const BYTE next = link->Sequence();  // moved on after the answered exchange
    EXPECT_EQ(Exchange(payload), kX28BadCheckByte);
    lines = TraceLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], kErrorRule);
    EXPECT_EQ(lines[lines.size() - 2], "Err: -8105(0xffffe057)");
    EXPECT_EQ(lines[lines.size() - 1], kErrorRule);
    char stx[32];
    std::snprintf(stx, sizeof stx, "{stamp}<<[STX:%02X]", next);
    EXPECT_EQ(lines[lines.size() - 4].substr(0, 17), stx);
}

TEST_F(TraceLinkTest, WithMaskZeroOnlyLinkErrorsAreWritten) {
    ExtenderSettings.traceMask = 0;
    std::string payload;
    ASSERT_GT(Exchange(payload), 0);
    EXPECT_FALSE(testsupport::FileExists(trace));
    emu::Fault late;
    late.kind = emu::FaultKind::WrongSequence;
    ASSERT_EQ(printer.InjectFault(late), 0);
    EXPECT_EQ(Exchange(payload), kX28OutOfSequence);
    EXPECT_EQ(TraceLines(),
              (std::vector<std::string>{kErrorRule, "Err: -8109(0xffffe053)", kErrorRule}));
}

}  // namespace
