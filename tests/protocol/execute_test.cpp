// Command execution against a scripted printer: the reply layout, retries, the out-of-sequence
// rule and the raw command transfer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Execution = PeerFixture;

TEST_F(Execution, TheReplyHeaderGivesErrorAndBothWords) {
    Play({RawPayload("gs" + FS + "00" + FS + "00A10000")});
    std::string data = "stale";
    EXPECT_EQ(Run("gs", "", &data), 14);
    EXPECT_EQ(layer.DeviceError(), 0);
    WORD blocking = 0xFFFF;
    EXPECT_EQ(layer.GetStatusWords(&blocking), 0x00A1);
    EXPECT_EQ(blocking, 0);
    EXPECT_EQ(data, "");
    EXPECT_EQ(layer.DeviceResult(), 0);
    EXPECT_EQ(layer.IsLinked(), 1);

    // Either case of hexadecimal digits; everything after the header's FS is the data.
    Play({RawPayload("gn" + FS + "2f" + FS + "80a2beEF" + FS + "12" + FS + "3/4" + GS + "x")});
    EXPECT_GT(Run("gn", "", &data), 0);
    EXPECT_EQ(layer.DeviceError(), 0x2F);
    EXPECT_EQ(layer.DeviceResult(), -(0x2F) - 9200);
    EXPECT_EQ(layer.GetStatusWords(&blocking), 0x80A2);
    EXPECT_EQ(blocking, 0xBEEF);
    EXPECT_EQ(data, "12" + FS + "3/4" + GS + "x");
}

TEST_F(Execution, AMalformedReplyIsRetriedWithTheSameRequest) {
    const std::vector<std::string> malformed = {
        "gs" + FS + "000" + FS + "00A10000",  // error field of 3 characters
        "gs" + FS + "00" + FS + "00A1000",    // status field of 7
        "gs" + FS + "00" + FS + "00A100000",  // and of 9
        "gs" + FS + "0" + FS + "00A10000",    // error field of 1
        "gs" + FS + "0G" + FS + "00A10000",   // not hexadecimal
        "gs" + FS + "00" + FS + "00X10000",
        "gs",  // no header at all
    };
    for (const std::string& payload : malformed) {
        SCOPED_TRACE(payload);
        peer.ClearRequests();
        layer.ResetTotal(0, 0, 0);
        Play({RawPayload(payload), ReplyWith(0, 0x0001)});
        EXPECT_GT(Run("gs", ""), 0);
        const std::vector<PeerRequest> requests = peer.Requests();
        ASSERT_EQ(requests.size(), 2U);
        EXPECT_EQ(requests[0].payload, "gs");
        EXPECT_EQ(requests[1].payload, "gs");
        // Under the same character: a printer that executed it answers from its cache.
        EXPECT_EQ(requests[0].sequence, requests[1].sequence);
        EXPECT_EQ(layer.GetStatusWords(nullptr), 0x0001);
    }
}

TEST_F(Execution, AMalformedReplyWithoutAttemptsLeftIsReportedAndChangesNoWords) {
    ASSERT_TRUE(UseRetryCount(1));
    Play({ReplyWith(0, 0x0003, 0x0040)});
    ASSERT_GT(Run("gs", ""), 0);
    Play({RawPayload("gs" + FS + "16" + FS + "80000")});
    EXPECT_EQ(Run("gs", ""), kBrontalBadReply);
    EXPECT_EQ(peer.Requests().size(), 2U);
    EXPECT_EQ(layer.IsLinked(), 0);
    WORD blocking = 0;
    EXPECT_EQ(layer.GetStatusWords(&blocking), 0x0003);
    EXPECT_EQ(blocking, 0x0040);
    EXPECT_EQ(layer.DeviceError(), 0);
}

