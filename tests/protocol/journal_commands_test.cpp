// Electronic journal commands against a scripted printer: the request texts, the block loop and
// its progress, the bounds of the caller's buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"
#include "Settings.h"

namespace prottest {
namespace {

using Journal = PeerFixture;

// A journal of `size` bytes whose every position is recognisable.
std::string MakeJournal(size_t size) {
    std::string text;
    for (size_t i = 0; text.size() < size; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    text.resize(size);
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

// Answers "jg" (journal FS offset FS length, hexadecimal) from `journal`, which starts at
// `base`; at most `blockLimit` bytes per answer.
ScriptedPrinter::Answer JournalBlocks(const std::string& journal, size_t base,
                                      size_t blockLimit = 512) {
    return [=](const PeerRequest& request) {
        const std::vector<std::string> fields = Split(request.payload, '\x1C');
        if (fields.size() != 4 || fields[0] != "jg") {
            return Reply(request, 0x10, 0x00C0, 0);
        }
        const size_t offset = std::strtoul(fields[2].c_str(), nullptr, 16) - base;
        size_t length = std::strtoul(fields[3].c_str(), nullptr, 16);
        length = length < blockLimit ? length : blockLimit;
        if (offset > journal.size()) {
            return Reply(request, 0x10, 0x00C0, 0);
        }
        return Reply(request, 0, 0x00C0, 0, journal.substr(offset, length));
    };
}

struct ProgressLog {
    std::vector<DWORD> values;
    std::vector<bool> withText;
};

void RecordProgress(LPVOID context, LPCSTR text, DWORD value) {
    auto* log = static_cast<ProgressLog*>(context);
    log->values.push_back(value);
    log->withText.push_back(text != nullptr);
}

class PrintEJSetting {
  public:
    explicit PrintEJSetting(DWORD value) : saved_(ExtenderSettings.printEJ.load()) {
        ExtenderSettings.printEJ = value;
    }
    ~PrintEJSetting() { ExtenderSettings.printEJ = saved_; }

  private:
    DWORD saved_;
};

TEST_F(Journal, PrintCarriesPrintOnlyWhenTheSettingIsZero) {
    {
        PrintEJSetting setting(1);
        EXPECT_EQ(layer.PrintJournal(), 0);
    }
    {
        PrintEJSetting setting(0);
        EXPECT_EQ(layer.PrintJournal(), 0);
    }
    {
        PrintEJSetting setting(7);
        Play({ReplyWith(0x21, 0x00C0)});
        EXPECT_EQ(layer.PrintJournal(), -0x21 - 9200);
    }
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"jp", "jp" + FS + "PRINT", "jp"}));
}

TEST_F(Journal, ValidationSendsTheChecksumOfTheDataInHexadecimal) {
    const BYTE abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(layer.ValidateJournalData(abc, 3), 0);
    // Leading zeros are dropped ("62" has 0012D20A), and the CRC of nothing is 0, not "VALID".
    const BYTE sixtyTwo[] = {'6', '2'};
    EXPECT_EQ(layer.ValidateJournalData(sixtyTwo, 2), 0);
    EXPECT_EQ(layer.ValidateJournalData(nullptr, 0), 0);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"jv" + FS + "352441C2",
                                                         "jv" + FS + "12D20A", "jv" + FS + "0"}));

    // A mismatch is the printer's to say.
    peer.ClearRequests();
    Play({ReplyWith(0x17, 0x10C0)});
    EXPECT_EQ(layer.ValidateJournalData(abc, 3), -0x17 - 9200);
    EXPECT_EQ(layer.ValidateJournalData(nullptr, 3), kBrontalBadArguments);
    EXPECT_EQ(peer.Requests().size(), 1U);
}

TEST_F(Journal, ForcedValidationSendsTheValueOrValid) {
    EXPECT_EQ(layer.ForceValidateJournal(0), 0);
    EXPECT_EQ(layer.ForceValidateJournal(0xAB), 0);
    EXPECT_EQ(layer.ForceValidateJournal(0xFFFFFFFFU), 0);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"jv" + FS + "VALID", "jv" + FS + "AB",
                                                         "jv" + FS + "FFFFFFFF"}));
}

