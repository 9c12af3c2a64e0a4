// Control unit and fiscalisation commands against a scripted printer: request texts, reply
// fields, the option-word rules of "fi" and the limits of every request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using ControlUnit = PeerFixture;
using Payloads = std::vector<std::string>;

TEST_F(ControlUnit, StatusWordIsTheLow16BitsOfTheHexField) {
    Play({ReplyWith(0, 0x20C0, 0, "1a2B" + FS), ReplyWith(0, 0x20C0, 0, "12345"),
          ReplyWith(0, 0x20C0, 0, ""), ReplyWith(0, 0x20C0, 0, "zz"), ReplyWith(0x30 + 3, 0x20C0)});
    WORD status = 0;
    EXPECT_EQ(layer.ReadControlUnitStatus(&status), 0);
    EXPECT_EQ(status, 0x1A2B);
    EXPECT_EQ(layer.ReadControlUnitStatus(&status), 0);
    EXPECT_EQ(status, 0x2345);
    // Without the word there is nothing to report.
    EXPECT_EQ(layer.ReadControlUnitStatus(&status), kBrontalBadReply);
    EXPECT_EQ(layer.ReadControlUnitStatus(&status), kBrontalBadReply);
    EXPECT_EQ(status, 0x2345);
    EXPECT_EQ(layer.ReadControlUnitStatus(&status), -0x33 - 9200);
    EXPECT_EQ(status, 0x2345);
    EXPECT_EQ(peer.Payloads(), Payloads(5, "vr"));
}

TEST_F(ControlUnit, IdentifierWithItsSessionNumber) {
    Play({ReplyWith(0, 0x20C0, 0, "42" + FS + "UID-0007" + FS), ReplyWith(0, 0x20C0, 0, "43"),
          ReplyWith(0, 0x20C0, 0, FS + "UID")});
    DWORD session = 0;
    char uid[64] = "old";
    EXPECT_EQ(layer.ReadControlUnitUID(&session, uid, sizeof uid), 0);
    EXPECT_EQ(session, 42U);
    EXPECT_STREQ(uid, "UID-0007");
    EXPECT_EQ(layer.ReadControlUnitUID(&session, uid, sizeof uid), 0);
    EXPECT_EQ(session, 43U);
    EXPECT_STREQ(uid, "");
    std::strcpy(uid, "kept");
    EXPECT_EQ(layer.ReadControlUnitUID(&session, uid, sizeof uid), kBrontalBadReply);
    EXPECT_EQ(session, 43U);
    EXPECT_STREQ(uid, "kept");

    Play({ReplyWith(0, 0x20C0, 0, "1" + FS + "ABCDEFGH" + FS)});
    char small[5];
    EXPECT_EQ(layer.ReadControlUnitUID(&session, small, sizeof small), 0);
    EXPECT_STREQ(small, "ABCD");
    EXPECT_EQ(peer.Payloads(), Payloads(4, "iv"));
}

TEST_F(ControlUnit, ExchangesByIndexAndTheirReplyFields) {
    Play({ReplyWith(0, 0x20C0, 0, "0005" + FS + "info" + GS + "answer" + GS + "BEEF" + FS),
          ReplyWith(0, 0x20C0, 0, "1" + FS + "i" + GS + "a" + GS + "1ffff"),
          ReplyWith(0, 0x20C0, 0, "0")});
    WORD status = 0;
    WORD checksum = 0;
    char info[128] = "x";
    char answer[128] = "x";
    EXPECT_EQ(
        layer.ControlUnitExchange(0, &status, info, sizeof info, answer, sizeof answer, &checksum),
        0);
    EXPECT_EQ(status, 5);
    EXPECT_STREQ(info, "info");
    EXPECT_STREQ(answer, "answer");
    EXPECT_EQ(checksum, 0xBEEF);
    EXPECT_EQ(
        layer.ControlUnitExchange(1, &status, info, sizeof info, answer, sizeof answer, &checksum),
        0);
    EXPECT_EQ(status, 1);
    EXPECT_STREQ(info, "i");
    EXPECT_STREQ(answer, "a");
    EXPECT_EQ(checksum, 0xFFFF);
    // Missing fields: the texts are empty, the checksum stays.
    EXPECT_EQ(
        layer.ControlUnitExchange(2, &status, info, sizeof info, answer, sizeof answer, &checksum),
        0);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(info, "");
    EXPECT_STREQ(answer, "");
    EXPECT_EQ(checksum, 0xFFFF);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"vw" + FS + "TIME", "vw" + FS + "ID", "vw" + FS + "AUTH"}));
}