TEST_F(Execution, AttemptsComeFromTheSettingThreeWhenItIsZero) {
    const struct {
        DWORD setting;
        size_t sent;
    } cases[] = {{0, 3}, {1, 1}, {2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        ASSERT_TRUE(UseRetryCount(c.setting));
        peer.ClearRequests();
        Play({Silence(), Silence(), Silence(), Silence()});
        EXPECT_EQ(Run("gd", "0001"), kX28PacketTimeout);
        EXPECT_EQ(layer.IsLinked(), 0);
        EXPECT_EQ(peer.Payloads(), std::vector<std::string>(c.sent, "gd" + FS + "0001"));
    }
}

TEST_F(Execution, AfterAnOutOfSequenceReplyTheNextAttemptOnlyReads) {
    // A late answer to an earlier request, then the answer to this one.
    Play({[](const PeerRequest& request) {
        return Frame('A', ReplyPayload("gs", 0, 0x0100, 0)) + Reply(request, 0, 0x0002, 0);
    }});
    EXPECT_GT(Run("gs", ""), 0);
    EXPECT_EQ(peer.Requests().size(), 1U);
    EXPECT_EQ(layer.GetStatusWords(nullptr), 0x0002);

    // Nothing follows the stray frame: the second attempt waits in vain and sends nothing.
    peer.ClearRequests();
    Play({[](const PeerRequest&) { return Frame('A', ReplyPayload("gs", 0, 0x0100, 0)); }});
    EXPECT_EQ(Run("gs", ""), kX28PacketTimeout);
    EXPECT_EQ(peer.Requests().size(), 1U);
}

TEST_F(Execution, ARefusedPacketIsSentAgain) {
    Play({[](const PeerRequest&) { return std::string("\x15"); }, ReplyWith(0, 0x00C0)});
    EXPECT_GT(Run("zx", ""), 0);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"zx", "zx"}));
}

TEST_F(Execution, DataTooLargeForTheCallerIsNotSentAgain) {
    // Sending again would make the printer do the command twice, for the same answer.
    Play({ReplyWith(0, 0x00C0, 0, std::string(40, 'd'))});
    EXPECT_EQ(Run("gm", "", nullptr, 1, 40), kBrontalBadReply);
    EXPECT_EQ(peer.Requests().size(), 1U);
    Play({ReplyWith(0, 0x00C0, 0, std::string(39, 'd'))});
    std::string data;
    EXPECT_GT(Run("gm", "", &data, 1, 40), 0);
    EXPECT_EQ(data, std::string(39, 'd'));
}

TEST_F(Execution, TheEchoReplacesTheCommandAndRetriesSendTheRequestItself) {
    // A garbled echo must never become the next attempt's command.
    Play({RawPayload("XY" + FS + "000" + FS + "00000000"), ReplyWith(0, 0x00C0, 0, "ok")});
    char command[8] = "as";
    char fields[64] = "1";
    const std::string request = "as" + FS + "1";
    ASSERT_GT(layer.Execute(command, sizeof command, fields, sizeof fields, 1), 0);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{request, request}));
    EXPECT_STREQ(command, "as");
    EXPECT_STREQ(fields, "ok");

    Play({RawPayload("gsLONGECHO" + FS + "00" + FS + "00000000")});
    char small[4] = "gs";
    char none[4] = "";
    ASSERT_GT(layer.Execute(small, sizeof small, none, sizeof none, 1), 0);
    EXPECT_STREQ(small, "gsL");
}

TEST_F(Execution, ANoReplyCommandIsSentOnceAndNotAwaited) {
    Play({Silence()});
    EXPECT_EQ(Run("c0", "", nullptr, 0), 0);
    ASSERT_TRUE(peer.WaitForRequests(1, 2000));
    EXPECT_EQ(peer.Payloads(), std::vector<std::string>{"c0"});
    EXPECT_EQ(layer.RestartPrinter(), 0);
    ASSERT_TRUE(peer.WaitForRequests(2, 2000));
}