TEST_F(Journal, ExtentOfTheCurrentOrOfAGivenJournal) {
    Play({ReplyWith(0, 0x10C0, 0, "57" + FS + "1a0" + FS + "514"),
          ReplyWith(0, 0x10C0, 0, "12" + FS + "0" + FS + "FFFFFFFF" + FS)});
    DWORD journal = 0;
    DWORD offset = 1;
    DWORD length = 1;
    EXPECT_EQ(layer.ReadJournalExtent(&journal, &offset, &length), 0);
    EXPECT_EQ(journal, 57U);
    EXPECT_EQ(offset, 0x1A0U);
    EXPECT_EQ(length, 0x514U);
    journal = 12;
    EXPECT_EQ(layer.ReadJournalExtent(&journal, &offset, &length), 0);
    EXPECT_EQ(journal, 12U);
    EXPECT_EQ(offset, 0U);
    EXPECT_EQ(length, 0xFFFFFFFFU);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"jz", "jz" + FS + "12"}));
}

TEST_F(Journal, AnIncompleteOrRefusedExtentChangesNoOutput) {
    for (const std::string& data :
         {std::string(), std::string("57"), "57" + FS + "1a0", "57" + FS + "1a0" + FS + "xyz",
          "-5" + FS + "0" + FS + "10", "57" + FS + FS + "10"}) {
        SCOPED_TRACE(data);
        Play({ReplyWith(0, 0x10C0, 0, data)});
        DWORD journal = 3;
        DWORD offset = 4;
        DWORD length = 5;
        EXPECT_EQ(layer.ReadJournalExtent(&journal, &offset, &length), kBrontalBadReply);
        EXPECT_EQ(journal, 3U);
        EXPECT_EQ(offset, 4U);
        EXPECT_EQ(length, 5U);
    }
    Play({ReplyWith(0x16 + 1, 0x10C0, 0, "57" + FS + "1a0" + FS + "514")});
    DWORD length = 5;
    EXPECT_EQ(layer.ReadJournalExtent(nullptr, nullptr, &length), -0x17 - 9200);
    EXPECT_EQ(length, 5U);
}