TEST_F(ControlUnit, AnExchangeBeyondAuthOrRefusedChangesNothing) {
    WORD status = 7;
    WORD checksum = 7;
    char info[128] = "info";
    char answer[128] = "answer";
    EXPECT_EQ(
        layer.ControlUnitExchange(3, &status, info, sizeof info, answer, sizeof answer, &checksum),
        kBrontalBadArguments);
    EXPECT_EQ(layer.ControlUnitExchange(0xFFFFFFFFU, &status, info, sizeof info, answer,
                                        sizeof answer, &checksum),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    Play({ReplyWith(0x0D, 0x20C0, 0, "0005" + FS + "new" + GS + "new" + GS + "1" + FS)});
    EXPECT_EQ(
        layer.ControlUnitExchange(2, &status, info, sizeof info, answer, sizeof answer, &checksum),
        -0x0D - 9200);
    EXPECT_EQ(status, 7);
    EXPECT_EQ(checksum, 7);
    EXPECT_STREQ(info, "info");
    EXPECT_STREQ(answer, "answer");

    // Texts longer than the caller's buffers are cut.
    Play({ReplyWith(0, 0x20C0, 0, "0" + FS + "long info" + GS + "long answer" + GS + "2" + FS)});
    char shortInfo[5];
    char shortAnswer[2];
    EXPECT_EQ(layer.ControlUnitExchange(0, nullptr, shortInfo, sizeof shortInfo, shortAnswer,
                                        sizeof shortAnswer, nullptr),
              0);
    EXPECT_STREQ(shortInfo, "long");
    EXPECT_STREQ(shortAnswer, "l");
}

TEST_F(ControlUnit, UnlockReportAndTheRestartWithoutAnswer) {
    EXPECT_EQ(layer.UnlockControlUnit(), 0);
    EXPECT_EQ(layer.PrintControlUnitReport(), 0);
    Play({Silence()});
    EXPECT_EQ(layer.ResetFiscal(), 0);
    ASSERT_TRUE(peer.WaitForRequests(3, 2000));
    EXPECT_EQ(peer.Payloads(), (Payloads{"vc", "zi", "c0"}));
}

TEST_F(ControlUnit, ReplacementFieldsAndTheirRules) {
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", "SER1", ""), 0);
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", "SER1", "Printer"), 0);
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", "", nullptr), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"fv" + FS + "pass" + FS + "REG1" + GS + "SER1",
                        "fv" + FS + "pass" + FS + "REG1" + GS + "SER1" + GS + "Printer",
                        "fv" + FS + "pass" + FS + "REG1" + GS}));

    peer.ClearRequests();
    EXPECT_EQ(layer.ReplaceControlUnit("", "REG1", "SER1", ""), kBrontalBadArguments);
    EXPECT_EQ(layer.ReplaceControlUnit(nullptr, "REG1", "SER1", ""), kBrontalBadArguments);
    EXPECT_EQ(layer.ReplaceControlUnit("pass", nullptr, "SER1", ""), kBrontalBadArguments);
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", nullptr, ""), kBrontalBadArguments);
    EXPECT_EQ(layer.ReplaceControlUnit(("pa" + FS + "ss").c_str(), "REG1", "SER1", ""),
              kBrontalBadArguments);
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", ("S" + GS + "1").c_str(), ""),
              kBrontalBadArguments);
    // Below 128 bytes: 4 + 1 + 4 + 1 + n.
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", std::string(118, 's').c_str(), ""),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(layer.ReplaceControlUnit("pass", "REG1", std::string(117, 's').c_str(), ""), 0);
    EXPECT_EQ(peer.Requests().size(), 1U);
}

TEST_F(ControlUnit, FiscalisationWithTheControlUnitBit) {
    EXPECT_EQ(layer.InitializeFiscal(0x0201, "0000", "1234", "123456789012", "REG", "SER", "FP-1"),
              0);
    // An empty new password sends the password again; an empty printer name is left out.
    EXPECT_EQ(layer.InitializeFiscal(0x0201, "0000", "", "123456789012", "REG", "SER", ""), 0);
    EXPECT_EQ(layer.InitializeFiscal(0x0200, "0000", nullptr, "123456789012", "REG", "", nullptr),
              0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"fi" + FS + "0201" + FS + "0000" + FS + "1234" + FS +
                                             "123456789012" + GS + "REG" + GS + "SER" + GS + "FP-1",
                                         "fi" + FS + "0201" + FS + "0000" + FS + "0000" + FS +
                                             "123456789012" + GS + "REG" + GS + "SER",
                                         "fi" + FS + "0200" + FS + "0000" + FS + "0000" + FS +
                                             "123456789012" + GS + "REG" + GS}));
}

TEST_F(ControlUnit, FiscalisationWithoutTheBitSendsOnlyTheFirstFourFields) {
    EXPECT_EQ(layer.InitializeFiscal(0x0001, "0000", "1234", "123456789012", "REG", "SER", "FP-1"),
              0);
    EXPECT_EQ(layer.InitializeFiscal(0xFDFF, "", "", "1", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"fi" + FS + "0001" + FS + "0000" + FS + "1234" + FS + "123456789012",
                        "fi" + FS + "FDFF" + FS + FS + FS + "1"}));
}

TEST_F(ControlUnit, FiscalisationRefusesBeforeSending) {
    EXPECT_EQ(layer.InitializeFiscal(0, "0000", "1234", "1234567890", "REG", "SER", ""),
              kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(1, nullptr, "1234", "1234567890", "", "", ""),
              kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(1, "0000", "1234", "", "", "", ""), kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(1, "0000", "1234", nullptr, "", "", ""), kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(0x200, "0000", "1234", "1234567890", nullptr, "SER", ""),
              kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(0x200, "0000", "1234", "1234567890", "REG", nullptr, ""),
              kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(1, "0000", "1234", ("12" + FS + "34").c_str(), "", "", ""),
              kBrontalBadArguments);
    EXPECT_EQ(layer.InitializeFiscal(0x200, "0000", "1234", "1234", "REG", "SER",
                                     ("FP" + GS + "1").c_str()),
              kBrontalBadArguments);
    // Below 256 bytes: "0001" FS "p" FS "p" FS and the account, 9 + n.
    EXPECT_EQ(layer.InitializeFiscal(1, "p", "", std::string(247, '7').c_str(), "", "", ""),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(layer.InitializeFiscal(1, "p", "", std::string(246, '7').c_str(), "", "", ""), 0);
    EXPECT_EQ(peer.Requests().size(), 1U);

    Play({ReplyWith(0x05, 0x0000)});
    EXPECT_EQ(layer.InitializeFiscal(1, "p", "", "1", "", "", ""), -5 - 9200);
}

}  // namespace
}  // namespace prottest