TEST_F(Execution, ArgumentsAndLinkStateAreCheckedBeforeSending) {
    EXPECT_EQ(layer.SendCommand(nullptr, ""), kBrontalBadArguments);
    EXPECT_EQ(layer.SendCommand("", ""), kBrontalBadArguments);
    // A text of 1024 bytes or more is refused here; the frame takes at most 1021 of them.
    EXPECT_EQ(layer.SendCommand("pt", std::string(1021, 'a').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.SendCommand("pt", std::string(1019, 'a').c_str()), kBrontalLinkFailed);
    EXPECT_EQ(layer.SendCommand("pt", std::string(1018, 'a').c_str()), 1025);
    char none[8] = "gs";
    EXPECT_EQ(layer.Execute(nullptr, 8, none, sizeof none, 1), kBrontalBadArguments);
    char unterminated[2] = {'g', 's'};
    EXPECT_EQ(layer.Execute(unterminated, sizeof unterminated, none, sizeof none, 1),
              kBrontalBadArguments);
    ASSERT_TRUE(peer.WaitForRequests(1, 2000));
    EXPECT_EQ(peer.Requests().size(), 1U);

    layer.Link()->Close();
    EXPECT_EQ(layer.SendCommand("gs", ""), kBrontalLinkFailed);
    char echo[8];
    char data[8];
    EXPECT_EQ(layer.ReceiveReply(echo, sizeof echo, data, sizeof data), kBrontalLinkFailed);
    EXPECT_EQ(layer.GetStatus(nullptr, nullptr), kBrontalLinkFailed);
    EXPECT_EQ(layer.Detach(), 0);
    EXPECT_EQ(layer.Link(), nullptr);
    EXPECT_EQ(layer.SendCommand("gs", ""), kBrontalNoLink);
    EXPECT_EQ(layer.ReceiveReply(echo, sizeof echo, data, sizeof data), kBrontalNoLink);
    EXPECT_EQ(Run("gs", ""), kBrontalNoLink);
    EXPECT_EQ(layer.GetStatus(nullptr, nullptr), kBrontalNoLink);
}

TEST_F(Execution, TransferCommandLineReturnsTheReplyData) {
    Play({ReplyWith(0, 0x00C0, 0, "20261207" + GS + "015207")});
    char line[64] = "gt";
    EXPECT_EQ(layer.TransferCommandLine(line, sizeof line), 0);
    EXPECT_EQ(std::string(line), "20261207" + GS + "015207");

    // The reply data is cut to the caller's line.
    Play({ReplyWith(0, 0x00C0, 0, "0123456789")});
    char small[6] = "gx";
    EXPECT_EQ(layer.TransferCommandLine(small, sizeof small), 0);
    EXPECT_STREQ(small, "01234");

    Play({ReplyWith(0x30, 0x8000)});
    char refused[16] = "zz";
    EXPECT_EQ(layer.TransferCommandLine(refused, sizeof refused), -9248 - 0);
    EXPECT_STREQ(refused, "zz");
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"gt", "gx", "zz"}));
}

TEST_F(Execution, TransferCommandLineKeepsTheReceiptTotal) {
    std::string line = "rb" + FS + "2" + GS + "x";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.resize(64, '\0');
    ASSERT_EQ(layer.TransferCommandLine(buffer.data(), 64), 0);
    EXPECT_EQ(layer.Total().kind, 2);
    EXPECT_EQ(layer.Total().amount, 0);

    layer.ResetTotal(1, 1000, 100);
    const auto transfer = [&](const std::string& text) {
        std::vector<char> b(text.begin(), text.end());
        b.resize(128, '\0');
        return layer.TransferCommandLine(b.data(), 128);
    };
    ASSERT_EQ(transfer("rd" + FS + "discount" + FS + "1.5"), 0);
    EXPECT_EQ(layer.Total().amount, 850);
    ASSERT_EQ(transfer("ra" + FS + "surcharge" + FS + "0.255"), 0);
    EXPECT_EQ(layer.Total().amount, 8755);
    EXPECT_EQ(layer.Total().scale, 1000U);
    // A refused discount leaves the total alone.
    Play({ReplyWith(0x10, 0x0002)});
    EXPECT_EQ(transfer("rd" + FS + "x" + FS + "1"), -9216);
    EXPECT_EQ(layer.Total().amount, 8755);
    EXPECT_EQ(peer.Payloads(),
              (std::vector<std::string>{
                  "rb" + FS + "2" + GS + "x", "rd" + FS + "discount" + FS + "1.5",
                  "ra" + FS + "surcharge" + FS + "0.255", "rd" + FS + "x" + FS + "1"}));
}