TEST_F(Journal, A1300ByteJournalIsReadIn512512And276) {
    const std::string journal = MakeJournal(1300);
    peer.SetAnswer(JournalBlocks(journal, 0x100));
    std::vector<char> buffer(1301, 'X');
    ProgressLog progress;
    EXPECT_EQ(layer.ReadJournal(7, 0x100, buffer.data(), 1301, 1300, RecordProgress, &progress), 0);
    EXPECT_EQ(peer.Payloads(),
              (std::vector<std::string>{"jg" + FS + "7" + FS + "100" + FS + "200",
                                        "jg" + FS + "7" + FS + "300" + FS + "200",
                                        "jg" + FS + "7" + FS + "500" + FS + "114"}));
    EXPECT_EQ(progress.values, (std::vector<DWORD>{512, 1024, 1300}));
    EXPECT_EQ(progress.withText, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(std::string(buffer.data(), 1300), journal);
    EXPECT_EQ(buffer[1300], '\0');

    // Without a callback the same read.
    peer.ClearRequests();
    std::vector<char> again(1301, 'X');
    EXPECT_EQ(layer.ReadJournal(7, 0x100, again.data(), 1301, 1300, nullptr, nullptr), 0);
    EXPECT_EQ(peer.Requests().size(), 3U);
    EXPECT_EQ(std::string(again.data()), journal);
}

TEST_F(Journal, ShortBlocksAreFollowedFromWhereTheyEnded) {
    const std::string journal = MakeJournal(700);
    peer.SetAnswer(JournalBlocks(journal, 0, 300));
    std::vector<char> buffer(701, 'X');
    ProgressLog progress;
    EXPECT_EQ(layer.ReadJournal(1, 0, buffer.data(), 701, 700, RecordProgress, &progress), 0);
    EXPECT_EQ(peer.Payloads(),
              (std::vector<std::string>{"jg" + FS + "1" + FS + "0" + FS + "200",
                                        "jg" + FS + "1" + FS + "12C" + FS + "190",
                                        "jg" + FS + "1" + FS + "258" + FS + "64"}));
    EXPECT_EQ(progress.values, (std::vector<DWORD>{300, 600, 700}));
    EXPECT_EQ(std::string(buffer.data(), 700), journal);
}

TEST_F(Journal, AFailedBlockEndsTheReadAndKeepsWhatCameBefore) {
    const std::string journal = MakeJournal(1300);
    const ScriptedPrinter::Answer blocks = JournalBlocks(journal, 0);
    Play({blocks, ReplyWith(0x0C, 0x00C0)});
    std::vector<char> buffer(1301, '\0');
    ProgressLog progress;
    EXPECT_EQ(layer.ReadJournal(2, 0, buffer.data(), 1301, 1300, RecordProgress, &progress),
              -0x0C - 9200);
    EXPECT_EQ(peer.Requests().size(), 2U);
    EXPECT_EQ(progress.values, std::vector<DWORD>{512});
    EXPECT_EQ(std::string(buffer.data()), journal.substr(0, 512));
}

TEST_F(Journal, ABufferTooSmallOrAWrappingRangeIsRefusedBeforeSending) {
    std::vector<char> buffer(1300, 'X');
    ProgressLog progress;
    // The terminator needs the 1301st byte.
    EXPECT_EQ(layer.ReadJournal(1, 0, buffer.data(), 1300, 1300, RecordProgress, &progress),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReadJournal(1, 0, nullptr, 1301, 1300, RecordProgress, &progress),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReadJournal(1, 0, buffer.data(), 0, 0, RecordProgress, &progress),
              kBrontalBadArguments);
    EXPECT_EQ(
        layer.ReadJournal(1, 0xFFFFFF00U, buffer.data(), 1300, 0x101, RecordProgress, &progress),
        kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_TRUE(progress.values.empty());
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(1300, 'X'));

    // The last byte of the address range can still be read; nothing at all is read at once.
    EXPECT_EQ(layer.ReadJournal(1, 0, buffer.data(), 1, 0, RecordProgress, &progress), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_TRUE(peer.Requests().empty());
    Play({ReplyWith(0, 0x00C0, 0, "z")});
    EXPECT_EQ(layer.ReadJournal(1, 0xFFFFFFFEU, buffer.data(), 2, 1, nullptr, nullptr), 0);
    EXPECT_EQ(peer.Payloads(),
              std::vector<std::string>{"jg" + FS + "1" + FS + "FFFFFFFE" + FS + "1"});
    EXPECT_STREQ(buffer.data(), "z");
}

TEST_F(Journal, ABlockLongerThanTheRoomLeftIsRefusedWithoutOverrun) {
    // The printer sends 20 bytes where 10 were asked: a read into an exact buffer must stop.
    Play({ReplyWith(0, 0x00C0, 0, std::string(20, 'j'))});
    std::vector<char> buffer(32, '#');
    EXPECT_EQ(layer.ReadJournal(1, 0, buffer.data(), 11, 10, nullptr, nullptr), kBrontalBadReply);
    EXPECT_EQ(std::string(buffer.data()), std::string(10, 'j'));
    EXPECT_EQ(std::string(buffer.data() + 11, 21), std::string(21, '#'));

    // A block reader with less room than the printer sends: the same.
    Play({ReplyWith(0, 0x00C0, 0, "0123456789")});
    char block[8];
    DWORD length = 99;
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 10, block, sizeof block, &length), kBrontalBadReply);
    EXPECT_EQ(length, 99U);
    EXPECT_STREQ(block, "0123456");
}

