#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Settings.h"
#include "SettingsPath.h"
#include "SettingsTesting.h"
#include "TestSupport.h"
#include "Trace.h"

namespace {

using settingstest::ExpectedTrace;
using testsupport::FileExists;
using testsupport::ReadFileBytes;

const std::string kGsFrame("\x02\x35\x67\x73\x03\x22", 6);
const std::string kSyn("\x16", 1);

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class TraceWritersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settingstest::ResetRecord();
        // The last direction is process-wide: bring it back to "received", as at the start.
        const std::string scratch = spare.file("scratch.txt");
        SetPath(scratch);
        ExtenderSettings.traceMask = kPacketTraceBit;
        Packet(kSyn, 0);
        settingstest::ResetRecord();
    }
    void TearDown() override { settingstest::ResetRecord(); }

    void SetPath(const std::string& path) {
        ASSERT_TRUE(StoreTracePath(path.c_str(), static_cast<DWORD>(path.size())));
    }
    static void Raw(const std::string& bytes, int direction) {
        TraceRawData(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                     direction);
    }
    static void Packet(const std::string& bytes, int direction) {
        TracePacket(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                    direction);
    }
    std::string Masked(const std::string& name) {
        return settingstest::MaskedTrace(work.file(name), GetCurrentThreadId());
    }

    testsupport::ScopedRegistryDir registry;
    testsupport::TempDir spare;
    settingstest::ScopedWorkDir work;
};

// ---- the exchange trace ----

TEST_F(TraceWritersTest, RawBlocksOfSixSixteenAndSeventeenBytes) {
    ExtenderSettings.traceMask = kRawDataTraceBit;
    const std::string sixteen("\x02\x5A\x67\x64\x1C\x30\x30\x30\x31\x1D\xC6\x00\x20\xFF\x03\x58",
                              16);
    Raw(kGsFrame, 1);
    Raw(sixteen, 1);
    Raw(sixteen + "A", 0);
    EXPECT_EQ(Masked("tracexch.txt"), ExpectedTrace("raw_blocks.txt"));
}

TEST_F(TraceWritersTest, PacketLines) {
    ExtenderSettings.traceMask = kPacketTraceBit;
    Packet(kGsFrame, 1);
    Packet(kSyn, 0);
    Packet(
        "\x02\x35gs\x1C"
        "00\x1C"
        "00010000\x1C" +
            testsupport::Cp1251("Привет") + "\x1D" + testsupport::Cp1251("мир") + "\x03\x4C",
        0);
    Packet(std::string("\x15\x00\x00\x16\x41", 5), 0);
    // Not a frame: the first byte is copied, position 1 still closes a bracket.
    Packet("xyz\x03", 0);
    // Two bytes: the last position is the check byte, even at position 1.
    Packet("\x02\x5A", 0);
    EXPECT_EQ(Masked("tracexch.txt"), ExpectedTrace("packets.txt"));
}

TEST_F(TraceWritersTest, BothBitsShareOneSeparatorPerTurn) {
    ExtenderSettings.traceMask = kRawDataTraceBit | kPacketTraceBit;
    for (const auto& [bytes, direction] :
         std::vector<std::pair<std::string, int>>{{kGsFrame, 1}, {kSyn, 0}, {kSyn, 0}}) {
        Raw(bytes, direction);
        Packet(bytes, direction);
    }
    EXPECT_EQ(Masked("tracexch.txt"), ExpectedTrace("both_bits.txt"));
}

TEST_F(TraceWritersTest, LinkErrorBlocksLeaveTheDirectionAlone) {
    ExtenderSettings.traceMask = kPacketTraceBit;
    Packet(kGsFrame, 1);
    TraceLinkError(-8105);
    Packet(kGsFrame, 1);
    TraceLinkError(-8101);
    EXPECT_EQ(Masked("tracexch.txt"), ExpectedTrace("link_error.txt"));
}