TEST_F(Execution, TransferCommandLineLimits) {
    char empty[8] = "";
    EXPECT_EQ(layer.TransferCommandLine(empty, sizeof empty), kBrontalBadArguments);
    EXPECT_EQ(layer.TransferCommandLine(nullptr, 8), kBrontalBadArguments);
    char line[8] = "gs";
    EXPECT_EQ(layer.TransferCommandLine(line, 0), kBrontalBadArguments);
    const auto transfer = [&](const std::string& text) {
        std::vector<char> b(text.begin(), text.end());
        b.resize(1024, '\0');
        return layer.TransferCommandLine(b.data(), 1024);
    };
    EXPECT_EQ(transfer(std::string(32, 'g')), kBrontalBadArguments);
    EXPECT_EQ(transfer("pt" + FS + std::string(512, 'a')), kBrontalBadArguments);
    EXPECT_EQ(transfer(FS + "abc"), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    // The longest code and field part go through; "b0" awaits no reply.
    EXPECT_EQ(transfer(std::string(31, 'g')), 0);
    EXPECT_EQ(transfer("pt" + FS + std::string(511, 'a')), 0);
    Play({Silence()});
    EXPECT_EQ(transfer("b0"), 0);
    ASSERT_TRUE(peer.WaitForRequests(3, 2000));
    EXPECT_EQ(peer.Payloads()[2], "b0");
}

TEST_F(Execution, HeaderAndFooterTextsUpToTheirFieldSeparator) {
    Play({ReplyWith(0, 0x00C0, 0, "SHOP\nLINE 2" + FS + "ignored"), ReplyWith(0, 0x00C0, 0, ""),
          ReplyWith(0, 0x00C0, 0, std::string(1000, 'f'))});
    char text[16] = "stale";
    EXPECT_EQ(layer.ReadHeaderText(text, sizeof text), 0);
    EXPECT_STREQ(text, "SHOP\nLINE 2");
    EXPECT_EQ(layer.ReadFooterText(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    std::vector<char> footer(1024, 'x');
    EXPECT_EQ(layer.ReadFooterText(footer.data(), 1024), 0);
    EXPECT_EQ(std::string(footer.data()), std::string(1000, 'f'));
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"gb", "ge", "ge"}));
}

TEST_F(Execution, RepliesLackingTheirNumbersAreBadReplies) {
    Play({ReplyWith(0, 0x00C0, 0, "12" + FS + "3/4" + FS), ReplyWith(0, 0x00C0, 0, "x" + FS),
          ReplyWith(0, 0x00C0, 0, "101" + GS + "30" + FS + "1F" + GS + "wide" + GS + "P" + FS)});
    DWORD document = 7;
    EXPECT_EQ(layer.ReadDocumentNumbers(&document, nullptr, nullptr, nullptr), kBrontalBadReply);
    EXPECT_EQ(document, 7U);
    EXPECT_EQ(layer.LastDocumentNumber(), 0U);
    LONG number = 5;
    EXPECT_EQ(layer.ReadInitializationData(&number, nullptr, nullptr, 0), kBrontalBadReply);
    EXPECT_EQ(number, 5);
    ::HardwareStatus hardware = {};
    hardware.printerWidth = 9;
    EXPECT_EQ(layer.ReadHardwareStatus(&hardware), kBrontalBadReply);
    EXPECT_EQ(hardware.printerWidth, 9);
    // Each was answered once: a reply that parsed is not asked for again.
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"gn", "gi", "gw"}));
}

TEST_F(Execution, ABadReplyLeavesTheCallersTextsAsTheyWere) {
    Play({ReplyWith(0, 0x00C0, 0, "20261207"),
          ReplyWith(0, 0x00C0, 0, "x" + FS + "1F" + FS + "TAX"),
          ReplyWith(0, 0x00C0, 0, "20261207" + GS + "015207" + FS),
          ReplyWith(0, 0x00C0, 0, "4" + FS + "1F" + FS + "TAX" + FS)});
    char date[16] = "date";
    char time[16] = "time";
    EXPECT_EQ(layer.ReadClock(date, sizeof date, time, sizeof time), kBrontalBadReply);
    EXPECT_STREQ(date, "date");
    EXPECT_STREQ(time, "time");
    char account[16] = "account";
    EXPECT_EQ(layer.ReadInitializationData(nullptr, nullptr, account, sizeof account),
              kBrontalBadReply);
    EXPECT_STREQ(account, "account");

    // Whole replies fill them.
    EXPECT_EQ(layer.ReadClock(date, sizeof date, time, sizeof time), 0);
    EXPECT_STREQ(date, "20261207");
    EXPECT_STREQ(time, "015207");
    LONG number = 0;
    DWORD options = 0;
    EXPECT_EQ(layer.ReadInitializationData(&number, &options, account, sizeof account), 0);
    EXPECT_EQ(number, 4);
    EXPECT_EQ(options, 0x1FU);
    EXPECT_STREQ(account, "TAX");
}

}  // namespace
}  // namespace prottest