TEST_F(Journal, BlockSizesOutsideOneTo512AreRefused) {
    char block[600];
    DWORD length = 0;
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 0, block, sizeof block, &length), kBrontalBadArguments);
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 513, block, sizeof block, &length),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 5, nullptr, sizeof block, &length),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 5, block, 0, &length), kBrontalBadArguments);
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 5, block, sizeof block, nullptr), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    Play({ReplyWith(0, 0x00C0, 0, std::string(512, 'b'))});
    EXPECT_EQ(layer.ReadJournalBlock(0, 0, 512, block, sizeof block, &length), 0);
    EXPECT_EQ(length, 512U);
    EXPECT_EQ(peer.Payloads(), std::vector<std::string>{"jg" + FS + "0" + FS + "0" + FS + "200"});
}

TEST_F(Journal, ABlockKeepsItsZeroBytesAndEndsAtTheFieldSeparator) {
    const std::string bytes("ab\0cd", 5);
    Play({ReplyWith(0, 0x00C0, 0, bytes + FS + "rest"), ReplyWith(0, 0x00C0, 0, bytes)});
    char block[16];
    std::memset(block, 'X', sizeof block);
    DWORD length = 0;
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 10, block, sizeof block, &length), 0);
    EXPECT_EQ(length, 5U);
    EXPECT_EQ(std::string(block, 6), bytes + '\0');

    std::vector<char> buffer(6, 'X');
    EXPECT_EQ(layer.ReadJournal(1, 0, buffer.data(), 6, 5, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(buffer.data(), 6), bytes + '\0');
    EXPECT_EQ(peer.Requests().size(), 2U);
}

TEST_F(Journal, ABlockIsFoundBehindAnEchoOfAnyLength) {
    // The block starts after the reply's own header, however long its echo is; the echo names
    // the command in either case.
    Play({RawPayload("jgjgjgjgjgjg" + FS + "00" + FS + "00C00000" + FS + "abc"),
          RawPayload("JG" + FS + "00" + FS + "00C00000" + FS + "xyz" + FS)});
    char block[16];
    std::memset(block, 'X', sizeof block);
    DWORD length = 0;
    EXPECT_EQ(layer.ReadJournalBlock(1, 0, 10, block, sizeof block, &length), 0);
    EXPECT_EQ(length, 3U);
    EXPECT_EQ(std::string(block, 4), std::string("abc", 4));
    EXPECT_EQ(layer.ReadJournalBlock(1, 3, 10, block, sizeof block, &length), 0);
    EXPECT_EQ(length, 3U);
    EXPECT_EQ(std::string(block, 4), std::string("xyz", 4));
}

TEST_F(Journal, AnEmptyBlockCountsAsTheBytesAskedFor) {
    // The read moves on instead of asking for the same block for ever.
    Play({ReplyWith(0, 0x00C0, 0, ""), ReplyWith(0, 0x00C0, 0, "tail")});
    std::vector<char> buffer(517, '\0');
    ProgressLog progress;
    EXPECT_EQ(layer.ReadJournal(3, 0, buffer.data(), 517, 516, RecordProgress, &progress), 0);
    EXPECT_EQ(progress.values, (std::vector<DWORD>{512, 516}));
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"jg" + FS + "3" + FS + "0" + FS + "200",
                                                         "jg" + FS + "3" + FS + "200" + FS + "4"}));
    EXPECT_EQ(std::string(buffer.data() + 512), "tail");
}

TEST_F(Journal, DayInfoGivesTwoPositionsZeroWhenMissing) {
    Play({ReplyWith(0, 0x00C0, 0, "100" + FS + "2500"), ReplyWith(0, 0x00C0, 0, "100"),
          ReplyWith(0x0B, 0x00C0, 0, "1" + FS + "2")});
    DWORD start = 9;
    DWORD end = 9;
    EXPECT_EQ(layer.ReadJournalInfo(&start, &end), 0);
    EXPECT_EQ(start, 100U);
    EXPECT_EQ(end, 2500U);
    EXPECT_EQ(layer.ReadJournalInfo(&start, &end), 0);
    EXPECT_EQ(start, 100U);
    EXPECT_EQ(end, 0U);
    start = end = 9;
    EXPECT_EQ(layer.ReadJournalInfo(&start, &end), -0x0B - 9200);
    EXPECT_EQ(start, 0U);
    EXPECT_EQ(end, 0U);
    EXPECT_EQ(peer.Payloads(), (std::vector<std::string>{"jb", "jb", "jb"}));
}