TEST_F(TraceWritersTest, MaskZeroCreatesNoFileButALinkErrorStillGoesOut) {
    Raw(kGsFrame, 1);
    Packet(kGsFrame, 1);
    TraceCall(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::Connect");
    TraceCallHelper(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::RunProgress");
    // One bit does not open the other's door.
    ExtenderSettings.traceMask = kRawDataTraceBit;
    Packet(kGsFrame, 1);
    ExtenderSettings.traceMask = kPacketTraceBit | kCallFlowTraceBit;
    Raw(kGsFrame, 1);
    TraceCall(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::Connect");
    EXPECT_TRUE(FilesIn(work.path()).empty());

    ExtenderSettings.traceMask = 0;
    TraceLinkError(-8109);
    EXPECT_EQ(FilesIn(work.path()), std::vector<std::string>{"tracexch.txt"});
    EXPECT_EQ(Masked("tracexch.txt"),
              settingstest::Crlf1251("/" + std::string(78, '!') + "/\nErr: -8109(0xffffe053)\n/" +
                                     std::string(78, '!') + "/\n"));
}

TEST_F(TraceWritersTest, NoBytesNoLines) {
    ExtenderSettings.traceMask = kRawDataTraceBit | kPacketTraceBit;
    const BYTE byte = 0x16;
    TraceRawData(nullptr, 4, 1);
    TraceRawData(&byte, 0, 1);
    TracePacket(nullptr, 1, 1);
    TracePacket(&byte, 0, 1);
    HexDump("tracexch.txt", nullptr, 3);
    EXPECT_TRUE(FilesIn(work.path()).empty());
    // Not even the direction moved: received data gets no separator.
    Packet(kSyn, 0);
    EXPECT_EQ(Masked("tracexch.txt"), settingstest::Crlf1251("{stamp}<<[SYN]\n"));
}

TEST_F(TraceWritersTest, LongPacketLinesAreCutAt1023Characters) {
    ExtenderSettings.traceMask = kPacketTraceBit;
    const std::string payload(1100, 'a');
    Packet("\x02\x35" + payload + "\x03\x22", 0);
    const std::string line = Masked("tracexch.txt");
    EXPECT_EQ(line, "{stamp}<<[STX:35]" + std::string(1023 - 10, 'a') + "\r\n");
}

TEST_F(TraceWritersTest, PacketRenderingStopsBeforeItsBufferIsFull) {
    char small[8];
    EXPECT_EQ(RenderPacket(reinterpret_cast<const BYTE*>(kGsFrame.data()), 6, small, sizeof small),
              7u);
    EXPECT_EQ(std::string(small), "[STX:35");
    EXPECT_EQ(RenderPacket(nullptr, 6, small, sizeof small), 0u);
    EXPECT_EQ(small[0], '\0');

    // 70000 SYN render to 350000 characters: the process-wide buffer keeps 262143 of them.
    const std::vector<BYTE> syns(70000, 0x16);
    std::vector<char> text(kPacketRenderingCapacity, 'x');
    EXPECT_EQ(RenderPacket(syns.data(), static_cast<DWORD>(syns.size()), text.data(),
                           static_cast<DWORD>(text.size())),
              262143u);
    EXPECT_EQ(text[262143], '\0');
    EXPECT_EQ(std::string(text.data(), 14), "[SYN]:16][SYN]");
    // 9 characters, then whole "[SYN]" groups: the cut falls inside one.
    EXPECT_EQ(std::string(text.data() + 262139, 4), "[SYN");
}

TEST_F(TraceWritersTest, BytesGoOutAsTheyAreIntoACyrillicFolder) {
    const std::string folder = work.path() + "/трасса";
    std::filesystem::create_directory(folder);
    SetPath(testsupport::Cp1251(folder + "/обмен.txt"));
    ExtenderSettings.traceMask = kPacketTraceBit;
    Packet("\x02\x35" + testsupport::Cp1251("Чек") + "\x03\x22", 0);
    const std::string written = ReadFileBytes(folder + "/обмен.txt");
    EXPECT_NE(written.find("<<[STX:35]" + testsupport::Cp1251("Чек") + "[ETX]22\r\n"),
              std::string::npos);
}

// ---- rotation ----

TEST_F(TraceWritersTest, RotationAtTheLimitKeepsOneBackup) {
    const std::string trace = work.file("link.txt");
    const std::string backup = work.file("link.bak");
    SetPath(trace);
    ExtenderSettings.traceFileSizeLimit = 1;  // KiB
    ExtenderSettings.traceMask = kPacketTraceBit;

    std::vector<std::string> generations;
    std::string before;
    size_t sizeBeforeThat = 0;
    while (generations.size() < 2) {
        sizeBeforeThat = before.size();
        before = ReadFileBytes(trace);
        Packet(kSyn, 0);
        if (FileExists(backup) &&
            (generations.empty() || ReadFileBytes(backup) != generations.back())) {
            generations.push_back(ReadFileBytes(backup));
            // The file moved whole once it had reached the limit; the new one starts afresh.
            EXPECT_EQ(generations.back(), before);
            EXPECT_GE(before.size(), 1024u);
            EXPECT_LT(sizeBeforeThat, 1024u);
            EXPECT_EQ(settingstest::MaskedTrace(trace, GetCurrentThreadId()),
                      settingstest::Crlf1251("{stamp}<<[SYN]\n"));
        }
        ASSERT_LT(ReadFileBytes(trace).size(), 4096u) << "never rotated";
    }
    EXPECT_EQ(FilesIn(work.path()), (std::vector<std::string>{"link.bak", "link.txt"}));
}

TEST_F(TraceWritersTest, NamesWithoutAnExtensionAreNeverRotated) {
    std::filesystem::create_directory(work.file("logs.d"));
    ExtenderSettings.traceFileSizeLimit = 1;
    ExtenderSettings.traceMask = kPacketTraceBit;
    for (const std::string& name : {work.file("linktrace"), work.file("logs.d/linktrace")}) {
        SetPath(name);
        for (int i = 0; i < 200; ++i) {
            Packet(kSyn, 0);
        }
        EXPECT_GT(ReadFileBytes(name).size(), 2048u);
    }
    // A '.' in the folder's name is not the file's: nothing is moved to "logs.bak".
    EXPECT_EQ(FilesIn(work.path()), (std::vector<std::string>{"linktrace", "logs.d"}));
    EXPECT_EQ(FilesIn(work.file("logs.d")), std::vector<std::string>{"linktrace"});
}

TEST_F(TraceWritersTest, TheDefaultFileIsNeverRotated) {
    ExtenderSettings.traceFileSizeLimit = 1;
    ExtenderSettings.traceMask = kRawDataTraceBit;
    for (int i = 0; i < 50; ++i) {
        Raw(kGsFrame, 0);
    }
    EXPECT_GT(ReadFileBytes(work.file("tracexch.txt")).size(), 2048u);
    EXPECT_EQ(FilesIn(work.path()), std::vector<std::string>{"tracexch.txt"});
}

TEST_F(TraceWritersTest, SizeTestAtItsBoundaries) {
    ExtenderSettings.traceFileSizeLimit = 1;
    const std::string name = work.file("size.txt");
    EXPECT_FALSE(TraceFileTooBig(name.c_str()));
    EXPECT_TRUE(FileExists(name));  // measuring creates it
    testsupport::WriteFileBytes(name, std::string(1023, 'a'));
    EXPECT_FALSE(TraceFileTooBig(name.c_str()));
    testsupport::WriteFileBytes(name, std::string(1024, 'a'));
    EXPECT_TRUE(TraceFileTooBig(name.c_str()));

    EXPECT_FALSE(TraceFileTooBig(""));
    EXPECT_FALSE(TraceFileTooBig(nullptr));
    EXPECT_FALSE(TraceFileTooBig(work.file("missing/size.txt").c_str()));

    // Past 4 GiB a file is too big whatever the limit (sparse files take no room).
    ExtenderSettings.traceFileSizeLimit = 0xFFFFFFFF;
    std::filesystem::resize_file(name, 0xFFFFFFFFull);
    EXPECT_FALSE(TraceFileTooBig(name.c_str()));
    std::filesystem::resize_file(name, 0x100000000ull);
    EXPECT_TRUE(TraceFileTooBig(name.c_str()));
}

TEST_F(TraceWritersTest, RotationNameRules) {
    const std::string base = work.path() + "/";
    // The longest name that may rotate, and one character more.
    const std::string longest =
        base + std::string(kTracePathCapacity - 1 - base.size() - 4, 'n') + ".txt";
    const std::string tooLong =
        base + std::string(kTracePathCapacity - base.size() - 4, 'm') + ".txt";
    ASSERT_EQ(longest.size(), kTracePathCapacity - 1);
    for (const std::string& name : {longest, tooLong, base + "a.", base + "b.x"}) {
        testsupport::WriteFileBytes(name, "old");
    }
    RotateTraceFile(longest.c_str());
    RotateTraceFile(tooLong.c_str());
    RotateTraceFile((base + "a.").c_str());
    RotateTraceFile((base + "b.x").c_str());
    RotateTraceFile((base + "absent.txt").c_str());
    RotateTraceFile("");
    RotateTraceFile(nullptr);
    EXPECT_FALSE(FileExists(longest));
    EXPECT_TRUE(FileExists(longest.substr(0, longest.size() - 3) + "bak"));
    EXPECT_TRUE(FileExists(tooLong));
    EXPECT_EQ(ReadFileBytes(base + "a.bak"), "old");
    EXPECT_EQ(ReadFileBytes(base + "b.bak"), "old");
    EXPECT_FALSE(FileExists(base + "absent.bak"));
}

// ---- the call-flow trace ----

TEST_F(TraceWritersTest, CallFlowFollowsOnlyTheDriversCopyOfTheMask) {
    ExtenderSettings.traceMask = kCallFlowTraceBit;
    TraceCall(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::Connect");
    EXPECT_FALSE(FileExists(work.file("callflow.txt")));

    ExtenderSettings.traceMask = 0;
    SetCallFlowTraceMask(kCallFlowTraceBit);
    EXPECT_EQ(CallFlowTraceMask(), kCallFlowTraceBit);
    TraceCall(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::Connect");
    TraceCall(kCallFlowTraceFile, "%s() done, res=%d(%#0x)", "CDrvKeltor::Connect", -9004,
              static_cast<unsigned>(-9004));
    TraceCallHelper(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::RunProgress");
    TraceCallHelper(kCallFlowTraceFile, "%s() done, res=%d(%#0x)", "CDrvKeltor::RunProgress", 0,
                    0u);
    TraceCall(kCallFlowTraceFile, "%s() done, res=%d(%#0x)", "CDrvKeltor::put_TracePath", 1, 1u);
    SetCallFlowTraceMask(0x07);
    TraceCall(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::Disconnect");
    EXPECT_EQ(Masked("callflow.txt"), ExpectedTrace("callflow.txt"));
}

TEST_F(TraceWritersTest, EachLineCarriesItsOwnThreadsIdentifier) {
    SetCallFlowTraceMask(kCallFlowTraceBit);
    DWORD workerId = 0;
    std::thread worker([&] {
        workerId = GetCurrentThreadId();
        TraceCallHelper(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::ScanThread");
    });
    worker.join();
    ASSERT_NE(workerId, GetCurrentThreadId());
    EXPECT_EQ(settingstest::MaskedTrace(work.file("callflow.txt"), workerId),
              "{stamp}\tCDrvKeltor::ScanThread() try...\r\n");
}

TEST_F(TraceWritersTest, LinesAreCutAt1023CharactersAfterThePrefix) {
    SetCallFlowTraceMask(kCallFlowTraceBit);
    const std::string longText(2000, 'c');
    TraceCall(kCallFlowTraceFile, "%s", longText.c_str());
    TraceCallHelper(kCallFlowTraceFile, "%s", longText.c_str());
    AppendLine("plain.txt", "%s", longText.c_str());
    AppendStampedLine("plain.txt", "%s", std::string(1023, 'd').c_str());
    EXPECT_EQ(Masked("callflow.txt"), "{stamp}" + std::string(1023, 'c') + "\r\n{stamp}\t" +
                                          std::string(1023, 'c') + "\r\n");
    EXPECT_EQ(Masked("plain.txt"),
              std::string(1023, 'c') + "\r\n{stamp}" + std::string(1023, 'd') + "\r\n");
}

TEST_F(TraceWritersTest, ManyThreadsNeverSplitALine) {
    SetCallFlowTraceMask(kCallFlowTraceBit);
    ExtenderSettings.traceMask = kRawDataTraceBit | kPacketTraceBit;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i) {
                TraceCall(kCallFlowTraceFile, "%s() try...", "CDrvKeltor::Sale");
                TraceRawData(reinterpret_cast<const BYTE*>(kGsFrame.data()), 6, i % 2);
                TracePacket(reinterpret_cast<const BYTE*>(kGsFrame.data()), 6, i % 2);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::string calls = ReadFileBytes(work.file("callflow.txt"));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 200);
    const std::string exchange = ReadFileBytes(work.file("tracexch.txt"));
    size_t packets = 0;
    for (size_t at = exchange.find("[STX:35]gs[ETX]22\r\n"); at != std::string::npos;
         at = exchange.find("[STX:35]gs[ETX]22\r\n", at + 1)) {
        ++packets;
    }
    EXPECT_EQ(packets, 200u);
}

}  // namespace