// The checksum bit by bit, independently of the layer's table, as "%X".
std::string BitwiseCrcText(const std::string& data) {
    return testsupport::HexNumber(testsupport::Crc32(data));
}

// A printer whose day journal waits for validation: "jz", "jg" and a "jv" that compares the
// checksum with its own.
class ValidatingPrinter {
  public:
    explicit ValidatingPrinter(std::string journal) : journal_(std::move(journal)) {}

    std::string Answer(const PeerRequest& request) {
        const std::vector<std::string> fields = Split(request.payload, '\x1C');
        const unsigned status = 0x00C0 | (validated_ ? 0 : 0x1000);
        if (fields[0] == "jz") {
            char extent[64];
            snprintf(extent, sizeof extent, "31\x1C%zX\x1C%zX", kStart, journal_.size());
            return Reply(request, 0, status, 0, extent);
        }
        if (fields[0] == "jg") {
            return JournalBlocks(journal_, kStart)(request);
        }
        if (fields[0] == "jv" && fields.size() == 2) {
            if (fields[1] != BitwiseCrcText(journal_)) {
                return Reply(request, 0x16 + 2, status, 0);
            }
            validated_ = true;
            return Reply(request, 0, 0x00C0, 0);
        }
        return Reply(request, 0, status, 0);
    }

  private:
    static constexpr size_t kStart = 0x2000;

    std::string journal_;
    bool validated_ = false;
};

TEST_F(Journal, TheDaysJournalIsReadAndValidatedByItsChecksum) {
    const std::string day = MakeJournal(1300);
    ValidatingPrinter validating(day);
    peer.SetAnswer([&](const PeerRequest& request) { return validating.Answer(request); });
    WORD status = 0;
    ASSERT_EQ(layer.GetStatus(&status, nullptr), 0);
    ASSERT_NE(status & kStatusJournalNeedValidate, 0);

    DWORD journal = 0;
    DWORD offset = 0;
    DWORD length = 0;
    ASSERT_EQ(layer.ReadJournalExtent(&journal, &offset, &length), 0);
    ASSERT_EQ(journal, 31U);
    ASSERT_EQ(offset, 0x2000U);
    ASSERT_EQ(length, 1300U);
    std::vector<char> buffer(length + 1, '\0');
    ASSERT_EQ(
        layer.ReadJournal(journal, offset, buffer.data(), length + 1, length, nullptr, nullptr), 0);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(buffer.data());

    // One byte wrong, or a wrong checksum forced: the printer refuses and still waits.
    buffer[700] ^= 0x20;
    EXPECT_EQ(layer.ValidateJournalData(bytes, length), -0x18 - 9200);
    buffer[700] ^= 0x20;
    EXPECT_EQ(layer.ForceValidateJournal(0x1234), -0x18 - 9200);
    EXPECT_NE(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);

    EXPECT_EQ(layer.ValidateJournalData(bytes, length), 0);
    EXPECT_EQ(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);
    const std::vector<std::string> payloads = peer.Payloads();
    ASSERT_EQ(payloads.size(), 8U);
    EXPECT_EQ(payloads[1], "jz");
    EXPECT_EQ(payloads[2], "jg" + FS + "31" + FS + "2000" + FS + "200");
    EXPECT_EQ(payloads[4], "jg" + FS + "31" + FS + "2400" + FS + "114");
    std::string corrupted = day;
    corrupted[700] ^= 0x20;
    EXPECT_EQ(payloads[5], "jv" + FS + BitwiseCrcText(corrupted));
    EXPECT_EQ(payloads[6], "jv" + FS + "1234");
    EXPECT_EQ(payloads[7], "jv" + FS + BitwiseCrcText(day));
}

}  // namespace
}  // namespace prottest
